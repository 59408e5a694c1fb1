// zorhost's core I/O as the module reaches it, with Exif metadata of real camera files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <map>
#include <string>

#include "core/url_text.h"
#include "host_test_support.h"
#include "io_test_support.h"
#include "memory/memory_tracker.h"
#include "nexal/exif.h"
#include "nexal/iostreams.h"
#include "nexal/textformat.h"
#include "scratch_folder.h"

namespace {

using test_support::Contains;

namespace fs = std::filesystem;
using nexal::Url;

struct Listed {
  std::string name;
  uint32_t attributes = 0;
  int64_t size = 0;
};

// name -> what the listing says, and the error of the listing itself
std::map<std::string, Listed> List(const Url& url, std::string* error = nullptr) {
  nexal::IoBrowse browse;
  std::map<std::string, Listed> listed;
  nexal::Error failed = url.Browse(&browse);
  if (error) *error = failed.Message();
  while (browse.HasEntry()) {
    const Url entry = browse.GetUrl();
    listed[entry.GetText()] = {entry.GetName(), browse.GetAttributes(), browse.GetSize()};
    EXPECT_FALSE(browse.Next());
  }
  return listed;
}

std::string ReadAll(const Url& url, std::string* error) {
  nexal::InputStream stream;
  if (nexal::Error failed = url.OpenInput(&stream)) {
    *error = failed.Message();
    return {};
  }
  int64_t length = 0;
  EXPECT_FALSE(stream.GetLength(&length));
  std::string bytes(static_cast<size_t>(length), '\0');
  if (nexal::Error failed = stream.Read(bytes.data(), length)) *error = failed.Message();
  return bytes;
}

class CoreIo : public testing::Test {
 protected:
  void TearDown() override {
    // every iterator, stream, text and reader the wrappers took was given back
    for (const auto kind :
         {zorhost::ObjectKind::CoreText, zorhost::ObjectKind::IoIterator, zorhost::ObjectKind::InputStream,
          zorhost::ObjectKind::ExifReader, zorhost::ObjectKind::Dictionary, zorhost::ObjectKind::CoreError})
      EXPECT_EQ(zorhost::live_objects()[kind], 0) << zorhost::object_kind_name(kind);
  }
  test_support::CoreIoResolved resolved_;
  test_support::ScratchFolder scratch_;
};

TEST_F(CoreIo, UrlFormsNamesAndParents) {
  // a path with a blank and a non-UTF-8 byte survives module -> host -> module
  const std::string odd = "/tmp/a b/caf\xE9.txt";
  const Url file = Url::FromPath(odd);
  EXPECT_EQ(file.GetText(), "file:///tmp/a%20b/caf%E9.txt");
  EXPECT_EQ(Url::Parse(file.GetText()).GetText(), file.GetText());
  EXPECT_EQ(file.GetName(), "caf\xE9.txt");
  EXPECT_EQ(file.GetSuffix(), "txt");
  EXPECT_EQ(Url::Parse("/x/.profile").GetSuffix(), "") << "a hidden file's name is no suffix";
  EXPECT_EQ(Url::Parse("FILE:///x//y/./z/../w/").GetText(), "file:///x/y/w");
  EXPECT_EQ(Url::Parse("/x/y").GetText(), "file:///x/y");
  EXPECT_EQ(file.Append("in ner").GetText(), "file:///tmp/a%20b/caf%E9.txt/in%20ner");

  // the parent's text, or "-" for none; the answer may go into the URL asked
  const auto parent_of = [](Url url) { return url.GetParent(&url) ? std::string(url.GetText()) : "-"; };
  EXPECT_EQ(parent_of(Url::Parse("file:///x/y")), "file:///x");
  EXPECT_EQ(parent_of(Url::Parse("file:///x")), "file:///");
  EXPECT_EQ(parent_of(Url::Parse("file:///")), "-") << "the root folder has no parent";
  EXPECT_EQ(parent_of(Url::Parse("C:/")), "-") << "nor has a drive's root";
  EXPECT_EQ(parent_of(Url::Handlers()), "-");
  EXPECT_EQ(parent_of(Url::Parse("file://")), "-");

  // an archive: its top is named after it and its parent is the folder holding it; nested archives
  const Url zip = Url::InZip(Url::Parse("file:///d/a.zip"));
  EXPECT_EQ(zip.GetText(), "zip://file:///d/a.zip!/");
  EXPECT_EQ(zip.GetScheme(), "zip");
  EXPECT_EQ(zip.GetName(), "a.zip");
  EXPECT_EQ(parent_of(zip), "file:///d");
  const Url deep = zip.Append("sub").Append("x!y.txt");
  EXPECT_EQ(deep.GetText(), "zip://file:///d/a.zip!/sub/x%21y.txt");
  EXPECT_EQ(parent_of(deep), "zip://file:///d/a.zip!/sub");
  const Url nested = Url::InZip(zip.Append("b.zip")).Append("c.txt");
  EXPECT_EQ(nested.GetText(), "zip://zip://file:///d/a.zip!/b.zip!/c.txt");
  EXPECT_EQ(Url::Parse(nested.GetText()).GetText(), nested.GetText());
  EXPECT_EQ(parent_of(Url::InZip(zip.Append("b.zip"))), "zip://file:///d/a.zip!/");

  // text the host cannot read stays as it was and says so when used
  const Url junk = Url::Parse("no url here");
  EXPECT_EQ(junk.GetText(), "no url here");
  std::string error;
  EXPECT_TRUE(List(junk, &error).empty());
  EXPECT_EQ(error, "not a URL: \"no url here\"");
  List(Url::Parse("file:///a%00b"), &error);
  EXPECT_EQ(error, "not a valid file URL: \"file:///a%00b\"") << "a zero byte never reaches the file system";
  std::string deep_text;
  for (int i = 0; i < 100000; ++i) deep_text += "zip://";
  EXPECT_EQ(Url::Parse(deep_text + "file:///a.zip").GetText(), deep_text + "file:///a.zip")
      << "not nested for ever";
  List(Url::Parse("http://example.org/x"), &error);
  EXPECT_EQ(error, "no I/O handler serves the scheme \"http\" (http://example.org/x)");
}

TEST_F(CoreIo, NameOrderReadsNumbersByValue) {
  EXPECT_LT(nexal::CompareText("file2", "file10", 4), 0);
  EXPECT_GT(nexal::CompareText("File10", "file9", 4), 0);
  EXPECT_LT(nexal::CompareText("apple", "Banana", 4), 0) << "letters without case";
  EXPECT_LT(nexal::CompareText("a", "ab", 4), 0);
  // equal as people read them: the bytes still decide, so sorting is stable and total
  EXPECT_NE(nexal::CompareText("a01", "a1", 4), 0);
  EXPECT_EQ(nexal::CompareText("a01", "a1", 4), -nexal::CompareText("a1", "a01", 4));
  EXPECT_EQ(nexal::CompareText("same", "same", 4), 0);
  EXPECT_GT(nexal::CompareText("apple", "Banana", 0), 0) << "mode 0 is by code point";
  // a digit run longer than any integer still compares by value
  EXPECT_LT(nexal::CompareText("x99999999999999999999999", "x100000000000000000000000", 4), 0);
}

TEST_F(CoreIo, HandlersFoldersAndAttributes) {
  const auto handlers = List(Url::Handlers());
  ASSERT_EQ(handlers.size(), 2u);
  EXPECT_EQ(handlers.at("file://").name, "file");
  EXPECT_EQ(handlers.at("zip://").attributes, nexal::kIoFolder);
  EXPECT_TRUE(List(Url::Parse("file://")).contains("file:///tmp")) << "file:// lists the root folder";

  scratch_.write("plain.txt", "12345");
  scratch_.write(".hidden", "");
  scratch_.write("sub/inner.txt", "x");
  const fs::path locked = scratch_.write("locked.txt", "abc");
  fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read);
  const Url folder = Url::FromPath(scratch_.path().string());
  const auto listed = List(folder);
  ASSERT_EQ(listed.size(), 4u);
  const Listed& plain = listed.at(folder.Append("plain.txt").GetText());
  EXPECT_EQ(plain.attributes, 0u);
  EXPECT_EQ(plain.size, 5);
  EXPECT_EQ(listed.at(folder.Append(".hidden").GetText()).attributes, nexal::kIoHidden);
  EXPECT_EQ(listed.at(folder.Append("sub").GetText()).attributes, nexal::kIoFolder);
  EXPECT_EQ(listed.at(folder.Append("sub").GetText()).size, -1);
  EXPECT_EQ(listed.at(folder.Append("locked.txt").GetText()).attributes, nexal::kIoReadOnly);

