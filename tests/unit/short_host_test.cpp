// A module bound by an older host: a root table or a family table shorter than the module's headers.
// Every operation past the end is "the host cannot" and the wrappers answer their defaults. The
// shortened tables live in buffers of exactly their size, so that a read past the end is a fault
// under the address sanitizer.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <filesystem>
#include <memory>
#include <type_traits>

#include "app/host_table.h"
#include "files/filename_impl.h"
#include "memory/memory_tracker.h"
#include "with_host.h"
#include "zor_bitmap.h"
#include "zor_command.h"
#include "zor_container.h"
#include "zor_document.h"
#include "zor_file.h"
#include "zor_gui.h"
#include "zor_host.h"
#include "zor_memory.h"
#include "zor_settings.h"
#include "zor_string.h"
#include "zor_thread.h"

namespace {

using test_support::WithHost;

// A copy of the first `bytes` of a table, its size field saying so.
template <class Table>
class Shortened {
 public:
  Shortened(const Table& full, std::size_t bytes) : bytes_(new unsigned char[bytes]) {
    std::memcpy(bytes_.get(), &full, bytes);
    const int32_t size = static_cast<int32_t>(bytes);
    std::memcpy(bytes_.get() + offsetof(Table, size), &size, sizeof size);
  }
  const Table* get() const { return reinterpret_cast<const Table*>(bytes_.get()); }
  Table* get() { return reinterpret_cast<Table*>(bytes_.get()); }

 private:
  std::unique_ptr<unsigned char[]> bytes_;
};

class CountingThread : public ZORThread {
 public:
  ~CountingThread() override { End(true); }
  void Run() override { ++runs; }
  const char* QueryName() override { return "counting"; }
  int runs = 0;
};

class PlainDialog : public GeDialog {};
class PlainCommand : public CommandData {};

}  // namespace

TEST(ShortHost, FamiliesPastTheEndOfTheRootTableAnswerTheirDefaults) {
  const HostFunctionTable full = zorhost::make_host_table(ZOR_HOST_API_VERSION);

  // Strings, memory, files and containers are there; documents and every family after it are not.
  Shortened<HostFunctionTable> early(full, offsetof(HostFunctionTable, documents));
  {
    WithHost host(early.get());
    String text("render");
    text += "ator";
    EXPECT_EQ(text.ToUtf8(), "renderator") << "families inside the root table still work";
    BaseContainer settings;
    settings.SetInt32(ZOR_RENDER_SETTING_WIDTH, 640);
    EXPECT_EQ(settings.GetInt32(ZOR_RENDER_SETTING_WIDTH), 640);

    BaseDocument document = BaseDocument::Load(Filename("scene.zor"), 0);
    EXPECT_FALSE(document.IsValid());
    EXPECT_FALSE(document.GetActiveRenderData().IsValid());
    BaseBitmap bitmap;
    EXPECT_FALSE(bitmap.IsValid());
    EXPECT_EQ(bitmap.Init(16, 16, 24), ZOR_IMAGE_NO_MEMORY);
    EXPECT_EQ(RenderDocument(document, settings, bitmap, 1, nullptr), ZOR_RENDER_FAILED);

    EXPECT_EQ(GeMessageBox("lost"), 0);
    Filename folder("/tmp");
    EXPECT_FALSE(GeSelectFolder(folder, "choose"));
    EXPECT_EQ(folder.GetString().ToUtf8(), "/tmp") << "a refused selection leaves the name alone";
    GeStatusSetText("nobody reads this");
    GeSpecialEventAdd(1001198);
    EXPECT_EQ(GeGetRunModeFlags(), 0);
    EXPECT_FALSE(GeRunsWithoutGui());

    PlainDialog dialog;
    EXPECT_EQ(dialog.GetHandle(), nullptr);
    EXPECT_FALSE(dialog.Open(ZOR_DIALOG_ASYNC, 1, -1, -1, 100, 100));
    CountingThread thread;
    EXPECT_FALSE(thread.Start(ZOR_THREAD_SYNC));
    EXPECT_EQ(thread.runs, 0);
    GeGlobalLockGuard lock;

    // A refused registration destroys the command object: the memory family is there to see it.
    const int64_t blocks = zorhost::memory_statistics().live_blocks;
    EXPECT_FALSE(RegisterCommandPlugin(4711, "Short", 0, nullptr, "", NewObj(PlainCommand)));
    EXPECT_EQ(zorhost::memory_statistics().live_blocks, blocks);
  }

  // Only the version and the size: nothing at all can be reached.
  Shortened<HostFunctionTable> bare(full, offsetof(HostFunctionTable, strings));
  {
    WithHost host(bare.get());
    String text("lost");
    EXPECT_TRUE(text.IsEmpty());
    EXPECT_EQ(text.Find("o"), -1);
    EXPECT_TRUE(Filename("a/b").IsEmpty());
    EXPECT_EQ(ZOR_ALLOC(8), nullptr);
    EXPECT_EQ(BaseContainer(7).GetInt32(1, 42), 42);
    EXPECT_FALSE(FileExists(Filename("/")));
    BaseFile file;
    EXPECT_FALSE(file.Open(Filename("/tmp/x"), ZOR_FILE_READ));
    EXPECT_EQ(file.GetLength(), -1);
    EXPECT_FALSE(GetStoredPluginSettings(1001198).IsValid());
  }
}

