// serve_options.cpp - the checks of --listen, --buckets and the paths, each with the message
// a user sees before serve exits with code 2.
#include "analyzer/serve/serve_options.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace jov::analyzer::serve {

bool ParseListen(const std::string& text, std::string& host, int& port, std::string& error) {
  error = "bad --listen '" + text + "': expected HOST:PORT, e.g. " + kDefaultListen;
  std::string portText = text;
  host = "127.0.0.1";
  if (!text.empty() && text.front() == '[') {
    const std::size_t close = text.find("]:");
    if (close == std::string::npos || close == 1) return false;
    host = text.substr(1, close - 1);
    portText = text.substr(close + 2);
  } else if (const std::size_t colon = text.rfind(':'); colon != std::string::npos) {
    host = text.substr(0, colon);
    portText = text.substr(colon + 1);
    if (host.empty() || host.find(':') != std::string::npos) return false;
  }
  if (portText.empty() || portText.size() > 5 ||
      portText.find_first_not_of("0123456789") != std::string::npos)
    return false;
  port = std::atoi(portText.c_str());
  if (port < 1 || port > 65535) return false;
  error.clear();
  return true;
}

bool ParseBuckets(const std::string& text, BucketBounds& bounds, std::string& error) {
  bounds.clear();
  error = "bad --buckets '" + text +
          "': expected ascending seconds separated by commas, at least 1 us apart";
  std::size_t at = 0;
  while (at <= text.size()) {
    const std::size_t comma = std::min(text.find(',', at), text.size());
    const std::string item = text.substr(at, comma - at);
    char* end = nullptr;
    const double seconds = std::strtod(item.c_str(), &end);
    if (item.empty() || *end != '\0' || !std::isfinite(seconds)) return false;
    const auto micros = static_cast<Micros>(std::llround(seconds * 1e6));
    if (micros < 1 || (!bounds.empty() && micros <= bounds.back())) return false;
    bounds.push_back(micros);
    at = comma + 1;
  }
  error.clear();
  return !bounds.empty();
}

bool CheckInputs(const std::vector<std::string>& inputs, std::string& error) {
  namespace fs = std::filesystem;
  for (const std::string& input : inputs) {
    std::error_code code;
    fs::path path(input);
    // A wildcard matches files as they come: its folder must be there.
    if (path.filename().string().find_first_of("*?") != std::string::npos) {
      path = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    }
    if (!fs::exists(path, code)) {
      error = input + ": no such file or folder";
      return false;
    }
  }
  return true;
}

}  // namespace jov::analyzer::serve
