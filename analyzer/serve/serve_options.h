// serve_options.h - the options of `jovtrace serve`, their defaults (the port, the histogram's
// buckets, the limits) defined once, and the checks of what a user typed.
#pragma once

#include <string>
#include <vector>

#include "analyzer/input/text_encoding.h"
#include "analyzer/serve/metric_store.h"

namespace jov::analyzer::serve {

// The default port: free among the exporters' usual ones.
inline constexpr int kDefaultPort = 9471;
inline constexpr char kDefaultListen[] = "127.0.0.1:9471";
// 100 µs to 60 s, about three buckets a decade: the histogram's default upper bounds.
inline constexpr char kDefaultBuckets[] =
    "0.0001,0.00025,0.0005,0.001,0.0025,0.005,0.01,0.025,0.05,0.1,0.25,0.5,1,2.5,5,10,30,60";

struct ServeOptions {
  std::vector<std::string> inputs;
  std::string listen = kDefaultListen;
  bool fromStart = false;
  std::string buckets = kDefaultBuckets;
  std::size_t maxRoutines = 1000;
  double retainSeconds = 300;
  TextDecoder decoder;  // of the code page the traces were written in
};

// "HOST:PORT", "[IPv6]:PORT" or "PORT" (on 127.0.0.1); false with `error` set.
bool ParseListen(const std::string& text, std::string& host, int& port, std::string& error);
// Seconds, comma-separated, ascending, at least 1 µs apart; false with `error` set.
bool ParseBuckets(const std::string& text, BucketBounds& bounds, std::string& error);
// Every path names a file or folder that exists (a wildcard: its folder); false with `error`.
bool CheckInputs(const std::vector<std::string>& inputs, std::string& error);

}  // namespace jov::analyzer::serve
