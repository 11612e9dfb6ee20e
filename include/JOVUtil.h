// JOVUtil.h - the one header a client of JOVUtil32.dll includes.
#pragma once

#include "JOVPlatform.h"
#include "JOVMemory.h"
#include "JOVStrings.h"
#include "JOVNames.h"
