// The script string commands on zorhost's services, with scripts and user played by the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "io_test_support.h"
#include "localize/localize.h"
#include "localize/script_string_file.h"
#include "scratch_folder.h"
#include "with_host.h"
#include "zor_container.h"
#include "zor_file.h"

namespace {

namespace fs = std::filesystem;
using test_support::ScratchFolder;

// A script as the test keeps it; handed to the module as an opaque item.
struct FakeScript {
  std::string identifier;
  BaseContainer data;  // not valid: the script has no data container
  bool hasData = true;
  int32_t collection = 0;
  std::vector<std::string> writes;  // the files the module asked to write the script to
};

struct FakeUser {
  std::vector<FakeScript*> collections[2];
  std::vector<std::string> messages;
  std::string folder;  // the folder chosen; empty: the user cancels
};
FakeUser* g_user = nullptr;
// the folders the host names with ids 3 and 4 in these tests
std::string g_library;

FakeScript* AsScript(const HostScriptItem* item) {
  return reinterpret_cast<FakeScript*>(const_cast<HostScriptItem*>(item));
}
HostScriptItem* AsItem(FakeScript* script) {
  return reinterpret_cast<HostScriptItem*>(script);
}

// the script after `after` in its collection, the first one when after is null
HostScriptItem* Next(int32_t collection, const FakeScript* after) {
  const auto& list = g_user->collections[collection];
  const auto at = after ? std::find(list.begin(), list.end(), after) + 1 : list.begin();
  return at < list.end() ? AsItem(*at) : nullptr;
}

HostScriptTable FakeScripts() {
  HostScriptTable table{};
  table.size = sizeof(HostScriptTable);
  table.collection_first = [](int32_t collection) {
    return collection == 0 || collection == 1 ? Next(collection, nullptr) : nullptr;
  };
  table.collection_next = [](const HostScriptItem* item) {
    return Next(AsScript(item)->collection, AsScript(item));
  };
  table.item_identifier = [](const HostScriptItem* item, HostString* out) {
    String text(AsScript(item)->identifier.c_str());
    test_support::RealHostTable()->strings->assign(out, text.Get());
  };
  table.item_data = [](HostScriptItem* item) -> HostContainer* {
    FakeScript* script = AsScript(item);
    return script->hasData ? script->data.Get() : nullptr;
  };
  table.item_write = [](HostScriptItem* item, const HostFilename* name, int32_t fileId, HostDocument* doc) {
    String path;
    test_support::RealHostTable()->files->fn_get_string(name, path.Get());
    AsScript(item)->writes.push_back(path.ToUtf8() +
                                     (fileId == ZOR_SCRIPT_FILE_ID && !doc ? "" : " (bad id)"));
    return true;
  };
  return table;
}

// zorhost's table with the scripts, the message boxes and the folder choice of the test.
class ScriptStrings : public ::testing::Test {
 protected:
  void SetUp() override {
    g_user = &user_;
    host_.scripts = FakeScripts();
    host_.gui.message_box = [](const HostString* text, int32_t) {
      String copy;
      test_support::RealHostTable()->strings->assign(copy.Get(), text);
      g_user->messages.push_back(copy.ToUtf8());
      return int32_t{1};
    };
    host_.gui.select_file = [](HostFilename* name, int32_t kind, const HostString*) {
      if (kind != ZOR_SELECT_FOLDER || g_user->folder.empty()) return false;
      String path(g_user->folder.c_str());
      test_support::RealHostTable()->files->fn_set_string(name, path.Get());
      return true;
    };
    // the library folders, so that the saved paths can be told exactly
    g_library = (scratch_.path() / "library").string();
    host_.files.folder_by_id = [](int32_t id, HostFilename* out) {
      if (id != ZOR_FOLDER_LIBRARY && id != ZOR_FOLDER_SHARED_LIBRARY) {
        return test_support::RealHostTable()->files->folder_by_id(id, out);
      }
      String path((g_library + std::to_string(id)).c_str());
      test_support::RealHostTable()->files->fn_set_string(out, path.Get());
      return true;
    };
  }
  void TearDown() override {
    for (auto& collection : user_.collections) collection.clear();
    scripts_list_.clear();
    g_user = nullptr;
  }

