// diff_page.cpp - the page's data: the document of `jovtrace diff --json` as "table", the
// inputs of both sides, and the merged tree as one array per node.
#include "analyzer/diff/diff_page.h"

#include <fmt/format.h>

#include "analyzer/diff/diff_format.h"
#include "analyzer/outputs/json_out.h"
#include "diff_page_text.h"

namespace jov::analyzer::diff {
namespace {

void StringArray(JsonOut& json, const std::vector<std::string>& texts) {
  json.Raw("[");
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (i != 0) json.Raw(",");
    json.String(texts[i]);
  }
  json.Raw("]");
}

}  // namespace

void WriteDiffPage(std::FILE* out, const DiffTable& table, const std::vector<MergedNode>& tree,
                   const std::vector<std::string>& baseInputs,
                   const std::vector<std::string>& nextInputs) {
  JsonOut json(out, JsonOut::Embedding::kInScript);
  json.Raw(diff_page_text::kPrefix);
  json.Raw("{\"base\":");
  StringArray(json, baseInputs);
  json.Raw(",\"new\":");
  StringArray(json, nextInputs);
  json.Raw(",\n\"table\":");
  format::WriteJson(json, table);
  json.Raw(",\"tree\":[");
  for (std::size_t i = 0; i < tree.size(); ++i) {
    const MergedNode& n = tree[i];
    // present: 0 on both sides, 1 in the base only, 2 in the new run only
    const int present = n.present[0] && n.present[1] ? 0 : n.present[0] ? 1 : 2;
    json.Raw(fmt::format("{}[{},", i == 0 ? "\n" : ",\n", n.parent));
    json.String(n.name);
    json.Raw(fmt::format(",{},{},{},{},{},{},{}]", present, n.calls[0], n.total[0], n.self[0],
                         n.calls[1], n.total[1], n.self[1]));
  }
  json.Raw("\n]}");
  json.Raw(diff_page_text::kSuffix);
}

}  // namespace jov::analyzer::diff
