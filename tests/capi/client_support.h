/* client_support.h - what the C-interface clients built by clang for the MSVC targets need
   beside JOVUtilC.h: the few Windows API calls, declared here (mingw-w64's windows.h does not
   compile in that mode and there is no C runtime), output, and checks that count failures. */
#ifndef CLIENT_SUPPORT_H
#define CLIENT_SUPPORT_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void* WinHandle;
typedef unsigned long(__stdcall* WinThreadStart)(void*);
__declspec(dllimport) WinHandle __stdcall GetStdHandle(unsigned long which);
__declspec(dllimport) int __stdcall WriteFile(WinHandle file, const void* bytes,
                                              unsigned long count, unsigned long* written,
                                              void* overlapped);
__declspec(dllimport) void __stdcall ExitProcess(unsigned code);
__declspec(dllimport) wchar_t* __stdcall GetCommandLineW(void);
__declspec(dllimport) WinHandle
    __stdcall CreateThread(void* security, size_t stack, WinThreadStart start, void* argument,
                           unsigned long flags, unsigned long* threadId);
__declspec(dllimport) unsigned long __stdcall WaitForSingleObject(WinHandle handle,
                                                                  unsigned long ms);
__declspec(dllimport) int __stdcall CloseHandle(WinHandle handle);
__declspec(dllimport) int __stdcall CreateDirectoryW(const wchar_t* path, void* security);

/* Writes ASCII text to standard output. */
void out_text(const char* text);
/* Writes a number in decimal. */
void out_number(long long value);
/* Counts a failed check and reports it with its line; returns ok. */
int check_at(int ok, const char* what, int line);
#define CHECK(condition) check_at((condition) != 0, #condition, __LINE__)
/* The number of failed checks so far. */
int check_failures(void);

/* Wide-string helpers without a C runtime. */
size_t wide_length(const wchar_t* text);
int wide_equal(const wchar_t* a, const wchar_t* b);
/* Writes folder "\" name into out (room for 300 characters). */
void join_path(wchar_t* out, const wchar_t* folder, const wchar_t* name);

/* The two clients: each writes its trace files into folder and counts its failures. */
void run_c_client(const wchar_t* folder);
void run_cxx_client(const wchar_t* folder);

#ifdef __cplusplus
}
#endif

#endif
