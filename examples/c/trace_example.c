/* trace_example.c - JOVUtil32 from C through its C interface: a trace file with a routine
   and lines, the CRC-32 check value, and text out (ask for the length, then fetch). Any
   compiler: link JOVUtil32.lib (MSVC-style linkers) or libJOVUtil32.dll.a beside it (MinGW),
   ship JOVUtil32.dll and its runtime DLLs. */
#include <JOVUtilC.h>

int main(void) {
  JOVC_TRACE trace = NULL;
  int32_t level = -1, length;
  wchar_t* stack;
  uint32_t crc;
  JOVC_RESULT result = jovc_trace_create(&trace);
  if (result != JOVC_OK) return 1; /* jovc_result_text(result) says why */

  jovc_trace_start(trace, NULL, 0); /* "YYMMDD HHMMSS <program>.JOV_Log" beside the program */
  jovc_routine_push(trace, L"Main", L"Run", NULL, JOVC_TRACE_INHERIT, &level);
  jovc_trace_line_utf8(trace, "checksum of 123456789");
  crc = ~jovc_crc32(0xFFFFFFFFu, "123456789", 9); /* 0xCBF43926 */

  /* Text out: the length with the terminating zero (9 for "Main.Run"; negative: a failure's
     result code), then the text into a buffer of that many characters. */
  length = jovc_trace_call_stack(trace, NULL, 0);
  stack = length > 0 ? (wchar_t*)jovc_memory_get((uint32_t)(sizeof(wchar_t) * (size_t)length), 0)
                     : NULL;
  if (stack != NULL && jovc_trace_call_stack(trace, stack, (uint32_t)length) == length) {
    jovc_trace_line(trace, stack);
  }
  jovc_memory_free(stack);

  jovc_routine_pop(trace, level, crc == 0xCBF43926u ? 0 : 1);
  jovc_trace_destroy(trace); /* closes the file with "Trace Closed." */
  return crc == 0xCBF43926u && length == 9 ? 0 : 1;
}
