// What a page sends zorhost's UI server, on arbitrary bytes: the first line as a --ui-server address, the
// rest as an action. Each is refused or taken; nothing faults.
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "ui_server/browser_driver.h"
#include "ui_server/ui_server.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const size_t line_end = text.find('\n');
  zorhost::ServerAddress address;
  std::string problem;
  zorhost::parse_server_address(text.substr(0, line_end), &address, &problem);
  if (line_end == std::string::npos) return 0;
  const nlohmann::json action = nlohmann::json::parse(text.substr(line_end + 1), nullptr, false);
  if (!action.is_discarded()) zorhost::ui::page_user_action(action, &problem);
  return 0;
}
