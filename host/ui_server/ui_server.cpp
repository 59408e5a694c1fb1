#include "ui_server/ui_server.h"

#include <httplib.h>
#include <sys/random.h>
#include <sys/socket.h>

#include <atomic>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <memory>
#include <thread>

#include "ui_server/browser_driver.h"
#include "ui_server/dialog_view.h"
#include "ui_server/page_assets.h"

namespace zorhost {
namespace {

using nlohmann::json;
using ui::BrowserDriver;

// 128 random bits as hex; false when the system has no randomness to give.
bool make_token(std::string* token) {
  unsigned char bytes[16];
  if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) return false;
  static const char kHex[] = "0123456789abcdef";
  token->clear();
  for (unsigned char byte : bytes) {
    token->push_back(kHex[byte >> 4]);
    token->push_back(kHex[byte & 15]);
  }
  return true;
}

// Takes as long for every wrong token, so its prefix cannot be guessed by timing.
bool same_secret(const std::string& given, const std::string& token) {
  if (given.size() != token.size()) return false;
  unsigned char difference = 0;
  for (size_t i = 0; i < token.size(); ++i) difference |= static_cast<unsigned char>(given[i] ^ token[i]);
  return difference == 0;
}

// A whole number given in the URL's query; false when it is missing, not a number or too large.
template <typename Number>
bool query_number(const httplib::Request& request, const char* name, Number* out) {
  const std::string text = request.get_param_value(name);
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *out);
  return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

void send_json(httplib::Response& response, const json& body, int status = 200) {
  response.status = status;
  response.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace), "application/json");
}

class UiServer {
 public:
  bool start(const ServerAddress& address, std::string* url, std::string* error);
  void stop();
  BrowserDriver* driver() { return driver_; }
  void set_driver(BrowserDriver* driver) { driver_ = driver; }

 private:
  bool allowed(const httplib::Request& request, std::string* why) const;
  void routes();
  void serve_asset(const std::string& name, httplib::Response& response) const;
  void stream(httplib::Response& response);

  httplib::Server server_;
  std::thread thread_;
  BrowserDriver* driver_ = nullptr;
  std::string token_;
  std::string authority_;  // HOST:PORT as the page's URLs name it
  static constexpr int kMaxStreams = 4;
  std::atomic<int> streams_{0};
};

std::unique_ptr<UiServer> g_server;

bool UiServer::allowed(const httplib::Request& request, std::string* why) const {
  std::string given = request.get_param_value("token");
  if (given.empty()) given = request.get_header_value("X-Zorhost-Token");
  if (!same_secret(given, token_)) {
    *why = "the token is missing or wrong";
    return false;
  }
  // A page of another site may send requests here (it cannot read the answers): the browser names its
  // origin, and a rebinding host name shows in Host.
  if (request.has_header("Origin") && request.get_header_value("Origin") != "http://" + authority_) {
    *why = "requests from another origin are refused";
    return false;
  }
  if (request.get_header_value("Host") != authority_) {
    *why = "the page is served as http://" + authority_ + " only";
    return false;
  }
  return true;
}

void UiServer::serve_asset(const std::string& name, httplib::Response& response) const {
  std::string body(ui::page_asset(name));
  if (body.empty()) {
    response.status = 404;
    return;
  }
  const auto dot = name.rfind('.');
  const std::string suffix = dot == std::string::npos ? std::string() : name.substr(dot);
  std::string type = "application/octet-stream";
  if (suffix == ".html") type = "text/html; charset=utf-8";
  if (suffix == ".js") type = "text/javascript; charset=utf-8";
  if (suffix == ".css") type = "text/css; charset=utf-8";
  if (suffix == ".html" || suffix == ".js" || suffix == ".css") {
    for (size_t at = body.find("__ZORHOST_TOKEN__"); at != std::string::npos;
         at = body.find("__ZORHOST_TOKEN__", at + token_.size()))
      body.replace(at, 17, token_);
  }
  response.set_content(body, type);
}

