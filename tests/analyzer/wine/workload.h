// workload.h - a program's work traced through the DLL into real trace files: a file trace
// that a small size limit turns into a chain, with nested routines, return codes, a Pop of an
// outer level and memory lines; a second thread where the lane can run one; a wrap trace
// dumped with a reason while a routine is open. It records what it did, for the reader's
// figures to be checked against.
#pragma once

#include <map>
#include <set>
#include <string>

namespace e2e {

struct Done {
  // Of the chain, per routine "NAME" its calls (closed by anything) and "NAME rc CODE" the
  // calls that returned CODE.
  std::map<std::string, int> counts;
  int closedByOuterPop = 0;
  std::set<unsigned> threads;  // that wrote to the chain
};

// Writes the traces into `folder` (which must exist); `threads` allows a second thread.
Done RunWorkload(const std::wstring& folder, bool threads);

// For `jovtrace follow` to watch: steps of the batch for `seconds` into the file trace
// `folder`\live, whose size limit `sizeLimit` replaces its file again and again, while a
// second thread holds a routine open at the stack's outermost level the whole time.
void RunLive(const std::wstring& folder, double seconds, unsigned long sizeLimit);

}  // namespace e2e
