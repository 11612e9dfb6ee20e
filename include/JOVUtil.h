// JOVUtil.h - the one header a client of JOVUtil32.dll includes.
#pragma once

#include "JOVPlatform.h"
#include "JOVMemory.h"
#include "JOVLists.h"
#include "JOVEventLog.h"
#include "JOVStrings.h"
#include "JOVDebug.h"
#include "JOVNames.h"
