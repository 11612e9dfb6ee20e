// gxx_main.cpp - the g++ build of the wrapper client (cxx_client.cpp with its std::wstring
// members): runs it on the folder given and exits 0 when every check passed.
#include <cstdio>

#include "client_support.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  run_cxx_client(argv[1]);
  std::printf("wrapper client (g++): %d failed checks\n", check_failures());
  return check_failures() == 0 ? 0 : 1;
}
