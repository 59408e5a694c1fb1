// Loading .zor scenes: typed values, the document table's view of them, and one clear console line
// for every way a scene file can be wrong. Rendering them: the same pixels whatever the thread count, the
// break test, film grain, the physical engine's acceleration structures, and the failures a caller must
// be able to tell apart.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <system_error>
#include <thread>

#include "render/render_scene.h"
#include "render/render_threads.h"
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
  const auto crash_at = [](const std::string& place) {
    return scene_test::scene_with(R"("faults": { "crash": ")" + place + "\" }");
  };
  const auto with = scene_test::scene_with;
  const auto object = [](const std::string& o) { return scene_test::scene_text("0", ", { " + o + " }"); };
  const auto sized = [](const std::string& s) { return scene_test::scene_text("0", "", "[]", s); };
  const auto post = [](const std::string& p) { return scene_test::scene_text("0", "", "[ { " + p + " } ]"); };
  const std::string places = "\" (must be \"load\", \"render\" or \"fullRender\")\n";
  const std::pair<std::string, std::string> cases[] = {
      // the stray comma sits on line 3; the parser notices at the closing brace, column 1 of line 4
      {"{\n  \"zor\": 1,\n  \"fps\": 30,\n}\n", "line 4, column 1: invalid JSON"},
      {"", "invalid JSON"},
      {object(R"("type": "mesh", "file": "meshes/empty.obj")"), "has no faces"},
      {object(R"("type": "mesh", "file": "meshes/bad_index.obj")"), "objects[3].file"},
      {with(R"("faults": { "delayMs": "soon" })"), "faults.delayMs: must be an integer"},
      {crash_at("explode"), "faults.crash: unknown place to crash \"explode" + places},
      {crash_at(""), "faults.crash: unknown place to crash \"" + places},
      {crash_at("Render"), "faults.crash: unknown place to crash \"Render" + places},
      {without("camera"), "camera: is missing"},
      {without("lights"), "lights: is missing"},
      {object(R"("type": "sphere", "center": [0,0,0], "radius": 1, "material": "blue")"),
       "objects[3].material: unknown material \"blue\""},
      {object(R"("type": "sphere", "center": [0,0,0], "radius": -2)"),
       "objects[3].radius is -2: must be positive"},
      {object(R"("type": "box", "center": [0,0,0], "size": [1,0,1])"),
       "objects[3].size[1] is 0: must be positive"},
      {object(R"("type": "cone")"), "objects[3].type: unknown object type \"cone\""},
      {object(R"("type": "mesh", "file": "meshes/nothing.obj")"), "objects[3].file: mesh file not found"},
      {sized("0, \"5009\": 32.0"), "renderSettings.5008 is 0: must be at least 1"},
      {sized("48.0"), "renderSettings.5009: is missing"},
      {sized("48.0, \"5009\": 32, \"abc\": 1"),
       "renderSettings.abc: container keys must be 32-bit integer ids"},
      {sized("48.0, \"5009\": 32, \"7\": [1, 2]"), "renderSettings.7: is not a container value"},
      {post(R"("flags": 0)"), "videoPosts[0].type: is missing"},
      {R"({ "zor": 2 })", "zor is 2: unsupported scene format version"},
      {"[1, 2]", "a scene file holds one JSON object"},
      // A number out of range for its field is named by its path and shown as the file writes it,
      // whether the JSON syntax, the container form or the field's own range rejects it.
      // beyond a double: the parser stops at the number, with its position
      {with(R"("fps": 1e400)"), "fps is 1e400: the number is out of range"},
      {with(R"("background": [0, -1E+400, 0])"), "background[1] is -1E+400: the number is out of range"},
      {sized("48.0, \"5009\": 32.0, \"12\": { \"3\": [1, 2.5e999] }"), "renderSettings.12.3[1] is 2.5e999"},
      {"1e400", "(top level) is 1e400"},
      // past the field's range
      {scene_test::scene_text("1e20"), "renderSettings.5300 is 1e20: must be a whole number"},
      {scene_test::scene_text("2.5"), "renderSettings.5300 is 2.5: must be a whole number"},
      {sized("1e5, \"5009\": 32"), "renderSettings.5008 is 1e5: must be at"},
      {sized("48, \"5009\": 32, \"7\": 3000000000"),
       "renderSettings.7 is 3000000000: integer does not fit in 32 bits"},
      {post(R"("type": 99999999999999999999)"),
       "videoPosts[0].type is 99999999999999999999: must be a whole number"},
      {post(R"("type": 1, "flags": 4294967296)"), "videoPosts[0].flags is 4294967296"},
      {post(R"("type": 1023342, "settings": { "3100": 4, "4000": 3 })"),
       "videoPosts[0].settings.4000 is 3: must be a whole number from 0 to 2"},
      {post(R"("type": 1023342, "settings": { "3100": -9e18 })"), "videoPosts[0].settings.3100 is -9e18"},
      {post(R"("type": 1001015, "settings": { "1000": 1.5 })"),
       "videoPosts[0].settings.1000 is 1.5: must be between 0 and 1"},
      {with(R"("minTime": [9223372036854775808, 1])"), "minTime[0] is 9223372036854775808"},
      {with(R"("minTime": [0, 0])"), "minTime[1] is 0: must be a whole number from 1"},
      {with(R"("faults": { "delayMs": -1 })"), "faults.delayMs is -1: must be a whole number from 0"},
      {with(R"("faults": { "lowMemoryEvents": 1e10 })"), "faults.lowMemoryEvents is 1e10"},
      {object(R"("type": "sphere", "center": [0, 0, 0], "radius": 1e-400)"),
       "objects[3].radius is 1e-400: must be positive"},
      {object(R"("type": "sphere", "center": [0, 0, -2e9], "radius": 1)"),
       "objects[3].center[2] is -2e9: must be between -1e9 and 1e9"},
      {with(R"("materials": { "red": { "color": [0.8, -0.10, 0.1] } })"),
       "materials.red.color[1] is -0.10: colour components must not be negative"},
      {with(R"("camera": { "position": [0, 2, -6], "target": [0, 0, 0], "fov": 180.0 })"),
       "camera.fov is 180.0: must be between 0 and 180 degrees"},
  };
  for (const auto& [text, expected] : cases) EXPECT_TRUE(Contains(load_failure(dir, text), expected));
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
  HostVideoPost* vp = t->first_video_post(rd);
  ASSERT_NE(vp, nullptr);
  EXPECT_EQ(t->video_post_type(vp), 1023342);
  EXPECT_EQ(t->video_post_flags(vp), 6);
  EXPECT_EQ(std::get<int32_t>(t->video_post_container(vp)->values.at(3100)), 2);
  HostVideoPost* grain = t->next_video_post(vp);
  ASSERT_NE(grain, nullptr);
  EXPECT_EQ(t->video_post_type(grain), 1001015);
  EXPECT_EQ(t->video_post_flags(grain), 0);
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

