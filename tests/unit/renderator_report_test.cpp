// The Renderator's scene list (collecting over hostile links, report lines, and reading them back) and
// its image comparison through the host's bitmaps and TIFF files: the ratio, the difference image written
// into the reference bitmap, size mismatches, and totals beyond 32 bits.
#include "renderator/renderator_report.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "host_test_support.h"
#include "io_test_support.h"
#include "renderator/renderator_compare.h"
#include "renderator/renderator_run.h"
#include "renderator/renderator_worker.h"
#include "scratch_folder.h"
#include "with_host.h"
#include "zor_bitmap.h"
#include "zor_container.h"

namespace {

namespace fs = std::filesystem;

class RenderatorFolder : public ::testing::Test {
 protected:
  test_support::WithHost host_{test_support::RealHostTable()};
  test_support::ScratchFolder scratch_;
  const fs::path folder_ = scratch_.path();
};

class RenderatorList : public RenderatorFolder {
 protected:
  void SetUp() override { ASSERT_TRUE(list_.Allocate()); }
  ResultList list_;
};

class RenderatorCollect : public RenderatorList {
 protected:
  void Scene(const std::string& relative) { scratch_.write(relative, "{}"); }
  void Link(const fs::path& relative, const fs::path& target) {
    fs::create_directories((folder_ / relative).parent_path());
    fs::create_directory_symlink(target, folder_ / relative);
  }

  // the collected paths relative to the root, sorted, and what the collection printed
  std::pair<std::vector<std::string>, std::string> Collect(const fs::path& folder) {
    const std::string printed =
        test_support::StdoutOf([&] { CollectScenes(Filename(folder.c_str()), list_); });
    std::vector<std::string> found;
    for (int32_t i = 0; i < list_.GetCount(); ++i)
      found.push_back(fs::path(list_[i].file.GetString().ToUtf8()).lexically_relative(folder_).string());
    std::sort(found.begin(), found.end());
    return {found, printed};
  }
};

TEST_F(RenderatorCollect, LinksNeverLeadToAFolderTwice) {
  Scene("loop/a.zor");
  Link("loop/self", ".");
  Link("loop/up", "../loop");
  Scene("loop/sub/b.zor");
  Link("loop/sub/back", "..");
  // listed before the folder it points to, and pointing down a level: the real path wins
  Link("loop/a_first", "sub");
  // a folder outside, reached only through a link (twice): collected once, through the first link
  Scene("outside/c.zor");
  Link("loop/sub/out1", "../../outside");
  Link("loop/sub/out2", "../../outside");
  Link("loop/dangling", "../nowhere");

  const auto [found, printed] = Collect(folder_ / "loop");
  ASSERT_EQ(found.size(), 3u) << printed;
  EXPECT_EQ(found[0], "loop/a.zor");
  EXPECT_EQ(found[1], "loop/sub/b.zor");
  EXPECT_TRUE(found[2] == "loop/sub/out1/c.zor" || found[2] == "loop/sub/out2/c.zor") << found[2];
  for (const char* link : {"loop/self", "loop/up", "loop/a_first", "loop/sub/back"}) {
    EXPECT_TRUE(test_support::Contains(
        printed, "Skipped link " + (folder_ / link).string() + ": folder already visited"));
  }
  EXPECT_EQ(printed.find("dangling"), std::string::npos) << "a dangling link is no folder: " << printed;
}

TEST_F(RenderatorCollect, AFolderThatCannotBeListedIsNamed) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions are not enforced for root";
  Scene("scenes/a.zor");
  Scene("scenes/locked/b.zor");
  fs::permissions(folder_ / "scenes/locked", fs::perms::none);
  testing::internal::CaptureStderr();
  const auto [found, printed] = Collect(folder_ / "scenes");
  const std::string said = testing::internal::GetCapturedStderr();
  fs::permissions(folder_ / "scenes/locked", fs::perms::owner_all);
  EXPECT_EQ(found, std::vector<std::string>{"scenes/a.zor"});
  EXPECT_TRUE(test_support::Contains(
      printed, "Skipped folder " + (folder_ / "scenes/locked").string() + ": it cannot be listed"));
  EXPECT_TRUE(test_support::Contains(said, "Permission denied"));
}

