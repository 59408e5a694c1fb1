// The translators' commands in a real zorhost: "Export Script Strings", a translator's edit of the files,
// "Import Script Strings" and a restart that shows the new texts; and the Translator Locator's
// "strings.txt" on drive C:.

#include "e2e/run_folders.h"

namespace {

// the result of the command's execute, as the transcript records it
json CommandResult(const e2e::HostOutcome& run) {
  const std::vector<json> commands = run.Events("command");
  return commands.empty() ? json() : commands[0].value("result", json());
}

class TranslatorTools : public e2e::RunFoldersTest {
 protected:
  TranslatorTools() : RunFoldersTest("translator_e2e_") {}

  void SetUp() override {
    RunFoldersTest::SetUp();
    user_scripts_ = root_ / "prefs" / "scripts";
    app_scripts_ = root_ / "startup" / "resource" / "modules" / "zorplugin" / "scripts";
    fs::create_directories(user_scripts_);
    fs::create_directories(app_scripts_);
    drive_ = root_ / "drive_c";
    fs::create_directories(drive_);
  }

  // One command run; the folder step answers the folder choice (null: the user cancels).
  e2e::HostOutcome Run(const std::string& command, const json& folder) {
    return e2e::RunHost(root_, {"--drive", "C=" + drive_.string(), "--command", command},
                        json::array({{{"folder", folder}}}));
  }

  void WriteScript(const fs::path& folder, const std::string& identifier, const json& container) {
    json script = {{"identifier", identifier}, {"container", container}, {"source", "main(doc) { }"}};
    std::ofstream(folder / (identifier + ".csc")) << script.dump(2);
  }
  json ScriptContainer(const fs::path& folder, const std::string& identifier) {
    return json::parse(e2e::ReadFile(folder / (identifier + ".csc"))).at("container");
  }

  fs::path user_scripts_;
  fs::path app_scripts_;
  fs::path drive_;
};

TEST_F(TranslatorTools, ExportEditImportAndRestartCarryTheTranslatorsTexts) {
  WriteScript(user_scripts_, "Align Objects",
              {{"87379", {{"1", "Align Objects"}, {"2", "Aligns the selected objects"}}}});
  WriteScript(app_scripts_, "Bake Texture", {{"87379", {{"1", "Bake Texture"}}}});
  const fs::path out = root_ / "out";
  fs::create_directories(out);

  // the translator's files: German texts beyond ASCII and beyond the basic plane, one escaped, in CR LF
  // lines, and a changed US text
  std::ofstream(out / "script_DE.TXT")
      << "Name:\"Align Objects\" \"Objekte ausrichten \\u00fc\"\r\n"
         "Help:\"Align Objects\"\t\"Richtet die gew\xC3\xA4hlten Objekte aus \xF0\x9F\x98\x80\"\r\n"
         "\r\n"
         "Name:\"Bake Texture\" \"Textur backen\"\r\n";
  std::ofstream(out / "script_US.TXT") << "Name:\"Bake Texture\" \"Bake the Texture\"\n";
  e2e::HostOutcome run = Run("Import Script Strings", out.string());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.Texts("message"), std::vector<std::string>{"2 Languages and 4 Strings updated!"}) << run.err;
  EXPECT_EQ(CommandResult(run), json(true));

  // a new host loads the saved scripts: the export now carries the translated texts, 7-bit with escapes
  fs::remove(out / "script_DE.TXT");
  run = Run("Export Script Strings", out.string());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.Texts("message").empty()) << run.err;
  EXPECT_EQ(e2e::ReadFile(out / "script_DE.TXT"),
            "Name:\"Align Objects\" \"Objekte ausrichten \\u00FC\"\n"
            "Help:\"Align Objects\" \"Richtet die gew\\u00E4hlten Objekte aus \\U0001F600\"\n"
            "Name:\"Bake Texture\" \"Textur backen\"\n");
  const json align = ScriptContainer(user_scripts_, "Align Objects");
  EXPECT_EQ(align["83013"]["1"], "Objekte ausrichten \xC3\xBC");
  EXPECT_EQ(align["83013"]["2"], "Richtet die gew\xC3\xA4hlten Objekte aus \xF0\x9F\x98\x80");
  EXPECT_EQ(ScriptContainer(app_scripts_, "Bake Texture")["83013"]["1"], "Textur backen");
  EXPECT_EQ(ScriptContainer(app_scripts_, "Bake Texture")["87379"]["1"], "Bake the Texture");
}

TEST_F(TranslatorTools, TranslatorLocatorListsTheTreeIntoStringsTxtOnDriveC) {
  // (which literals are listed, and how, is the scanner's unit tests' matter)
  const fs::path src = root_ / "src";
  fs::create_directories(src / "ui");
  std::ofstream(src / "ui" / "main.cpp") << "\tShow(\"Open File\");\n";
  e2e::HostOutcome run = Run("12432341", src.string());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(CommandResult(run), json(true));
  EXPECT_EQ(e2e::ReadFile(drive_ / "strings.txt"), "open file" + std::string(21, ' ') + "Show(\"Open File\n");

  // cancelled: the list is rewritten empty
  run = Run("#$63Translator Locator...", json());
  EXPECT_EQ(CommandResult(run), json(true));
  EXPECT_EQ(e2e::ReadFile(drive_ / "strings.txt"), "");

  // the list cannot be written: the command fails, nothing is scanned
  fs::remove_all(drive_);
  std::ofstream(drive_) << "a file where the drive's folder should be";
  run = Run("12432341", src.string());
  EXPECT_EQ(CommandResult(run), json(false));
}

}  // namespace
