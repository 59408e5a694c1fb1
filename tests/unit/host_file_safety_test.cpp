// What the host writes for a module replaces the old file only when the whole of it reached the disk;
// folders that are created, listed and identified say why when they fail.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/host_options.h"
#include "bitmaps/bitmap_impl.h"
#include "containers/settings_store.h"
#include "files/filename_impl.h"
#include "files/replacing_file.h"
#include "unit/scratch_folder.h"

namespace fs = std::filesystem;
using namespace zorhost;

namespace {

const HostFileTable& F() {
  return *files_table();
}

fs::path fresh_folder(const std::string& name) {
  static const test_support::ScratchFolder parent("zorhost_safety_");
  const fs::path folder = parent.path() / name;
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> names_in(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

struct Name {
  HostFilename* f;
  explicit Name(const fs::path& path) : f(new_host_filename(path.string())) {}
  ~Name() { F().fn_free(f); }
};

// Writes bytes as a module does: open for writing, write in pieces, close. Answers write and close.
std::pair<bool, bool> write_through_table(const fs::path& path, const std::string& bytes) {
  Name name(path);
  HostFile* file = F().file_alloc();
  bool wrote = F().file_open(file, name.f, ZOR_FILE_WRITE, 1, 1, 0, 0);
  for (size_t at = 0; wrote && at < bytes.size(); at += 1000) {
    const std::string piece = bytes.substr(at, 1000);
    wrote = F().file_write(file, piece.data(), static_cast<int64_t>(piece.size()));
  }
  const bool closed = F().file_close(file);
  F().file_free(file);
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

TEST(HostFileSafety, AFailedWriteLeavesTheOldFileAndNoTemporary) {
  const fs::path root = fresh_folder("failed_writes");
  const fs::path report = root / "_result.txt";
  const fs::path image = root / "0001.tif";
  const fs::path settings = root / "settings.json";
  std::ofstream(report) << "old report\n";
  std::ofstream(image) << "old image";
  std::ofstream(settings) << "{}";

  EXPECT_EQ(write_through_table(report, "new report\n"), std::make_pair(true, true));
  EXPECT_EQ(read_file(report), "new report\n");
  EXPECT_EQ(names_in(root), (std::vector<std::string>{"0001.tif", "_result.txt", "settings.json"}));

  // files may not grow past 4096 bytes: every kind of write fails, and says so
  const fs::path errors = root / "errors.txt";
  const std::string big(10000, 'x');
  const int failures = with_file_size_limit(4096, root / "errors.txt", [&] {
    int code = 0;
    const auto [wrote, closed] = write_through_table(report, big);
    if (wrote && closed) code |= 1;
    HostBitmap bmp;
    bmp.width = bmp.height = 100;
    bmp.depth = 24;
    bmp.pixels.assign(100 * 100 * 3, 7);
    if (save_tiff(bmp, image) != ZOR_IMAGE_NOT_EXISTING) code |= 2;
    std::string error;
    if (write_file_atomically(settings, big, &error)) code |= 4;
    if (error.find(settings.string()) == std::string::npos ||
        error.find("File too large") == std::string::npos)
      code |= 8;
    return code;
  });
  EXPECT_EQ(failures, 0) << "1 byte file, 2 image, 4 settings written; 8 settings error: "
                         << read_file(errors);
  EXPECT_EQ(read_file(report), "new report\n");
  EXPECT_EQ(read_file(image), "old image");
  EXPECT_EQ(read_file(settings), "{}");
  fs::remove(errors);
  EXPECT_EQ(names_in(root), (std::vector<std::string>{"0001.tif", "_result.txt", "settings.json"}));
  const std::string said = [&] {
    with_file_size_limit(4096, errors, [&] { return write_through_table(report, big).second ? 1 : 0; });
    return read_file(errors);
  }();
  EXPECT_NE(said.find("cannot write " + report.string() + ": File too large"), std::string::npos) << said;

  // two writers of one file each have their own temporary; the last to commit wins
  {
    ReplacingFile first, second;
    ASSERT_TRUE(first.open(report));
    ASSERT_TRUE(second.open(report));
    EXPECT_TRUE(first.write("first\n", 6) && second.write("second\n", 7));
    EXPECT_TRUE(second.commit()) << second.error();
    EXPECT_TRUE(first.commit()) << first.error();
    EXPECT_EQ(read_file(report), "first\n");
    std::ofstream(report) << "new report\n";
  }

  // editing in place works on a copy: the file changes at the close, not before
  {
    Name name(report);
    HostFile* file = F().file_alloc();
    ASSERT_TRUE(F().file_open(file, name.f, ZOR_FILE_READWRITE, 0, 0, 0, 0));
    EXPECT_TRUE(F().file_seek(file, 0));
    EXPECT_TRUE(F().file_write(file, "NEW", 3));
    EXPECT_EQ(read_file(report), "new report\n");
    EXPECT_EQ(F().file_length(file), 11);
    EXPECT_TRUE(F().file_close(file));
    F().file_free(file);
    EXPECT_EQ(read_file(report), "NEW report\n");
  }

  // a name that is a folder or a pipe (which must neither block the open nor be replaced), a folder
  // that does not exist
  EXPECT_EQ(write_through_table(root, "x").first, false);
  ASSERT_EQ(::mkfifo((root / "pipe").c_str(), 0644), 0);
  {
    Name name(root / "pipe");
    HostFile* file = F().file_alloc();
    EXPECT_FALSE(F().file_open(file, name.f, ZOR_FILE_READ, 1, 0, 0, 0));
    EXPECT_FALSE(F().file_open(file, name.f, ZOR_FILE_APPEND, 1, 0, 0, 0));
    F().file_free(file);
  }
  EXPECT_EQ(write_through_table(root / "pipe", "x").first, false);
  EXPECT_TRUE(fs::is_fifo(root / "pipe"));
  fs::remove(root / "pipe");
  EXPECT_EQ(write_through_table(root / "missing" / "f.txt", "x").first, false);
  EXPECT_FALSE(fs::exists(root / "missing"));
  HostBitmap tiny;
  tiny.width = tiny.height = 1;
  tiny.depth = 24;
  tiny.pixels.assign(3, 0);
  EXPECT_EQ(save_tiff(tiny, root / "missing" / "0001.tif"), ZOR_IMAGE_NOT_EXISTING);
}

// A temporary is never one that someone planted: a link at the name a temporary once had (one per
// final file, so anyone could make it) must neither be written through nor be renamed into place.
TEST(HostFileSafety, APlantedLinkIsNeverWrittenThrough) {
  const fs::path root = fresh_folder("planted");
  const fs::path elsewhere = root / "elsewhere";
  fs::create_directories(elsewhere);
  fs::create_directories(root / "out");
  HostBitmap tiny;
  tiny.width = tiny.height = 1;
  tiny.depth = 24;
  tiny.pixels.assign(3, 0);
  const std::pair<const char*, std::function<bool(const fs::path&)>> writers[] = {
      {"_result.txt", [](const fs::path& p) { return write_through_table(p, "report\n").second; }},
      {"0001.tif", [&](const fs::path& p) { return save_tiff(tiny, p) == ZOR_IMAGE_OK; }},
      {"1.json", [](const fs::path& p) { return write_file_atomically(p, "{}", nullptr); }},
  };
  for (const bool unnamed : {true, false}) {
    use_unnamed_temporaries(unnamed);
    for (const auto& [name, write] : writers) {
      const fs::path final_path = root / "out" / name;
      const fs::path target = elsewhere / (std::string(name) + (unnamed ? ".1" : ".2"));
      std::ofstream(target) << "precious";
      const fs::path planted = root / "out" / ("." + std::string(name) + ".zorhost-tmp");
      fs::remove(planted);
      fs::create_symlink(target, planted);
      EXPECT_TRUE(write(final_path)) << name;
      EXPECT_EQ(read_file(target), "precious") << name << (unnamed ? " unnamed" : " named");
      EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(final_path))) << name;
      EXPECT_TRUE(fs::is_symlink(fs::symlink_status(planted))) << name;
    }
  }
  use_unnamed_temporaries(true);
  // nothing but the written files and the planted links is left
  EXPECT_EQ(names_in(root / "out"),
            (std::vector<std::string>{".0001.tif.zorhost-tmp", ".1.json.zorhost-tmp",
                                      "._result.txt.zorhost-tmp", "0001.tif", "1.json", "_result.txt"}));
}

TEST(HostFileSafety, ImagesAreWrittenInStripsOfManyRows) {
  const fs::path root = fresh_folder("image_strips");
  // 5.4 MB: a full strip of several megabytes and a shorter last one
  HostBitmap bmp;
  bmp.width = 1200;
  bmp.height = 1500;
  bmp.depth = 24;
  bmp.pixels.resize(size_t(1200) * 1500 * 3);
  for (size_t i = 0; i < bmp.pixels.size(); ++i) bmp.pixels[i] = static_cast<uint8_t>(i * 7 / 3);
  ASSERT_EQ(save_tiff(bmp, root / "big.tif"), ZOR_IMAGE_OK);
  TIFF* tif = TIFFOpen((root / "big.tif").c_str(), "r");
  ASSERT_NE(tif, nullptr);
  EXPECT_EQ(TIFFNumberOfStrips(tif), 2u);
  TIFFClose(tif);
  HostBitmap back;
  ASSERT_EQ(load_tiff(back, root / "big.tif"), ZOR_IMAGE_OK);
  EXPECT_EQ(back.width, 1200);
  EXPECT_EQ(back.height, 1500);
  EXPECT_TRUE(back.pixels == bmp.pixels);
  EXPECT_EQ(names_in(root), std::vector<std::string>{"big.tif"});
}

TEST(HostFileSafety, FoldersSayWhyTheyFail) {
  const fs::path root = fresh_folder("folders");
  // a folder that exists is not created again: two runs must never share one
  EXPECT_TRUE(F().create_folder(Name(root / "run_1").f));
  EXPECT_FALSE(F().create_folder(Name(root / "run_1").f));
  std::ofstream(root / "file") << "in the way";
  testing::internal::CaptureStderr();
  EXPECT_FALSE(F().create_folder(Name(root / "file" / "run").f));
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("cannot create folder " + (root / "file" / "run").string() + ": Not a directory"),
            std::string::npos)
      << said;

  // two paths of one folder share an identity; a link says it is one
  fs::create_directory_symlink(root / "run_1", root / "alias");
  uint64_t device[2] = {}, inode[2] = {};
  ASSERT_TRUE(F().folder_identity(Name(root / "run_1").f, &device[0], &inode[0]));
  ASSERT_TRUE(F().folder_identity(Name(root / "alias").f, &device[1], &inode[1]));
  EXPECT_EQ(device[0], device[1]);
  EXPECT_EQ(inode[0], inode[1]);
  EXPECT_FALSE(F().folder_identity(Name(root / "file").f, &device[0], &inode[0]));
  HostBrowse* browse = F().browse_open(Name(root).f, 0);
  ASSERT_NE(browse, nullptr);
  int links = 0;
  while (F().browse_next(browse)) {
    if (F().browse_is_link(browse)) {
      ++links;
      EXPECT_TRUE(F().browse_is_folder(browse));
    }
  }
  F().browse_free(browse);
  EXPECT_EQ(links, 1);

  // stored settings in a prefs folder that cannot hold them name the folder and the cause
  const fs::path saved_prefs = options().prefs_dir;
  options().prefs_dir = root / "file" / "prefs";
  std::string error;
  EXPECT_FALSE(write_file_atomically(options().prefs_dir / "settings" / "1.json", "{}", &error));
  EXPECT_NE(error.find("cannot create folder " + (root / "file" / "prefs" / "settings").string()),
            std::string::npos)
      << error;
  EXPECT_NE(error.find("Not a directory"), std::string::npos) << error;
  options().prefs_dir = saved_prefs;
}

// Permissions are not enforced for root, so these cases only run for other users.
TEST(HostFileSafety, WriteProtectedPlacesNameTheirCause) {
  if (::geteuid() == 0) GTEST_SKIP() << "running as root: permissions are not enforced, nothing to test";
  const fs::path root = fresh_folder("protected");
  const fs::path settings = root / "settings.json";
  std::ofstream(settings) << "{}";
  fs::permissions(settings, fs::perms::owner_read);
  std::string error;
  EXPECT_FALSE(write_file_atomically(settings, "{ \"1\": 2 }", &error));
  EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;
  EXPECT_EQ(read_file(settings), "{}");

  fs::create_directories(root / "locked" / "settings");
  fs::permissions(root / "locked" / "settings", fs::perms::owner_read | fs::perms::owner_exec);
  fs::permissions(root / "locked", fs::perms::owner_read | fs::perms::owner_exec);
  error.clear();
  EXPECT_FALSE(write_file_atomically(root / "locked" / "settings" / "1.json", "{}", &error));
  EXPECT_NE(error.find("folder " + (root / "locked" / "settings").string() + ": Permission denied"),
            std::string::npos)
      << error;
  error.clear();
  EXPECT_FALSE(write_file_atomically(root / "locked" / "other" / "1.json", "{}", &error));
  EXPECT_NE(error.find("cannot create folder " + (root / "locked" / "other").string()), std::string::npos)
      << error;
  fs::create_directories(root / "unreadable");
  fs::permissions(root / "unreadable", fs::perms::none);
  testing::internal::CaptureStderr();
  EXPECT_EQ(F().browse_open(Name(root / "unreadable").f, 0), nullptr);
  const std::string listing = testing::internal::GetCapturedStderr();
  EXPECT_NE(listing.find("cannot list folder " + (root / "unreadable").string() + ": Permission denied"),
            std::string::npos)
      << listing;
  fs::permissions(root / "locked", fs::perms::owner_all);
  fs::permissions(root / "unreadable", fs::perms::owner_all);
}

}  // namespace