TEST(SceneLoader, DocumentedExampleLoads) {
  const std::string text = test_support::ReadFile(std::string(RELKIT_SOURCE_DIR) + "/docs/scene-format.md");
  const size_t section = text.find("## A complete example"), start = text.find("```json\n", section),
               end = text.find("```", start + 8);
  ASSERT_TRUE(section != std::string::npos && start != std::string::npos && end != std::string::npos);

  ScratchFolder dir;
  std::filesystem::create_directories(dir.path() / "meshes");
  std::filesystem::copy_file(std::string(RELKIT_SOURCE_DIR) + "/examples/scenes/meshes/cube.obj",
                             dir.path() / "meshes" / "cube.obj");
  scene_test::Document doc;
  const std::string out = test_support::StdoutOf(
      [&] { doc = scene_test::load(dir.write("example.zor", text.substr(start + 8, end - start - 8))); });
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

constexpr const char* kEngines[] = {"0", "1", "1023342", "300001061", "1016630"};

// A small mesh, so that every engine meets triangles as well as analytic shapes.
constexpr const char* kTetrahedron =
    "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nf 1 3 2\nf 1 2 4\nf 1 4 3\nf 2 3 4\n";

std::string mesh_object(const std::string& file) {
  return R"(, { "type": "mesh", "file": ")" + file +
         R"(", "position": [-2, 0.2, -0.5], "scale": 0.9, "material": "red" })";
}

