// JOVUtilC.h - JOVUtil32's C interface: flat functions with a fixed calling convention and
// opaque handles, for programs of any compiler or language (C, MSVC, clang-cl, P/Invoke,
// ctypes' WinDLL, Rust, Go, Delphi). It compiles as C99 and as C++ and needs no other header
// of the library.
//
// Conventions of every function below:
//   - Calling convention JOVC_CALL: __stdcall on 32-bit x86 (exported undecorated, e.g.
//     "jovc_trace_create"), the one convention of x64.
//   - Most functions return a JOVC_RESULT: JOVC_OK (0) or a code below; jovc_result_text
//     names it. Nothing thrown inside the library crosses this interface.
//   - A handle (JOVC_TRACE, JOVC_MSG) is an opaque number, never an address: a null,
//     destroyed or foreign handle (a pointer, a handle of the other kind) is recognised and
//     gives JOVC_ERR_HANDLE. A destroyed handle stays recognised until its table slot has
//     been reused 32767 times. Destroying a handle while another thread still calls with it
//     is the caller's error.
//   - Text is UTF-16 (wchar_t, 16 bits on Windows) and zero-terminated, unless a function
//     says UTF-8. Sizes of text buffers are in characters.
//   - Text out, as the Windows API does it: the function takes `buffer` and its `capacity` in
//     characters and returns an int32_t, the length the text needs in characters with its
//     terminating zero (always positive). When capacity is at least that, the text and its
//     zero are copied; otherwise nothing is copied and buffer[0] becomes zero (when
//     capacity > 0). So a caller asks with n = f(..., NULL, 0) and calls again with a buffer
//     of n characters. A failure returns the negated result code instead: -JOVC_ERR_HANDLE,
//     -JOVC_ERR_NULL (also for a null buffer with a capacity), -JOVC_ERR_MEMORY, ...
#ifndef JOVUTILC_H
#define JOVUTILC_H

#include <stddef.h>
#include <stdint.h>

// The calling convention of every function of the C interface.
#if defined(_M_IX86) || defined(__i386__)
#define JOVC_CALL __stdcall
#else
#define JOVC_CALL
#endif

// Import from JOVUtil32.dll; the DLL itself exports the names through its module-definition
// file, which keeps them undecorated on x86.
#if defined(JOVUTIL32_BUILDING)
#define JOVC_API
#else
#define JOVC_API __declspec(dllimport)
#endif

