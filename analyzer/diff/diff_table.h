// diff_table.h - the comparison of two sides, routine by routine: the figures of each side,
// their changes, and a verdict from the per-call times (a rank test corrected over all
// routines tested, and an interval for the ratio of the medians).
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "analyzer/diff/diff_side.h"
#include "analyzer/diff/median_ratio.h"
#include "analyzer/diff/rank_test.h"

namespace jov::analyzer::diff {

// Fewer calls than this on a side give no verdict.
inline constexpr std::uint64_t kMinCalls = 8;

enum class Figure { kCalls, kTotal, kSelf, kMean, kMedian, kP95, kMax, kErrors };
inline constexpr std::size_t kFigureCount = 8;
// "calls", "total", ... "errors" (non-zero return codes).
const char* FigureName(Figure figure);
// Whether the figure is a time (microseconds) rather than a count.
bool IsTime(Figure figure);

enum class Verdict { kSlower, kFaster, kUnchanged, kTooFewCalls, kAdded, kRemoved };
// "slower", "faster", "unchanged", "too few calls", "added", "removed".
const char* VerdictName(Verdict verdict);

enum class Metric { kSelf, kTotal };

struct DiffSettings {
  double alpha = 0.01;      // corrected p must be under this; the interval covers 1 - alpha
  double threshold = 0.05;  // the interval must lie wholly above 1 + threshold (slower) or
                            // below 1 - threshold (faster)
  double minMicros = 1;     // the medians must differ by more than this
  Correction correction = Correction::kHolm;
  // The time rows are ordered by and tested on: per call self time (what ran in the routine
  // itself, so a slower callee does not make its callers slower) or duration.
  Metric metric = Metric::kSelf;
};

struct DiffRow {
  std::string name;      // the routine (its new name when renamed)
  std::string baseName;  // its name in the base when --rename matched it; else empty
  Verdict verdict = Verdict::kUnchanged;
  std::array<double, kFigureCount> base{};  // times in microseconds; 0 when not on that side
  std::array<double, kFigureCount> next{};
  bool tested = false;  // enough calls on both sides for the test
  double p = 1;         // Mann-Whitney, two-sided
  double pCorrected = 1;
  MedianRatio ratio;        // new / base of the medians, with its interval
  double medianChange = 0;  // of the tested times, microseconds

  double Change(Figure f) const { return At(next, f) - At(base, f); }
  // The change in percent of the base; NaN when the base is 0.
  double ChangePercent(Figure f) const;

 private:
  static double At(const std::array<double, kFigureCount>& v, Figure f) {
    return v[static_cast<std::size_t>(f)];
  }
};

struct DiffTable {
  DiffSettings settings;
  // Regressions, then improvements, then the rest; each by the size of the change of the
  // sorting metric, largest first, then by name.
  std::vector<DiffRow> rows;
  double baseSelf = 0;  // self time of all routines, microseconds
  double nextSelf = 0;

  std::size_t Count(Verdict verdict) const;
  // The self time of all routines grew beyond the threshold.
  bool RunSlower() const { return nextSelf > baseSelf * (1 + settings.threshold); }
};

// (old name in the base, its name in the new run)
using Renames = std::vector<std::pair<std::string, std::string>>;

DiffTable BuildDiff(const DiffSide& base, const DiffSide& next, const NameTable& names,
                    const Renames& renames, const DiffSettings& settings);

}  // namespace jov::analyzer::diff
