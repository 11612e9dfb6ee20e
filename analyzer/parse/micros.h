// micros.h - the reader's unit of time, from the parse stage (a line's interval) up to every
// output.
#pragma once

#include <cstdint>

namespace jov::analyzer {

// Microseconds: a duration, or local time since 1970-01-01 00:00 (the writer's local clock,
// no time zone).
using Micros = std::int64_t;

}  // namespace jov::analyzer