void UiServer::stream(httplib::Response& response) {
  // Each stream holds one of the server's few threads for as long as its page is open: past a handful of
  // pages no thread would be left to answer an action.
  if (streams_.fetch_add(1) >= kMaxStreams) {
    streams_.fetch_sub(1);
    response.status = 503;
    response.set_content("zorhost: too many pages are open; close one\n", "text/plain; charset=utf-8");
    return;
  }
  // The slot is given back when the last copy of the stream's provider goes, however the stream ended.
  auto slot = std::shared_ptr<void>(nullptr, [this](void*) { streams_.fetch_sub(1); });
  auto sent = std::make_shared<uint64_t>(0);
  BrowserDriver* driver = driver_;
  response.set_chunked_content_provider("text/event-stream",
                                        [driver, sent, slot](size_t, httplib::DataSink& sink) {
                                          // Several changes in a row are one message: the state after them.
                                          const uint64_t now = driver->wait_for_change(*sent, 1000);
                                          if (now == *sent && !driver->ended())
                                            return sink.write(":\n\n", 3);  // keeps the stream alive
                                          auto [version, text] = driver->state();
                                          *sent = version;
                                          text = "data: " + text + "\n\n";
                                          if (!sink.write(text.data(), text.size())) return false;
                                          if (driver->ended()) sink.done();
                                          return true;
                                        });
}

void UiServer::routes() {
  server_.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
    // The token is in the page's URL: no other site may learn it from a link, nor frame the page.
    response.set_header("Referrer-Policy", "no-referrer");
    response.set_header("X-Content-Type-Options", "nosniff");
    response.set_header("Cache-Control", "no-store");
    response.set_header("Content-Security-Policy",
                        "default-src 'self'; img-src 'self' blob: data:; style-src 'self' 'unsafe-inline'; "
                        "frame-ancestors 'none'");
    std::string why;
    if (allowed(request, &why)) return httplib::Server::HandlerResponse::Unhandled;
    response.status = 403;
    response.set_content("zorhost: refused: " + why + "\n", "text/plain; charset=utf-8");
    return httplib::Server::HandlerResponse::Handled;
  });
  server_.Get("/", [this](const httplib::Request&, httplib::Response& response) {
    serve_asset("index.html", response);
  });
  server_.Get(R"(/([A-Za-z0-9_-]+\.(js|css|html|svg)))",
              [this](const httplib::Request& request, httplib::Response& response) {
                serve_asset(request.matches[1], response);
              });
  server_.Get("/state", [this](const httplib::Request&, httplib::Response& response) {
    response.set_content(driver_->state().second, "application/json");
  });
  server_.Get("/events", [this](const httplib::Request&, httplib::Response& response) { stream(response); });
  server_.Post("/action", [this](const httplib::Request& request, httplib::Response& response) {
    const json action = json::parse(request.body, nullptr, false);
    if (action.is_discarded())
      return send_json(response, {{"ok", false}, {"error", "the body is not JSON"}}, 400);
    json answer = driver_->act(action);
    const int status = answer.value("ok", false) ? 200 : answer.value("status", 409);
    answer.erase("status");
    send_json(response, answer, status);
  });
  server_.Get("/tree", [this](const httplib::Request& request, httplib::Response& response) {
    uint64_t dialog = 0;
    int32_t gadget = 0;
    int64_t from = 0, count = 0;
    const auto number = [&](const char* name, auto* out) { return query_number(request, name, out); };
    if (!number("dialog", &dialog) || !number("gadget", &gadget) || !number("from", &from) ||
        !number("count", &count))
      return send_json(response, {{"ok", false}, {"error", "give dialog, gadget, from and count as numbers"}},
                       400);
    const json answer = driver_->on_main_thread([=] {
      std::string problem;
      std::optional<json> rows = ui::tree_rows_view(dialog, gadget, from, count, &problem);
      return rows ? *rows : json{{"ok", false}, {"error", problem}};
    });
    send_json(response, answer, answer.contains("rows") ? 200 : 404);
  });
  server_.Get("/image", [this](const httplib::Request& request, httplib::Response& response) {
    uint64_t dialog = 0;
    int32_t gadget = 0;
    if (!query_number(request, "dialog", &dialog) || !query_number(request, "gadget", &gadget))
      return send_json(response, {{"ok", false}, {"error", "give dialog and gadget as numbers"}}, 400);
    auto image = std::make_shared<std::optional<HostBitmap>>();
    const json answer = driver_->on_main_thread([=] {
      std::string problem;
      *image = ui::gadget_image(dialog, gadget, &problem);
      return *image ? json{{"ok", true}} : json{{"ok", false}, {"error", problem}};
    });
    if (!*image) return send_json(response, answer, 404);
    response.set_content(ui::bmp_file(**image), "image/bmp");
  });
  server_.Get("/files", [](const httplib::Request& request, httplib::Response& response) {
    std::string folder = request.get_param_value("path");
    if (folder.empty()) folder = ".";
    std::string problem;
    const std::optional<json> listed = ui::folder_view(folder, &problem);
    if (!listed) return send_json(response, {{"ok", false}, {"error", problem}}, 404);
    send_json(response, *listed);
  });
}