class ThreadCount {
 public:
  explicit ThreadCount(int n) { zorhost::set_render_thread_count(n); }
  ~ThreadCount() { zorhost::set_render_thread_count(0); }
};

// Every engine gives the same pixels whatever the thread count, the physical one also whatever its
// acceleration structure; the engines really differ, except that legacy renders as standard.
TEST(Render, SamePixelsWhateverTheThreadCountAndStructure) {
  ScratchFolder dir;
  dir.write("tetra.obj", kTetrahedron);
  const auto load = [&](const std::string& engine, const std::string& physical) {
    const std::string posts = R"([ { "type": 1023342, "settings": { )" + physical + " } } ]";
    return scene_test::load(dir.write(
        "e.zor", scene_test::scene_text(engine, mesh_object("tetra.obj"), posts, "70.0, \"5009\": 70.9")));
  };
  std::map<std::string, std::vector<uint8_t>> first;
  for (const std::string engine : kEngines) {
    for (const char* structure : {"0", "1", "2"}) {
      if (engine != "1023342" && *structure != '0') continue;
      auto doc = load(engine, std::string(R"("3100": 2, "4000": )") + structure);
      ASSERT_NE(doc, nullptr);
      for (int threads : {1, 2, 5}) {
        ThreadCount pin(threads);
        HostBitmap bmp;
        ASSERT_EQ(scene_test::render(doc.get(), bmp), ZOR_RENDER_OK) << engine;
        EXPECT_EQ(bmp.width, 70);
        EXPECT_EQ(bmp.height, 70);  // float sizes are truncated
        if (first[engine].empty()) {
          first[engine] = bmp.pixels;
          // not a blank frame: the sphere and the background differ
          EXPECT_NE(std::count(bmp.pixels.begin(), bmp.pixels.end(), bmp.pixels[0]), long(bmp.pixels.size()));
        } else {
          EXPECT_EQ(bmp.pixels, first[engine]) << engine << ", structure " << structure << ", " << threads;
        }
      }
    }
  }
  EXPECT_EQ(first["1016630"], first["0"]);
  for (const char* engine : {"1", "1023342", "300001061"}) EXPECT_NE(first[engine], first["0"]) << engine;
  // more samples per pixel really change the physical result
  auto more = load("1023342", R"("3100": 8)");
  HostBitmap bmp;
  ASSERT_EQ(scene_test::render(more.get(), bmp), ZOR_RENDER_OK);
  EXPECT_NE(bmp.pixels, first["1023342"]);
}

struct BreakCounter {
  std::atomic<int> asked{0};
  int break_after = 0;
};

TEST(Render, BreakTestStopsTheRender) {
  ScratchFolder dir;
  auto doc =
      scene_test::load(dir.write("big.zor", scene_test::scene_text("0", "", "[]", "640.0, \"5009\": 480.0")));
  ASSERT_NE(doc, nullptr);
  const HostThreadTable* threads = zorhost::threads_table();
  BreakCounter counter;
  counter.break_after = 3;
  HostThread* thread = threads->alloc([](void*) {},
                                      [](void* object) {
                                        auto* c = static_cast<BreakCounter*>(object);
                                        return ++c->asked > c->break_after;
                                      },
                                      [](void*) { return "render test"; }, &counter);
  ASSERT_NE(thread, nullptr);
  ThreadCount pin(2);
  HostBitmap bmp;
  EXPECT_EQ(scene_test::render(doc.get(), bmp, thread), ZOR_RENDER_USER_BREAK);
  // 640 x 480 is 300 tiles; the render stopped soon after the break test turned true
  EXPECT_LT(counter.asked.load(), 10);
  // tiles after the break were never drawn: the bottom-right corner is still black
  const uint8_t* last = bmp.row(479) + 639 * 3;
  EXPECT_EQ(last[0] + last[1] + last[2], 0);

  // a break test that never answers true is asked once per tile and lets the render finish
  counter.asked = 0;
  counter.break_after = 1 << 30;
  HostBitmap full;
  EXPECT_EQ(scene_test::render(doc.get(), full, thread), ZOR_RENDER_OK);
  EXPECT_EQ(counter.asked.load(), 300);
  threads->free(thread);
}