TEST(ShortHost, AFamilyOneSlotShortLosesOnlyThatOperation) {
  HostFunctionTable table = zorhost::make_host_table(ZOR_HOST_API_VERSION);
  // Each family as a host had it before the named operation (and the operations appended after it).
  const auto before = [](auto*& family, std::size_t offset) {
    Shortened<std::remove_cvref_t<decltype(*family)>> shortened(*family, offset);
    family = shortened.get();
    return shortened;
  };
  const auto strings = before(table.strings, offsetof(HostStringTable, line_end));
  const auto files = before(table.files, offsetof(HostFileTable, file_write));
  const auto gui = before(table.gui, offsetof(HostGuiTable, user_area_redraw));
  const auto threads = before(table.threads, offsetof(HostThreadTable, cpu_count));
  const auto bitmaps = before(table.bitmaps, offsetof(HostBitmapTable, set_row));
  WithHost host(&table);

  EXPECT_TRUE(String::LineEnd().IsEmpty());
  EXPECT_EQ((String("a") + "b").ToUtf8(), "ab");

  const std::filesystem::path path = std::filesystem::temp_directory_path() / "relkit_short_host.txt";
  std::filesystem::remove(path);
  {
    BaseFile file;
    ASSERT_TRUE(file.Open(Filename(path.c_str()), ZOR_FILE_WRITE));
    EXPECT_FALSE(file.Write("data", 4)) << "writing is past the end of this host's table";
    EXPECT_EQ(file.GetLength(), 0);
  }
  FolderIdentity identity;
  EXPECT_FALSE(GetFolderIdentity(Filename(path.parent_path().c_str()), identity));
  EXPECT_TRUE(FileExists(Filename(path.c_str())));
  std::filesystem::remove(path);

  {
    PlainDialog dialog;
    EXPECT_NE(dialog.GetHandle(), nullptr);
    GeUserArea area;
    EXPECT_NE(area.GetHandle(), nullptr);
    area.Redraw();
  }
  CountingThread thread;
  ASSERT_TRUE(thread.Start(ZOR_THREAD_SYNC));
  EXPECT_EQ(thread.runs, 1);
  { GeGlobalLockGuard lock; }

  BaseBitmap bitmap;
  ASSERT_EQ(bitmap.Init(2, 1, 24), ZOR_IMAGE_OK);
  uint8_t row[6] = {1, 2, 3, 4, 5, 6};
  EXPECT_FALSE(bitmap.SetPixelRow(0, 0, 2, row, 3, ZOR_COLOR_MODE_RGB));
  EXPECT_TRUE(bitmap.GetPixelRow(0, 0, 2, row, 3, ZOR_COLOR_MODE_RGB));
  EXPECT_EQ(row[0], 0) << "the bitmap kept its cleared pixels";
}

TEST(ShortHost, TheModuleBindsRunsItsCommandLineAndEndsOnAShortRoot) {
  void* handle = dlopen(RELKIT_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr) << dlerror();
  auto zorMain = reinterpret_cast<ZorMainFunction>(dlsym(handle, "zor_main"));
  ASSERT_NE(zorMain, nullptr);
  auto message = [&](int32_t id, void* data) {
    return zorMain(ZOR_ACTION_MESSAGE, reinterpret_cast<void*>(static_cast<intptr_t>(id)), data, nullptr);
  };

  // Strings and memory only: the module keeps its path, but has no files, gui, threads or plug-ins.
  const HostFunctionTable full = zorhost::make_host_table(ZOR_HOST_API_VERSION);
  Shortened<HostFunctionTable> root(full, offsetof(HostFunctionTable, files));
  HostFilename* moduleFile = zorhost::new_host_filename(RELKIT_MODULE_PATH);
  const int64_t blocks = zorhost::memory_statistics().live_blocks;

  EXPECT_EQ(zorMain(ZOR_ACTION_BIND, root.get(), nullptr, moduleFile), ZOR_MAIN_OK);
  EXPECT_EQ(zorMain(ZOR_ACTION_START, nullptr, nullptr, nullptr), ZOR_MAIN_OK);
  HostResourceMessage resources{};
  EXPECT_EQ(message(ZOR_HOSTMSG_RESOURCES, &resources), ZOR_MAIN_NOT_HANDLED) << "no resources to open";
  char program[] = "zorhost", renderator[] = "-renderator", scenes[] = "/nonexistent/scenes";
  char* arguments[] = {program, renderator, scenes};
  HostArguments commandLine{3, arguments};
  EXPECT_EQ(message(ZOR_HOSTMSG_COMMANDLINE, &commandLine), ZOR_MAIN_NOT_HANDLED);
  EXPECT_EQ(zorMain(ZOR_ACTION_END, nullptr, nullptr, nullptr), ZOR_MAIN_OK);
  EXPECT_EQ(zorhost::memory_statistics().live_blocks, blocks) << "what the module took it gave back";

  zorhost::files_table()->fn_free(moduleFile);
  dlclose(handle);
}
