// report_page.h - the report page (analyzer/report/page, built into the program) around its
// data document: a writer writes the prefix, the document, then the suffix.
#pragma once

#include <string_view>

namespace jov::analyzer {

// The page up to where its data document goes (inside a JSON script element).
std::string_view ReportPagePrefix();
// The rest of the page after the data document.
std::string_view ReportPageSuffix();

}  // namespace jov::analyzer
