// The plug-in layer's wrappers over host objects: ownership, copies, missing host operations.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/host_table.h"
#include "memory/memory_tracker.h"
#include "scratch_folder.h"
#include "with_host.h"
#include "zor_container.h"
#include "zor_file.h"
#include "zor_filename.h"
#include "zor_host.h"
#include "zor_memory.h"
#include "zor_string.h"

namespace {

using test_support::RealHostTable;
using test_support::WithHost;

struct Tracked {
  static inline int alive = 0;
  int value;
  explicit Tracked(int v) : value(v) {
    if (v < 0) throw std::runtime_error("refused");
    ++alive;
  }
  ~Tracked() { --alive; }
};

}  // namespace

TEST(WrappersMemory, ObjectsLiveInHostMemoryTaggedWithTheCallersLocationAndNoHostMeansNoOperation) {
  WithHost host(RealHostTable());
  const auto live = [] { return zorhost::memory_statistics().live_blocks; };
  // whether a live block of this size was allocated at this line of this file
  const auto tagged = [](int32_t line, size_t size) {
    return std::ranges::any_of(zorhost::leaked_blocks(), [&](const zorhost::LeakedBlock& block) {
      return block.line == line && block.size == int64_t(size) && block.file.ends_with("wrappers_test.cpp");
    });
  };
  const int64_t before = live();

  const int32_t line = __LINE__ + 1;
  Tracked* object = NewObj(Tracked, 7);
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(object->value, 7);
  EXPECT_TRUE(tagged(line, sizeof(Tracked)));

  DeleteObj(object);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(Tracked::alive, 0);
  EXPECT_EQ(live(), before);
  DeleteObj(object);  // null is ignored

  // A constructor that throws gives null and hands its block back.
  EXPECT_EQ(NewObj(Tracked, -1), nullptr);
  EXPECT_EQ(live(), before);

  char* bytes = static_cast<char*>(ZOR_ALLOC(16));
  ASSERT_NE(bytes, nullptr);
  EXPECT_TRUE(tagged(__LINE__ - 2, 16));
  Free(bytes);
  EXPECT_EQ(bytes, nullptr);
  EXPECT_EQ(live(), before);
  Free(bytes);

  EXPECT_EQ(Allocate(-1, __LINE__, __FILE__), nullptr);

  // No host means no operation, not a crash. (Tables shorter than the module's headers are the
  // short-host tests' matter.)
  WithHost none(nullptr);
  EXPECT_EQ(ZOR_ALLOC(8), nullptr);
  String text("lost");
  EXPECT_TRUE(text.IsEmpty());
  EXPECT_EQ(text.ToUtf8(), "");
  Filename name("a/b");
  EXPECT_TRUE(name.IsEmpty());
  BaseContainer settings(5);
  EXPECT_EQ(settings.GetInt32(1, 42), 42);
  EXPECT_FALSE(settings.IsValid());
}

TEST(WrappersString, TextOperationsAndIndependentCopies) {
  WithHost host(RealHostTable());
  String a("Render");
  String b = a;
  b += "ator";
  EXPECT_EQ(a.ToUtf8(), "Render");
  EXPECT_EQ(b.ToUtf8(), "Renderator");
  EXPECT_EQ(("_" + b + String("_")).ToUtf8(), "_Renderator_");
  EXPECT_EQ(b.GetLength(), 10);
  EXPECT_EQ(b.Find(String("ator")), 6);
  EXPECT_EQ(b.Find(String("x")), -1);
  EXPECT_EQ(b.SubStr(0, 6), a);
  EXPECT_LT(a.Compare(b), 0);
  EXPECT_EQ(b.CharAt(0), static_cast<uint32_t>('R'));

  String moved(std::move(b));
  EXPECT_EQ(moved.ToUtf8(), "Renderator");
  b = moved;  // a moved-from String is usable again
  EXPECT_EQ(b, moved);

  String umlaut("Größe");
  EXPECT_EQ(umlaut.GetLength(), 5);
  EXPECT_EQ(umlaut.ToUtf8(), "Größe");
  char small[4];
  EXPECT_EQ(umlaut.GetCString(small, sizeof small), 2) << "a character is not split";
  EXPECT_EQ(std::string(small), "Gr");

  EXPECT_EQ(String::FromInt(-42).ToUtf8(), "-42");
  EXPECT_EQ(String::FromFloat(16.05, 0, 3).ToUtf8(), "16.050");
  EXPECT_EQ(String::FromFloat(1, 4, 0).ToUtf8(), "0001");
  bool error = false;
  EXPECT_EQ(String("123").ToInt(&error), 123);
  EXPECT_FALSE(error);
  EXPECT_EQ(String("12x").ToInt(&error), 0);
  EXPECT_TRUE(error);
  EXPECT_DOUBLE_EQ(String("2.5").ToFloat(&error), 2.5);
  EXPECT_FALSE(error);
  EXPECT_EQ(String::LineEnd().ToUtf8(), "\n");
  EXPECT_TRUE(String().IsEmpty());
  EXPECT_EQ(String(), String(""));
}

