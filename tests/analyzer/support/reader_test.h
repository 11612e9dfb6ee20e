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
