// The small scene the scene, render and bitmap tests share, loaded and rendered through the host's
// tables; and the helpers of host_test_support.h.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "documents/scene_document.h"
#include "host_test_support.h"
#include "scratch_folder.h"

namespace scene_test {

using test_support::ScratchFolder;
using Filename = test_support::HostName;

// A valid scene; `objects` is spliced in after the three objects it has.
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

// The scene with `member` added at its top level.
inline std::string scene_with(const std::string& member) {
  std::string text = scene_text();
  return text.insert(text.rfind('}'), ", " + member);
}

// A document given back through the documents family, so that the host stops counting it.
struct DocumentFree {
  void operator()(HostDocument* doc) const { zorhost::documents_table()->free(doc); }
};
using Document = std::unique_ptr<HostDocument, DocumentFree>;

inline Document load(const std::filesystem::path& file) {
  return Document(zorhost::documents_table()->load(Filename(file), 3));
}

// Renders with the document's own settings into a bitmap of their size.
inline int32_t render(HostDocument* doc, HostBitmap& bmp, HostThread* thread = nullptr) {
  const HostDocumentTable& documents = *zorhost::documents_table();
  const HostContainer* settings = documents.render_data_container(documents.active_render_data(doc));
  const auto w = static_cast<int32_t>(documents.get_parameter_int(&doc->render_data, 5008, 0));
  const auto h = static_cast<int32_t>(documents.get_parameter_int(&doc->render_data, 5009, 0));
  EXPECT_EQ(zorhost::bitmaps_table()->init(&bmp, w, h, 24, 0), ZOR_IMAGE_OK);
  return zorhost::render_table()->render_document(doc, settings, &bmp, 1, thread, nullptr, nullptr);
}

}  // namespace scene_test
