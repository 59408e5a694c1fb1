// Placeholder until the scripted user interface is implemented.
#include "gui/ui_session.h"

namespace zorhost {
bool start_ui_session(const HostOptions&, std::string*) { return true; }
void end_ui_session() {}
}  // namespace zorhost
