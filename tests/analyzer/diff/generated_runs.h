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

// A trace file's content: every call of `routines` in a seeded random order inside one call
// of "Batch.Run", durations log-normal around median x factor with the spread `sigma`.
std::string GeneratedRun(const std::vector<Routine>& routines, std::uint32_t seed,
                         double sigma = 0.03);

// Writes `content` as the one trace file of a folder `name` under the test's temporary folder.
std::filesystem::path RunFolder(const std::string& name, const std::string& content);

struct Compared {
  int exitCode = -1;
  std::map<std::string, std::string> verdicts;     // routine -> verdict, from the CSV
  std::map<std::string, std::string> renamedFrom;  // routine -> its name in the base
};

// `jovtrace diff --csv` on the folders, with `options` (e.g. {"--threshold", "3"}).
Compared Diff(const std::filesystem::path& base, const std::filesystem::path& next,
              const std::vector<std::string>& options = {});

}  // namespace difftest
