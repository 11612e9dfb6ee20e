// diff_verdict_test.cpp - the verdicts of `jovtrace diff` on runs drawn from known
// distributions: shifts beyond the threshold flagged, shifts within it and noise not.
#include <gtest/gtest.h>

#include "generated_runs.h"

namespace {

using difftest::GeneratedRun;
using difftest::Routine;
using difftest::Scratch;

// Five routines of 400 calls with a 3 % spread; the 99 % interval of a median ratio is then
// about +/-1 % wide, so a threshold of 3 % lies between a 2 % and a 5 % shift.
std::vector<Routine> Workload(double openFactor = 1, double writeFactor = 1,
                              double sendFactor = 1) {
  return {{"Parser.Open", 2000, 400, openFactor},
          {"Store.Write", 800, 400, writeFactor},
          {"Net.Send", 5000, 400, sendFactor},
          {"Index.Lookup", 300, 400},
          {"Cache.Fill", 1200, 400}};
}

TEST(DiffVerdict, ShiftsBeyondTheThresholdFlaggedAndMatchingByName) {
  std::vector<Routine> next = Workload(1.05, 1.02, 0.90);
  next[4].name = "Cache.Load";                  // renamed
  next.push_back({"Store.Compact", 900, 300});  // added
  std::vector<Routine> base = Workload();
  base.push_back({"Net.Retry", 700, 300});  // removed
  base.push_back({"Index.Rebuild", 50000, 5});
  next.push_back({"Index.Rebuild", 90000, 5});  // nearly twice as slow, but five calls
  const auto baseDir = GeneratedRun(Scratch("shift_base"), base, 1);
  const auto nextDir = GeneratedRun(Scratch("shift_new"), next, 2);
  const std::map<std::string, std::string> expected = {
      {"Parser.Open", "slower"},     {"Store.Write", "unchanged"},
      {"Net.Send", "faster"},        {"Index.Lookup", "unchanged"},
      {"Cache.Load", "unchanged"},   {"Store.Compact", "added"},
      {"Net.Retry", "removed"},      {"Index.Rebuild", "too few calls"},
      {"Batch.Run", "too few calls"}};
  const auto renamed =
      difftest::Diff(baseDir, nextDir, {"--threshold", "3", "--rename", "Cache.Fill=Cache.Load"});
  EXPECT_EQ(renamed.verdicts, expected);
  EXPECT_EQ(renamed.renamedFrom,
            (std::map<std::string, std::string>{{"Cache.Load", "Cache.Fill"}}));
  EXPECT_EQ(renamed.exitCode, 1);

  // Without the rename the two names stand apart; with the default threshold of 5 % a 5 %
  // shift is not enough; with Benjamini-Hochberg the verdicts stay.
  const auto plain = difftest::Diff(baseDir, nextDir, {});
  EXPECT_EQ(plain.verdicts.at("Cache.Fill"), "removed");
  EXPECT_EQ(plain.verdicts.at("Cache.Load"), "added");
  EXPECT_EQ(plain.verdicts.at("Parser.Open"), "unchanged");
  EXPECT_EQ(plain.verdicts.at("Net.Send"), "faster");
  EXPECT_EQ(plain.exitCode, 0);
  const auto bh = difftest::Diff(
      baseDir, nextDir,
      {"--threshold", "3", "--correction", "bh", "--rename", "Cache.Fill=Cache.Load"});
  EXPECT_EQ(bh.verdicts, expected);

  // A run against itself flags nothing, even with no threshold and a loose alpha.
  const auto self =
      difftest::Diff(baseDir, baseDir, {"--threshold", "0", "--min-us", "0", "--alpha", "0.4"});
  for (const auto& [name, verdict] : self.verdicts)
    EXPECT_TRUE(verdict == "unchanged" || verdict == "too few calls") << name << " " << verdict;
  EXPECT_EQ(self.exitCode, 0);
}

TEST(DiffVerdict, SameDistributionsFlagNothingOverAHundredSeedPairs) {
  // No threshold and no minimum change: only the corrected p stands between noise and a
  // verdict, so this checks that the p values and their correction hold the error rate.
  int flagged = 0;
  for (std::uint32_t pair = 0; pair < 100; ++pair) {
    const auto base = GeneratedRun(Scratch("null_base"), Workload(), 1000 + pair);
    const auto next = GeneratedRun(Scratch("null_new"), Workload(), 5000 + pair);
    const auto compared = difftest::Diff(base, next, {"--threshold", "0", "--min-us", "0"});
    ASSERT_EQ(compared.verdicts.size(), 6u);
    for (const auto& [name, verdict] : compared.verdicts)
      flagged += verdict == "slower" || verdict == "faster";
  }
  EXPECT_LE(flagged, 1);
}

}  // namespace