class RenderatorReport : public RenderatorList {
 protected:
  void Add(const char* path, int32_t status, double tnew = 0.0, double told = 0.0, double diff = 0.0) {
    ASSERT_TRUE(list_.Append(Filename(path)));
    list_[list_.GetCount() - 1] = {Filename(path), told, tnew, diff, status};
  }

  std::string Line(int32_t index) { return ReportLine(index, list_[index]).ToUtf8(); }

  Filename WriteText(const std::string& name, const std::string& text) {
    return Filename(scratch_.write(name, text).c_str());
  }
  std::string ReadText(const std::string& name) { return test_support::FileBytes(folder_ / name); }

  // the reference times of the list, each cleared for the next read
  std::vector<double> Told() {
    std::vector<double> times;
    for (int32_t k = 0; k < list_.GetCount(); ++k) times.push_back(std::exchange(list_[k].told, 0.0));
    return times;
  }

  // records with the given paths, all pending
  void Scenes(int count) {
    for (int i = 0; i < count; ++i) Add(("/s/" + std::to_string(i) + ".zor").c_str(), kSceneStatusPending);
  }
};

const std::string kBlanks30(30, ' ');
using Times = std::vector<double>;

TEST_F(RenderatorReport, LinesHoldTenCharacterColumnsPercentagesAndStatusWords) {
  EXPECT_EQ(ReportHeader(16050).ToUtf8(), "16.050    Status    Tnew      Told      Trel      Diff      Name");

  Add("/s/a.zor", kSceneStatusOk, 2.5, 2.0, 0.0);
  Add("/s/b.zor", kSceneStatusOk, 1.2, 0.0, 0.0123);
  Add("/s/c.zor", kSceneStatusOk, 0.9, 1.0, 255.0 / 76500.0);
  Add("/s/d.zor", kSceneStatusSkipped, 0.0, 3.25);
  Add("/s/e.zor", kSceneStatusPending);
  Add("/s/f.zor", kSceneStatusError, 0.5);
  Add("/s/g.zor", kSceneStatusCreated, 12.34);
  Add("/s/h.zor", kSceneStatusOk, 123456789.5, 0.0, 1.0);

  EXPECT_EQ(Line(0), "1         OK        2.50      2.00      +25.00%   None      /s/a.zor");
  // no reference time: Told shows 0.00 and Trel stays blank
  EXPECT_EQ(Line(1), "2         OK        1.20      0.00                +1.23%    /s/b.zor");
  EXPECT_EQ(Line(2), "3         OK        0.90      1.00      -10.00%   +0.33%    /s/c.zor");
  // a skipped scene shows its reference time as its time
  EXPECT_EQ(Line(3), "4         SKIPPED   3.25      " + kBlanks30 + "/s/d.zor");
  EXPECT_EQ(list_[3].tnew, 3.25);
  EXPECT_EQ(Line(4), "5         PENDING   0.00      " + kBlanks30 + "/s/e.zor");
  EXPECT_EQ(Line(5), "6         ERROR     0.50      " + kBlanks30 + "/s/f.zor");
  EXPECT_EQ(Line(6), "7         CREATED   12.34     " + kBlanks30 + "/s/g.zor");
  // a column longer than ten characters is written whole and shifts the rest
  EXPECT_EQ(Line(7), "8         OK        123456789.500.00                +100.00%  /s/h.zor");
  EXPECT_EQ(ReportLine(1999999999, list_[4]).ToUtf8().substr(0, 20), "2000000000PENDING   ");

  EXPECT_EQ(PercentText(0.0).ToUtf8(), "0.00%     ");
  EXPECT_EQ(TimeText(0.005).ToUtf8(), "0.01");
}