TEST(Render, FilmGrainDiffersEachRenderUnlessSwitchedOff) {
  ScratchFolder dir;
  auto plain = scene_test::load(dir.write("plain.zor", scene_test::scene_text("1")));
  auto grainy = scene_test::load(
      dir.write("grain.zor", scene_test::scene_text("1", "", R"([ { "type": 1001015, "flags": 0 } ])")));
  ASSERT_NE(plain, nullptr);
  ASSERT_NE(grainy, nullptr);
  HostBitmap reference, a, b, c;
  ASSERT_EQ(scene_test::render(plain.get(), reference), ZOR_RENDER_OK);
  ASSERT_EQ(scene_test::render(grainy.get(), a), ZOR_RENDER_OK);
  ASSERT_EQ(scene_test::render(grainy.get(), b), ZOR_RENDER_OK);
  EXPECT_NE(a.pixels, reference.pixels);
  EXPECT_NE(a.pixels, b.pixels);
  // flag bit 4 switches the effect off completely, whatever other bits are set
  HostVideoPost* grain = zorhost::documents_table()->first_video_post(&grainy->render_data);
  zorhost::documents_table()->set_video_post_flags(grain, 4 | 1);
  ASSERT_EQ(scene_test::render(grainy.get(), c), ZOR_RENDER_OK);
  EXPECT_EQ(c.pixels, reference.pixels);
}

// Random rays against a mesh-heavy scene: every structure must report exactly the brute-force hit.
TEST(Render, AccelerationStructuresAgreeWithBruteForce) {
  zorhost::Geometry geometry;
  std::mt19937 random(7);
  std::uniform_real_distribution<double> coord(-3, 3), small(0.05, 0.4);
  for (int i = 0; i < 1500; ++i) {
    zorhost::Vec3 a{coord(random), coord(random), coord(random)};
    zorhost::Vec3 e1{small(random), small(random), -small(random)};
    zorhost::Vec3 e2{-small(random), small(random), small(random)};
    geometry.triangles.push_back({a, e1, e2, {}, {}, {}});
    geometry.primitives.push_back({zorhost::Primitive::Kind::triangle, i, 0});
  }
  // duplicated triangles make exact ties, which must go to the lower index in every structure
  for (int i = 0; i < 50; ++i) {
    geometry.triangles.push_back(geometry.triangles[i]);
    geometry.primitives.push_back({zorhost::Primitive::Kind::triangle, 1500 + i, 0});
  }
  for (int i = 0; i < 40; ++i) {
    geometry.spheres.push_back({{coord(random), coord(random), coord(random)}, small(random)});
    geometry.primitives.push_back({zorhost::Primitive::Kind::sphere, i, 0});
    zorhost::Bounds box;
    box.grow({coord(random), coord(random), coord(random)});
    box.grow(box.lo + zorhost::Vec3{small(random), small(random), small(random)});
    geometry.boxes.push_back(box);
    geometry.primitives.push_back({zorhost::Primitive::Kind::box, i, 0});
  }
  auto sah = zorhost::build_sah_bvh(geometry);
  auto fast = zorhost::build_fast_bvh(geometry);
  auto compact = zorhost::build_compact_bvh(geometry);
  EXPECT_LT(compact->node_bytes(), sah->node_bytes() / 2);

  int hits = 0;
  for (int i = 0; i < 20000; ++i) {
    zorhost::Vec3 origin{coord(random) * 2, coord(random) * 2, coord(random) * 2};
    zorhost::Vec3 target{coord(random), coord(random), coord(random)};
    if (i % 10 == 0) target = origin + zorhost::Vec3{0, 0, 1};  // axis-parallel rays
    zorhost::Ray ray(origin, zorhost::normalize(target - origin));
    zorhost::Hit expected;
    expected.t = 1e300;
    for (int p = 0; p < static_cast<int>(geometry.primitives.size()); ++p) {
      geometry.intersect(p, ray, 1e-6, expected);
    }
    bool any_expected = expected.primitive >= 0 && expected.t < 4;
    for (const auto* accel : {sah.get(), fast.get(), compact.get()}) {
      zorhost::Hit hit;
      hit.t = 1e300;
      accel->closest(ray, 1e-6, hit);
      ASSERT_EQ(hit.primitive, expected.primitive) << "ray " << i;
      ASSERT_EQ(hit.t, expected.t) << "ray " << i;
      ASSERT_EQ(accel->any(ray, 1e-6, 4), any_expected) << "ray " << i;
    }
    hits += expected.primitive >= 0;
  }
  EXPECT_GT(hits, 2000);  // the rays really meet geometry
}