  // dates of an entry: modification in the local zone, creation from the file system's birth time
  nexal::IoBrowse browse;
  ASSERT_FALSE(folder.Browse(&browse));
  ASSERT_TRUE(browse.HasEntry());
  nexal::DateTime modified, created;
  EXPECT_FALSE(browse.GetModified(&modified));
  EXPECT_GE(modified.year, 2024);
  if (nexal::Error error = browse.GetCreated(&created)) {
    EXPECT_NE(std::string(error.Message()).find("keeps no creation time"), std::string::npos);
  } else {
    EXPECT_GE(created.year, 2024);
  }

  std::string error;
  List(folder.Append("missing"), &error);
  EXPECT_TRUE(Contains(error, "No such file or directory"));
}

TEST_F(CoreIo, ZipArchivesListLevelByLevelAndReadEntries) {
  const fs::path archive = scratch_.path() / "a.zip";
  const std::string big(100000, 'z');
  ASSERT_TRUE(test_support::WriteZip(archive, {{"top.txt", "top"},
                                               {"docs/", ""},
                                               {"docs/readme.txt", "read me"},
                                               {"implied/deep/x.bin", big},
                                               {"weird!name.txt", "w"}}));
  const Url top = Url::InZip(Url::FromPath(archive.string()));
  const auto listed = List(top);
  ASSERT_EQ(listed.size(), 4u);
  EXPECT_EQ(listed.at(top.Append("top.txt").GetText()).size, 3);
  EXPECT_EQ(listed.at(top.Append("docs").GetText()).attributes, nexal::kIoFolder);
  EXPECT_EQ(listed.at(top.Append("implied").GetText()).attributes, nexal::kIoFolder)
      << "implied by a deeper entry";
  EXPECT_TRUE(listed.contains(top.Append("weird!name.txt").GetText()));
  EXPECT_EQ(List(top.Append("implied")).size(), 1u);

  std::string error;
  EXPECT_EQ(ReadAll(top.Append("docs").Append("readme.txt"), &error), "read me");
  EXPECT_EQ(ReadAll(top.Append("implied").Append("deep").Append("x.bin"), &error), big);
  EXPECT_EQ(ReadAll(top.Append("weird!name.txt"), &error), "w");
  EXPECT_EQ(error, "");
  ReadAll(top.Append("absent.txt"), &error);
  EXPECT_TRUE(Contains(error, "no such file in the archive"));

  // an archive inside an archive is listed and read the same way
  const fs::path outer = scratch_.path() / "outer.zip";
  ASSERT_TRUE(test_support::WriteZip(outer, {{"in/a.zip", test_support::ReadFile(archive)}}));
  const Url nested = Url::InZip(Url::InZip(Url::FromPath(outer.string())).Append("in").Append("a.zip"));
  EXPECT_EQ(ReadAll(nested.Append("top.txt"), &error), "top");

  // not an archive: the listing fails and names it
  const fs::path fake = scratch_.write("fake.zip", "this is not a zip archive");
  List(Url::InZip(Url::FromPath(fake.string())), &error);
  EXPECT_TRUE(Contains(error, "cannot open the archive " + fake.string()));
}

