// JOVTraceValues.h - the two special numbers of the trace's routine calls, defined once for
// JOVDebug's default arguments, the library's writer and the trace reader. Self-contained
// and free of system headers, so that the portable trace format (trace/trace_format.h)
// takes them from here too. (The C interface's JOVC_NO_VALUE and JOVC_TRACE_INHERIT are
// the same numbers; JOVUtilC.h stays free of other headers, and the library checks them.)
#pragma once

// A request or return code of this value is "none": RoutinePushReq writes no request and
// RoutinePop no return code.
constexpr long JOVTraceNoValue = 2147483647;

// A routine push's trace selector of this value takes the setting of the level below (level
// 0 is traced).
constexpr long JOVTraceInherit = -2;
