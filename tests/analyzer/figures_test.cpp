// figures_test.cpp - the per-routine figures: the duration histogram's quantiles within their
// stated bound, the top code, and the same calls, median and p95 digits in every output of
// the real jovtrace (summary, diff of a trace with itself as table and CSV, follow's closing
// summary, the report's data).
#include <functional>
#include <iterator>
#include <map>

#include "analyzer/outputs/call_tree.h"
#include "analyzer/outputs/report/report_page.h"
#include "analyzer/outputs/summary_format.h"
#include "diff/generated_runs.h"
#include "support/reader_test.h"

namespace {

using Figures = std::map<std::string, std::vector<std::string>>;  // routine -> its figures

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
  return parts;
}

// The rows of an aligned table after the header that begins with `first`: the routine from
// its column, each figure the word that ends where its right-aligned header ends.
Figures Aligned(const std::string& out, const std::string& first,
                const std::vector<std::string>& columns) {
  const std::vector<std::string> lines = Split(out, '\n');
  auto line = std::find_if(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.rfind(first, 0) == 0; });
  Figures figures;
  if (line == lines.end()) return figures;
  const std::string header = *line;
  while (++line != lines.end() && !line->empty()) {
    std::vector<std::string>& row = figures[Split(line->substr(header.find("routine")), ' ')[0]];
    for (const std::string& column : columns) {
      const std::string head = line->substr(0, header.find(" " + column + " ") + column.size() + 1);
      row.push_back(head.substr(head.find_last_of(' ') + 1));
    }
  }
  return figures;
}

// The named columns of a CSV text, per routine (the column `key`).
Figures Csv(const std::string& out, std::size_t key, const std::vector<std::string>& columns) {
  const std::vector<std::string> lines = Split(out, '\n');
  const std::vector<std::string> header = Split(lines.at(0), ',');
  Figures figures;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::vector<std::string> cells = Split(lines[i], ',');
    for (const std::string& column : columns)
      figures[cells[key]].push_back(
          cells[std::find(header.begin(), header.end(), column) - header.begin()]);
  }
  return figures;
}

TEST(Figures, QuantilesWithinTheStatedBoundTopCodeAmongRareOnesAndTotalsOfUnknownLevels) {
  // Durations from 0 to 5 s, every tenth under 200 µs, counted in two histograms and merged:
  // every rank within the stated bound of the exact sorted value, exact below 128 µs.
  jov::analyzer::DurationHistogram halves[2], merged;
  std::vector<std::int64_t> values;
  for (std::uint64_t i = 0, x = 12345; i < 20000; ++i) {
    x = x * 6364136223846793005ULL + 1442695040888963407ULL;
    values.push_back(static_cast<std::int64_t>((x >> 33) % (i % 10 == 0 ? 200 : 5000000)));
    halves[i % 2].Add(values.back());
  }
  merged.Merge(halves[0]);
  merged.Merge(halves[1]);
  std::sort(values.begin(), values.end());
  using Histogram = jov::analyzer::DurationHistogram;
  for (std::uint64_t rank = 1; rank <= values.size(); rank += 97) {
    const std::int64_t exact = values[rank - 1];
    const double bound = exact < Histogram::kExactBelow ? 0 : exact * Histogram::kRelativeError;
    ASSERT_NEAR(merged.AtRank(rank), exact, bound) << "rank " << rank;
  }
  // Nearest rank: the median is the 10000th of 20000 values, the 95th percentile the 19000th;
  // the last rank is the largest value itself (clamped).
  EXPECT_EQ(std::make_tuple(merged.Median(), merged.P95(), merged.AtRank(20000)),
            std::make_tuple(merged.AtRank(10000), merged.AtRank(19000), values.back()));
  // A bucket counted past its counter's range, by adding and by merging, keeps every call:
  // 65000 + 70000 calls of 50 µs between 5 of 40 µs and 5 of 60 µs.
  Histogram crowded[2];
  for (int i = 0; i < 70010; ++i) {
    if (i < 65000) crowded[0].Add(50);
    crowded[1].Add(i < 5 ? 40 : i < 70005 ? 50 : 60);
  }
  crowded[0].Merge(crowded[1]);
  EXPECT_EQ(
      std::make_tuple(crowded[0].AtRank(6), crowded[0].AtRank(135005), crowded[0].AtRank(135006)),
      std::make_tuple(50, 50, 60));
  // The top code survives many rare codes: 87 a third of the time, others once.
  jov::analyzer::RoutineFigures figures;
  jov::analyzer::Call call;
  call.hasReturnCode = true;
  for (int i = 0; i < 300; ++i) {
    call.returnCode = i % 3 == 0 ? 87 : 1000 + i;
    figures.Add(call);
  }
  EXPECT_EQ(figures.TopCode(), std::make_pair(std::int64_t{87}, std::uint64_t{100}));
  // An unknown level (no calls of its own) totals what ran inside it.
  jov::analyzer::CallTree tree;
  for (const jov::analyzer::NameId inner : {2u, 3u}) {
    const jov::analyzer::NameId path[] = {jov::analyzer::kUnknownName, inner};
    call.path = path;
    call.pathLength = 2;
    call.duration = inner * 100;
    tree.Add(call);
  }
  tree.Finish();
  EXPECT_EQ(std::make_pair(tree.Nodes()[0].total, tree.Nodes()[1].total),
            std::make_pair(jov::analyzer::Micros{500}, jov::analyzer::Micros{500}));
}

