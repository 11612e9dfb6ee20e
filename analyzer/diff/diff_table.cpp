// diff_table.cpp - routines matched by name across the sides, their figures, and the verdicts:
// every routine with enough calls on both sides is tested, the p values corrected together,
// and a routine called slower (faster) only when the corrected p, the interval of the median
// ratio and the median's change in microseconds all say so.
#include "analyzer/diff/diff_table.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace jov::analyzer::diff {
namespace {

// Durations under the trace's 1 µs resolution count as half of it in a ratio.
constexpr double kRatioFloor = 0.5;

// The sample's durations, or self times, sorted.
std::vector<double> SortedSamples(const RoutineSide& side, bool selfTimes) {
  std::vector<double> values;
  values.reserve(side.samples->Samples().size());
  for (const CallSample& call : side.samples->Samples()) {
    values.push_back(static_cast<double>(selfTimes ? call.self : call.duration));
  }
  std::sort(values.begin(), values.end());
  return values;
}

// The side's figures as the summary prints them.
std::array<double, kFigureCount> FiguresOf(const RoutineSide& side) {
  const RoutineFigures& f = side.figures;
  return {static_cast<double>(f.calls),    static_cast<double>(f.total),
          static_cast<double>(f.self),     f.Mean(),
          static_cast<double>(f.Median()), static_cast<double>(f.P95()),
          static_cast<double>(f.max),      static_cast<double>(f.errors)};
}

struct Pair {
  const RoutineSide* base = nullptr;
  const RoutineSide* next = nullptr;
  std::string baseName;
};

int Group(Verdict verdict) {
  return verdict == Verdict::kSlower ? 0 : verdict == Verdict::kFaster ? 1 : 2;
}

}  // namespace

const char* FigureName(Figure figure) {
  static const char* const kNames[] = {"calls",  "total", "self", "mean",
                                       "median", "p95",   "max",  "errors"};
  return kNames[static_cast<std::size_t>(figure)];
}

bool IsTime(Figure figure) { return figure != Figure::kCalls && figure != Figure::kErrors; }

const char* VerdictName(Verdict verdict) {
  static const char* const kNames[] = {"slower",        "faster", "unchanged",
                                       "too few calls", "added",  "removed"};
  return kNames[static_cast<std::size_t>(verdict)];
}

double DiffRow::ChangePercent(Figure f) const {
  const double before = At(base, f);
  if (before == 0) return std::numeric_limits<double>::quiet_NaN();
  return 100 * Change(f) / before;
}

std::size_t DiffTable::Count(Verdict verdict) const {
  return static_cast<std::size_t>(std::count_if(
      rows.begin(), rows.end(), [verdict](const DiffRow& r) { return r.verdict == verdict; }));
}

DiffTable BuildDiff(const DiffSide& base, const DiffSide& next, const NameTable& names,
                    const Renames& renames, const DiffSettings& settings) {
  // By name, so that the order (and so the output) does not depend on the reading order.
  std::map<std::string, Pair> pairs;
  const std::vector<RoutineSide>& baseSides = base.Routines().All();
  for (std::size_t id = 0; id < baseSides.size(); ++id) {
    const RoutineSide& side = baseSides[id];
    if (side.figures.calls == 0) continue;
    std::string name = names.Text(static_cast<NameId>(id));
    std::string baseName;
    for (const auto& [from, to] : renames) {
      if (from == name) {
        baseName = name;
        name = to;
      }
    }
    Pair& pair = pairs[name];
    pair.base = &side;
    pair.baseName = baseName;
  }
  const std::vector<RoutineSide>& nextSides = next.Routines().All();
  for (std::size_t id = 0; id < nextSides.size(); ++id) {
    if (nextSides[id].figures.calls != 0)
      pairs[names.Text(static_cast<NameId>(id))].next = &nextSides[id];
  }

  DiffTable table;
  table.settings = settings;
  std::vector<std::size_t> tested;
  std::vector<double> pValues;
  const bool selfTest = settings.metric == Metric::kSelf;
  for (const auto& [name, pair] : pairs) {
    DiffRow row;
    row.name = name;
    row.baseName = pair.baseName;
    if (pair.base != nullptr) {
      row.base = FiguresOf(*pair.base);
      table.baseSelf += row.base[static_cast<std::size_t>(Figure::kSelf)];
    }
    if (pair.next != nullptr) {
      row.next = FiguresOf(*pair.next);
      table.nextSelf += row.next[static_cast<std::size_t>(Figure::kSelf)];
    }
    if (pair.base == nullptr) {
      row.verdict = Verdict::kAdded;
    } else if (pair.next == nullptr) {
      row.verdict = Verdict::kRemoved;
    } else if (pair.base->figures.calls < kMinCalls || pair.next->figures.calls < kMinCalls) {
      row.verdict = Verdict::kTooFewCalls;
    } else {
      row.tested = true;
      const std::vector<double> baseSorted = SortedSamples(*pair.base, selfTest);
      const std::vector<double> nextSorted = SortedSamples(*pair.next, selfTest);
      row.medianChange = SortedMedian(nextSorted) - SortedMedian(baseSorted);
      row.p = MannWhitney(baseSorted, nextSorted).p;
      row.ratio = MedianRatioInterval(baseSorted, nextSorted, 1 - settings.alpha, kRatioFloor);
      tested.push_back(table.rows.size());
      pValues.push_back(row.p);
    }
    table.rows.push_back(std::move(row));
  }

  const std::vector<double> corrected = Corrected(pValues, settings.correction);
  for (std::size_t i = 0; i < tested.size(); ++i) {
    DiffRow& row = table.rows[tested[i]];
    row.pCorrected = corrected[i];
    const double medianChange = row.medianChange;
    const bool significant = row.pCorrected < settings.alpha;
    if (significant && row.ratio.low > 1 + settings.threshold &&
        medianChange > settings.minMicros) {
      row.verdict = Verdict::kSlower;
    } else if (significant && row.ratio.high < 1 - settings.threshold &&
               -medianChange > settings.minMicros) {
      row.verdict = Verdict::kFaster;
    }
  }

  const Figure metric = settings.metric == Metric::kSelf ? Figure::kSelf : Figure::kTotal;
  std::sort(table.rows.begin(), table.rows.end(), [metric](const DiffRow& a, const DiffRow& b) {
    if (Group(a.verdict) != Group(b.verdict)) return Group(a.verdict) < Group(b.verdict);
    const double ka = std::fabs(a.Change(metric)), kb = std::fabs(b.Change(metric));
    if (ka != kb) return ka > kb;
    return a.name < b.name;
  });
  return table;
}

}  // namespace jov::analyzer::diff
