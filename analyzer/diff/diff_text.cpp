// diff_text.cpp - the comparison for people: an aligned table (regressions first) and the
// Markdown of a pull-request comment (regressions, improvements, the rest folded away).
#include <algorithm>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "analyzer/diff/diff_format.h"

namespace jov::analyzer::diff::format {
namespace {

using Cells = std::vector<std::string>;

Figure MetricFigure(const DiffTable& table) {
  return table.settings.metric == Metric::kSelf ? Figure::kSelf : Figure::kTotal;
}

std::string TestText(const DiffRow& row) { return row.tested ? PValue(row.pCorrected) : "-"; }

// Every figure of a row the table shows, in the order of TableHeader().
Cells TableCells(const DiffTable& table, const DiffRow& row) {
  const Figure metric = MetricFigure(table);
  const std::size_t m = static_cast<std::size_t>(metric);
  const std::size_t median = static_cast<std::size_t>(Figure::kMedian);
  return {VerdictName(row.verdict),
          RoutineLabel(row),
          Value(row.base[0], false),
          Value(row.next[0], false),
          Value(row.base[m], true),
          Value(row.next[m], true),
          Change(row.Change(metric), true),
          Percent(row.ChangePercent(metric)),
          Value(row.base[median], true),
          Value(row.next[median], true),
          Percent(row.ChangePercent(Figure::kMedian)),
          Percent(row.ChangePercent(Figure::kP95)),
          row.tested ? Interval(row.ratio) : "-",
          TestText(row)};
}

std::string MarkdownEscape(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    if (std::string_view("\\`*_[]<>|#").find(c) != std::string_view::npos) escaped += '\\';
    escaped += c;
  }
  return escaped;
}

std::string Arrow(const std::string& from, const std::string& to) { return from + " → " + to; }

std::string MarkdownRows(const DiffTable& table, const std::vector<const DiffRow*>& rows) {
  const Figure metric = MetricFigure(table);
  const std::size_t m = static_cast<std::size_t>(metric);
  const std::size_t median = static_cast<std::size_t>(Figure::kMedian);
  std::string text = fmt::format(
      "| routine | verdict | calls | {0} ms | {0} change | median ms | median change | "
      "{0} median ratio, {1:.4g} % interval | p |\n|---|---|---:|---:|---:|---:|---:|---:|---:|\n",
      FigureName(metric), 100 * (1 - table.settings.alpha));
  for (const DiffRow* row : rows) {
    text += fmt::format("| {} | {} | {} | {} | {} ({}) | {} | {} | {} | {} |\n",
                        MarkdownEscape(RoutineLabel(*row)), VerdictName(row->verdict),
                        Arrow(Value(row->base[0], false), Value(row->next[0], false)),
                        Arrow(Value(row->base[m], true), Value(row->next[m], true)),
                        Change(row->Change(metric), true), Percent(row->ChangePercent(metric)),
                        Arrow(Value(row->base[median], true), Value(row->next[median], true)),
                        Percent(row->ChangePercent(Figure::kMedian)),
                        row->tested ? Interval(row->ratio) : "-", TestText(*row));
  }
  return text;
}

}  // namespace

std::string TableText(const DiffTable& table) {
  const std::string metric = FigureName(MetricFigure(table));
  std::vector<Cells> lines = {{"verdict", "routine", "calls base", "calls new", metric + " ms base",
                               metric + " ms new", metric + " change", metric + " %", "median base",
                               "median new", "median %", "p95 %", metric + " median ratio",
                               "p corrected"}};
  for (const DiffRow& row : table.rows) lines.push_back(TableCells(table, row));
  std::vector<std::size_t> widths(lines[0].size(), 0);
  for (const Cells& cells : lines) {
    for (std::size_t i = 0; i < cells.size(); ++i) widths[i] = std::max(widths[i], cells[i].size());
  }
  std::string text = Heading(table);
  for (const Cells& cells : lines) {
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
      // Verdict and routine left-aligned, figures right-aligned.
      line += i < 2 ? fmt::format("{:<{}}", cells[i], widths[i])
                    : fmt::format("{:>{}}", cells[i], widths[i]);
      line += i + 1 < cells.size() ? "  " : "";
    }
    line.erase(line.find_last_not_of(' ') + 1);
    text += line + "\n";
  }
  if (table.rows.empty()) text += "(no routine calls on either side)\n";
  return text;
}

std::string MarkdownText(const DiffTable& table) {
  std::vector<const DiffRow*> slower, faster, rest;
  for (const DiffRow& row : table.rows) {
    (row.verdict == Verdict::kSlower   ? slower
     : row.verdict == Verdict::kFaster ? faster
                                       : rest)
        .push_back(&row);
  }
  std::string text = "### jovtrace diff\n\n";
  std::string heading = Heading(table);
  for (std::size_t at = 0; (at = heading.find('\n', at)) != std::string::npos; at += 5) {
    heading.replace(at, 1, "<br>\n");  // one paragraph, one line each
  }
  text += heading.substr(0, heading.size() - 5) + "\n\n";
  text += fmt::format("#### Slower ({})\n\n", slower.size());
  text += slower.empty() ? "No routine got slower.\n\n" : MarkdownRows(table, slower) + "\n";
  text += fmt::format("#### Faster ({})\n\n", faster.size());
  text += faster.empty() ? "No routine got faster.\n\n" : MarkdownRows(table, faster) + "\n";
  if (!rest.empty()) {
    text += fmt::format("<details><summary>{} other routines</summary>\n\n", rest.size());
    text += MarkdownRows(table, rest) + "\n</details>\n";
  }
  return text;
}

}  // namespace jov::analyzer::diff::format
