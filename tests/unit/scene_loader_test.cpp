// Loading .zor scenes: typed values, the document table's view of them, and one clear console line
// for every way a scene file can be wrong.
#include <gtest/gtest.h>

#include "documents/scene_faults.h"
#include "scene_test_support.h"

namespace {

using scene_test::ScratchFolder;

// Loads `text` as a scene and answers the console output; the document must not load.
std::string load_failure(const ScratchFolder& dir, const std::string& text,
                         const std::string& name = "broken.zor") {
  auto file = dir.write(name, text);
  testing::internal::CaptureStdout();
  auto doc = scene_test::load(file);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(doc, nullptr) << text;
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
  EXPECT_NE(out.find(file.string()), std::string::npos) << out;
  return out;
}

TEST(SceneLoader, SyntaxErrorsNameLineAndColumn) {
  ScratchFolder dir;
  // the stray comma sits on line 3; the parser notices at the closing brace, column 1 of line 4
  std::string out = load_failure(dir, "{\n  \"zor\": 1,\n  \"fps\": 30,\n}\n");
  EXPECT_NE(out.find("line 4, column 1"), std::string::npos) << out;
  EXPECT_NE(out.find("invalid JSON"), std::string::npos) << out;

  out = load_failure(dir, "{ \"zor\": 1, \"fps\": tru }");
  EXPECT_NE(out.find("line 1, column"), std::string::npos) << out;

  out = load_failure(dir, "");
  EXPECT_NE(out.find("invalid JSON"), std::string::npos) << out;

  testing::internal::CaptureStdout();
  EXPECT_EQ(scene_test::load(dir.path() / "missing.zor"), nullptr);
  out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("missing.zor: cannot be opened"), std::string::npos) << out;
}

TEST(SceneLoader, SemanticErrorsNameTheJsonPath) {
  ScratchFolder dir;
  std::string good = scene_test::scene_text();
  auto without = [&](const std::string& key) {
    std::string text = good;
    size_t at = text.find("\"" + key + "\"");
    size_t end = text.find("\n", at);
    return text.erase(at, end - at + 1);
  };
  struct Case {
    std::string text, expected;
  };
  std::vector<Case> cases = {
      {without("camera"), "camera: is missing"},
      {without("lights"), "lights: is missing"},
      {scene_test::scene_text(
           "0", R"(, { "type": "sphere", "center": [0,0,0], "radius": 1, "material": "blue" })"),
       "objects[3].material: unknown material \"blue\""},
      {scene_test::scene_text("0", R"(, { "type": "sphere", "center": [0,0,0], "radius": -2 })"),
       "objects[3].radius: must be positive"},
      {scene_test::scene_text("0", R"(, { "type": "box", "center": [0,0,0], "size": [1,0,1] })"),
       "objects[3].size: must be positive"},
      {scene_test::scene_text("0", R"(, { "type": "cone" })"),
       "objects[3].type: unknown object type \"cone\""},
      {scene_test::scene_text("0", R"(, { "type": "mesh", "file": "meshes/nothing.obj" })"),
       "objects[3].file: mesh file not found"},
      {scene_test::scene_text("0", "", "[]", "0, \"5009\": 32.0"), "renderSettings.5008: must be at least 1"},
      {scene_test::scene_text("0", "", "[]", "48.0"), "renderSettings.5009: is missing"},
      {scene_test::scene_text("0", "", "[]", "48.0, \"5009\": 32, \"abc\": 1"),
       "renderSettings.abc: container keys must be 32-bit integer ids"},
      {scene_test::scene_text("0", "", "[]", "48.0, \"5009\": 32, \"7\": [1, 2]"),
       "renderSettings.7: is not a container value"},
      {scene_test::scene_text("0", "", "[]", "48.0, \"5009\": 32, \"7\": 3000000000"),
       "renderSettings.7: integer does not fit in 32 bits"},
      {scene_test::scene_text("0", "", R"([ { "flags": 0 } ])"), "videoPosts[0].type: is missing"},
      {R"({ "zor": 2 })", "zor: unsupported scene format version"},
      {"[1, 2]", "a scene file holds one JSON object"},
  };
  for (const Case& c : cases) {
    std::string out = load_failure(dir, c.text);
    EXPECT_NE(out.find(c.expected), std::string::npos) << "expected: " << c.expected << "\ngot: " << out;
  }
}

TEST(SceneLoader, BrokenMeshFilesAreNamed) {
  ScratchFolder dir;
  dir.write("meshes/empty.obj", "# nothing but a comment\nv 0 0 0\n");
  dir.write("meshes/bad_index.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 9\n");
  std::string out =
      load_failure(dir, scene_test::scene_text("0", R"(, { "type": "mesh", "file": "meshes/empty.obj" })"));
  EXPECT_NE(out.find("has no faces"), std::string::npos) << out;
  out = load_failure(dir,
                     scene_test::scene_text("0", R"(, { "type": "mesh", "file": "meshes/bad_index.obj" })"));
  EXPECT_NE(out.find("objects[3].file"), std::string::npos) << out;
}

