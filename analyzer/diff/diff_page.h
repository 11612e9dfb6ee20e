// diff_page.h - the page of `jovtrace report --base BASE NEW`: the comparison's table with its
// verdicts and a differential flame graph of the merged call tree, in one self-contained
// HTML file in the style of the single-run report.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "analyzer/diff/diff_table.h"
#include "analyzer/diff/diff_tree.h"

namespace jov::analyzer::diff {

// Writes the page to `out`; a failed write shows on the stream (the output checks it).
void WriteDiffPage(std::FILE* out, const DiffTable& table, const std::vector<MergedNode>& tree,
                   const std::vector<std::string>& baseInputs,
                   const std::vector<std::string>& nextInputs);

}  // namespace jov::analyzer::diff
