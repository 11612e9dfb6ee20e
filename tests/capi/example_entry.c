/* example_entry.c - the entry point that runs examples/c/trace_example.c's main without a C
   runtime: its result becomes the exit code. */
int main(void);
__declspec(dllimport) void __stdcall ExitProcess(unsigned code);

void mainCRTStartup(void) { ExitProcess((unsigned)main()); }
