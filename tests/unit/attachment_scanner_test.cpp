// The crash-checking run's own rules, in-process against zorhost's table: its report rows, the order
// and names of its scenes, the minimum-time judgement and the render settings every scene gets.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "attachment_scanner/attachment_scanner_command.h"
#include "attachment_scanner/attachment_scanner_run.h"
#include "host_test_support.h"
#include "io_test_support.h"
#include "scratch_folder.h"
#include "with_host.h"
#include "zor_document.h"

namespace {

namespace fs = std::filesystem;
using test_support::Contains;

class AttachmentScannerRules : public ::testing::Test {
 protected:
  test_support::WithHost host_{test_support::RealHostTable()};
  test_support::ScratchFolder scratch_;
};

TEST_F(AttachmentScannerRules, ReportRowsShowOnlyWhatACrashCheckKnows) {
  ASItem item;
  item.file = Filename("/crashes/1234/scene.zor");
  const auto row = [&](int32_t index, int32_t missing) {
    return ScannerReportLine(index, item, missing).ToUtf8();
  };
  // saved, nothing measured: blank comparison times, Diff "None", the bare file name
  item.saved = 1;
  item.tnew = 1.5;
  EXPECT_EQ(row(41, 0), "42        OK        1.50                          None      scene.zor");
  // the reference folder was missing: all three comparison columns blank
  EXPECT_EQ(row(41, 1), "42        OK        1.50                                    scene.zor");
  // a reference time and a difference, should a list carry them
  item.told = 1.0;
  item.diff = 0.25;
  EXPECT_EQ(row(0, 0), "1         OK        1.50      1.00      +50.00%   +25.00%   scene.zor");
  item.tnew = 0.0;
  EXPECT_EQ(row(0, 0), "1         OK        0.00                          +25.00%   scene.zor");
}

TEST_F(AttachmentScannerRules, TheReportIsRewrittenWholeAfterEachChange) {
  AttachmentScannerRunState run;
  run.resultFile = Filename((scratch_.path() / "_result.txt").c_str());
  ASSERT_TRUE(run.items.Append(Filename("/c/x/b.zor")));
  ASSERT_TRUE(run.items.Append(Filename("/c/y/a.zor")));
  WriteScannerReport(run);
  run.items[1].saved = 1;
  run.items[1].tnew = 2.25;
  WriteScannerReport(run);
  EXPECT_EQ(test_support::FileBytes(scratch_.path() / "_result.txt"),
            "16.050    Status    Tnew      Told      Trel      Diff      Name\n"
            "1         ERROR     0.00                          None      b.zor\n"
            "2         OK        2.25                          None      a.zor\n");
}

TEST_F(AttachmentScannerRules, ScenesAreFoundInEveryFolderAndSortedByPath) {
  const fs::path root = scratch_.path() / "crashes";
  for (const char* name : {"z.zor", "b/2/s.zor", "b/10/s.zor", "a/s.ZOR", "a/notes.txt", "c/d/e/f.zor"})
    scratch_.write(std::string("crashes/") + name, "{}");
  ASItemList items;
  CollectAttachmentScenes(Filename(root.c_str()), items);
  SortAttachmentScenes(items);
  std::vector<std::string> paths;
  for (int32_t i = 0; i < items.GetCount(); ++i)
    paths.push_back(fs::path(items[i].file.GetString().ToUtf8()).lexically_relative(root).string());
  // code point order: "1" sorts before "2", upper case before lower
  EXPECT_EQ(paths, (std::vector<std::string>{"a/s.ZOR", "b/10/s.zor", "b/2/s.zor", "c/d/e/f.zor", "z.zor"}));
  EXPECT_EQ(SceneTag(items[1].file).ToUtf8(), "10.s.zor");
  EXPECT_EQ(PreviewImageName(Filename("/r"), items[2].file).GetString().ToUtf8(), "/r/2.s.zor.soft.tif");
  EXPECT_EQ(FullImageName(Filename("/r"), items[2].file).GetString().ToUtf8(), "/r/2.s.zor.tif");
}

TEST_F(AttachmentScannerRules, MinimumTimeFramesAreJudgedAsTheRunComputesThem) {
  for (const int32_t frame : {-1000, -1001}) EXPECT_EQ(MinTimeFrame(30.0, frame, 30), frame);
  // the frame rate times the numerator is floored before the division, which is then truncated
  EXPECT_EQ(MinTimeFrame(25.0, -1, 3), -8);    // floor(-25) / 3 = -8.33
  EXPECT_EQ(MinTimeFrame(29.97, 10, 1), 299);  // floor(299.7)
  EXPECT_EQ(MinTimeFrame(30.0, 0, 1), 0);
  // values no frame number can hold count as broken
  EXPECT_LT(MinTimeFrame(1e300, -1, 1), -1000);
  EXPECT_LT(MinTimeFrame(30.0, -1, 0), -1000);
}

TEST_F(AttachmentScannerRules, EveryScenesRendersWithTheSameFixedSettings) {
  const fs::path scene = scratch_.write("s.zor", R"({ "zor": 1, "fps": 30, "minTime": [0, 1],
    "renderSettings": { "5008": 640.5, "5009": 480.0, "5300": 1016630, "5020": 7, "5002": 9, "6012": true },
    "videoPosts": [ { "type": 1001015, "flags": 1, "settings": {} },
                    { "type": 1023342, "flags": 0, "settings": { "3100": 2 } } ],
    "camera": { "position": [0, 2, -6], "target": [0, 0, 0], "fov": 40 },
    "lights": [ { "type": "point", "position": [4, 6, -4], "color": [1, 1, 1], "intensity": 40 } ],
    "objects": [ { "type": "sphere", "center": [0, 1, 0], "radius": 1 } ] })");
  BaseDocument document = BaseDocument::Load(Filename(scene.c_str()), 3);
  ASSERT_TRUE(document.IsValid());
  RenderData renderData = document.GetActiveRenderData();
  BaseContainer settings = renderData.GetDataCopy();
  PrepareScanSettings(settings, renderData);
  ApplyScanVideoPostChanges(renderData);

