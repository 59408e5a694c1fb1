// What the host writes for a module replaces the old file only when the whole of it reached the disk;
// folders that are created, listed and identified say why when they fail.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/host_options.h"
#include "containers/settings_store.h"
#include "documents/scene_errors.h"
#include "files/replacing_file.h"
#include "host_test_support.h"
#include "scratch_folder.h"

namespace fs = std::filesystem;
using namespace zorhost;
using namespace test_support;

namespace {

// Writes bytes as a module does: open for writing, write in pieces, close. Answers write and close.
std::pair<bool, bool> write_through_table(const fs::path& path, const std::string& bytes) {
  HostName name(path);
  HostFile* file = Files().file_alloc();
  bool wrote = Files().file_open(file, name, ZOR_FILE_WRITE, 1, 1, 0, 0);
  for (size_t at = 0; wrote && at < bytes.size(); at += 1000) {
    const std::string piece = bytes.substr(at, 1000);
    wrote = Files().file_write(file, piece.data(), static_cast<int64_t>(piece.size()));
  }
  const bool closed = Files().file_close(file);
  Files().file_free(file);
  return {wrote, closed};
}

// Runs body in a child whose files may not grow past limit bytes (the write then fails with "File too
// large" instead of killing it); the child's stderr goes to errors. Answers the child's exit code.
int with_file_size_limit(rlim_t limit, const fs::path& errors, const std::function<int()>& body) {
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child == 0) {
    std::freopen(errors.c_str(), "w", stderr);
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &small);
    const int code = body();
    std::fflush(nullptr);
    ::_exit(code);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

class HostFileSafety : public testing::Test {
 protected:
  // A report written here would take along the scene errors that earlier tests of the process kept.
  void SetUp() override { write_scene_errors(test_support::ScratchFolder().path() / kRunReportFile); }
  test_support::ScratchFolder scratch_;
  const fs::path root_ = scratch_.path();
};

TEST_F(HostFileSafety, AFailedWriteLeavesTheOldFileAndNoTemporary) {
  const fs::path report = root_ / "_result.txt";
  const fs::path image = root_ / "0001.tif";
  const fs::path settings = root_ / "settings.json";
  std::ofstream(report) << "old report\n";
  std::ofstream(image) << "old image";
  std::ofstream(settings) << "{}";

  EXPECT_EQ(write_through_table(report, "new report\n"), std::make_pair(true, true));
  EXPECT_EQ(ReadFile(report), "new report\n");

  // files may not grow past 4096 bytes: every kind of write fails, and says so
  const fs::path errors = root_ / "errors.txt";
  const std::string big(10000, 'x');
  const int failures = with_file_size_limit(4096, root_ / "errors.txt", [&] {
    int code = 0;
    const auto [wrote, closed] = write_through_table(report, big);
    if (wrote && closed) code |= 1;
    if (save_tiff(test_support::PatternBitmap(100, 100), image) != ZOR_IMAGE_NOT_EXISTING) code |= 2;
    std::string error;
    if (write_file_atomically(settings, big, &error)) code |= 4;
    if (error.find(settings.string()) == std::string::npos ||
        error.find("File too large") == std::string::npos)
      code |= 8;
    return code;
  });
  EXPECT_EQ(failures, 0) << "1 byte file, 2 image, 4 settings written; 8 settings error: "
                         << ReadFile(errors);
  EXPECT_EQ(ReadFile(report), "new report\n");
  EXPECT_EQ(ReadFile(image), "old image");
  EXPECT_EQ(ReadFile(settings), "{}");
  fs::remove(errors);
  EXPECT_EQ(NamesIn(root_), (std::vector<std::string>{"0001.tif", "_result.txt", "settings.json"}));

  // two writers of one file each have their own temporary; the last to commit wins
  {
    ReplacingFile first, second;
    ASSERT_TRUE(first.open(report));
    ASSERT_TRUE(second.open(report));
    EXPECT_TRUE(first.write("first\n", 6) && second.write("second\n", 7));
    EXPECT_TRUE(second.commit()) << second.error();
    EXPECT_TRUE(first.commit()) << first.error();
    EXPECT_EQ(ReadFile(report), "first\n");
    std::ofstream(report) << "new report\n";
  }

  // editing in place works on a copy: the file changes at the close, not before
  {
    HostName name(report);
    HostFile* file = Files().file_alloc();
    ASSERT_TRUE(Files().file_open(file, name, ZOR_FILE_READWRITE, 0, 0, 0, 0));
    EXPECT_TRUE(Files().file_seek(file, 0));
    EXPECT_TRUE(Files().file_write(file, "NEW", 3));
    EXPECT_EQ(ReadFile(report), "new report\n");
    EXPECT_EQ(Files().file_length(file), 11);
    EXPECT_TRUE(Files().file_close(file));
    Files().file_free(file);
    EXPECT_EQ(ReadFile(report), "NEW report\n");
  }

  // a name that is a folder or a pipe (which must neither block the open nor be replaced), a folder
  // that does not exist
  EXPECT_EQ(write_through_table(root_, "x").first, false);
  ASSERT_EQ(::mkfifo((root_ / "pipe").c_str(), 0644), 0);
  {
    HostName name(root_ / "pipe");
    HostFile* file = Files().file_alloc();
    EXPECT_FALSE(Files().file_open(file, name, ZOR_FILE_READ, 1, 0, 0, 0));
    EXPECT_FALSE(Files().file_open(file, name, ZOR_FILE_APPEND, 1, 0, 0, 0));
    Files().file_free(file);
  }
  EXPECT_EQ(write_through_table(root_ / "pipe", "x").first, false);
  EXPECT_TRUE(fs::is_fifo(root_ / "pipe"));
  fs::remove(root_ / "pipe");
  EXPECT_EQ(write_through_table(root_ / "missing" / "f.txt", "x").first, false);
  EXPECT_FALSE(fs::exists(root_ / "missing"));
  EXPECT_EQ(save_tiff(test_support::PatternBitmap(1, 1), root_ / "missing" / "0001.tif"),
            ZOR_IMAGE_NOT_EXISTING);
}

// A temporary is never one that someone planted: a link at the name a temporary once had (one per
// final file, so anyone could make it) must neither be written through nor be renamed into place.
TEST_F(HostFileSafety, APlantedLinkIsNeverWrittenThrough) {
  const fs::path elsewhere = root_ / "elsewhere";
  fs::create_directories(elsewhere);
  fs::create_directories(root_ / "out");
  const HostBitmap tiny = test_support::PatternBitmap(1, 1);
  const std::pair<const char*, std::function<bool(const fs::path&)>> writers[] = {
      {"_result.txt", [](const fs::path& p) { return write_through_table(p, "report\n").second; }},
      {"0001.tif", [&](const fs::path& p) { return save_tiff(tiny, p) == ZOR_IMAGE_OK; }},
      {"1.json", [](const fs::path& p) { return write_file_atomically(p, "{}", nullptr); }},
  };
  for (const bool unnamed : {true, false}) {
    use_unnamed_temporaries(unnamed);
    for (const auto& [name, write] : writers) {
      const fs::path final_path = root_ / "out" / name;
      const fs::path target = elsewhere / (std::string(name) + (unnamed ? ".1" : ".2"));
      std::ofstream(target) << "precious";
      const fs::path planted = root_ / "out" / ("." + std::string(name) + ".zorhost-tmp");
      fs::remove(planted);
      fs::create_symlink(target, planted);
      EXPECT_TRUE(write(final_path)) << name;
      EXPECT_EQ(ReadFile(target), "precious") << name << (unnamed ? " unnamed" : " named");
      EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(final_path))) << name;
      EXPECT_TRUE(fs::is_symlink(fs::symlink_status(planted))) << name;
    }
  }
  use_unnamed_temporaries(true);
  EXPECT_EQ(NamesIn(root_ / "out"),
            (std::vector<std::string>{".0001.tif.zorhost-tmp", ".1.json.zorhost-tmp",
                                      "._result.txt.zorhost-tmp", "0001.tif", "1.json", "_result.txt"}));
}

