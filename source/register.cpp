#include "register.h"

#include <initializer_list>

#include "attachment_scanner/attachment_scanner_command.h"
#include "crash/crashobject.h"
#include "io_browser/io_browser_dialog.h"
#include "localize/localize.h"
#include "nexal/configuration.h"
#include "renderator/renderator_dialog.h"
#include "translator_locator/translator_locator.h"
#include "zor_pmain.h"

bool g_nexalRelkitTools =
    RegisterConfigVariable("g_nexalRelkitTools", &g_nexalRelkitTools, false, nexal::CONFIG_MODULE_SWITCH, "");

namespace {

// The one place that fixes the order of registration; each tool adds its one line in its slot.
// The Renderator's registration is Decisive: its answer is the start result.
constexpr std::initializer_list<ToolRegistration> kTools = {
    {RegisterCrashObject, RegistrationRule::Required},            // 1 crash test command
    {RegisterTranslatorLocator, RegistrationRule::Unchecked},     // 2 Translator Locator
    {RegisterScriptStringCommands, RegistrationRule::Unchecked},  // 3 Import and Export Script Strings
    {RegisterAttachmentScanner, RegistrationRule::Unchecked},     // 4 Attachment Scanner
    {io_browser::RegisterIoBrowser, RegistrationRule::Required},  // 5 I/O handler browser
    {RegisterRenderator, RegistrationRule::Decisive},             // 6 Renderator command
};

}  // namespace

int32_t RegisterRelkitTools() {
  if (!g_nexalRelkitTools) return 1;
  return RunToolRegistrations(kTools.begin(), kTools.size());
}

void ReleaseRelkitToolObjects() {
  io_browser::ReleaseIoBrowserDragObject();
}
