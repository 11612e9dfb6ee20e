// status_page.cpp - the status page as plain HTML (no script, nothing fetched).
#include "analyzer/serve/status_page.h"

namespace jov::analyzer::serve {
namespace {

std::string Html(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

std::string StatusPage(const std::vector<std::string>& inputs,
                       const std::vector<FollowedTrace>& traces, std::size_t notTraces) {
  std::string page =
      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>jovtrace serve</title>"
      "</head>\n<body>\n<h1>jovtrace serve</h1>\n<p>Metrics for Prometheus: "
      "<a href=\"/metrics\">/metrics</a>; health: <a href=\"/healthz\">/healthz</a>.</p>\n"
      "<p>Following:</p>\n<ul>\n";
  for (const std::string& input : inputs) page += "<li>" + Html(input) + "</li>\n";
  page += "</ul>\n<p>" + std::to_string(traces.size()) + " traces followed, " +
          std::to_string(notTraces) + " files that hold no trace.</p>\n";
  page += "<table>\n<tr><th>program</th><th>pid</th><th>file</th><th></th></tr>\n";
  for (const FollowedTrace& trace : traces) {
    page += "<tr><td>" + Html(trace.program) + "</td><td>" + std::to_string(trace.pid) +
            "</td><td>" + Html(trace.path) + "</td><td>" + (trace.catchingUp ? "catching up" : "") +
            "</td></tr>\n";
  }
  page += "</table>\n</body></html>\n";
  return page;
}

}  // namespace jov::analyzer::serve
