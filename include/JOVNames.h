// JOVNames.h - file and directory tests, network and long-path forms of a path, and the
// names of the logon user and of the computer.
//
// All functions may be called from any thread. None throws of its own; exceptions of
// JOVString (an allocation that cannot be made) pass through where noted.
#pragma once

#include "JOVStrings.h"
#include "JOVUtil_export.h"

// ---- File and directory tests -----------------------------------------------------------
// Each answers a Win32 error code telling why the path is not what the caller asked for:
//   0    the path is of the kind asked for, or the system denied access to it (error 5);
//   2    the path is empty (no system call is made) or the system found no such file;
//   183  the path exists but is of the other kind (a directory for a file, or the reverse);
//   any other code the system gives (3 path not found, 123 bad name, ...).
// The path goes to the system as it is: no trimming, no long-path prefix. The thread's
// last-error value is left as the attribute query set it (2 for an empty path).

JOVUTIL_API long JOV_TestFileExists(const JOVString& path);
// The same for a zero-terminated path (null counts as empty); string exceptions from the
// copy pass through.
JOVUTIL_API long JOV_TestFileExists(const wchar_t* path);
// The same test for a directory: 0 for a directory (or access denied), 183 for a file, 2
// for an empty or missing path, else the system's code.
JOVUTIL_API long JOV_TestDirExists(const JOVString& path);

// Stores the directory part of path (trimmed of blanks) in directory and returns 0.
// The directory part is the text before the last '\' (or the last '/' when there is no
// '\'), provided that separator does not lie inside the root ("C:", "\\server\share"):
//   flag != 0  the part keeps its separator:  "C:\dir\file" -> "C:\dir\",  "C:\f" -> "C:\"
//   flag == 0  the part without it:           "C:\dir\file" -> "C:\dir",   "C:\f" -> "C:\"
// With flag 0 a separator that follows nothing but a drive ("C:\", "C:\f") or nothing at
// all ("\f") is kept, since "C:" and "" would name the current directory instead.
// "\\srv\shr\f" gives "\\srv\shr" (flag 0) or "\\srv\shr\" (flag != 0).
// A path with no such separator ("file", "C:file", "\\srv\shr", "\\srv", blanks, empty)
// has no directory part: directory becomes empty. The result is always 0.
JOVUTIL_API long JOV_GetDirFromPath(const JOVString& path, JOVString& directory, int flag);

// ---- Network and long-path names --------------------------------------------------------

// For a drive path ("Z:\dir", "Z:dir", "Z:") on a drive mapped to a network share, the
// share's remote name followed by the rest of the path as it is ("\\srv\shr\dir",
// "\\srv\shrdir", "\\srv\shr"); a remembered but disconnected mapping counts. Any other
// path, or a failed query, gives a copy of path.
JOVUTIL_API JOVString JOV_GetUNCPath(const JOVString& path);

// The long-path form of path for the wide file functions: "\\?\" before a drive or
// relative path (and before the empty path), "\\?\UNC\" in place of the leading "\\" of a
// network path. Paths that already begin with "\\?\" and texts containing "://" come back
// unchanged, and so does every path outside the NT family.
// With resolveDfs != 0, a network path "\\dom\root\link\rest" whose DFS link has exactly
// one target "\\srv\shr" becomes "\\?\UNC\srv\shr\rest"; a link with several targets, a
// failed query, or a platform without the DFS query leaves it as "\\?\UNC\dom\root\link\rest".
JOVUTIL_API JOVString JOV_InternalPath(const JOVString& path, int resolveDfs);

// ---- User and computer names ------------------------------------------------------------

// The current user's logon name as the network provider knows it, else as the system's
// user-name query gives it, else "Unknown" (also when building the name throws). Computed
// afresh on every call.
JOVUTIL_API JOVString JOV_GetLogonId();

// The computer's name, or an empty string when the system could not give it. The first
// successful answer is kept for the rest of the process and never asked for again; a failed
// query is retried on the next call.
JOVUTIL_API JOVString JOV_GetComputerName();
