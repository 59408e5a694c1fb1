// Every kind of host object a module can hold is counted while it lives, so that --check-leaks finds
// the ones a module forgets.
#include <gtest/gtest.h>

#include <string>

#include "scene_test_support.h"

using zorhost::ObjectKind;

namespace {

bool no_answer(HostDialog*, HostUserArea*, const HostContainer*) {
  return false;
}

}  // namespace

TEST(HostObjectCounts, BitmapsDocumentsDialogsThreadsAndResourcesAreCountedUntilFreed) {
  scene_test::ScratchFolder folder;
  test_support::HostName scene(folder.write("a.zor", scene_test::scene_text()));
  test_support::HostName resources(folder.path());
  test_support::HostName missing(folder.path() / "missing.zor");
  auto before = zorhost::live_objects();

  HostBitmap* bitmap = zorhost::bitmaps_table()->alloc();
  HostDocument* document = zorhost::documents_table()->load(scene, 0);
  HostDialog* dialog = zorhost::gui_table()->dialog_alloc(no_answer, nullptr);
  HostUserArea* area = zorhost::gui_table()->user_area_alloc(no_answer, nullptr);
  HostThread* thread = zorhost::threads_table()->alloc([](void*) {}, nullptr, nullptr, nullptr);
  HostResource* resource = zorhost::plugins_table()->resource_open(resources);
  ASSERT_TRUE(bitmap && document && dialog && area && thread && resource);

  auto now = zorhost::live_objects();
  const std::string report = test_support::LeakReport();
  for (ObjectKind kind : {ObjectKind::Bitmap, ObjectKind::Document, ObjectKind::Dialog, ObjectKind::UserArea,
                          ObjectKind::Thread, ObjectKind::Resource}) {
    const char* name = zorhost::object_kind_name(kind);
    EXPECT_EQ(now[kind], before[kind] + 1) << name;
    EXPECT_NE(report.find(std::string(name) + " never freed"), std::string::npos) << report;
  }

  zorhost::bitmaps_table()->free(bitmap);
  zorhost::documents_table()->free(document);
  zorhost::gui_table()->dialog_free(dialog);
  zorhost::gui_table()->user_area_free(area);
  zorhost::threads_table()->free(thread);
  zorhost::plugins_table()->resource_free(resource);
  // a failed open holds nothing
  EXPECT_EQ(zorhost::documents_table()->load(missing, 0), nullptr);
  std::erase_if(before, [](const auto& entry) { return entry.second == 0; });
  EXPECT_EQ(zorhost::live_objects(), before);
}
