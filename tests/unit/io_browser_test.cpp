// The I/O handler browser's texts, entry filter and order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "io_browser/browser_node.h"
#include "io_browser/intro_sort.h"
#include "io_browser/io_browser_dialog.h"
#include "nexal/textformat.h"
#include "unit/io_test_support.h"
#include "unit/scratch_folder.h"
#include "unit/with_host.h"
#include "zor_filename.h"
#include "zor_memory.h"

namespace {

using io_browser::BrowserNode;

TEST(IoBrowser, NameTextTagsFollowTheAlternateInTheirFixedOrder) {
  BrowserNode node;
  node.name = "photos";
  node.isFolder = 1;
  EXPECT_EQ(io_browser::NameText(node), "[DIR] photos");
  node.alternate = "Fotos";
  node.attributes = nexal::kIoFolder | nexal::kIoRevision | nexal::kIoBundle | nexal::kIoReadOnly |
                    nexal::kIoHidden | nexal::kIoDeleted;
  EXPECT_EQ(io_browser::NameText(node), "[DIR] photos <Fotos> [DELETED] [HIDDEN] [READONLY] [BUNDLE] [REV]");
  node.isFolder = 0;
  node.alternate.clear();
  node.attributes = nexal::kIoRevision | nexal::kIoReadOnly;
  EXPECT_EQ(io_browser::NameText(node), "[FILE] photos [READONLY] [REV]");
}

TEST(IoBrowser, SizeDateAndZipCells) {
  EXPECT_EQ(io_browser::SizeText(-1), "");
  EXPECT_EQ(io_browser::SizeText(0), "0");
  EXPECT_EQ(io_browser::SizeText(5000000000), "5000000000");
  // the year is not padded; an unknown month or day makes the date unknown
  const std::pair<nexal::DateTime, const char*> kDates[] = {{{}, ""},
                                                            {{2024, 3, 5, 7, 8, 9}, "05.03.2024 07:08:09"},
                                                            {{987, 12, 31, 23, 8, 9}, "31.12.987 23:08:09"},
                                                            {{987, 0, 31, 23, 8, 9}, ""},
                                                            {{987, 1, 0, 23, 8, 9}, ""}};
  for (const auto& [time, text] : kDates) EXPECT_EQ(io_browser::DateTimeText(time), text) << text;
  // the zip suffix ignores case
  for (const char* zip : {"a.zip", "Archive.ZIP"}) EXPECT_TRUE(io_browser::IsZipName(zip)) << zip;
  for (const char* other : {"zip", "a.zipx", "a.gz"}) EXPECT_FALSE(io_browser::IsZipName(other)) << other;
}

TEST(IoBrowser, HiddenAndDeletedEntriesAreListedOnlyWhenShown) {
  using namespace nexal;
  for (const auto& [attributes, hidden] : {std::pair<uint32_t, bool>{0, false},
                                           {kIoFolder | kIoReadOnly, false},
                                           {kIoRevision | kIoBundle, false},
                                           {kIoHidden, true},
                                           {kIoDeleted, true},
                                           {kIoFolder | kIoHidden, true}}) {
    EXPECT_EQ(io_browser::IsListed(attributes, false), !hidden) << attributes;
    EXPECT_TRUE(io_browser::IsListed(attributes, true)) << attributes;
  }
}

// The sort against the standard library's on inputs that break naive
// quicksorts: many equal keys, sorted and reversed runs, organ pipes; sizes
// around the insertion-sort run.
TEST(IoBrowser, IntroSortOrdersEveryShapeWithinNLogNComparisons) {
  std::mt19937 random(7);
  for (const size_t n : {0, 1, 2, 3, 31, 32, 33, 64, 257, 4096}) {
    const int m = static_cast<int>(n);
    // ramp, reversed, all equal, organ pipe, few keys, any keys
    for (const auto& value : std::initializer_list<std::function<int(int)>>{
             [](int i) { return i; }, [m](int i) { return m - i; }, [](int) { return 5; },
             [m](int i) { return i < m / 2 ? i : m - i; }, [&](int) { return int(random() % 3); },
             [&](int) { return int(random() % 100000); }}) {
      std::vector<int> items(n);
      for (int i = 0; i < m; ++i) items[i] = value(i);
      std::vector<int> expected = items;
      std::sort(expected.begin(), expected.end());
      size_t comparisons = 0;
      io_browser::IntroSort(items.data(), items.size(), [&](int a, int b) {
        ++comparisons;
        return a < b ? -1 : (a > b ? 1 : 0);
      });
      EXPECT_EQ(items, expected) << n;
      const double bound = 20.0 * static_cast<double>(n) * std::log2(static_cast<double>(n) + 2);
      EXPECT_LE(static_cast<double>(comparisons), bound) << n;
    }
  }
}

// The list order with the framework's own text comparison: by name, then by
// alternate.
TEST(IoBrowser, EntriesAreOrderedByNameThenAlternate) {
  test_support::WithHost host(test_support::RealHostTable());
  std::vector<std::pair<std::string, std::string>> entries;
  for (int i = 0; i < 40; ++i) {
    const std::string name = std::string("entry") + static_cast<char>('a' + i % 20);
    entries.emplace_back(name, i < 20 ? "x" : "");
  }
  entries.emplace_back("Zeta", "b");
  entries.emplace_back("Zeta", "a");
  std::shuffle(entries.begin(), entries.end(), std::mt19937(3));

  std::vector<BrowserNode*> nodes;
  for (const auto& [name, alternate] : entries) {
    BrowserNode* node = NewObj(BrowserNode);
    ASSERT_NE(node, nullptr);
    node->name = name;
    node->alternate = alternate;
    nodes.push_back(node);
  }
  io_browser::BrowserNodeList list;
  io_browser::SortInto(nodes, list);
  EXPECT_TRUE(nodes.empty());

  std::vector<std::pair<std::string, std::string>> shown;
  const BrowserNode* before = nullptr;
  for (const BrowserNode* node = list.First(); node; node = node->next) {
    EXPECT_EQ(node->prev, before);
    EXPECT_EQ(node->list, &list);
    shown.emplace_back(node->name, node->alternate);
    before = node;
  }
  EXPECT_EQ(list.Last(), before);
  std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
    const int32_t byName = nexal::CompareText(a.first, b.first, 4);
    return byName != 0 ? byName < 0 : nexal::CompareText(a.second, b.second, 4) < 0;
  });
  // ties in the name are broken by the alternate: ("Zeta", "a") before ("Zeta", "b"), "" before "x"
  EXPECT_EQ(shown, entries);
}

