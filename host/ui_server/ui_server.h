// The UI server (--ui-server [HOST:]PORT): serves the page that shows zorhost's dialogs and takes what the
// person does there (docs/ui-server.md). Every request must carry the run's secret token and come from
// the page's own origin; the server listens on the one address asked for (loopback when none is named).
#pragma once
#include <string>

namespace zorhost {

struct ServerAddress {
  std::string host = "127.0.0.1";
  int port = 0;
};

// Reads "[HOST:]PORT" ("[::1]:8080" for an IPv6 address). False with the reason when it is not one.
bool parse_server_address(const std::string& text, ServerAddress* address, std::string* error);

// Starts the server and installs the browser driver; the page's address (with its token) in *url. False
// with the reason when the address cannot be listened on.
bool start_ui_server(const ServerAddress& address, std::string* url, std::string* error);
bool ui_server_running();
// Does the page's work until the page or SIGINT/SIGTERM asks zorhost to end (main thread).
void serve_until_quit();
// Tells the page that zorhost has ended, stops the server and uninstalls the driver.
void stop_ui_server();

}  // namespace zorhost
