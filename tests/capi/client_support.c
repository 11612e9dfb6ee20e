/* client_support.c - output, failure counting and string helpers of the C-interface clients,
   and the memory functions that clang may call for copies and zero-fills (there is no C
   runtime to bring them). */
#include "client_support.h"

static int failures = 0;

#if defined(_MSC_VER)
void* memset(void* destination, int value, size_t count) {
  unsigned char* bytes = (unsigned char*)destination;
  while (count-- > 0) *bytes++ = (unsigned char)value;
  return destination;
}

void* memcpy(void* destination, const void* source, size_t count) {
  unsigned char* to = (unsigned char*)destination;
  const unsigned char* from = (const unsigned char*)source;
  while (count-- > 0) *to++ = *from++;
  return destination;
}
#endif

void out_text(const char* text) {
  unsigned long length = 0, written = 0;
  while (text[length] != 0) ++length;
  WriteFile(GetStdHandle((unsigned long)-11), text, length, &written, NULL);
}

void out_number(long long value) {
  char digits[24];
  int at = 23;
  unsigned long long magnitude =
      value < 0 ? 0ull - (unsigned long long)value : (unsigned long long)value;
  digits[at] = 0;
  do {
    /* Divides 32 bits only (the x86 target has no 64-bit division without a runtime):
       numbers up to 4294967295, which is all that the clients print. */
    unsigned long low = (unsigned long)magnitude;
    digits[--at] = (char)('0' + low % 10);
    magnitude = low / 10;
  } while (magnitude != 0 && at > 1);
  if (value < 0) digits[--at] = '-';
  out_text(digits + at);
}

int check_at(int ok, const char* what, int line) {
  if (!ok) {
    ++failures;
    out_text("FAILED line ");
    out_number(line);
    out_text(": ");
    out_text(what);
    out_text("\n");
  }
  return ok;
}

int check_failures(void) { return failures; }

size_t wide_length(const wchar_t* text) {
  size_t length = 0;
  while (text[length] != 0) ++length;
  return length;
}

int wide_equal(const wchar_t* a, const wchar_t* b) {
  while (*a != 0 && *a == *b) ++a, ++b;
  return *a == *b;
}

void join_path(wchar_t* out, const wchar_t* folder, const wchar_t* name) {
  size_t at = 0;
  while (*folder != 0 && at < 250) out[at++] = *folder++;
  out[at++] = L'\\';
  while (*name != 0 && at < 298) out[at++] = *name++;
  out[at] = 0;
}