#ifdef __cplusplus
extern "C" {
#endif

// ---- Result codes ------------------------------------------------------------------------

// A function's result: JOVC_OK or one of the JOVC_ERR_ codes.
typedef int32_t JOVC_RESULT;

// The result codes.
enum {
  JOVC_OK = 0,            // done
  JOVC_ERR_HANDLE = 1,    // not a live handle of this kind: null, destroyed or foreign
  JOVC_ERR_NULL = 2,      // a pointer argument that must not be null is null
  JOVC_ERR_ARGUMENT = 3,  // a value out of range (a level never pushed, a radix...)
  JOVC_ERR_MEMORY = 4,    // the library's allocator gave nothing
  JOVC_ERR_GUARD = 5,     // a damaged or foreign guard frame; the block is kept
  JOVC_ERR_LIST = 6,      // a list operation failed: the record's links disagree
  JOVC_ERR_STATE = 7,     // not possible in the object's state (a record exported)
  JOVC_ERR_SYSTEM = 8,    // the system refused; the Win32 code is in the contract
  JOVC_ERR_INTERNAL = 9   // an unexpected failure inside the library
};

// A short English text for a result code ("not a live handle"...); "unknown result code" for
// any other value. The text is static: never freed, never changed.
JOVC_API const char* JOVC_CALL jovc_result_text(JOVC_RESULT result);

// ---- Trace --------------------------------------------------------------------------------

// A trace object: a trace file or an in-memory wrap ring of time-stamped lines, and a
// routine stack whose depth indents every line. One thread at a time uses its routine stack.
typedef struct JOVC_Trace_* JOVC_TRACE;

// Bits of jovc_trace_state's answer.
enum {
  JOVC_TRACE_FILE = 1,  // the trace file is open
  JOVC_TRACE_WRAP = 2   // the wrap trace is on
};

// A routine push's trace selector: take the level below's setting (level 0 is traced).
#define JOVC_TRACE_INHERIT (-2)
// No return code on a Pop line, no request on a Push line.
#define JOVC_NO_VALUE 2147483647

// Creates an idle trace object (no file, no ring, empty routine stack) into *trace.
// JOVC_ERR_NULL for a null trace, JOVC_ERR_MEMORY when no object or handle can be had.
JOVC_API JOVC_RESULT JOVC_CALL jovc_trace_create(JOVC_TRACE* trace);
// Ends the wrap trace, closes an open file with "Trace Closed." and frees the object; the
// handle is dead afterwards.
JOVC_API JOVC_RESULT JOVC_CALL jovc_trace_destroy(JOVC_TRACE trace);
// wrapSize 0 starts a file trace in a new file named from `name` (a path when it holds a
// backslash, else a bare name; NULL or empty: named after the program); any other wrapSize
// starts a wrap trace with a ring of that many bytes (at least 1024). Ignored while the file
// is open (and, for a ring, while one exists).
JOVC_API JOVC_RESULT JOVC_CALL jovc_trace_start(JOVC_TRACE trace, const wchar_t* name,
                                                uint32_t wrapSize);
// Closes the trace file, writing "Trace Closed." first when closedLine is not 0.
JOVC_API JOVC_RESULT JOVC_CALL jovc_trace_stop(JOVC_TRACE trace, int32_t closedLine);
// The file is replaced by a new one once it holds more than `bytes` bytes.
JOVC_API JOVC_RESULT JOVC_CALL jovc_trace_max_size(JOVC_TRACE trace, uint32_t bytes);
// Stores JOVC_TRACE_FILE and JOVC_TRACE_WRAP bits in *state (0: no trace active).
JOVC_API JOVC_RESULT JOVC_CALL jovc_trace_state(JOVC_TRACE trace, uint32_t* state);
// Copies out the name given to the last jovc_trace_start (text out: the length needed, or
// -JOVC_ERR_HANDLE).
JOVC_API int32_t JOVC_CALL jovc_trace_path(JOVC_TRACE trace, wchar_t* buffer, uint32_t capacity);

// Writes `text` as one time-stamped line, indented by the routine depth; nothing while no
// trace is active. Line feeds start continuation lines. JOVC_ERR_NULL for a null text.
JOVC_API JOVC_RESULT JOVC_CALL jovc_trace_line(JOVC_TRACE trace, const wchar_t* text);
// The same for UTF-8 text; invalid sequences become U+FFFD.
JOVC_API JOVC_RESULT JOVC_CALL jovc_trace_line_utf8(JOVC_TRACE trace, const char* text);

// Enters a routine className "." routineName and stores its level (0 for the outermost) in
// *level. Writes "Push " and the name (and two blanks and `detail` when detail is not NULL)
// when a trace is active and the level traced. traceSelector: JOVC_TRACE_INHERIT, 0 (no
// Push or Pop lines for the level) or any other value (lines written).
JOVC_API JOVC_RESULT JOVC_CALL jovc_routine_push(JOVC_TRACE trace, const wchar_t* className,
                                                 const wchar_t* routineName, const wchar_t* detail,
                                                 int32_t traceSelector, int32_t* level);
// jovc_routine_push with the detail "Request=" and `request` in decimal; JOVC_NO_VALUE
// means no detail.
JOVC_API JOVC_RESULT JOVC_CALL jovc_routine_push_request(JOVC_TRACE trace, const wchar_t* className,
                                                         const wchar_t* routineName,
                                                         int32_t request, int32_t traceSelector,
                                                         int32_t* level);
// Leaves the routine at `level` (negative: the innermost) and every level above it, writing
// "Pop  ", the name, " Return Code=" and returnCode (unless JOVC_NO_VALUE) and the duration.
// JOVC_ERR_ARGUMENT, and nothing changed, for a level above the innermost (never pushed,
// or popped already) and for a pop on an empty stack.
JOVC_API JOVC_RESULT JOVC_CALL jovc_routine_pop(JOVC_TRACE trace, int32_t level,
                                                int32_t returnCode);
// Copies out the names of all levels, outermost first, joined by ";" (text out: the length
// needed, or -JOVC_ERR_HANDLE).
JOVC_API int32_t JOVC_CALL jovc_trace_call_stack(JOVC_TRACE trace, wchar_t* buffer,
                                                 uint32_t capacity);
// Copies out the innermost level's name, empty for an empty stack (text out: the length
// needed, or -JOVC_ERR_HANDLE).
JOVC_API int32_t JOVC_CALL jovc_trace_active_routine(JOVC_TRACE trace, wchar_t* buffer,
                                                     uint32_t capacity);

// Writes the ring into a new trace file between "---- Wrap trace of saved events." and
// "---- End of wrap trace.", with `reason` (may be NULL) as a line after the first; the ring
// is emptied and the wrap trace goes on. Nothing while no ring exists.
JOVC_API JOVC_RESULT JOVC_CALL jovc_trace_dump_wrap(JOVC_TRACE trace, const wchar_t* reason);
// Ends the wrap trace and frees the ring; its lines are lost.
JOVC_API JOVC_RESULT JOVC_CALL jovc_trace_wrap_stop(JOVC_TRACE trace);
// Writes an empty line, `title` when not NULL, then one dump line with address per 16 bytes
// of `bytes` (readable for `count` bytes). JOVC_ERR_NULL for null bytes with a count.
JOVC_API JOVC_RESULT JOVC_CALL jovc_trace_hex_dump(JOVC_TRACE trace, const void* bytes,
                                                   uint32_t count, const wchar_t* title);
// Writes a report of `heap` (NULL: the process heap), one row per entry; options: 1
// compressed, 2 blocks in use only; the first dumpCount bytes of each block in use are dumped.
// Starts a file trace for the report when none is active and stops it afterwards.
JOVC_API JOVC_RESULT JOVC_CALL jovc_trace_heap(JOVC_TRACE trace, void* heap, uint32_t options,
                                               uint32_t dumpCount);
// Writes one line with the totals of free, committed and reserved address space and `id`.
JOVC_API JOVC_RESULT JOVC_CALL jovc_trace_virtual_memory(JOVC_TRACE trace, uint32_t id);

// ---- Memory -------------------------------------------------------------------------------

// Strategies of jovc_memory_define.
enum {
  JOVC_MEM_NEW = 1,     // operator new / delete
  JOVC_MEM_MALLOC = 2,  // malloc / free
  JOVC_MEM_HEAP = 3,    // a private growable heap
  JOVC_MEM_VIRTUAL = 4  // one reservation per block, ending at a no-access page
};
// Option bit of jovc_memory_define: blocks come zeroed.
#define JOVC_MEM_ZERO_FILL 0x00000008u
// Option bit of jovc_memory_define: a guard frame around every block, checked on free.
#define JOVC_MEM_GUARD 0x40000000u

// Stores the options (every call) and chooses the strategy (first call of the process only;
// the library's own first allocation chooses JOVC_MEM_MALLOC, so define first). monitor,
// applied before the definition: non-zero keeps the pool counter and makes the event ring,
// which only 1 writes events into. heapInitial 0 means 131072. JOVC_ERR_ARGUMENT for a strategy
// outside 1..4, JOVC_ERR_SYSTEM when the private heap could not be created (later gets then give
// NULL).
JOVC_API JOVC_RESULT JOVC_CALL jovc_memory_define(int32_t strategy, uint32_t heapInitial,
                                                  uint32_t options, int32_t monitor);
// A block of at least `size` bytes from the library's allocator, or NULL (size 0,
// exhaustion). flags JOVC_MEM_ZERO_FILL zeroes it; 0 follows the defined options. Give it
// back with jovc_memory_free.
JOVC_API void* JOVC_CALL jovc_memory_get(uint32_t size, uint32_t flags);
// Gives a block back (NULL: nothing, JOVC_OK). JOVC_ERR_GUARD when guard frames are on and
// the frame is damaged or foreign (the block stays allocated), JOVC_ERR_SYSTEM when the
// system refused the free or no strategy is defined.
JOVC_API JOVC_RESULT JOVC_CALL jovc_memory_free(void* block);
// Bytes held through strategies 2 and 3 while monitoring, frames included.
JOVC_API uint64_t JOVC_CALL jovc_memory_pool_busy(void);

// ---- Message records and the event log ----------------------------------------------------

// A message record: an id, a category, insertion strings, and the creating trace's active
// routine name.
typedef struct JOVC_Msg_* JOVC_MSG;

// Categories: the event log reports 6 to 30 as information, 50 as a warning, others as error.
enum {
  JOVC_CAT_DEBUG = 10,
  JOVC_CAT_DETAIL = 20,
  JOVC_CAT_INFO = 30,
  JOVC_CAT_WARNING = 50,
  JOVC_CAT_ERROR = 70,
  JOVC_CAT_FATAL = 90
};

// The exported form of a record (jovc_msg_export): this header, then the insertion list
// (each string zero-terminated, then one more zero), then the routine name. Offsets count
// bytes from the start of the block; 0 when absent.
typedef struct JOVC_MSG_RECORD {
  void* reserved1;             // zero
  void* reserved2;             // zero
  uint32_t msgId;              // message id
  uint32_t data3;              // caller value (0)
  uintptr_t routineOffset;     // offset of the routine name, or 0
  uintptr_t insertionsOffset;  // offset of the insertion list, or 0
  uint32_t insertionBytes;     // bytes of the insertion list with its final zero
  int32_t category;            // the record's category
  uint16_t data;               // caller value (0)
  uint16_t reserved3;          // zero
  uint32_t data1;              // caller value (0)
  uint32_t data2;              // caller value (0)
} JOVC_MSG_RECORD;

// Creates a record with this id and category into *msg; when trace is not NULL (it must be
// live then) the record keeps a copy of its active routine name.
JOVC_API JOVC_RESULT JOVC_CALL jovc_msg_create(JOVC_MSG* msg, uint32_t msgId, int32_t category,
                                               JOVC_TRACE trace);
// Appends `text` to the record's insertions. JOVC_ERR_STATE once exported.
JOVC_API JOVC_RESULT JOVC_CALL jovc_msg_add_text(JOVC_MSG msg, const wchar_t* text);
// Appends a number as text: radix 16 gives "0x" and lower-case hex, 10 signed decimal, other
// radices 2..36 unsigned digits. JOVC_ERR_ARGUMENT for another radix.
JOVC_API JOVC_RESULT JOVC_CALL jovc_msg_add_number(JOVC_MSG msg, int32_t value, uint32_t radix);
// Flattens the record into one block (JOVC_MSG_RECORD, insertions, routine name) and copies
// it into `buffer` of `capacity` bytes, by the text-out convention counted in bytes: returns
// the block's bytes (copied when capacity allows), or -JOVC_ERR_HANDLE, -JOVC_ERR_NULL,
// -JOVC_ERR_MEMORY. The first call freezes the record: insertions can no longer be added,
// jovc_msg_log still reports it.
JOVC_API int32_t JOVC_CALL jovc_msg_export(JOVC_MSG msg, void* buffer, uint32_t capacity);
// Reports the record to the event log under `source` (NULL or empty: "JOVMsg"), formatting
// `text` (%1, %2 ... for the insertions; NULL: the message id's system text). JOVC_OK also
// when nothing could be reported (no text from the formatter, no event source). A flood of
// more than 500 entries (by default) within four hours ends the process with exit code 112.
JOVC_API JOVC_RESULT JOVC_CALL jovc_msg_log(JOVC_MSG msg, const wchar_t* text,
                                            const wchar_t* source);
// Frees the record; the handle is dead afterwards.
JOVC_API JOVC_RESULT JOVC_CALL jovc_msg_destroy(JOVC_MSG msg);
// Reports one event of this category and message id, without insertions, as jovc_msg_log.
JOVC_API JOVC_RESULT JOVC_CALL jovc_log_event(int32_t category, const wchar_t* text, uint32_t msgId,
                                              const wchar_t* source);

// ---- Strings on plain arrays --------------------------------------------------------------

// 1 when a and b are equal ignoring case (NULL counts as empty), else 0.
JOVC_API int32_t JOVC_CALL jovc_match_caseless(const wchar_t* a, const wchar_t* b);
// Stores -1, 0 or +1 in *order: upper-cased a and b in the collation order.
JOVC_API JOVC_RESULT JOVC_CALL jovc_compare_caseless(const wchar_t* a, const wchar_t* b,
                                                     int32_t* order);
// Takes the first field off the delimited list in `source` into `field` of `capacity`
// characters (text out: the field's length needed; the source's length plus one always
// suffices). Only when the field is copied does `source` lose it and the delimiter behind
// it, so asking with (NULL, 0) leaves the source as it is. delimiters NULL means ",";
// wholeDelimiter non-zero matches the delimiter text as a whole; quoted delimiters do not
// count; trimBlanks non-zero trims source and field. -JOVC_ERR_NULL for a null source.
JOVC_API int32_t JOVC_CALL jovc_parse_field(wchar_t* source, const wchar_t* delimiters,
                                            wchar_t* field, uint32_t capacity,
                                            int32_t wholeDelimiter, int32_t trimBlanks);
// Replaces every findText in the zero-terminated `buffer` of `capacity` characters by
// replaceText (NULL: empty), at most maxReplacements times (0: no limit). Returns the
// result's length needed with its zero; the buffer holds the result when it fits and is
// left unchanged otherwise (it holds the caller's text, so unlike other text-out functions
// it is not emptied). *count (when not NULL) gets the number of replacements made in the
// buffer. -JOVC_ERR_NULL for a null buffer, -JOVC_ERR_ARGUMENT for an empty findText.
JOVC_API int32_t JOVC_CALL jovc_replace_all(wchar_t* buffer, uint32_t capacity,
                                            const wchar_t* findText, const wchar_t* replaceText,
                                            uint32_t maxReplacements, uint32_t* count);

// ---- Names --------------------------------------------------------------------------------

// A Win32 code telling whether `path` is a file: 0 yes (or access denied), 2 empty (NULL
// counts) or missing, 183 a directory, 8 out of memory, else the system's code.
JOVC_API uint32_t JOVC_CALL jovc_test_file(const wchar_t* path);
// The same test for a directory: 0 yes, 183 a file, 2 empty or missing, ...
JOVC_API uint32_t JOVC_CALL jovc_test_directory(const wchar_t* path);
// Copies out the network form of a path on a mapped drive, else the path itself (text out:
// the length needed, or -JOVC_ERR_NULL for a null path).
JOVC_API int32_t JOVC_CALL jovc_unc_path(const wchar_t* path, wchar_t* buffer, uint32_t capacity);
// Copies out the long-path form: "\\?\" before a drive or relative path, "\\?\UNC\" for a
// network path; resolveDfs non-zero resolves a DFS link with exactly one target (text out:
// the length needed, or -JOVC_ERR_NULL for a null path).
JOVC_API int32_t JOVC_CALL jovc_long_path(const wchar_t* path, int32_t resolveDfs, wchar_t* buffer,
                                          uint32_t capacity);
// Copies out the logon user's name, "Unknown" when no query answers (text out: the length
// needed).
JOVC_API int32_t JOVC_CALL jovc_logon_id(wchar_t* buffer, uint32_t capacity);
// Copies out the computer's name, empty when the system could not give it (text out: the
// length needed).
JOVC_API int32_t JOVC_CALL jovc_computer_name(wchar_t* buffer, uint32_t capacity);

// ---- Platform -----------------------------------------------------------------------------

// Releases for jovc_is_windows.
enum {
  JOVC_WIN_NT = 1,          // any release of the NT family
  JOVC_WIN_2000 = 2,        // 5.0 or later
  JOVC_WIN_XP = 3,          // 5.1 or later
  JOVC_WIN_2003 = 4,        // 5.2 or later
  JOVC_WIN_VISTA = 5,       // 6.0 or later
  JOVC_WIN_2008 = 6,        // exactly 6.0 from build 6001
  JOVC_WIN_7_OR_2008R2 = 7  // exactly 6.1 from build 7600
};
// 1 when the system is the release asked for (or later, as noted), else 0 (also for an
// unknown value).
JOVC_API int32_t JOVC_CALL jovc_is_windows(int32_t release);
// Microseconds from an arbitrary origin, never decreasing within the process.
JOVC_API uint64_t JOVC_CALL jovc_timer_value(void);
// Reflected CRC-32 (polynomial 0xEDB88320) of count bytes, continuing from crc, with no
// initial value or final inversion: ~jovc_crc32(0xFFFFFFFF, "123456789", 9) is 0xCBF43926.
// NULL bytes or count 0 return crc.
JOVC_API uint32_t JOVC_CALL jovc_crc32(uint32_t crc, const void* bytes, uint32_t count);

#ifdef __cplusplus
}  // extern "C"
#endif

#endif  // JOVUTILC_H
