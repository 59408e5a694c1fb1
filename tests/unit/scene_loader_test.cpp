// Loading .zor scenes: typed values, the document table's view of them, and one clear console line
// for every way a scene file can be wrong.
#include <gtest/gtest.h>

#include "documents/scene_faults.h"
#include "scene_test_support.h"

namespace {

using namespace test_support;

// Loads `text` as a scene and answers the console output: one line naming the file, no document.
std::string load_failure(const ScratchFolder& dir, const std::string& text) {
  auto file = dir.write("broken.zor", text);
  scene_test::Document doc;
  std::string out = test_support::StdoutOf([&] { doc = scene_test::load(file); });
  EXPECT_EQ(doc, nullptr) << text;
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
  EXPECT_EQ(out.rfind("Scene not loaded: " + file.string() + ": ", 0), 0u) << out;
  return out;
}

TEST(SceneLoader, EveryWayASceneIsWrongIsOneLineNamingThePlace) {
  ScratchFolder dir;
  EXPECT_TRUE(Contains(
      test_support::StdoutOf([&] { EXPECT_EQ(scene_test::load(dir.path() / "missing.zor"), nullptr); }),
      "missing.zor: does not exist"));
  dir.write("meshes/empty.obj", "# nothing but a comment\nv 0 0 0\n");
  dir.write("meshes/bad_index.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 9\n");
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
  const auto crash_at = [](const std::string& place) {
    return scene_test::scene_with(R"("faults": { "crash": ")" + place + "\" }");
  };
  const auto physical = [](const std::string& settings) {
    return scene_test::scene_text("0", "", R"([ { "type": 1023342, "settings": { )" + settings + " } } ]");
  };
  const std::string places = "\" (must be \"load\", \"render\" or \"fullRender\")\n";
  std::vector<Case> cases = {
      // the stray comma sits on line 3; the parser notices at the closing brace, column 1 of line 4
      {"{\n  \"zor\": 1,\n  \"fps\": 30,\n}\n", "line 4, column 1: invalid JSON"},
      {"{ \"zor\": 1, \"fps\": tru }", "line 1, column"},
      {"", "invalid JSON"},
      {scene_test::scene_text("0", R"(, { "type": "mesh", "file": "meshes/empty.obj" })"), "has no faces"},
      {scene_test::scene_text("0", R"(, { "type": "mesh", "file": "meshes/bad_index.obj" })"),
       "objects[3].file"},
      {scene_test::scene_with(R"("faults": { "delayMs": "soon" })"), "faults.delayMs: must be an integer"},
      {crash_at("explode"), "faults.crash: unknown place to crash \"explode" + places},
      {crash_at(""), "faults.crash: unknown place to crash \"" + places},
      {crash_at("Render"), "faults.crash: unknown place to crash \"Render" + places},
      {without("camera"), "camera: is missing"},
      {without("lights"), "lights: is missing"},
      {scene_test::scene_text(
           "0", R"(, { "type": "sphere", "center": [0,0,0], "radius": 1, "material": "blue" })"),
       "objects[3].material: unknown material \"blue\""},
      {scene_test::scene_text("0", R"(, { "type": "sphere", "center": [0,0,0], "radius": -2 })"),
       "objects[3].radius is -2: must be positive"},
      {scene_test::scene_text("0", R"(, { "type": "box", "center": [0,0,0], "size": [1,0,1] })"),
       "objects[3].size[1] is 0: must be positive"},
      {scene_test::scene_text("0", R"(, { "type": "cone" })"),
       "objects[3].type: unknown object type \"cone\""},
      {scene_test::scene_text("0", R"(, { "type": "mesh", "file": "meshes/nothing.obj" })"),
       "objects[3].file: mesh file not found"},
      {scene_test::scene_text("0", "", "[]", "0, \"5009\": 32.0"),
       "renderSettings.5008 is 0: must be at least 1"},
      {scene_test::scene_text("0", "", "[]", "48.0"), "renderSettings.5009: is missing"},
      {scene_test::scene_text("0", "", "[]", "48.0, \"5009\": 32, \"abc\": 1"),
       "renderSettings.abc: container keys must be 32-bit integer ids"},
      {scene_test::scene_text("0", "", "[]", "48.0, \"5009\": 32, \"7\": [1, 2]"),
       "renderSettings.7: is not a container value"},
      {scene_test::scene_text("0", "", R"([ { "flags": 0 } ])"), "videoPosts[0].type: is missing"},
      {R"({ "zor": 2 })", "zor is 2: unsupported scene format version"},
      {"[1, 2]", "a scene file holds one JSON object"},
      // A number out of range for its field is named by its path and shown as the file writes it,
      // whether the JSON syntax, the container form or the field's own range rejects it.
      // beyond a double: the parser stops at the number, with its position
      {scene_test::scene_with(R"("fps": 1e400)"), "fps is 1e400: the number is out of range"},
      {scene_test::scene_with(R"("background": [0, -1E+400, 0])"),
       "background[1] is -1E+400: the number is out of range"},
      {scene_test::scene_text("0", "", "[]", "48.0, \"5009\": 32.0, \"12\": { \"3\": [1, 2.5e999] }"),
       "renderSettings.12.3[1] is 2.5e999"},
      {"1e400", "(top level) is 1e400"},
      // past the field's range
      {scene_test::scene_text("1e20"), "renderSettings.5300 is 1e20: must be a whole number"},
      {scene_test::scene_text("2.5"), "renderSettings.5300 is 2.5: must be a whole number"},
      {scene_test::scene_text("0", "", "[]", "1e5, \"5009\": 32"), "renderSettings.5008 is 1e5: must be at"},
      {scene_test::scene_text("0", "", "[]", "48, \"5009\": 32, \"7\": 3000000000"),
       "renderSettings.7 is 3000000000: integer does not fit in 32 bits"},
      {scene_test::scene_text("0", "", R"([ { "type": 99999999999999999999 } ])"),
       "videoPosts[0].type is 99999999999999999999: must be a whole number"},
      {scene_test::scene_text("0", "", R"([ { "type": 1, "flags": 4294967296 } ])"),
       "videoPosts[0].flags is 4294967296"},
      {physical(R"("3100": 4, "4000": 3)"),
       "videoPosts[0].settings.4000 is 3: must be a whole number from 0 to 2"},
      {physical(R"("3100": -9e18)"), "videoPosts[0].settings.3100 is -9e18"},
      {scene_test::scene_text("0", "", R"([ { "type": 1001015, "settings": { "1000": 1.5 } } ])"),
       "videoPosts[0].settings.1000 is 1.5: must be between 0 and 1"},
      {scene_test::scene_with(R"("minTime": [9223372036854775808, 1])"), "minTime[0] is 9223372036854775808"},
      {scene_test::scene_with(R"("minTime": [0, 0])"), "minTime[1] is 0: must be a whole number from 1"},
      {scene_test::scene_with(R"("faults": { "delayMs": -1 })"),
       "faults.delayMs is -1: must be a whole number from 0"},
      {scene_test::scene_with(R"("faults": { "lowMemoryEvents": 1e10 })"), "faults.lowMemoryEvents is 1e10"},
      {scene_test::scene_text("0", R"(, { "type": "sphere", "center": [0, 0, 0], "radius": 1e-400 })"),
       "objects[3].radius is 1e-400: must be positive"},
      {scene_test::scene_text("0", R"(, { "type": "sphere", "center": [0, 0, -2e9], "radius": 1 })"),
       "objects[3].center[2] is -2e9: must be between -1e9 and 1e9"},
      {scene_test::scene_with(R"("materials": { "red": { "color": [0.8, -0.10, 0.1] } })"),
       "materials.red.color[1] is -0.10: colour components must not be negative"},
      {scene_test::scene_with(R"("camera": { "position": [0, 2, -6], "target": [0, 0, 0], "fov": 180.0 })"),
       "camera.fov is 180.0: must be between 0 and 180 degrees"},
  };
  for (const Case& c : cases) EXPECT_TRUE(Contains(load_failure(dir, c.text), c.expected));
  // the parser's position is kept: the number sits on line 3
  EXPECT_TRUE(Contains(load_failure(dir, "{\n  \"zor\": 1,\n  \"fps\": 1e400\n}"), "line 3, column"));

