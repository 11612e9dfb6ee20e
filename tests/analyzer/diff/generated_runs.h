// generated_runs.h - trace files of a run whose call durations are drawn from known
// distributions with a seed, and the diff command run on two of them in the test's process.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace difftest {

struct Routine {
  std::string name;
  double medianUs;
  int calls;
  double factor = 1;  // the run's durations are the distribution's times this
};

// Writes the folder `dir` holding one trace file: every call of `routines` in a seeded random
// order inside one call of "Batch.Run", durations log-normal around median x factor with the
// spread `sigma`. Returns `dir`.
std::filesystem::path GeneratedRun(const std::filesystem::path& dir,
                                   const std::vector<Routine>& routines, std::uint32_t seed,
                                   double sigma = 0.03);

// The folder `name` under the test's temporary folder, which is removed when the tests end.
std::filesystem::path Scratch(const std::string& name);

struct Compared {
  int exitCode = -1;
  std::map<std::string, std::string> verdicts;     // routine -> verdict, from the CSV
  std::map<std::string, std::string> renamedFrom;  // routine -> its name in the base
};

// `jovtrace diff --csv` on the folders, with `options` (e.g. {"--threshold", "3"}).
Compared Diff(const std::filesystem::path& base, const std::filesystem::path& next,
              const std::vector<std::string>& options = {});

}  // namespace difftest