TEST_F(CoreIo, DotSegmentsOfArchiveEntriesAreNamesInsideTheArchive) {
  const fs::path archive = scratch_.path() / "dots.zip";
  ASSERT_TRUE(test_support::WriteZip(
      archive, {{"../x.txt", "up"}, {"a/../y.txt", "side"}, {"./z.txt", "here"}, {"z.txt", "plain"}}));
  scratch_.write("x.txt", "outside the archive");
  const Url top = Url::InZip(Url::FromPath(archive.string()));
  const auto listed = List(top);
  ASSERT_EQ(listed.size(), 4u);
  for (const char* folder : {"..", ".", "a"})
    EXPECT_EQ(listed.at(top.Append(folder).GetText()).attributes, nexal::kIoFolder) << folder;
  EXPECT_EQ(listed.at(top.Append("..").GetText()).name, "..");

  const Url up = top.Append("..");
  EXPECT_EQ(List(up).size(), 1u);
  Url parent;
  ASSERT_TRUE(up.GetParent(&parent));
  EXPECT_EQ(parent.GetText(), top.GetText());
  std::string error;
  const std::pair<Url, const char*> kReads[] = {
      {up.Append("x.txt"), "up"},
      {Url::Parse(top.GetText() + "../x.txt"), "up"},
      {top.Append("a").Append("..").Append("y.txt"), "side"},
      {top.Append(".").Append("z.txt"), "here"},
      {top.Append("z.txt"), "plain"},
  };
  for (const auto& [url, content] : kReads) EXPECT_EQ(ReadAll(url, &error), content) << url.GetText();
  EXPECT_EQ(error, "");
}

