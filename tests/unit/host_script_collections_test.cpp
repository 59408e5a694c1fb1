// The host's script collections through the scripts family, as a module sees them: .csc files loaded
// from the two folders, bad files named and skipped, data containers changed in place and written
// back so that the next load sees them; and the files family's name comparison and library folders.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/host_options.h"
#include "app/host_table.h"
#include "containers/container_impl.h"
#include "host_test_support.h"
#include "scratch_folder.h"
#include "scripts/script_collections.h"

namespace fs = std::filesystem;
using namespace test_support;

namespace {

const HostScriptTable& Scripts() {
  return *zorhost::scripts_table();
}

// The host's folders pointed into a scratch folder for one test.
struct ScriptFolders {
  explicit ScriptFolders(const fs::path& root)
      : prefs(zorhost::options().prefs_dir, root / "prefs"),
        startup(zorhost::options().startup_dir, root / "startup") {}
  Scoped<fs::path> prefs, startup;
};

std::string identifier(const HostScriptItem* item) {
  test_support::HostText text;
  Scripts().item_identifier(item, text);
  return text.Utf8();
}

// The identifiers of a collection in the host's order, with the ids of each data container's entries.
std::vector<std::string> listing(int32_t collection) {
  std::vector<std::string> out;
  for (HostScriptItem* item = Scripts().collection_first(collection); item;
       item = Scripts().collection_next(item)) {
    std::string line = identifier(item);
    HostContainer* data = Scripts().item_data(item);
    if (!data) line += " (no data)";
    for (int32_t i = 0; data && i < Containers().count(data); ++i)
      line += " " + std::to_string(Containers().id_at(data, i));
    out.push_back(line);
  }
  return out;
}

// A load of a collection from a folder the host has not loaded it from, with what it said on stderr.
std::vector<std::string> load(int32_t collection, std::string* said) {
  std::vector<std::string> items;
  *said = StderrOf([&] { items = listing(collection); });
  return items;
}

}  // namespace

TEST(HostScripts, CollectionsAreLoadedFromCscFilesAndBadFilesAreNamedAndSkipped) {
  ScratchFolder root;
  ScriptFolders folders(root.path());
  const std::string user = "prefs/scripts/";
  root.write(user + "b_align.csc", R"({"identifier": "Align Objects",
    "container": {"87379": {"1": "Align Objects", "2": "Aligns the selected objects"},
                  "83013": {"1": "Objekte ausrichten"}, "5": 7},
    "source": "main(doc) { }"})");
  root.write(user + "a_plain.CSC", R"({"identifier": "Plain", "source": ""})");
  root.write(user + "c_null.csc", R"({"identifier": "Null Data", "container": null})");
  root.write(user + "notes.txt", "not a script");
  fs::create_directories(root.path() / user / "folder.csc");
  const struct {
    const char* file;
    std::string text, problem;
  } bad[] = {
      {"e_deep.csc",
       R"({"identifier": "Deep", "container": )" + std::string(200, '[') + std::string(200, ']') + "}",
       "line 1, column "},
      {"f_no_identifier.csc", R"({"container": {}})", "the script has no \"identifier\""},
      {"g_empty_identifier.csc", R"({"identifier": ""})", "\"identifier\" must be"},
      {"h_typo.csc", R"({"identifier": "Typo", "sources": ""})", "unknown field \"sources\""},
      {"j_bad_value.csc", R"({"identifier": "Bad Value", "container": {"87379": {"1": [1]}}})",
       "container.87379.1: "},
      {"k_array.csc", R"(["identifier", "Array"])", "a script file must be a JSON object"},
      {"l_source.csc", R"({"identifier": "Source", "source": 3})", "\"source\" must be a text"},
  };
  for (const auto& b : bad) root.write(user + b.file, b.text);
  root.write(user + "m_twice.csc", R"({"identifier": "Plain", "container": {}})");
  root.write("startup/resource/modules/zorplugin/scripts/app.csc",
             R"({"identifier": "Align Objects", "container": {"87379": {"1": "Align, app"}}})");

  std::string said;
  EXPECT_EQ(load(ZOR_SCRIPT_COLLECTION_USER, &said),
            (std::vector<std::string>{"Plain (no data)", "Align Objects 5 83013 87379", "Null Data (no data)",
                                      "Plain"}));
  for (const auto& b : bad)
    EXPECT_TRUE(Contains(
        said, "zorhost: warning: script file " + (root.path() / user / b.file).string() + ": " + b.problem));
  EXPECT_TRUE(Contains(said, "nested more than 100 levels"));
  EXPECT_TRUE(Contains(said, "a_plain.CSC and " + (root.path() / user / "m_twice.csc").string() +
                                 " both hold the script \"Plain\""))
      << said;
  EXPECT_FALSE(Contains(said, "notes.txt") || Contains(said, "folder.csc")) << said;

  // loaded once: asking again says nothing more and gives the same items
  const HostScriptItem* first = Scripts().collection_first(ZOR_SCRIPT_COLLECTION_USER);
  EXPECT_EQ(load(ZOR_SCRIPT_COLLECTION_USER, &said).size(), 4u);
  EXPECT_EQ(said, "");
  EXPECT_EQ(Scripts().collection_first(ZOR_SCRIPT_COLLECTION_USER), first);

  EXPECT_EQ(load(ZOR_SCRIPT_COLLECTION_APPLICATION, &said),
            (std::vector<std::string>{"Align Objects 87379"}));
  EXPECT_EQ(said, "");
  EXPECT_EQ(Scripts().collection_first(2), nullptr);
  EXPECT_EQ(Scripts().collection_first(-1), nullptr);
  EXPECT_EQ(Scripts().collection_next(nullptr), nullptr);

  // a fresh prefs folder without a scripts folder is an empty collection, and not a fault
  ScratchFolder empty;
  ScriptFolders none(empty.path());
  EXPECT_TRUE(load(ZOR_SCRIPT_COLLECTION_USER, &said).empty());
  EXPECT_EQ(said, "");
  // the items of the earlier load stay as they were for whoever holds them
  EXPECT_EQ(identifier(first), "Plain");
  EXPECT_EQ(identifier(Scripts().collection_next(first)), "Align Objects");
}

