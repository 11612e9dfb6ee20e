/* c_client.c - a C program of another compiler's ABI calling JOVUtil32 through JOVUtilC.h
   only: a file trace (nested routines, a second thread on x64, UTF-16 and UTF-8 lines, a hex
   dump) and a wrap trace dumped to a file, which the test reads back with jovtrace; CRC-32,
   the timer, names, guarded memory, a message record in the event log; and bad input. */
#include "JOVUtilC.h"
#include "client_support.h"

/* "Grüße Привет ✓": the trace file holds the ANSI code page, where the Latin letters survive
   and the others become "?", so the read-back shows whether the UTF-8 was decoded right. */
static const char kUtf8Line[] =
    "UTF-8 line: Gr\xC3\xBC\xC3\x9F"
    "e \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xE2\x9C\x93";

#if defined(_WIN64)
/* The second thread's nested routines, on the trace object that the main thread lends it
   while it waits (a trace object's routine stack serves one thread at a time). */
static unsigned long __stdcall worker(void* argument) {
  JOVC_TRACE trace = (JOVC_TRACE)argument;
  int32_t outer = -1, inner = -1;
  CHECK(jovc_routine_push(trace, L"Worker", L"Run", NULL, JOVC_TRACE_INHERIT, &outer) == JOVC_OK);
  CHECK(jovc_routine_push(trace, L"Worker", L"Step", NULL, JOVC_TRACE_INHERIT, &inner) == JOVC_OK);
  CHECK(jovc_trace_line(trace, L"worker line") == JOVC_OK);
  CHECK(jovc_routine_pop(trace, inner, 11) == JOVC_OK);
  CHECK(jovc_routine_pop(trace, outer, 0) == JOVC_OK);
  return 0;
}
#endif

/* file_trace's trace handle after its destruction. */
static JOVC_TRACE dead_trace = NULL;

