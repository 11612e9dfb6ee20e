// rank_test.h - the Mann-Whitney U test of two samples (ties corrected, normal approximation)
// and the corrections of many p values for testing many routines at once.
#pragma once

#include <string>
#include <vector>

namespace jov::analyzer::diff {

struct RankTest {
  double u = 0;  // U of the second sample: pairs (a, b) with b > a, ties counting half
  double z = 0;  // positive when the second sample tends to be larger
  double p = 1;  // two-sided
};

// Both samples must be sorted ascending. With no variance of the ranks (an empty sample, or
// every value equal) p is 1.
RankTest MannWhitney(const std::vector<double>& first, const std::vector<double>& second);

enum class Correction { kHolm, kBenjaminiHochberg };
// "holm" or "bh"; false for anything else.
bool ParseCorrection(const std::string& text, Correction& correction);
const char* CorrectionName(Correction correction);

// The p values corrected for being tested together, in the order given: Holm's step-down
// (the family-wise error) or Benjamini-Hochberg's step-up (the false discovery rate).
std::vector<double> Corrected(const std::vector<double>& p, Correction correction);

}  // namespace jov::analyzer::diff