  // A script in a collection; texts are (language, name, help) with empty texts left out.
  using Texts = std::tuple<const char*, const char*, const char*>;
  FakeScript& Add(int32_t collection, const std::string& identifier, std::vector<Texts> texts) {
    scripts_list_.push_back(std::make_unique<FakeScript>());
    FakeScript& script = *scripts_list_.back();
    script.identifier = identifier;
    script.collection = collection;
    script.data.SetInt32(5, 42);  // another value of the script, never a language
    for (const auto& [code, name, help] : texts) {
      BaseContainer language(localize::LanguageId(code[0], code[1]));
      if (*name) language.SetString(localize::kNameId, name);
      if (*help) language.SetString(localize::kHelpId, help);
      script.data.SetContainer(localize::LanguageId(code[0], code[1]), language);
    }
    user_.collections[collection].push_back(&script);
    return script;
  }
  static std::string Text(FakeScript& script, const char* language, int32_t id) {
    return script.data.GetContainer(localize::LanguageId(language[0], language[1])).GetString(id).ToUtf8();
  }

  test_support::PatchedHost host_;
  FakeUser user_;
  std::vector<std::unique_ptr<FakeScript>> scripts_list_;
  ScratchFolder scratch_;
};

TEST_F(ScriptStrings, ExportWritesOneFilePerLanguageInOrderOfFirstAppearance) {
  Add(0, "Align", {{"US", "Align", "Aligns objects"}, {"DE", "Ausrichten", ""}});
  Add(0, "NoData", {}).hasData = false;
  Add(1, "Bake", {{"FR", "Cuire", ""}, {"US", "Bake", ""}});
  Add(1, "Align", {{"US", "Align app", ""}});  // the same identifier in the other collection

  // containers list their entries by id, so DE (0x4445) comes before US (0x5553) for the first script
  const std::vector<int32_t> languages = localize::CollectLanguages();
  ASSERT_EQ(languages, (std::vector<int32_t>{0x4445, 0x5553, 0x4652}));

  user_.folder = scratch_.path().string();
  ExportCmd command;
  ASSERT_TRUE(command.Execute(nullptr));
  EXPECT_TRUE(user_.messages.empty());
  // German: the first script's own name, its help from US; the others fall back to their US texts
  const auto file = [](const char* align, const char* bake) {
    return "Name:\"Align\" \"" + std::string(align) +
           "\"\nHelp:\"Align\" \"Aligns objects\"\nName:\"Bake\" \"" + bake +
           "\"\nName:\"Align\" \"Align app\"\n";
  };
  EXPECT_EQ(test_support::FileBytes(scratch_.path() / "script_US.TXT"), file("Align", "Bake"));
  EXPECT_EQ(test_support::FileBytes(scratch_.path() / "script_DE.TXT"), file("Ausrichten", "Bake"));
  EXPECT_EQ(test_support::FileBytes(scratch_.path() / "script_FR.TXT"), file("Align", "Cuire"));
  EXPECT_EQ(std::distance(fs::directory_iterator(scratch_.path()), fs::directory_iterator()), 3);

  // a script without US texts and without texts in a language gets an empty name there
  Add(0, "Lonely", {{"JP", "", ""}});
  ASSERT_TRUE(localize::ExportScriptStrings(Filename(scratch_.path().string().c_str())));
  EXPECT_NE(test_support::FileBytes(scratch_.path() / "script_US.TXT").find("Name:\"Lonely\" \"\"\n"),
            std::string::npos);

  // cancelled: nothing happens, the command answers false
  user_.folder.clear();
  EXPECT_FALSE(command.Execute(nullptr));
}

TEST_F(ScriptStrings, ExportTakesAtMostAHundredLanguagesAndSaysWhenItCannotWrite) {
  std::vector<Texts> many;
  std::vector<std::string> codes;
  for (int i = 0; i < 120; ++i)
    codes.push_back({static_cast<char>('A' + i / 26), static_cast<char>('a' + i % 26)});
  for (const std::string& code : codes) many.emplace_back(code.c_str(), "n", "");
  Add(0, "Many", many);
  const auto languages = localize::CollectLanguages();
  ASSERT_EQ(languages.size(), 100u);
  EXPECT_EQ(languages.front(), 'A' * 256 + 'a');
  EXPECT_EQ(languages.back(), 'D' * 256 + 'v');  // the hundredth in container order

  // a folder that does not exist: the first file cannot be opened, the export stops there
  EXPECT_TRUE(localize::ExportScriptStrings(Filename((scratch_.path() / "missing").string().c_str())));
  EXPECT_EQ(user_.messages, std::vector<std::string>{"Error writing"});
}

TEST_F(ScriptStrings, ReaderReportsFormatErrorsWithFileAndEntryIndex) {
  const std::string unknown = "Unknown identifier file script_XX.txt Line ";
  const std::string long_text(5000, 'x');
  // the file's content, help|identifier|text of the entries read before any error, and the message
  // shown (empty: read to the end)
  const std::tuple<std::string, std::vector<std::string>, std::string> kCases[] = {
      // empty lines, CR LF, blanks and tabs around the parts, a last line without a line end, a U after
      // a backslash read as the escape it stands for
      {"\r\n\nName:\"A b\"\t \"T\\U00e9xt\" \r\n\r\nHelp: \"A b\" \"\"\nName:\"Only\"",
       {"0|A b|T\xC3\xA9xt", "1|A b|", "0|Only|"},
       ""},
      // bytes that are no UTF-8 (a surrogate's UTF-8 form, a lone E9) are Latin-1; a backslash before the
      // closing quote escapes nothing
      {"Name:\"A\" \"\xED\xA0\x80 caf\xE9\"\nName:\"B\" \"back\\\"",
       {"0|A|\xC3\xAD\xC2\xA0\xC2\x80 caf\xC3\xA9", "0|B|back\\"},
       ""},
      {"\n\n\r\n", {}, ""},
      // the third entry has a letter between its parts: entries count from 0, empty lines do not count
      {"Name:\"a\" \"1\"\n\nHelp:\"a\" \"2\"\n\n\nName:\"b\" x \"3\"\nName:\"c\" \"4\"\n",
       {"0|a|1", "1|a|2"},
       unknown + "2"},
      // a keyword in the wrong case or any other start; a quote too many leaves a letter after the fourth
      {"name:\"a\" \"1\"\n", {}, unknown + "0"},
      {"Title:\"a\" \"1\"\n", {}, unknown + "0"},
      {"Name:\"a\" \"say \"hi\"\"\n", {}, unknown + "0"},
      // a keyword alone is an entry with nothing in it; a line far past 2047 bytes reads whole
      {"Help:  \nName:\"L\" \"" + long_text + "\"\n", {"1||", "0|L|" + long_text}, ""},
  };
  for (const auto& [content, expected, message] : kCases) {
    SCOPED_TRACE(content.substr(0, 60));
    user_.messages.clear();
    BaseFile file;
    EXPECT_TRUE(
        file.Open(Filename(scratch_.write("script_XX.txt", content).string().c_str()), ZOR_FILE_READ));
    String identifier, text;
    int32_t help = 0, error = 0, index = 0;
    std::vector<std::string> entries;
    while (localize::ReadScriptStringEntry(file, "script_XX.txt", identifier, text, help, index, error)) {
      entries.push_back(std::to_string(help) + "|" + identifier.ToUtf8() + "|" + text.ToUtf8());
      ++index;
    }
    EXPECT_EQ(error, message.empty() ? 0 : 1);
    EXPECT_EQ(entries, expected);
    EXPECT_EQ(user_.messages,
              message.empty() ? std::vector<std::string>{} : std::vector<std::string>{message});
  }
}

TEST_F(ScriptStrings, ImportAssignsEveryMatchingScriptAndSavesAllOfThem) {
  FakeScript& user_align = Add(0, "Align", {{"US", "Align", "Aligns"}});
  FakeScript& untouched = Add(0, "Other", {});
  FakeScript& no_data = Add(0, "Bare", {});
  no_data.hasData = false;
  FakeScript& app_align = Add(1, "Align", {});
  FakeScript& escaping = Add(1, "../Escaping", {});
  FakeScript& escaping_back = Add(1, "..\\Back", {});
  scratch_.write("in/script_DE.txt", "Name:\"Align\" \"Ausrichten\"\nHelp:\"Align\" \"Richtet aus\"\n");
  scratch_.write("in/script_fr.TXT", "\n");
  // names of another form are passed over, whatever they hold
  for (const char* other : {"script_DEU.txt", "script_DE.txt.bak", "scripts_DE.txt", "script_DE.tx"})
    scratch_.write(std::string("in/") + other, "garbage");
  fs::create_directories(scratch_.path() / "in" / "script_IT.txt" / "sub");  // a folder: cannot be opened

  user_.folder = (scratch_.path() / "in").string();
  ImportCmd command;
  ASSERT_TRUE(command.Execute(nullptr));
  // two languages opened, two entries each given to both scripts named Align
  EXPECT_EQ(user_.messages, std::vector<std::string>{"2 Languages and 4 Strings updated!"});
  for (FakeScript* script : {&user_align, &app_align}) {
    EXPECT_EQ(Text(*script, "DE", localize::kNameId), "Ausrichten");
    EXPECT_EQ(Text(*script, "DE", localize::kHelpId), "Richtet aus");
  }
  EXPECT_EQ(Text(user_align, "US", localize::kNameId), "Align");
  EXPECT_EQ(user_align.data.GetInt32(5), 42);
  // every script is saved, also those without new texts; the ones without data too
  for (FakeScript* script : {&user_align, &untouched, &no_data}) {
    EXPECT_EQ(script->writes,
              std::vector<std::string>{g_library + "3/scripts/" + script->identifier + ".csc"});
  }
  for (FakeScript* script : {&escaping, &escaping_back})
    EXPECT_TRUE(script->writes.empty()) << "saved outside its script folder: " << script->writes[0];
  ASSERT_EQ(app_align.writes.size(), 1u);
  EXPECT_EQ(
      app_align.writes[0],
      (StartupFolder() + Filename("resource/modules/zorplugin/scripts/Align.csc")).GetString().ToUtf8());
}

TEST_F(ScriptStrings, ImportStopsWithoutSavingOnAnUnknownScriptOrAFormatError) {
  FakeScript& align = Add(0, "Align", {});
  Add(1, "Bare", {}).hasData = false;
  user_.folder = (scratch_.path() / "in").string();
  // the file's content, the command's answer and the message shown
  const std::tuple<const char*, bool, const char*> kCases[] = {
      {"Name:\"Align\" \"Ausrichten\"\nName:\"Gone\" \"Weg\"\n", false,
       "Couldn't assign strings for script Gone"},
      // a script without data container cannot take texts either
      {"Name:\"Bare\" \"Nackt\"\n", false, "Couldn't assign strings for script Bare"},
      {"Name:\"Align\" \"Ausrichten\"\n\nName:Align \"x\"\n", false,
       "Unknown identifier file script_DE.txt Line 1"},
      // files that hold only empty lines change nothing, though they count as opened
      {"\n\r\n", true, "No changes!"},
  };
  for (const auto& [content, answer, message] : kCases) {
    SCOPED_TRACE(content);
    user_.messages.clear();
    scratch_.write("in/script_DE.txt", content);
    EXPECT_EQ(ImportCmd().Execute(nullptr), answer);
    EXPECT_EQ(user_.messages, std::vector<std::string>{message});
    EXPECT_TRUE(align.writes.empty());
  }
}

TEST_F(ScriptStrings, ExportedTextsReadBackUnchanged) {
  const std::vector<std::string> texts = {"caf\xC3\xA9 \xE2\x82\xAC \xE6\x97\xA5 \xF0\x9F\x98\x80 tab\there",
                                          "C:\\Users\\x \\q two\nlines\r\n back\\slash\\"};
  for (size_t i = 0; i < texts.size(); ++i)
    Add(static_cast<int32_t>(i % 2), "S" + std::to_string(i), {{"US", texts[i].c_str(), texts[i].c_str()}});
  const Filename folder(scratch_.path().string().c_str());
  ASSERT_TRUE(localize::ExportScriptStrings(folder));
  // every text wiped, then imported from the export
  for (auto& script : scripts_list_) script->data.SetContainer(localize::kUsLanguageId, BaseContainer());
  ASSERT_TRUE(localize::ImportScriptStrings(folder));
  EXPECT_EQ(user_.messages.back(),
            "1 Languages and " + std::to_string(2 * texts.size()) + " Strings updated!");
  for (size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(Text(*scripts_list_[i], "US", localize::kNameId), texts[i]);
    EXPECT_EQ(Text(*scripts_list_[i], "US", localize::kHelpId), texts[i]);
  }
}

TEST_F(ScriptStrings, FileNamesAndFolders) {
  EXPECT_EQ(localize::ScriptStringFileName(0x44E9).ToUtf8(), "script_D\xC3\xA9.TXT");
  // the name's letters are compared without case, the language code is taken as written; 0: no such name
  const std::pair<const char*, int32_t> kNames[] = {{"script_US.txt", localize::kUsLanguageId},
                                                    {"SCRIPT_us.Txt", localize::LanguageId('u', 's')},
                                                    {"script_D\xC3\xA9.txt", 0x10000 + 0x44E9}};
  for (const auto& [name, expected] : kNames) {
    int32_t id = 0;
    EXPECT_TRUE(localize::IsScriptStringFileName(Filename(name), id)) << name;
    EXPECT_EQ(id, expected) << name;
  }
  for (const char* name : {"script_USA.txt", "script_U.txt", "script_US.txt2", "scrypt_US.txt",
                           "script_US_txt", "script_\xE2\x82\xAC\x41.txt"}) {
    int32_t id = 0;
    EXPECT_FALSE(localize::IsScriptStringFileName(Filename(name), id)) << name;
  }
  EXPECT_EQ(localize::ScriptFolder(2).GetString().ToUtf8(), g_library + "4/scripts");
  EXPECT_TRUE(localize::ScriptFolder(3).IsEmpty());
  EXPECT_TRUE(localize::ScriptFolder(-1).IsEmpty());
}

}  // namespace
