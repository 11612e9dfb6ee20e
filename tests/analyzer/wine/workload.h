// workload.h - a program's work traced through the DLL into real trace files: a file trace
// that a small size limit turns into a chain, with nested routines, return codes, a Pop of an
// outer level and memory lines; a second thread where the lane can run one; a wrap trace
// dumped with a reason while a routine is open. It records what it did, for the reader's
// figures to be checked against.
#pragma once

#include <map>
#include <string>

namespace e2e {

struct Done {
  std::map<std::string, int> calls;                      // per routine, closed by anything
  std::map<std::string, std::map<long, int>> codes;      // per routine: return code -> calls
  int closedByOuterPop = 0;
  unsigned long mainThread = 0;
  unsigned long workerThread = 0;   // 0 when the lane ran no second thread
  unsigned long monitorThread = 0;  // likewise; may be the worker's id again, once it ended
};

// Writes the traces into `folder` (which must exist); `threads` allows a second thread.
Done RunWorkload(const std::wstring& folder, bool threads);

}  // namespace e2e
