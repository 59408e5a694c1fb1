// Every kind of host object a module can hold is counted while it lives, so that --check-leaks finds
// the ones a module forgets.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/host_table.h"
#include "memory/memory_tracker.h"
#include "scene_test_support.h"

using zorhost::ObjectKind;

namespace {

bool no_answer(HostDialog*, HostUserArea*, const HostContainer*) {
  return false;
}

std::string leak_report() {
  char* buffer = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  zorhost::report_leaks(out);
  std::fclose(out);
  std::string report(buffer, size);
  std::free(buffer);
  return report;
}

}  // namespace

TEST(HostObjectCounts, BitmapsDocumentsDialogsThreadsAndResourcesAreCountedUntilFreed) {
  scene_test::ScratchFolder folder;
  scene_test::Filename scene(folder.write("a.zor", scene_test::scene_text()));
  scene_test::Filename resources(folder.path());
  scene_test::Filename missing(folder.path() / "missing.zor");
  auto before = zorhost::live_objects();

  HostBitmap* bitmap = zorhost::bitmaps_table()->alloc();
  HostDocument* document = zorhost::documents_table()->load(scene.name, 0);
  HostDialog* dialog = zorhost::gui_table()->dialog_alloc(no_answer, nullptr);
  HostUserArea* area = zorhost::gui_table()->user_area_alloc(no_answer, nullptr);
  HostThread* thread = zorhost::threads_table()->alloc([](void*) {}, nullptr, nullptr, nullptr);
  HostResource* resource = zorhost::plugins_table()->resource_open(resources.name);
  ASSERT_TRUE(bitmap && document && dialog && area && thread && resource);

  auto now = zorhost::live_objects();
  const std::string report = leak_report();
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
  EXPECT_EQ(zorhost::documents_table()->load(missing.name, 0), nullptr);
  std::erase_if(before, [](const auto& entry) { return entry.second == 0; });
  EXPECT_EQ(zorhost::live_objects(), before);
}