TEST_F(CoreIo, StreamsTellLengthAndAvailableAndFailShortReadsExactly) {
  const fs::path file = scratch_.write("ten.bin", "0123456789");
  nexal::InputStream stream;
  ASSERT_FALSE(Url::FromPath(file.string()).OpenInput(&stream));
  int64_t length = 0, available = 0;
  EXPECT_FALSE(stream.GetLength(&length));
  EXPECT_EQ(length, 10);
  char bytes[16] = {};
  EXPECT_FALSE(stream.Read(bytes, 4));
  EXPECT_FALSE(stream.GetAvailable(&available));
  EXPECT_EQ(available, 6);
  const nexal::Error error = stream.Read(bytes + 4, 8);
  EXPECT_EQ(error.Class(), NEXAL_ERROR_IO);
  EXPECT_STREQ(error.Message(), "The requested number of bytes could not be read (6 of 8).");
  EXPECT_EQ(std::string(bytes, 10), "0123456789");
  EXPECT_FALSE(stream.GetAvailable(&available));
  EXPECT_EQ(available, 0);

  // folders, pipes and lists are not streams; none of them makes the caller wait
  ASSERT_EQ(::mkfifo((scratch_.path() / "pipe").c_str(), 0600), 0);
  for (const Url& url : {Url::FromPath(scratch_.path().string()),
                         Url::FromPath((scratch_.path() / "pipe").string()), Url::Handlers()}) {
    const nexal::Error refused = url.OpenInput(&stream);
    EXPECT_TRUE(refused.Failed()) << url.GetText();
    EXPECT_FALSE(stream.IsOpen());
  }
}

TEST_F(CoreIo, ExifOfCameraFiles) {
  const std::array<const char*, 4> cameras[] = {
      {"Canon_40D.jpg", "Canon", "Canon EOS 40D", "2008:05:30 15:56:01"},
      {"Nikon_D70.jpg", "NIKON CORPORATION", "NIKON D70", "2008:03:15 09:52:01"}};
  for (const auto& [file, make, model, original] : cameras) {
    nexal::ExifReader reader;
    ASSERT_FALSE(nexal::ExifReader::Open(Url::FromPath((test_support::kExifData / file).string()), &reader))
        << file;
    nexal::DataDictionary metadata;
    ASSERT_FALSE(reader.GetMetadata(&metadata)) << file;
    EXPECT_EQ(metadata.Find("Image Make"), make);
    EXPECT_EQ(metadata.Find("Image Model"), model);
    EXPECT_EQ(metadata.Find("EXIF DateTimeOriginal"), original);
    EXPECT_TRUE(Contains(metadata.ToText(), std::string("Image Model: ") + model + "\n"));
  }
  // a file without Exif opens, and its metadata says there is none; one that is not there does not open
  const fs::path plain = scratch_.write("plain.jpg", "\xFF\xD8\xFF\xDB not really");
  nexal::ExifReader reader;
  ASSERT_FALSE(nexal::ExifReader::Open(Url::FromPath(plain.string()), &reader));
  nexal::DataDictionary metadata;
  const nexal::Error none = reader.GetMetadata(&metadata);
  EXPECT_STREQ(none.Message(), ("no Exif data in " + Url::FromPath(plain.string()).GetText()).c_str());
  EXPECT_TRUE(metadata.IsNull());
  EXPECT_EQ(metadata.ToText(), "null");
  EXPECT_TRUE(
      nexal::ExifReader::Open(Url::FromPath((scratch_.path() / "gone.jpg").string()), &reader).Failed());
}

}  // namespace