TEST(HostScripts, AnItemWrittenBackIsWhatTheNextLoadSees) {
  ScratchFolder root;
  ScriptFolders folders(root.path());
  root.write("prefs/scripts/Align Objects.csc",
             R"({"identifier": "Align Objects", "container": {"87379": {"1": "Align Objects"}, "3": 1.5,
                 "4": {"time": [1, 25]}, "6": {"file": "C:\\tex\\a.tif"}, "8": {"int64": "-9000000000"}},
                 "source": "main() { print(\"é\"); }"})");

  HostScriptItem* item = Scripts().collection_first(ZOR_SCRIPT_COLLECTION_USER);
  ASSERT_NE(item, nullptr);
  HostContainer* data = Scripts().item_data(item);
  ASSERT_NE(data, nullptr);
  // what the import does: a new language sub-container stored in the item's own container
  HostContainer german(83013);
  german.values[1] = zorhost::StringValue{U"Objekte \"ausrichten\" \\ \u65e5\u672c \U0001F600\nzweite Zeile"};
  Containers().set_container(data, 83013, &german);

  const std::string folder = (root.path() / "prefs" / "scripts").string();
  EXPECT_TRUE(
      Scripts().item_write(item, HostName(folder + "/Align Objects.csc"), ZOR_SCRIPT_FILE_ID, nullptr));
  // a wrong file identifier and a place that cannot be written are refused with their reason
  const auto refused = [&](const fs::path& path, int32_t file_id) {
    return StderrOf([&] { EXPECT_FALSE(Scripts().item_write(item, HostName(path), file_id, nullptr)); });
  };
  EXPECT_TRUE(Contains(refused(folder + "/other.csc", ZOR_FOUR_BYTE('T', 'E', 'X', 'T')),
                       "other.csc: a script is written with the file identifier 'scrp'"));
  EXPECT_FALSE(fs::exists(folder + "/other.csc"));
  // no folder is made for a script: the next load would not look there
  EXPECT_TRUE(Contains(refused(folder + "/Tools/Align.csc", ZOR_SCRIPT_FILE_ID),
                       "zorhost: cannot write " + folder + "/Tools/Align.csc"));
  EXPECT_FALSE(fs::exists(folder + "/Tools"));

  // the next start of the host loads the file as written
  HostScriptItem again;
  std::string error;
  ASSERT_TRUE(zorhost::read_script_file(folder + "/Align Objects.csc", &again, &error)) << error;
  ASSERT_NE(again.data, nullptr);
  EXPECT_TRUE(again.data->values.count(83013));
  EXPECT_EQ(zorhost::script_file_text(again), zorhost::script_file_text(*item)) << "every value survives";

  // a text that is not valid Unicode (a lone surrogate) does not stop the write
  HostScriptItem odd;
  odd.identifier = U"Odd \xD800";
  ASSERT_TRUE(zorhost::write_script_file(odd, root.path() / "odd.csc", &error)) << error;
  ASSERT_TRUE(zorhost::read_script_file(root.path() / "odd.csc", &again, &error)) << error;
  EXPECT_EQ(again.identifier.substr(0, 4), U"Odd ");

  // an item without a data container is written without one and read back so
  HostScriptItem bare;
  bare.identifier = U"Bare";
  ASSERT_TRUE(zorhost::write_script_file(bare, root.path() / "bare.csc", &error)) << error;
  ASSERT_TRUE(zorhost::read_script_file(root.path() / "bare.csc", &again, &error)) << error;
  EXPECT_EQ(again.data, nullptr);
  EXPECT_EQ(again.identifier, U"Bare");
}