static void file_trace(const wchar_t* folder) {
  JOVC_TRACE trace = NULL;
  wchar_t name[300], text[300];
  uint32_t state = 0;
  int32_t main_level = -1, inner_level = -1;
  static const unsigned char check_bytes[] = "123456789";

  join_path(name, folder, L"cclient");
  CHECK(jovc_trace_create(&trace) == JOVC_OK);
  CHECK(jovc_trace_start(trace, name, 0) == JOVC_OK);
  CHECK(jovc_trace_state(trace, &state) == JOVC_OK && state == JOVC_TRACE_FILE);
  CHECK(jovc_trace_path(trace, text, 300) == (int32_t)wide_length(name) + 1 &&
        wide_equal(text, name));
  CHECK(jovc_routine_push_request(trace, L"Client", L"Main", 7, JOVC_TRACE_INHERIT, &main_level) ==
            JOVC_OK &&
        main_level == 0);
  CHECK(jovc_trace_line(trace,
                        L"UTF-16 line: Gr\x00FC\x00DF"
                        L"e \x65E5\x672C\x8A9E") == JOVC_OK);
  CHECK(jovc_trace_line_utf8(trace, kUtf8Line) == JOVC_OK);
  CHECK(jovc_routine_push(trace, L"Client", L"Inner", L"detail text", JOVC_TRACE_INHERIT,
                          &inner_level) == JOVC_OK &&
        inner_level == 1);
  CHECK(jovc_trace_call_stack(trace, text, 300) == 25 &&
        wide_equal(text, L"Client.Main;Client.Inner"));
  CHECK(jovc_trace_active_routine(trace, text, 300) == 13 && wide_equal(text, L"Client.Inner"));
  CHECK(jovc_trace_hex_dump(trace, check_bytes, 9, L"check bytes") == JOVC_OK);
  CHECK(jovc_routine_pop(trace, inner_level, 5) == JOVC_OK);
  /* A level that was never pushed, and the one just popped: refused, nothing changed. */
  CHECK(jovc_routine_pop(trace, 4, 0) == JOVC_ERR_ARGUMENT);
  CHECK(jovc_routine_pop(trace, inner_level, 0) == JOVC_ERR_ARGUMENT);
#if defined(_WIN64)
  {
    WinHandle thread = CreateThread(NULL, 0, worker, trace, 0, NULL);
    CHECK(thread != NULL && WaitForSingleObject(thread, 60000) == 0);
    if (thread != NULL) CloseHandle(thread);
  }
#endif
  CHECK(jovc_trace_active_routine(trace, text, 300) == 12 && wide_equal(text, L"Client.Main"));
  /* A message record keeps the active routine's name. */
  {
    JOVC_MSG msg = NULL;
    union {
      JOVC_MSG_RECORD record;
      unsigned char bytes[512];
    } block;
    const wchar_t* insertions;
    int32_t bytes;
    CHECK(jovc_msg_create(&msg, 1000, JOVC_CAT_WARNING, trace) == JOVC_OK);
    CHECK(jovc_msg_add_text(msg, L"paper") == JOVC_OK);
    CHECK(jovc_msg_add_number(msg, 255, 16) == JOVC_OK);
    CHECK(jovc_msg_add_number(msg, 1, 99) == JOVC_ERR_ARGUMENT);
    CHECK(jovc_msg_add_text(msg, NULL) == JOVC_ERR_NULL);
    bytes = jovc_msg_export(msg, NULL, 0);
    CHECK(bytes > (int32_t)sizeof(JOVC_MSG_RECORD) && bytes <= (int32_t)sizeof block);
    CHECK(jovc_msg_export(msg, &block, sizeof block) == bytes);
    insertions = (const wchar_t*)(block.bytes + block.record.insertionsOffset);
    CHECK(block.record.msgId == 1000 && block.record.category == JOVC_CAT_WARNING &&
          wide_equal(insertions, L"paper") && wide_equal(insertions + 6, L"0xff") &&
          block.record.routineOffset != 0 &&
          wide_equal((const wchar_t*)(block.bytes + block.record.routineOffset), L"Client.Main"));
    CHECK(jovc_msg_add_text(msg, L"late") == JOVC_ERR_STATE);
    CHECK(jovc_msg_log(msg, L"%1 is low (%2)", L"JOVCClient") == JOVC_OK);
    CHECK(jovc_msg_destroy(msg) == JOVC_OK);
    CHECK(jovc_msg_destroy(msg) == JOVC_ERR_HANDLE);
    CHECK(jovc_msg_export(msg, &block, sizeof block) == -JOVC_ERR_HANDLE);
    CHECK(jovc_log_event(JOVC_CAT_ERROR, L"plain event from the C client", 0, NULL) == JOVC_OK);
  }
  CHECK(jovc_routine_pop(trace, main_level, 0) == JOVC_OK);
  CHECK(jovc_routine_pop(trace, -1, 0) == JOVC_ERR_ARGUMENT); /* empty stack */
  CHECK(jovc_trace_stop(trace, 1) == JOVC_OK);

  /* A wrap trace, dumped into a file of its own. */
  join_path(name, folder, L"cwrap");
  CHECK(jovc_trace_start(trace, name, 4096) == JOVC_OK);
  CHECK(jovc_trace_state(trace, &state) == JOVC_OK && state == JOVC_TRACE_WRAP);
  CHECK(jovc_routine_push(trace, L"Ring", L"Work", NULL, JOVC_TRACE_INHERIT, &main_level) ==
        JOVC_OK);
  CHECK(jovc_trace_line(trace, L"ring line") == JOVC_OK);
  CHECK(jovc_routine_pop(trace, main_level, 9) == JOVC_OK);
  CHECK(jovc_trace_dump_wrap(trace, L"dumped by the C client") == JOVC_OK);
  CHECK(jovc_trace_wrap_stop(trace) == JOVC_OK);
  CHECK(jovc_trace_state(trace, &state) == JOVC_OK && state == 0);
  CHECK(jovc_trace_destroy(trace) == JOVC_OK);

  /* The destroyed handle, a null one, foreign ones. */
  CHECK(jovc_trace_line(trace, L"x") == JOVC_ERR_HANDLE);
  CHECK(jovc_trace_destroy(trace) == JOVC_ERR_HANDLE);
  CHECK(jovc_trace_line(NULL, L"x") == JOVC_ERR_HANDLE);
  CHECK(jovc_trace_line((JOVC_TRACE)name, L"x") == JOVC_ERR_HANDLE);
  CHECK(jovc_routine_pop((JOVC_TRACE)(uintptr_t)0x00010001u, 0, 0) == JOVC_ERR_HANDLE);
  dead_trace = trace;
}

static int ascii_equal(const char* a, const char* b) {
  while (*a != 0 && *a == *b) ++a, ++b;
  return *a == *b;
}

