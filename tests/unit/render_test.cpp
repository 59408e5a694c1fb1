// The renderer: the same pixels whatever the thread count, the break test, film grain, the physical
// engine's acceleration structures, and the failures a caller must be able to tell apart.
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