TEST_F(RenderatorReport, WrittenReportIsReadBackByPosition) {
  const Filename report = Filename((folder_ / "_result.txt").c_str());
  WriteReport(list_, report);
  EXPECT_EQ(ReadText("_result.txt"), "16.050    Status    Tnew      Told      Trel      Diff      Name\n");

  Add("/s/a.zor", kSceneStatusCreated, 1.5);
  Add("/s/b b.zor", kSceneStatusOk, 0.25, 1.0);
  Add("/s/c.zor", kSceneStatusSkipped, 0.0, 7.0);
  Add("/s/d.zor", kSceneStatusError, 0.0);
  WriteReport(list_, report);
  EXPECT_EQ(std::ranges::count(ReadText("_result.txt"), '\n'), 5);

  ResultList next;
  ASSERT_TRUE(next.Allocate());
  for (int i = 0; i < 5; ++i) next.Append(Filename("/t/x.zor"));
  EXPECT_TRUE(ReadReferenceReport(next, report));
  // the fifth lies beyond the last result line
  for (const auto& [k, told] : {std::pair{0, 1.5}, {1, 0.25}, {2, 7.0}, {3, 0.0}, {4, 0.0}})
    EXPECT_EQ(next[k].told, told) << k;

  // one record fewer than result lines: unusable
  ResultList shorter;
  ASSERT_TRUE(shorter.Allocate());
  for (int i = 0; i < 3; ++i) shorter.Append(Filename("/t/x.zor"));
  EXPECT_FALSE(ReadReferenceReport(shorter, report));

  EXPECT_FALSE(ReadReferenceReport(list_, Filename((folder_ / "missing.txt").c_str())));
}

// The writer keeps the lines of its last write and formats only records that changed since; every
// rewrite must still be what formatting the whole list from scratch gives.
TEST_F(RenderatorReport, RewritesMatchAFreshFormattingOfTheSameRecords) {
  const Filename report = Filename((folder_ / "_result.txt").c_str());
  auto fresh = [&] {
    std::string text = ReportHeader(16050).ToUtf8() + "\n";
    for (int32_t k = 0; k < list_.GetCount(); ++k) text += ReportLine(k, list_[k]).ToUtf8() + "\n";
    return text;
  };
  auto rewrite = [&](const char* step) {
    WriteReport(list_, report);
    EXPECT_EQ(ReadText("_result.txt"), fresh()) << step;
  };

  // out of order, so that sorting later moves records that already have lines
  for (const char* path : {"/s/e.zor", "/s/d.zor", "/s/c.zor", "/s/b.zor", "/s/a.zor"})
    Add(path, kSceneStatusPending);
  rewrite("all pending");
  SortScenes(list_);
  rewrite("sorted");

  list_[0].status = kSceneStatusCreated;
  list_[0].tnew = 1.25;
  rewrite("first scene done");

  // an earlier line grows (a time wider than its column) and every later line moves
  list_[1].status = kSceneStatusOk;
  list_[1].told = 2.0;
  list_[1].tnew = 123456789.5;
  list_[1].diff = 0.0123;
  list_[3].status = kSceneStatusSkipped;
  list_[3].told = 7.0;
  rewrite("a wide line and a skipped one");
  EXPECT_EQ(list_[3].tnew, 7.0);

  // ... and shrinks again; a line before it changes in the same write
  list_[0].status = kSceneStatusError;
  list_[1].tnew = 2.5;
  list_[1].diff = 0.0;
  rewrite("lines changed back");

  list_[4].status = kSceneStatusError;
  rewrite("the run ended at the last scene");

  // a list filled again from the start after a release is written whole, nothing of the old one left
  list_.Release();
  ASSERT_TRUE(list_.Allocate());
  Add("/t/only.zor", kSceneStatusCreated, 0.5);
  rewrite("a new list");
  list_.Append(Filename("/t/second.zor"));
  rewrite("a record appended");
}

TEST_F(RenderatorReport, ReaderIsMisledByStatusWordsInNamesAndStopsAtJunk) {
  Scenes(3);
  // a name containing " OK " followed by a word that is not a number; what was read before stays
  EXPECT_FALSE(ReadReferenceReport(
      list_,
      WriteText("a.txt", "16.050 Status\n1 CREATED 1.00 /s/my OK scene.zor\n2 CREATED 2.00 /s/b.zor\n")));
  EXPECT_EQ(Told(), (Times{1.0, 0.0, 0.0}));
  // ... and followed by a number: later records are one position off
  EXPECT_TRUE(ReadReferenceReport(
      list_,
      WriteText("b.txt", "16.050 Status\n1 CREATED 1.00 /s/my OK 9 scene.zor\n2 CREATED 2.00 /s/b.zor\n")));
  EXPECT_EQ(Told(), (Times{1.0, 9.0, 2.0}));

  // junk right after a status word, and a report cut off after one
  EXPECT_FALSE(ReadReferenceReport(list_, WriteText("c.txt", "1 OK 1.5x 1.0 None /s/a.zor\n")));
  EXPECT_FALSE(ReadReferenceReport(list_, WriteText("d.txt", "1 OK")));

  // pending lines are passed over; the result lines around them count in order
  EXPECT_TRUE(ReadReferenceReport(
      list_, WriteText("e.txt", "h\n1 CREATED 4.00 /a\n2 PENDING 0.00 /b\n3\tSKIPPED\t5.5\t/c\r\n")));
  EXPECT_EQ(Told(), (Times{4.0, 5.5, 0.0}));
}