// A drag carries a scene, another file the host opens, or any file; what cannot be read is not dragged.
// The dragged file name is one module-wide object that each drag rewrites.
TEST(IoBrowser, DragTypesAndTheOneDraggedFileName) {
  test_support::WithHost host(test_support::RealHostTable());
  const test_support::CoreIoResolved coreIo;
  test_support::ScratchFolder scratch;
  const auto fill = [&](BrowserNode& made, const std::filesystem::path& file) {
    made.url = nexal::Url::FromPath(file.string());
    std::error_code error;
    made.size = static_cast<int64_t>(std::filesystem::file_size(file, error));
    if (error) made.size = 0;
  };
  const std::string picture = test_support::FileBytes(test_support::kExifData / "Canon_40D.jpg");
  ASSERT_FALSE(picture.empty());

  io_browser::Function2 functions;
  BrowserNode scene, image, text, missing, folder;
  fill(scene, scratch.write("a.zor", R"({"zor": 1, "objects": []})"));
  fill(image, scratch.write("b.jpg", picture));
  fill(text, scratch.write("c.txt", "just text"));
  fill(missing, scratch.path() / "gone.zor");
  fill(folder, scratch.path());
  folder.isFolder = 1;
  for (const auto& [node, type] : {std::pair{&scene, io_browser::kDragScene},
                                   {&image, io_browser::kDragHostFile},
                                   {&text, io_browser::kDragFile},
                                   {&missing, io_browser::kDragNone},
                                   {&folder, io_browser::kDragFile},
                                   {nullptr, io_browser::kDragNone}})
    EXPECT_EQ(functions.GetDragType(nullptr, nullptr, node), type) << (node ? node->url.GetText() : "null");

  auto* first = static_cast<Filename*>(functions.GetDragObject(nullptr, nullptr, &scene));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->GetString().ToUtf8(), scene.url.GetText());
  auto* second = static_cast<Filename*>(functions.GetDragObject(nullptr, nullptr, &text));
  EXPECT_EQ(second, first);
  EXPECT_EQ(second->GetString().ToUtf8(), text.url.GetText());
  io_browser::ReleaseIoBrowserDragObject();
}

}  // namespace
