// http_endpoint.cpp - the routes on cpp-httplib's server, its socket options (the address
// exclusively ours: a second server on the same port fails instead of sharing it), and the
// thread it listens on.
#include "analyzer/serve/http_endpoint.h"

#include <httplib.h>

namespace jov::analyzer::serve {
namespace {

// Scrapes are few and short: a small pool serves Prometheus and a person's browser.
constexpr std::size_t kThreads = 4;

void ExclusiveAddress(socket_t sock) {
  int yes = 1;
#ifdef _WIN32
  ::setsockopt(sock, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<char*>(&yes), sizeof yes);
#else
  // Rebinding over connections in TIME_WAIT after a restart, but not beside a listener.
  ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
#endif
}

}  // namespace

HttpEndpoint::HttpEndpoint(Pages pages)
    : pages_(std::move(pages)), server_(std::make_unique<httplib::Server>()) {
  httplib::Server& server = *server_;
  server.new_task_queue = [] { return new httplib::ThreadPool(kThreads); };
  server.set_socket_options(ExclusiveAddress);
  server.set_payload_max_length(64 * 1024);
#ifdef _WIN32
  // Windows' accept does not return when the socket closes: the loop looks at the stop flag
  // every idle interval.
  server.set_idle_interval(0, 100000);
#endif
  server.Get("/metrics", [this](const httplib::Request& request, httplib::Response& response) {
    std::string type;
    std::string body = pages_.metrics(request.get_header_value("Accept"), type);
    response.set_content(std::move(body), type.c_str());
  });
  server.Get("/healthz", [](const httplib::Request&, httplib::Response& response) {
    response.set_content("ok\n", "text/plain; charset=utf-8");
  });
  server.Get("/", [this](const httplib::Request&, httplib::Response& response) {
    response.set_content(pages_.status(), "text/html; charset=utf-8");
  });
  // Other methods on the three pages are refused; every other path is not found.
  const auto refuse = [](const httplib::Request&, httplib::Response& response) {
    response.status = 405;
    response.set_header("Allow", "GET, HEAD");
  };
  for (const char* path : {"/metrics", "/healthz", "/"}) {
    server.Post(path, refuse);
    server.Put(path, refuse);
    server.Delete(path, refuse);
    server.Patch(path, refuse);
  }
  server.set_error_handler([](const httplib::Request&, httplib::Response& response) {
    response.set_content(std::to_string(response.status) + " " +
                             httplib::detail::status_message(response.status) + "\n",
                         "text/plain; charset=utf-8");
  });
}

HttpEndpoint::~HttpEndpoint() { Stop(); }

bool HttpEndpoint::Bind(const std::string& host, int port, std::string& error) {
  if (server_->bind_to_port(host, port)) return true;
  error = "cannot listen on " + host + ":" + std::to_string(port) +
          ": the port is in use, or the address is not one of this machine's";
  return false;
}

void HttpEndpoint::Start() {
  thread_ = std::thread([this] { server_->listen_after_bind(); });
}

void HttpEndpoint::Stop() {
  if (!thread_.joinable()) return;
  server_->stop();
  thread_.join();
}

}  // namespace jov::analyzer::serve
