// JOVUtil_export.h - the one export macro of JOVUtil32's public headers.
//
// Building the DLL defines JOVUTIL32_BUILDING, so every declaration marked JOVUTIL_API is
// exported; a client that includes the headers imports the same names from JOVUtil32.dll.
#pragma once

#if defined(JOVUTIL32_BUILDING)
#define JOVUTIL_API __declspec(dllexport)
#else
#define JOVUTIL_API __declspec(dllimport)
#endif