static void bad_input(void) {
  JOVC_TRACE trace = NULL;
  JOVC_MSG msg = NULL, other = NULL;
  wchar_t small[4];
  uint32_t count = 0;
  wchar_t buffer[16] = L"aXbXc";
  CHECK(jovc_trace_create(NULL) == JOVC_ERR_NULL);
  CHECK(jovc_trace_create(&trace) == JOVC_OK);
  /* The new object takes the dead handle's table slot, under a new generation. */
  CHECK(trace != dead_trace && jovc_trace_line(dead_trace, L"x") == JOVC_ERR_HANDLE);
  CHECK(jovc_trace_line(trace, NULL) == JOVC_ERR_NULL);
  CHECK(jovc_trace_line_utf8(trace, NULL) == JOVC_ERR_NULL);
  CHECK(jovc_trace_start(trace, L"C:\\some\\trace", 2048) == JOVC_OK);
  /* Too small: the length needed and an emptied buffer; asking with no buffer. */
  small[0] = L'x';
  CHECK(jovc_trace_path(trace, small, 4) == 14 && small[0] == 0);
  CHECK(jovc_trace_path(trace, NULL, 0) == 14);
  CHECK(jovc_trace_path(trace, NULL, 4) == -JOVC_ERR_NULL);
  CHECK(jovc_trace_call_stack(dead_trace, small, 4) == -JOVC_ERR_HANDLE);
  CHECK(jovc_trace_wrap_stop(trace) == JOVC_OK);
  /* A message handle is not a trace handle, nor the reverse. */
  CHECK(jovc_msg_create(&msg, 1, JOVC_CAT_INFO, NULL) == JOVC_OK);
  CHECK(jovc_trace_line((JOVC_TRACE)msg, L"x") == JOVC_ERR_HANDLE);
  CHECK(jovc_msg_add_text((JOVC_MSG)trace, L"x") == JOVC_ERR_HANDLE);
  CHECK(jovc_msg_create(&other, 1, JOVC_CAT_INFO, (JOVC_TRACE)msg) == JOVC_ERR_HANDLE &&
        other == NULL);
  CHECK(jovc_trace_destroy(trace) == JOVC_OK);
  CHECK(jovc_msg_create(&other, 1, JOVC_CAT_INFO, trace) == JOVC_ERR_HANDLE);
  CHECK(jovc_msg_destroy(msg) == JOVC_OK);
  /* Replace-all and parse-field into buffers too small: the length needed, and the caller's
     text kept. */
  CHECK(jovc_replace_all(buffer, 8, L"X", L"---", 0, &count) == 10 && count == 0 &&
        wide_equal(buffer, L"aXbXc"));
  CHECK(jovc_replace_all(buffer, 16, L"X", L"---", 0, &count) == 10 && count == 2 &&
        wide_equal(buffer, L"a---b---c"));
  CHECK(jovc_replace_all(buffer, 16, L"", L"-", 0, &count) == -JOVC_ERR_ARGUMENT);
  CHECK(jovc_parse_field(buffer, NULL, small, 4, 0, 0) == 10 && small[0] == 0 &&
        wide_equal(buffer, L"a---b---c"));
  CHECK(ascii_equal(jovc_result_text(JOVC_ERR_HANDLE), "not a live handle of this kind") &&
        ascii_equal(jovc_result_text(-3), "unknown result code"));
}

static void services(void) {
  static const char digits[] = "123456789";
  wchar_t source[32] = L"one,\"two, three\",four";
  wchar_t field[32], text[300];
  int32_t order = 9;
  uint64_t first, second;
  unsigned char foreign[256];
  unsigned char* block;
  uint64_t pool_before;
  int i;

  CHECK(~jovc_crc32(0xFFFFFFFFu, digits, 9) == 0xCBF43926u);
  first = jovc_timer_value();
  for (i = 0; i < 1000; ++i) (void)jovc_crc32(0, digits, 9);
  second = jovc_timer_value();
  CHECK(second >= first && first != 0);
  CHECK(jovc_is_windows(JOVC_WIN_NT) == 1 && jovc_is_windows(99) == 0);

  CHECK(jovc_long_path(L"C:\\dir\\file", 0, text, 300) == 16 &&
        wide_equal(text, L"\\\\?\\C:\\dir\\file"));
  CHECK(jovc_unc_path(L"C:\\x", text, 300) == 5 && wide_equal(text, L"C:\\x"));
  CHECK(jovc_computer_name(NULL, 0) > 1);
  CHECK(jovc_logon_id(text, 300) > 1 && text[0] != 0);
  CHECK(jovc_test_directory(L"C:\\windows") == 0 && jovc_test_file(L"C:\\windows") == 183);
  CHECK(jovc_test_file(NULL) == 2);

  CHECK(jovc_match_caseless(L"Client", L"cLIENT") == 1 && jovc_match_caseless(L"a", L"b") == 0);
  CHECK(jovc_compare_caseless(L"apple", L"BANANA", &order) == JOVC_OK && order == -1);
  CHECK(jovc_compare_caseless(NULL, L"x", &order) == JOVC_ERR_NULL);
  CHECK(jovc_parse_field(source, NULL, field, 32, 0, 0) == 4 && wide_equal(field, L"one") &&
        wide_equal(source, L"\"two, three\",four"));

  /* Guard frames are on (client_main.c): a sound block comes and goes, a foreign one is
     refused with the guard code instead of freed. */
  pool_before = jovc_memory_pool_busy();
  block = (unsigned char*)jovc_memory_get(100, JOVC_MEM_ZERO_FILL);
  CHECK(block != NULL && block[0] == 0 && block[99] == 0);
  CHECK(jovc_memory_pool_busy() > pool_before);
  CHECK(jovc_memory_free(block) == JOVC_OK);
  CHECK(jovc_memory_pool_busy() == pool_before);
  for (i = 0; i < 256; ++i) foreign[i] = (unsigned char)i;
  CHECK(jovc_memory_free(foreign + 128) == JOVC_ERR_GUARD);
  CHECK(jovc_memory_free(NULL) == JOVC_OK);
  CHECK(jovc_memory_define(7, 0, 0, 0) == JOVC_ERR_ARGUMENT);
}

void run_c_client(const wchar_t* folder) {
  file_trace(folder);
  bad_input();
  services();
}
