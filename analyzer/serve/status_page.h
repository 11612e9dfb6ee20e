// status_page.h - the short page `jovtrace serve` answers at GET /: what it follows.
#pragma once

#include <string>
#include <vector>

#include "analyzer/serve/trace_watch.h"

namespace jov::analyzer::serve {

std::string StatusPage(const std::vector<std::string>& inputs,
                       const std::vector<FollowedTrace>& traces, std::size_t notTraces);

}  // namespace jov::analyzer::serve