TEST(Render, FailuresAreToldApart) {
  ScratchFolder dir;
  dir.write("tetra.obj", kTetrahedron);
  auto with_mesh = dir.write("m.zor", scene_test::scene_text("0", mesh_object("tetra.obj")));
  auto doc = scene_test::load(with_mesh);
  ASSERT_NE(doc, nullptr);
  HostBitmap bmp;

  // the mesh disappears between loading and rendering
  std::filesystem::remove(dir.path() / "tetra.obj");
  EXPECT_TRUE(
      Contains(StdoutOf([&] { EXPECT_EQ(scene_test::render(doc.get(), bmp), ZOR_RENDER_ASSET_MISSING); }),
               "tetra.obj"));

  auto plain = scene_test::load(dir.write("u.zor", scene_test::scene_text("42")));
  ASSERT_NE(plain, nullptr);
  HostBitmap other;
  EXPECT_TRUE(
      Contains(StdoutOf([&] { EXPECT_EQ(scene_test::render(plain.get(), other), ZOR_RENDER_FAILED); }),
               "unknown render engine 42"));

  // a bitmap of another size than the settings ask for is refused, not overrun
  zorhost::documents_table()->set_parameter_int(&plain->render_data, 5300, 0, 4);
  HostBitmap small;
  ASSERT_EQ(zorhost::bitmaps_table()->init(&small, 16, 16, 24, 0), ZOR_IMAGE_OK);
  const auto render_into_small = [&](const HostContainer* settings) {
    return zorhost::render_table()->render_document(plain.get(), settings, &small, 1, nullptr, nullptr,
                                                    nullptr);
  };
  EXPECT_TRUE(Contains(
      StdoutOf([&] { EXPECT_EQ(render_into_small(&plain->render_data.settings), ZOR_RENDER_FAILED); }),
      "16 x 16"));
  // with the size written into a copy of the settings, as a warm-up render does, it works
  HostContainer warm_up = plain->render_data.settings;
  warm_up.values[5008] = int32_t{16};
  warm_up.values[5009] = int32_t{16};
  EXPECT_EQ(render_into_small(&warm_up), ZOR_RENDER_OK);

  // the system refuses the third helper thread: the two running are joined, the render fails
  {
    ThreadCount pin(4);
    int started = 0;
    zorhost::set_render_thread_starter([&](std::function<void()> body) {
      if (started == 2)
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
      ++started;
      return std::thread(std::move(body));
    });
    testing::internal::CaptureStderr();
    HostContainer larger = warm_up;
    larger.values[5008] = larger.values[5009] = int32_t{128};
    HostBitmap tiles;
    ASSERT_EQ(zorhost::bitmaps_table()->init(&tiles, 128, 128, 24, 0), ZOR_IMAGE_OK);
    EXPECT_EQ(
        zorhost::render_table()->render_document(plain.get(), &larger, &tiles, 1, nullptr, nullptr, nullptr),
        ZOR_RENDER_FAILED);
    const std::string err = testing::internal::GetCapturedStderr();
    zorhost::set_render_thread_starter(nullptr);
    EXPECT_EQ(started, 2);
    EXPECT_TRUE(Contains(err, "cannot start a render thread"));
  }
}

}  // namespace
