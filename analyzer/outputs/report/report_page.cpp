// report_page.cpp - the page text that the build generated from analyzer/report/page.
#include "analyzer/outputs/report/report_page.h"

#include "report_page_text.h"

namespace jov::analyzer {

std::string_view ReportPagePrefix() {
  return {report_page_text::kPrefix, sizeof report_page_text::kPrefix - 1};
}

std::string_view ReportPageSuffix() {
  return {report_page_text::kSuffix, sizeof report_page_text::kSuffix - 1};
}

}  // namespace jov::analyzer
