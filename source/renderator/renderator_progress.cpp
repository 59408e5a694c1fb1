#include "renderator_progress.h"

#include "renderator_run.h"
#include "zor_thread.h"

namespace {
constexpr int32_t kStatusGadget = 5000;
}

ZDialog::~ZDialog() = default;

bool ZDialog::BuildLayout() {
  const RenderatorRunState* run = g_renderatorRun;
  const bool comparing = run && run->buildFlag == 0 && run->continueBuild == 0;
  SetTitle(comparing ? "Renderator - comparing files" : "Renderator - building comparison base");
  GroupBegin(0, 0x38, 5, 0, String(), 0);
  AddStaticText(kStatusGadget, 0x18, 800, 0, String());
  GroupEnd();
  AddDlgGroup(ZOR_BUTTONS_CANCEL);
  return true;
}

bool ZDialog::HandleMessage(const BaseContainer& msg, BaseContainer& result) {
  if (msg.GetId() == ZOR_MSG_CORE && g_renderatorRun) {
    const int32_t eventId = msg.GetInt32(ZOR_MSG_VALUE_EVENT_ID);
    if (eventId == kRenderatorStatusEvent) {
      GeGlobalLockGuard lock;
      SetString(kStatusGadget, g_renderatorRun->statusText);
    } else if (eventId == kRenderatorEndEvent) {
      sawRunEnd_ = true;
      Close(false);
      GeGlobalLockGuard lock;
      GeMessageBox(g_renderatorRun->statusText);
    }
  }
  return GeModalDialog::HandleMessage(msg, result);
}
