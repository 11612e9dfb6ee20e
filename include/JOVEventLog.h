// JOVEventLog.h - reports message records to the Windows event log (or, outside the NT
// family, to EventLog.txt beside the program), and ends the process after a flood.
#pragma once

#include "JOVLists.h"
#include "JOVUtil_export.h"

// The flood window, process-wide. After g_LogEntriesMax entries within g_LogMsgCancelTime
// seconds, the next entry is replaced by a final notice and the process exits with code
// 112; an entry after the window has passed starts a new window. Clients may change the
// two limits at any time.
extern JOVUTIL_API volatile long g_LogEntriesCount;        // entries in this window, 0 at load
extern JOVUTIL_API long g_LogEntriesMax;                   // 500
extern JOVUTIL_API unsigned long long g_FirstLogMsgTime;   // window start, timer seconds
extern JOVUTIL_API unsigned long long g_LogMsgCancelTime;  // 14400 (four hours)

// Formats text (a message string with %1, %2 ... for the record's insertions; null means
// the message id's text from the system) and reports it under source (null or empty:
// "JOVMsg") as event 1, of the type given by the record's category. The record is only
// read; an exported block (JOV_MsgExport) is accepted too, its list found by its offset.
// Reports and counts nothing when the formatter yields no text (placeholders without
// insertions included), the source cannot be registered, or the fallback file cannot be
// opened. Allocation failures while the arguments are gathered pass to the caller.
JOVUTIL_API void JOV_LogEvent(JOVMsg& msg, const wchar_t* text, const wchar_t* source = nullptr);

// As above for a record with this category and message id, no insertions, all else 0.
JOVUTIL_API void JOV_LogEvent(JOVMsgCategory category, const wchar_t* text, unsigned long msgId,
                              const wchar_t* source = nullptr);
