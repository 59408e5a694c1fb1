// Helpers for the scene, render and bitmap tests: a scratch folder, scene text, a rendered frame.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/host_table.h"
#include "bitmaps/bitmap_impl.h"
#include "documents/scene_document.h"
#include "files/filename_impl.h"
#include "scratch_folder.h"

namespace scene_test {

using test_support::ScratchFolder;

// A HostFilename owned by the test.
struct Filename {
  explicit Filename(const std::filesystem::path& p) : name(zorhost::new_host_filename(p.string())) {}
  ~Filename() { zorhost::files_table()->fn_free(name); }
  HostFilename* name;
};

// A valid scene; `extra` is spliced in as further top-level members (later keys win in nlohmann).
inline std::string scene_text(const std::string& engine = "0", const std::string& objects = "",
                              const std::string& video_posts = "[]",
                              const std::string& size = "48.0, \"5009\": 32.0") {
  return R"({ "zor": 1,
  "renderSettings": { "5008": )" +
         size + R"(, "5300": )" + engine + R"( },
  "videoPosts": )" +
         video_posts + R"(,
  "camera": { "position": [0, 2, -6], "target": [0, 0.8, 0], "fov": 45 },
  "lights": [ { "type": "point", "position": [4, 6, -4], "intensity": 50 } ],
  "materials": { "red": { "color": [0.8, 0.1, 0.1], "reflect": 0.3 } },
  "objects": [ { "type": "sphere", "center": [0, 1, 0], "radius": 1, "material": "red" },
               { "type": "plane", "point": [0, 0, 0], "normal": [0, 1, 0] },
               { "type": "box", "center": [1.8, 0.4, 0], "size": [0.8, 0.8, 0.8] } )" +
         objects + R"( ] })";
}

inline std::unique_ptr<HostDocument> load(const std::filesystem::path& file) {
  Filename name(file);
  return std::unique_ptr<HostDocument>(zorhost::documents_table()->load(name.name, 3));
}

// Renders with the document's own settings into a bitmap of their size.
inline int32_t render(HostDocument* doc, HostBitmap& bmp, HostThread* thread = nullptr) {
  const HostContainer* settings =
      zorhost::documents_table()->render_data_container(zorhost::documents_table()->active_render_data(doc));
  int w = static_cast<int>(zorhost::documents_table()->get_parameter_int(&doc->render_data, 5008, 0));
  int h = static_cast<int>(zorhost::documents_table()->get_parameter_int(&doc->render_data, 5009, 0));
  EXPECT_EQ(zorhost::bitmaps_table()->init(&bmp, w, h, 24, 0), ZOR_IMAGE_OK);
  return zorhost::render_table()->render_document(doc, settings, &bmp, 1, thread, nullptr, nullptr);
}

}  // namespace scene_test
