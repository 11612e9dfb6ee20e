// reader_test.h - what nearly every test of the reader includes: GoogleTest, the JSON parser
// its outputs are checked with, the standard headers the tests use, and the harness.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/reader_harness.h"

namespace readertest {

// Writes `files` into a folder of the temporary directory named `name` and the process id.
inline std::filesystem::path WrittenFolder(const std::string& name, const Files& files) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / (name + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  for (const auto& [file, content] : files) std::ofstream(dir / file, std::ios::binary) << content;
  return dir;
}

// A path quoted for a shell command line, with a blank before it.
inline std::string Quoted(const std::filesystem::path& path) { return " '" + path.string() + "'"; }

}  // namespace readertest