TEST(SceneLoader, ContainerValuesKeepTheirTypeByForm) {
  ScratchFolder dir;
  auto file =
      dir.write("typed.zor", scene_test::scene_text("0", "", R"([
      { "type": 1023342, "flags": 6, "settings": { "3100": 2, "4000": 1 } },
      { "type": 1001015 } ])",
                                                    R"(320.0, "5009": 240, "10": true, "11": 1.5e2, "12": -7,
         "13": { "time": [3, 4] }, "14": { "file": "out/image.tif" }, "15": "Grüße",
         "16": { "1": false, "2": { "3": 0.25 } })"));
  auto doc = scene_test::load(file);
  ASSERT_NE(doc, nullptr);
  const auto& values = doc->render_data.settings.values;
  EXPECT_EQ(std::get<double>(values.at(5008)), 320.0);
  EXPECT_EQ(std::get<int32_t>(values.at(5009)), 240);
  EXPECT_EQ(std::get<bool>(values.at(10)), true);
  EXPECT_EQ(std::get<double>(values.at(11)), 150.0);  // exponent form is a float
  EXPECT_EQ(std::get<int32_t>(values.at(12)), -7);
  EXPECT_EQ(std::get<zorhost::TimeValue>(values.at(13)).num, 3);
  EXPECT_EQ(std::get<zorhost::TimeValue>(values.at(13)).den, 4);
  EXPECT_EQ(std::get<zorhost::FilenameValue>(values.at(14)).path, "out/image.tif");
  EXPECT_EQ(std::get<zorhost::StringValue>(values.at(15)).text, U"Grüße");
  auto sub = std::get<std::shared_ptr<HostContainer>>(values.at(16));
  EXPECT_EQ(sub->id, 16);
  EXPECT_EQ(std::get<bool>(sub->values.at(1)), false);
  auto inner = std::get<std::shared_ptr<HostContainer>>(sub->values.at(2));
  EXPECT_EQ(std::get<double>(inner->values.at(3)), 0.25);

  // The document table: parameters, the live container, the video post chain.
  const HostDocumentTable* t = zorhost::documents_table();
  HostRenderData* rd = t->active_render_data(doc.get());
  EXPECT_EQ(t->get_parameter_int(rd, 5008, 0), 320);  // floats read as integers, truncated
  EXPECT_EQ(t->get_parameter_int(rd, 999, -5), -5);
  EXPECT_TRUE(t->set_parameter_int(rd, 5300, 1023342, 4));
  EXPECT_EQ(std::get<int32_t>(t->render_data_container(rd)->values.at(5300)), 1023342);
  HostVideoPost* vp = t->first_video_post(rd);
  ASSERT_NE(vp, nullptr);
  EXPECT_EQ(t->video_post_type(vp), 1023342);
  EXPECT_EQ(t->video_post_flags(vp), 6);
  EXPECT_EQ(std::get<int32_t>(t->video_post_container(vp)->values.at(3100)), 2);
  EXPECT_TRUE(t->set_video_post_parameter_int(vp, 4000, 2, 4));
  EXPECT_EQ(std::get<int32_t>(t->video_post_container(vp)->values.at(4000)), 2);
  HostVideoPost* grain = t->next_video_post(vp);
  ASSERT_NE(grain, nullptr);
  EXPECT_EQ(t->video_post_type(grain), 1001015);
  t->set_video_post_flags(grain, t->video_post_flags(grain) | 4);
  EXPECT_EQ(t->video_post_flags(grain), 4);
  EXPECT_EQ(t->next_video_post(grain), nullptr);
  EXPECT_EQ(t->fps(doc.get()), 30.0);
  int64_t num = -1, den = -1;
  t->min_time(doc.get(), &num, &den);
  EXPECT_EQ(num, 0);
  EXPECT_EQ(den, 1);
}

TEST(SceneLoader, FaultsSectionIsKeptAndChecked) {
  ScratchFolder dir;
  std::string text = scene_test::scene_text();
  text.insert(text.rfind('}'), R"(, "faults": { "crash": "render", "lowMemoryEvents": 2, "delayMs": 50 })");
  auto doc = scene_test::load(dir.write("faulty.zor", text));
  ASSERT_NE(doc, nullptr);
  const zorhost::SceneFaults* faults = zorhost::scene_faults(doc.get());
  ASSERT_NE(faults, nullptr);
  EXPECT_TRUE(faults->present);
  EXPECT_EQ(faults->crash, "render");
  EXPECT_EQ(faults->low_memory_events, 2);
  EXPECT_EQ(faults->delay_ms, 50);

  auto plain = scene_test::load(dir.write("plain.zor", scene_test::scene_text()));
  ASSERT_NE(plain, nullptr);
  EXPECT_FALSE(zorhost::scene_faults(plain.get())->present);

  std::string bad = scene_test::scene_text();
  bad.insert(bad.rfind('}'), R"(, "faults": { "delayMs": "soon" })");
  std::string out = load_failure(dir, bad);
  EXPECT_NE(out.find("faults.delayMs: must be an integer"), std::string::npos) << out;
}

}  // namespace