TEST_F(RenderatorReport, TokensAreCutAt255CharactersAndJoinedAcrossBlocks) {
  Scenes(2);
  // 255 characters, then "OK" glued on: the long run is split and its rest is a status word
  const std::string glued = std::string(255, 'x') + "OK 3.5\n";
  // a status word and its time that straddle the first 4096-byte block boundary
  const std::string text = glued + std::string(4095 - glued.size(), ' ') + "CREATED 6.25\n";
  ASSERT_EQ(text.find("CREATED"), 4095u);
  EXPECT_TRUE(ReadReferenceReport(list_, WriteText("long.txt", text)));
  EXPECT_EQ(Told(), (Times{3.5, 6.25}));

  // 254 characters + "OK" stays one token of 256 -> cut to 255 + "K": no status word
  EXPECT_TRUE(ReadReferenceReport(list_, WriteText("short.txt", std::string(254, 'x') + "OK 3.5\n")));
  EXPECT_EQ(Told(), (Times{0.0, 0.0}));
}

TEST_F(RenderatorReport, ListHoldsAtMostItsCapacity) {
  for (int32_t i = 0; i < kResultListCapacity; ++i) ASSERT_TRUE(list_.Append(Filename()));
  EXPECT_FALSE(list_.Append(Filename("/one/too/many.zor")));
  EXPECT_EQ(list_.GetCount(), kResultListCapacity);
}

using PixelFunction = std::function<uint8_t(int32_t x, int32_t y, int32_t channel)>;

class RenderatorCompare : public RenderatorFolder {
 protected:
  static BaseBitmap Make(int32_t width, int32_t height, const PixelFunction& pixel) {
    BaseBitmap bitmap;
    EXPECT_EQ(bitmap.Init(width, height, 24, 0), ZOR_IMAGE_OK);
    std::vector<uint8_t> row(size_t(width) * 3);
    for (int32_t y = 0; y < height; ++y) {
      for (int32_t x = 0; x < width; ++x)
        for (int32_t c = 0; c < 3; ++c) row[size_t(x) * 3 + c] = pixel(x, y, c);
      EXPECT_TRUE(bitmap.SetPixelRow(0, y, width, row.data()));
    }
    return bitmap;
  }

  Filename Save(const std::string& name, int32_t width, int32_t height, const PixelFunction& pixel) {
    BaseBitmap bitmap = Make(width, height, pixel);
    const Filename file((folder_ / name).c_str());
    BaseContainer options;
    EXPECT_EQ(bitmap.Save(file, ZOR_FILTER_TIFF, &options, 0), ZOR_IMAGE_OK);
    return file;
  }

  // every byte of the bitmap, row after row
  static std::vector<uint8_t> Bytes(const BaseBitmap& bitmap) {
    const int32_t width = bitmap.GetBw();
    std::vector<uint8_t> bytes(size_t(width) * 3 * size_t(bitmap.GetBh()));
    for (int32_t y = 0; y < bitmap.GetBh(); ++y)
      bitmap.GetPixelRow(0, y, width, &bytes[size_t(y) * width * 3]);
    return bytes;
  }
};

const PixelFunction kBlack = [](int32_t, int32_t, int32_t) -> uint8_t { return 0; };

