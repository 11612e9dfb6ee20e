// workload.h - a program's work traced through the DLL into real trace files: a file trace
// that a small size limit turns into a chain, with nested routines, return codes, a Pop of an
// outer level and memory lines; a second thread where the lane can run one; a wrap trace
// dumped with a reason while a routine is open. It records what it did, for the reader's
// figures to be checked against. And the batches of the Python tests of the 64-bit lane.
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

// Two runs of one batch for the report and the comparison: `traces` traces each into
// `folder`\base and `folder`\new (made here), written side by side, step by step, so that a
// load the machine carries for a moment weighs on both alike. A trace is a thread that writes
// one text and makes no call, then ten steps, each with Io.Read, Io.Parse (return code 3 in steps 0
// and 7) and Db.Write inside, each sleeping 1 ms of its own; the new run's Io.Parse sleeps
// `delayMs` more. Sleeping, not spinning: on a loaded machine a thread that spun for long is
// preempted more afterwards, which would slow the routines after the delayed one too. Batch.Step
// sleeps 4 ms of its own, so that what the longer sleep of its callee still costs it (the callee's
// Pop line written with cold caches, about 0.1 ms on a loaded machine) stays far below the
// comparison's threshold.
void RunBatches(const std::wstring& folder, int traces, unsigned delayMs);

// For `jovtrace follow` to watch: steps of the batch for `seconds` into the file trace
// `folder`\live, whose size limit `sizeLimit` replaces its file again and again, while a
// second thread holds a routine open at the stack's outermost level the whole time.
void RunLive(const std::wstring& folder, double seconds, unsigned long sizeLimit);

}  // namespace e2e