TEST(WrappersFile, PathsFilesAndListings) {
  WithHost host(RealHostTable());
  const test_support::ScratchFolder scratch;
  const Filename base((scratch.path() / "made").c_str());

  Filename report = base + Filename("_result.txt");
  EXPECT_EQ(report.GetFile().GetString().ToUtf8(), "_result.txt");
  EXPECT_EQ(report.GetDirectory(), base);
  EXPECT_TRUE(report.CheckSuffix("TXT"));
  report.SetSuffix("tif");
  EXPECT_TRUE(report.CheckSuffix("tif"));
  EXPECT_FALSE(Filename().CheckSuffix("tif"));

  ASSERT_TRUE(CreateFolder(base));
  EXPECT_TRUE(FolderExists(base));
  EXPECT_FALSE(FileExists(base));
  {
    BaseFile file;
    ASSERT_TRUE(file.Open(report, ZOR_FILE_WRITE, 0, ZOR_BYTEORDER_INTEL, FourCC("TEXT"), FourCC("ttxt")));
    EXPECT_TRUE(file.Write("0001", 4));
  }  // closed by the destructor
  EXPECT_TRUE(FileExists(report));
  {
    BaseFile file;
    ASSERT_TRUE(file.Open(report, ZOR_FILE_READ));
    EXPECT_EQ(file.GetLength(), 4);
    char bytes[8] = {};
    EXPECT_TRUE(file.Read(bytes, 4));
    EXPECT_EQ(std::string(bytes), "0001");
    EXPECT_FALSE(file.Read(bytes, 1));  // past the end
  }
  BrowseFiles listing;
  ASSERT_TRUE(listing.Init(base));
  std::vector<std::string> names;
  while (listing.GetNext()) {
    names.push_back(listing.GetFilename().GetString().ToUtf8());
    EXPECT_FALSE(listing.IsFolder());
    EXPECT_EQ(listing.GetSize(), 4);
  }
  EXPECT_EQ(names, std::vector<std::string>{"_result.tif"});
  EXPECT_TRUE(DeleteFile(report));
  EXPECT_FALSE(FileExists(report));
  BaseFile missing;
  EXPECT_FALSE(missing.Open(report, ZOR_FILE_READ));

  // a lock keeps out a second holder until it is released, also after a move; no folder is no busy lock
  const Filename lockName = base + Filename("_scanner.lock");
  FileLock first;
  FileLock second;
  ASSERT_TRUE(first.Take(lockName));
  EXPECT_FALSE(second.Take(lockName));
  EXPECT_TRUE(second.Busy());
  FileLock moved(std::move(first));
  EXPECT_FALSE(second.Take(lockName));
  moved.Release();
  EXPECT_TRUE(second.Take(lockName));
  EXPECT_FALSE(second.Busy());
  FileLock nowhere;
  EXPECT_FALSE(nowhere.Take(base + Filename("missing") + Filename("x.lock")));
  EXPECT_FALSE(nowhere.Busy());
  EXPECT_EQ(FourCC("ZORC"), 0x5A4F5243u);
}

TEST(WrappersContainer, DeepCopiesBorrowedViewsAndRelease) {
  WithHost host(RealHostTable());
  BaseContainer settings(1001198);
  settings.SetBool(1, true);
  settings.SetInt32(2, 7);
  settings.SetFloat(3, 0.5);
  settings.SetString(4, String("scenes"));
  settings.SetFilename(5, Filename("C:/scenes"));
  BaseContainer inner(9);
  inner.SetInt64(1, int64_t{1} << 40);
  settings.SetContainer(6, inner);

  BaseContainer copy = settings;
  copy.SetInt32(2, 8);
  BaseContainer sub = copy.GetContainer(6);
  ASSERT_TRUE(sub.IsValid());
  sub.SetInt32(2, 3);  // writes through into the copy's sub-container

  EXPECT_EQ(settings.GetId(), 1001198);
  EXPECT_TRUE(settings.GetBool(1));
  EXPECT_EQ(settings.GetInt32(2), 7);
  EXPECT_EQ(copy.GetInt32(2), 8);
  EXPECT_DOUBLE_EQ(settings.GetFloat(3), 0.5);
  EXPECT_EQ(settings.GetString(4).ToUtf8(), "scenes");
  EXPECT_EQ(settings.GetFilename(5).GetString().ToUtf8(), "C:/scenes");
  EXPECT_EQ(settings.GetContainer(6).GetInt32(2, -1), -1);
  EXPECT_EQ(copy.GetContainer(6).GetInt32(2), 3);
  EXPECT_EQ(settings.GetContainer(6).GetInt64(1), int64_t{1} << 40);
  EXPECT_EQ(settings.GetType(4), ZOR_VALUE_STRING);
  EXPECT_FALSE(settings.GetContainer(99).IsValid());
  EXPECT_EQ(settings.GetInt32(99, -5), -5);
  EXPECT_TRUE(settings.Remove(1));
  EXPECT_EQ(settings.GetType(1), ZOR_VALUE_NONE);

  // A copy of a borrowed view is an owned container of its own.
  BaseContainer owned = sub;
  owned.SetInt32(2, 4);
  EXPECT_EQ(copy.GetContainer(6).GetInt32(2), 3);

  HostContainer* handle = owned.Release();
  ASSERT_NE(handle, nullptr);
  BaseContainer adopted = BaseContainer::Adopt(handle);
  EXPECT_EQ(adopted.GetInt32(2), 4);
}