bool UiServer::start(const ServerAddress& address, std::string* url, std::string* error) {
  if (!make_token(&token_)) {
    *error = "the UI server cannot make its token: the system gave no random bytes";
    return false;
  }
  // SO_REUSEADDR only: with the library's default SO_REUSEPORT another program could listen on the port too.
  server_.set_socket_options([](socket_t socket) {
    int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  // A connection kept open for the next request would hold the end of zorhost up by as long.
  server_.set_keep_alive_timeout(1);
  // An event is a small write after a pause: without this each waits for the peer's delayed ACK (~40 ms).
  server_.set_tcp_nodelay(true);
  routes();
  int port = address.port;
  if (port == 0) {
    port = server_.bind_to_any_port(address.host);
  } else if (!server_.bind_to_port(address.host, port)) {
    port = -1;
  }
  if (port <= 0) {
    *error =
        "the UI server cannot listen on " + address.host + ":" + std::to_string(address.port) +
        (address.port ? " (in use, or not an address of this machine)" : " (not an address of this machine)");
    return false;
  }
  const bool ipv6 = address.host.find(':') != std::string::npos;
  authority_ = (ipv6 ? "[" + address.host + "]" : address.host) + ":" + std::to_string(port);
  *url = "http://" + authority_ + "/?token=" + token_;
  thread_ = std::thread([this] { server_.listen_after_bind(); });
  return true;
}

void UiServer::stop() {
  server_.stop();
  if (thread_.joinable()) thread_.join();
}

// The first Ctrl-C ends the session as Quit does, once the main thread is back from the module; a
// second one, for a module that does not come back, ends zorhost at once.
void on_quit_signal(int signal_number) {
  BrowserDriver::request_quit();
  signal(signal_number, SIG_DFL);
}

}  // namespace

bool parse_server_address(const std::string& text, ServerAddress* address, std::string* error) {
  std::string host, port;
  if (text.starts_with("[")) {
    const size_t close = text.find("]:");
    if (close == std::string::npos) {
      *error = "give an IPv6 address as [ADDRESS]:PORT, got '" + text + "'";
      return false;
    }
    host = text.substr(1, close - 1);
    port = text.substr(close + 2);
  } else if (const size_t colon = text.rfind(':'); colon != std::string::npos) {
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
  } else {
    port = text;
  }
  int number = -1;
  const auto [end, problem] = std::from_chars(port.data(), port.data() + port.size(), number);
  if (port.empty() || problem != std::errc() || end != port.data() + port.size() || number < 0 ||
      number > 65535) {
    *error = "needs [HOST:]PORT with a port from 0 to 65535, got '" + text + "'";
    return false;
  }
  if (text.find(':') != std::string::npos && host.empty()) {
    *error = "needs [HOST:]PORT, got '" + text + "' (no host before the colon)";
    return false;
  }
  address->host = host.empty() ? "127.0.0.1" : host;
  address->port = number;
  return true;
}

bool start_ui_server(const ServerAddress& address, std::string* url, std::string* error) {
  auto server = std::make_unique<UiServer>();
  auto driver = std::make_unique<BrowserDriver>();
  server->set_driver(driver.get());
  if (!server->start(address, url, error)) return false;
  ui::set_driver(std::move(driver));
  g_server = std::move(server);
  struct sigaction action = {};
  action.sa_handler = on_quit_signal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  return true;
}

bool ui_server_running() {
  return g_server != nullptr;
}

void serve_until_quit() {
  if (g_server) g_server->driver()->serve_until_quit();
}

void stop_ui_server() {
  if (!g_server) return;
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  // The page gets the ended state and every request is answered before the server stops; only then can
  // the driver go, as no request can reach it any more.
  g_server->driver()->end();
  g_server->stop();
  g_server.reset();
  ui::set_driver(nullptr);
}

}  // namespace zorhost
