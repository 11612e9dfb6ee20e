// child_run.cpp - fork, exec and wait4, whose usage gives the child's peak resident size.
#include "child_run.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace jov::bench {

Measured RunChild(const char* const* argv, const std::string& out) {
  Measured m;
  std::fflush(stdout);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (std::freopen(out.c_str(), "w", stdout) == nullptr) std::_Exit(126);
    ::execvp(argv[0], const_cast<char* const*>(argv));
    std::_Exit(127);
  }
  int status = 0;
  struct rusage usage = {};
  ::wait4(pid, &status, 0, &usage);
  m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  m.peakKb = usage.ru_maxrss;
  m.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return m;
}

Measured Best(const Measured& best, const Measured& m) {
  Measured result = best.status == -1 || m.seconds < best.seconds ? m : best;
  result.peakKb = std::max(best.peakKb, m.peakKb);
  return result;
}

}  // namespace jov::bench
