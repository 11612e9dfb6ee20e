// diff_page.cpp - the page's data: the document of `jovtrace diff --json` as "table", the
// inputs of both sides, and the merged tree as one array per node.
#include "analyzer/diff/diff_page.h"

#include <fmt/format.h>

#include "analyzer/diff/diff_format.h"
#include "diff_page_text.h"

namespace jov::analyzer::diff {
namespace {

std::string StringArray(const std::vector<std::string>& texts) {
  std::string array = "[";
  for (const std::string& text : texts) {
    array += (array.size() > 1 ? "," : "") + format::JsonString(text);
  }
  return array + "]";
}

}  // namespace

std::string DiffPageText(const DiffTable& table, const std::vector<MergedNode>& tree,
                         const std::vector<std::string>& baseInputs,
                         const std::vector<std::string>& nextInputs) {
  std::string data = "{\"base\":" + StringArray(baseInputs) +
                     ",\"new\":" + StringArray(nextInputs) +
                     ",\n\"table\":" + format::JsonText(table) + ",\"tree\":[";
  for (std::size_t i = 0; i < tree.size(); ++i) {
    const MergedNode& n = tree[i];
    // present: 0 on both sides, 1 in the base only, 2 in the new run only
    const int present = n.present[0] && n.present[1] ? 0 : n.present[0] ? 1 : 2;
    data += fmt::format("{}[{},{},{},{},{},{},{},{},{}]", i == 0 ? "\n" : ",\n", n.parent,
                        format::JsonString(n.name), present, n.calls[0], n.total[0], n.self[0],
                        n.calls[1], n.total[1], n.self[1]);
  }
  data += "\n]}";
  return jovtrace::diff_page_text::kPrefix + data + jovtrace::diff_page_text::kSuffix;
}

}  // namespace jov::analyzer::diff
