/* client_main.c - the entry point of the C-interface client: runs the C client and the C++
   wrapper client in one process (a 32-bit process start under the emulated Wine costs about
   a minute) on the trace folder named by the only argument, and exits 0 when every check
   passed. */
#include "JOVUtilC.h"
#include "client_support.h"

void mainCRTStartup(void) {
  /* The argument: everything after the program's (quoted) name and the blanks behind it. */
  const wchar_t* command = GetCommandLineW();
  if (*command == L'"') {
    ++command;
    while (*command != 0 && *command != L'"') ++command;
    if (*command == L'"') ++command;
  } else {
    while (*command != 0 && *command != L' ') ++command;
  }
  while (*command == L' ') ++command;
  if (*command == 0) {
    out_text("usage: capi_client FOLDER\n");
    ExitProcess(2);
  }
  CreateDirectoryW(command, NULL);
  /* Guard frames and the pool counter for the whole process: the strategy is chosen once,
     before the library's first allocation. */
  CHECK(jovc_memory_define(JOVC_MEM_MALLOC, 0, JOVC_MEM_GUARD, 2) == JOVC_OK);
  run_c_client(command);
  run_cxx_client(command);
  out_text("capi client: ");
  out_number(check_failures());
  out_text(" failed checks\n");
  ExitProcess(check_failures() == 0 ? 0 : 1);
}