TEST(Figures, EveryOutputPrintsTheSameCallsMedianAndP95) {
  // Three routines of 20,000 calls each, spread over several octaves (one into the exact
  // range), in one trace closed at its end.
  const std::string trace = readertest::Quoted(
      difftest::GeneratedRun(
          difftest::Scratch("figures"),
          {{"Parser.Open", 2000, 20000}, {"Net.Send", 300, 20000}, {"Store.Write", 90, 20000}}, 11,
          0.8) /
      "261203 221500 batch.JOV_Log");
  const std::string page = difftest::Scratch("figures").string() + "/report.html";
  const auto table = [](const std::string& out) {
    return Aligned(out, "routine ", {"calls", "median ms", "p95 ms"});
  };
  const auto report = [&page](const std::string&) {  // the summary rows of the page's data
    std::ifstream in(page);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    const std::size_t prefix = jov::analyzer::ReportPagePrefix().size();
    const nlohmann::json data = nlohmann::json::parse(text.substr(
        prefix, text.size() - prefix - jov::analyzer::ReportPageSuffix().size()))["traces"][0];
    Figures figures;
    for (const nlohmann::json& row : data["summary"]) {
      figures[data["names"][row[0].get<std::size_t>()]] = {
          row[1].dump(), jov::analyzer::Millis(row[5]), jov::analyzer::Millis(row[6])};
    }
    return figures;
  };
  // The reference: summary's CSV; what each other output shows of it, per routine.
  const auto [code, summary] = readertest::Shell("jovtrace summary --csv" + trace);
  ASSERT_EQ(code, 0) << summary;
  const Figures expected = Csv(summary, 1, {"calls", "median_ms", "p95_ms"});
  ASSERT_EQ(expected.at("Parser.Open")[0], "20000");
  const auto twice = [&expected](std::initializer_list<std::size_t> order) {
    Figures figures;
    for (const auto& [name, values] : expected)
      for (const std::size_t i : order) figures[name].push_back(values[i]);
    return figures;
  };
  const std::tuple<std::string, std::function<Figures(const std::string&)>, Figures> outputs[] = {
      // command, its figures, what they must be
      {"summary", table, expected},
      {"diff --csv" + trace,
       [](auto out) {
         return Csv(out, 0,
                    {"calls_base", "median_ms_base", "p95_ms_base", "calls_new", "median_ms_new",
                     "p95_ms_new"});
       },
       twice({0, 1, 2, 0, 1, 2})},
      {"diff" + trace,
       [](auto out) {
         return Aligned(out, "verdict ", {"calls base", "calls new", "median base", "median new"});
       },
       twice({0, 0, 1, 1})},
      {"follow --interval 0.1", [&](auto out) { return table(out.substr(out.find("\n== "))); },
       expected},
      {"report -o '" + page + "'", report, expected},
  };
  for (const auto& [command, read, want] : outputs) {
    SCOPED_TRACE(command);
    const auto [exit, out] = readertest::Shell("jovtrace " + command + trace);
    EXPECT_EQ(exit, 0) << out;
    EXPECT_EQ(read(out), want) << out.substr(0, 2000);
  }
}

}  // namespace
