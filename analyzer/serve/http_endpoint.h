// http_endpoint.h - the HTTP side of `jovtrace serve` (cpp-httplib): GET /metrics, GET / and
// GET /healthz on a thread pool of its own; anything else is refused. Nothing it serves
// reads or changes a file: it hands out what the pages' functions return.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

namespace httplib {
class Server;
}

namespace jov::analyzer::serve {

struct Pages {
  // The metrics for a scraper's Accept header: the body, and its Content-Type set.
  std::function<std::string(std::string_view accept, std::string& contentType)> metrics;
  // The status page (HTML).
  std::function<std::string()> status;
};

class HttpEndpoint {
 public:
  explicit HttpEndpoint(Pages pages);
  ~HttpEndpoint();
  HttpEndpoint(const HttpEndpoint&) = delete;
  HttpEndpoint& operator=(const HttpEndpoint&) = delete;

  // Takes the address; false with `error` saying why (in use, not this machine's).
  bool Bind(const std::string& host, int port, std::string& error);
  // Serves on a thread of its own until Stop.
  void Start();
  void Stop();

 private:
  Pages pages_;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
};

}  // namespace jov::analyzer::serve