  EXPECT_EQ(settings.GetType(ZOR_RENDER_SETTING_WIDTH), ZOR_VALUE_INT32);
  EXPECT_EQ(settings.GetInt32(ZOR_RENDER_SETTING_WIDTH), 256);
  EXPECT_EQ(settings.GetInt32(ZOR_RENDER_SETTING_HEIGHT), 256);
  EXPECT_EQ(settings.GetType(5024), ZOR_VALUE_INT32);
  EXPECT_EQ(settings.GetInt32(5033), ZOR_FILTER_TIFF);
  EXPECT_EQ(settings.GetInt32(5002), 1);
  EXPECT_EQ(settings.GetInt32(5020), 7);  // the scene's own value
  EXPECT_FALSE(settings.GetBool(6012, true));
  EXPECT_EQ(settings.GetType(5017), ZOR_VALUE_TIME);
  EXPECT_EQ(settings.GetInt32(ZOR_RENDER_SETTING_ENGINE), ZOR_ENGINE_STANDARD);  // legacy replaced
  // the document's own video posts: film grain off, the physical sampler brought down to 1
  BaseVideoPost grain = renderData.FindVideoPost(ZOR_VIDEOPOST_FILM_GRAIN);
  EXPECT_EQ(grain.GetFlags(), 1 | ZOR_VIDEOPOST_FLAG_OFF);
  EXPECT_EQ(renderData.FindVideoPost(ZOR_VIDEOPOST_PHYSICAL).GetDataInstance().GetInt32(ZOR_PHYSICAL_SAMPLER),
            1);
}

TEST_F(AttachmentScannerRules, TheDefaultReferenceFolderIsASiblingNamedAfterTheHostBuild) {
  const Filename folder = DefaultReferenceFolder(Filename("/data/crashes"));
  const std::string name = folder.GetFile().GetString().ToUtf8();
  EXPECT_EQ(folder.GetDirectory().GetString().ToUtf8(), "/data");
  ASSERT_GT(name.size(), std::string("crashes_16050_").size()) << name;
  EXPECT_EQ(name.substr(0, 14), "crashes_16050_");
  // the build's name is part of a folder name: nothing a file system would take apart
  EXPECT_EQ(name.find_first_of("/\\: "), std::string::npos) << name;
}

}  // namespace
