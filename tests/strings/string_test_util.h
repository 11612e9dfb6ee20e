// string_test_util.h - small helpers shared by the string subsystem's tests.
#pragma once

#include <stdexcept>
#include <string>

#include <JOVUtil.h>

namespace strtest {

inline std::wstring Text(const JOVString& s) { return std::wstring(s.c_str(), s.length()); }

// Runs body, expecting exception type E with exactly the given message.
template <typename E, typename Body>
std::string MessageOf(Body&& body) {
  try {
    body();
  } catch (const E& e) {
    return e.what();
  } catch (...) {
    return "<other exception>";
  }
  return "<no exception>";
}

}  // namespace strtest