TEST_F(HostFileSafety, FoldersSayWhyTheyFail) {
  // a folder that exists is not created again: two runs must never share one
  EXPECT_TRUE(Files().create_folder(HostName(root_ / "run_1")));
  EXPECT_FALSE(Files().create_folder(HostName(root_ / "run_1")));
  std::ofstream(root_ / "file") << "in the way";

  // two paths of one folder share an identity; a link says it is one
  fs::create_directory_symlink(root_ / "run_1", root_ / "alias");
  uint64_t device[2] = {}, inode[2] = {};
  ASSERT_TRUE(Files().folder_identity(HostName(root_ / "run_1"), &device[0], &inode[0]));
  ASSERT_TRUE(Files().folder_identity(HostName(root_ / "alias"), &device[1], &inode[1]));
  EXPECT_EQ(device[0], device[1]);
  EXPECT_EQ(inode[0], inode[1]);
  EXPECT_FALSE(Files().folder_identity(HostName(root_ / "file"), &device[0], &inode[0]));
  HostBrowse* browse = Files().browse_open(HostName(root_), 0);
  ASSERT_NE(browse, nullptr);
  int links = 0;
  while (Files().browse_next(browse)) {
    if (Files().browse_is_link(browse)) {
      ++links;
      EXPECT_TRUE(Files().browse_is_folder(browse));
    }
  }
  Files().browse_free(browse);
  EXPECT_EQ(links, 1);

  // stored settings in a prefs folder that cannot hold them name the folder and the cause
  Scoped<fs::path> prefs(options().prefs_dir, root_ / "file" / "prefs");
  std::string error;
  EXPECT_FALSE(write_file_atomically(options().prefs_dir / "settings" / "1.json", "{}", &error));
  EXPECT_TRUE(Contains(error, "cannot create folder " + (root_ / "file" / "prefs" / "settings").string()));
  EXPECT_TRUE(Contains(error, "Not a directory"));
}

