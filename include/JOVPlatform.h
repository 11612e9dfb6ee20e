// JOVPlatform.h - platform queries: handle test, Windows release tests, byte order,
// a monotonic microsecond timer and a CRC-32.
//
// Every system query is made once per process and its answer cached; all functions may be
// called from any thread.
#pragma once

#include <windows.h>

#include "JOVUtil_export.h"

// 1 when the handle is neither null nor INVALID_HANDLE_VALUE, else 0.
JOVUTIL_API int JOV_ValidHandle(void* handle);

/// @name Windows release tests
/// Each answers 1 or 0, and 0 on any release outside the NT family. JOV_IsWinNT through
/// JOV_IsWinVista answer 1 on that release or a later one; JOV_IsWin2008 and
/// JOV_IsWin7Or2008R2 are exact. A failed version query answers 0 for the rest of the
/// process. Each test asks GetVersionExW once (basic OSVERSIONINFOW record) into a cache of
/// its own; a thread that calls a test while its first call is asking waits for that answer.
///@{
JOVUTIL_API int JOV_IsWinNT();         // 1 on any release of the NT family
JOVUTIL_API int JOV_IsWin2K();         // 1 on version 5.0 or later
JOVUTIL_API int JOV_IsWinXP();         // 1 on version 5.1 or later
JOVUTIL_API int JOV_IsWin2003();       // 1 on version 5.2 or later
JOVUTIL_API int JOV_IsWinVista();      // 1 on version 6.0 or later
JOVUTIL_API int JOV_IsWin2008();       // 1 on version 6.0 from build 6001 only
JOVUTIL_API int JOV_IsWin7Or2008R2();  // 1 on version 6.1 from build 7600 only
///@}

// Always 0: the library runs little-endian only.
JOVUTIL_API int JOV_IsBigEndian();

// Microseconds from an arbitrary origin, never decreasing within a process. Uses the
// performance counter, or the tick count (with its wraps counted) where there is none or
// it reports a zero frequency. The fallback must be called at least once per 49.7 days to
// see each wrap of the tick count.
JOVUTIL_API unsigned long long JOV_TimerValue();

// Reflected CRC-32 (polynomial 0xEDB88320) of count bytes, continuing from crc. Applies no
// initial value and no final inversion: pass 0xFFFFFFFF and invert the result for the
// standard check value. A count of 0, or a null bytes pointer, returns crc unchanged.
// Runs of 16 bytes and more are folded with carry-less multiplication where the processor
// offers it, 128, 256 or 512 bits at a time (the widest the processor and system support,
// chosen on the first call); the result is the same as the byte-table definition.
JOVUTIL_API unsigned long JOV_CRCCompute(unsigned long crc, const void* bytes, unsigned long count);

// Always 42.
JOVUTIL_API int fnJOVUtil2();