TEST_F(RenderatorCompare, RatioAndDifferenceImage) {
  const PixelFunction gradient = [](int32_t x, int32_t y, int32_t c) {
    return uint8_t(x * 7 + y * 3 + c * 50);
  };
  const Filename same = Save("same.tif", 40, 30, gradient);

  BaseBitmap rendered = Make(40, 30, gradient);
  BaseBitmap reference;
  double diff = -1.0;
  ASSERT_TRUE(CompareImages(rendered, same, reference, diff));
  EXPECT_EQ(diff, 0.0);
  EXPECT_EQ(Bytes(reference), std::vector<uint8_t>(40 * 30 * 3, 0));
  EXPECT_EQ(Bytes(rendered), Bytes(Make(40, 30, gradient)));  // the new image is left alone

  // one pixel, one channel, 255 apart in a 10 x 10 image; the new image may be the brighter one
  const Filename dark = Save("dark.tif", 10, 10, kBlack);
  BaseBitmap onePixel = Make(10, 10, [](int32_t x, int32_t y, int32_t c) -> uint8_t {
    return x == 3 && y == 7 && c == 1 ? 255 : 0;
  });
  BaseBitmap darkReference;
  ASSERT_TRUE(CompareImages(onePixel, dark, darkReference, diff));
  EXPECT_DOUBLE_EQ(diff, 255.0 / 76500.0);
  std::vector<uint8_t> expected(10 * 10 * 3, 0);
  expected[(7 * 10 + 3) * 3 + 1] = 255;
  EXPECT_EQ(Bytes(darkReference), expected);
}

TEST_F(RenderatorCompare, FailsOnOtherSizesAndMissingReference) {
  BaseBitmap rendered = Make(640, 480, kBlack);
  double diff = -1.0;
  for (const Filename& reference : {Save("wide.tif", 641, 480, kBlack), Save("tall.tif", 640, 481, kBlack),
                                    Filename((folder_ / "none.tif").c_str())}) {
    BaseBitmap difference;
    EXPECT_FALSE(CompareImages(rendered, reference, difference, diff)) << reference.GetString().ToUtf8();
  }
}

TEST_F(RenderatorCompare, LargeImageTotalExceeds32Bits) {
  // 4000 x 3000 with a difference of 200 in every byte but a strip of 7s: the total is about 7.2e9
  const int32_t width = 4000, height = 3000;
  const Filename reference = Save("big.tif", width, height,
                                  [](int32_t x, int32_t, int32_t) -> uint8_t { return x < 100 ? 7 : 200; });
  BaseBitmap rendered = Make(width, height, kBlack);
  BaseBitmap difference;
  double diff = 0.0;
  ASSERT_TRUE(CompareImages(rendered, reference, difference, diff));
  const double total = (100.0 * 7 + 3900.0 * 200) * 3 * height;
  ASSERT_GT(total, 4294967295.0);
  EXPECT_DOUBLE_EQ(diff, total / (765.0 * width * height));

  // the row work on its own: whole and partial vector blocks, and lanes flushed before they overflow
  std::vector<uint8_t> image(200001, 0);
  std::vector<uint8_t> other(200001, 255);
  EXPECT_EQ(DifferenceRow(image.data(), other.data(), int64_t(other.size())), uint64_t(200001) * 255);
  std::mt19937 random(7);
  for (int64_t length : {0, 1, 15, 16, 17, 4111, 4112, 4113, 12003}) {
    std::vector<uint8_t> a(length), b(length);
    for (std::vector<uint8_t>* bytes : {&a, &b})
      for (auto& v : *bytes) v = uint8_t(random());
    std::vector<uint8_t> expected(length);
    uint64_t expectedSum = 0;
    for (int64_t k = 0; k < length; ++k) {
      expected[k] = uint8_t(std::abs(int(a[k]) - int(b[k])));
      expectedSum += expected[k];
    }
    EXPECT_EQ(DifferenceRow(a.data(), b.data(), length), expectedSum) << length;
    EXPECT_EQ(b, expected) << length;
  }
}

}  // namespace

TEST(RenderatorProgress, PercentagesAreTruncatedWholePercentsEvenWhereDoublesFallShort) {
  // 29/100 and 57/100 are the places where a quotient of doubles times 100 lands just below.
  const int cases[][3] = {{28, 100, 29}, {56, 100, 57},       {0, 3, 33},          {1, 3, 66},
                          {2, 3, 100},   {99998, 100000, 99}, {99999, 100000, 100}};
  for (const auto& [index, count, percent] : cases)
    EXPECT_EQ(ScenePercent(index, count), percent) << index << " of " << count;
}