TEST_F(HostFileSafety, WriteProtectedPlacesNameTheirCause) {
  if (::geteuid() == 0) GTEST_SKIP() << "running as root: permissions are not enforced, nothing to test";
  const fs::path settings = root_ / "settings.json";
  std::ofstream(settings) << "{}";
  fs::permissions(settings, fs::perms::owner_read);
  std::string error;
  EXPECT_FALSE(write_file_atomically(settings, "{ \"1\": 2 }", &error));
  EXPECT_TRUE(Contains(error, "Permission denied"));
  EXPECT_EQ(ReadFile(settings), "{}");

  fs::create_directories(root_ / "locked" / "settings");
  fs::permissions(root_ / "locked" / "settings", fs::perms::owner_read | fs::perms::owner_exec);
  fs::permissions(root_ / "locked", fs::perms::owner_read | fs::perms::owner_exec);
  error.clear();
  EXPECT_FALSE(write_file_atomically(root_ / "locked" / "settings" / "1.json", "{}", &error));
  EXPECT_TRUE(Contains(error, "folder " + (root_ / "locked" / "settings").string() + ": Permission denied"));
  error.clear();
  EXPECT_FALSE(write_file_atomically(root_ / "locked" / "other" / "1.json", "{}", &error));
  EXPECT_TRUE(Contains(error, "cannot create folder " + (root_ / "locked" / "other").string()));
  fs::create_directories(root_ / "unreadable");
  fs::permissions(root_ / "unreadable", fs::perms::none);
  const std::string listing = test_support::StderrOf(
      [&] { EXPECT_EQ(Files().browse_open(HostName(root_ / "unreadable"), 0), nullptr); });
  EXPECT_TRUE(
      Contains(listing, "cannot list folder " + (root_ / "unreadable").string() + ": Permission denied"));
  fs::permissions(root_ / "locked", fs::perms::owner_all);
  fs::permissions(root_ / "unreadable", fs::perms::owner_all);
}

}  // namespace