  // whole numbers in float form and film grain strengths written as integers are accepted
  auto doc = scene_test::load(dir.write(
      "fine.zor", scene_test::scene_text("1023342.0", "",
                                         R"([ { "type": 1023342, "settings": { "3100": 8e0, "4000": 2 } },
                                              { "type": 1001015, "settings": { "1000": 1 } } ])")));
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(zorhost::documents_table()->get_parameter_int(&doc->render_data, 5300, 0), 1023342);
  EXPECT_EQ(std::get<double>(doc->render_data.video_posts[1]->settings.values.at(1000)), 1.0);
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
  const auto time = std::get<zorhost::TimeValue>(values.at(13));
  EXPECT_EQ(std::make_pair(time.num, time.den), std::make_pair(int64_t{3}, int64_t{4}));
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
  EXPECT_EQ(std::make_pair(num, den), std::make_pair(int64_t{0}, int64_t{1}));
  // the minimum time is set only with a positive denominator
  EXPECT_TRUE(t->set_min_time(doc.get(), -1001, 30));
  EXPECT_FALSE(t->set_min_time(doc.get(), 5, 0));
  EXPECT_FALSE(t->set_min_time(doc.get(), 5, -2));
  EXPECT_FALSE(t->set_min_time(nullptr, 0, 1));
  t->min_time(doc.get(), &num, &den);
  EXPECT_EQ(std::make_pair(num, den), std::make_pair(int64_t{-1001}, int64_t{30}));
}

TEST(SceneLoader, FaultsSectionIsKeptAndChecked) {
  ScratchFolder dir;
  auto doc = scene_test::load(dir.write(
      "faulty.zor",
      scene_test::scene_with(R"("faults": { "crash": "render", "lowMemoryEvents": 2, "delayMs": 50 })")));
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
}

TEST(SceneLoader, DocumentedExampleLoads) {
  const std::string text = test_support::ReadFile(std::string(RELKIT_SOURCE_DIR) + "/docs/scene-format.md");
  size_t section = text.find("## A complete example");
  ASSERT_NE(section, std::string::npos);
  size_t start = text.find("```json\n", section);
  ASSERT_NE(start, std::string::npos);
  start += 8;
  size_t end = text.find("```", start);
  ASSERT_NE(end, std::string::npos);

  ScratchFolder dir;
  std::filesystem::create_directories(dir.path() / "meshes");
  std::filesystem::copy_file(std::string(RELKIT_SOURCE_DIR) + "/examples/scenes/meshes/cube.obj",
                             dir.path() / "meshes" / "cube.obj");
  scene_test::Document doc;
  const std::string out = test_support::StdoutOf(
      [&] { doc = scene_test::load(dir.write("example.zor", text.substr(start, end - start))); });
  ASSERT_NE(doc, nullptr) << out;
  using Kind = zorhost::SceneObject::Kind;
  std::vector<Kind> kinds;
  for (const auto& object : doc->scene.objects) kinds.push_back(object.kind);
  EXPECT_EQ(kinds, (std::vector<Kind>{Kind::plane, Kind::sphere, Kind::box, Kind::mesh}));
  EXPECT_EQ(doc->scene.lights.size(), 2u);
  EXPECT_EQ(doc->scene.objects[3].mesh_file, dir.path() / "meshes" / "cube.obj");
  EXPECT_EQ(doc->render_data.video_posts.size(), 2u);
  EXPECT_EQ(doc->fps, 25);
}

}  // namespace