TEST(HostFiles, NamesCompareWithoutCaseOfAsciiLettersAndScriptFoldersHaveIds) {
  const auto compare = [](const char* a, const char* b) {
    return Files().fn_compare(HostName(a), HostName(b));
  };
  EXPECT_EQ(compare("script_US.TXT", "script_us.txt"), 0);
  EXPECT_LT(compare("script_", "script_US.TXT"), 0);
  EXPECT_GT(compare("b", "A"), 0) << "letters order without case";
  EXPECT_GT(compare("Z", "_"), 0) << "and as lower-case letters among the other characters";
  EXPECT_NE(compare("\xc3\xa9", "\xc3\x89"), 0) << "only ASCII letters ignore case";
  EXPECT_LT(compare("z", "\xc3\xa9"), 0);
  EXPECT_EQ(Files().fn_compare(nullptr, nullptr), 0);
  EXPECT_GT(Files().fn_compare(HostName("a"), nullptr), 0);

  ScratchFolder root;
  ScriptFolders folders(root.path());
  HostName folder;
  ASSERT_TRUE(Files().folder_by_id(ZOR_FOLDER_LIBRARY, folder));
  EXPECT_EQ(folder.Path() + "/scripts",
            zorhost::script_collection_folder(ZOR_SCRIPT_COLLECTION_USER).string());
  ASSERT_TRUE(Files().folder_by_id(ZOR_FOLDER_SHARED_LIBRARY, folder));
  EXPECT_EQ(folder.Path(), (root.path() / "startup" / "library").string());
  EXPECT_FALSE(Files().folder_by_id(6, folder));

  // a file written on drive C: lands in the prefs folder's drive_c, which is made for it like a
  // drive that is always there; reading does not make it
  auto drives = zorhost::options().drives;
  drives.erase('C');
  Scoped saved_drives(zorhost::options().drives, drives);
  HostName strings("C:\\strings.txt");
  HostFile* file = Files().file_alloc();
  EXPECT_FALSE(Files().file_open(file, strings, ZOR_FILE_READ, 0, 0, 0, 0));
  EXPECT_FALSE(fs::exists(root.path() / "prefs" / "drive_c"));
  ASSERT_TRUE(Files().file_open(file, strings, ZOR_FILE_WRITE, 0, 0, 0, 0));
  EXPECT_TRUE(Files().file_write(file, "x\n", 2));
  EXPECT_TRUE(Files().file_close(file));
  Files().file_free(file);
  EXPECT_TRUE(fs::is_regular_file(root.path() / "prefs" / "drive_c" / "strings.txt"));
}
