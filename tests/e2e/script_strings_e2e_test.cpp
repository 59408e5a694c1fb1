// The translators' commands in a real zorhost: "Export Script Strings", a translator's edit of the files,
// "Import Script Strings" and a restart that shows the new texts; the import's error paths; and the
// Translator Locator's "strings.txt" on drive C:.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "run_folders.h"
#include "text_files.h"

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using e2e::Lines;
using e2e::ReadFile;

std::string Quote(const std::string& text) {
  return "'" + text + "'";
}

struct HostRun {
  int exitCode = -1;
  std::string err;
  std::vector<json> transcript;

  std::vector<std::string> Messages() const {
    std::vector<std::string> texts;
    for (const json& e : transcript)
      if (e.value("event", "") == "message") texts.push_back(e.value("text", ""));
    return texts;
  }
  // the result of the command's execute, as the transcript records it
  json CommandResult() const {
    for (const json& e : transcript)
      if (e.value("event", "") == "command") return e.value("result", json());
    return json();
  }
};

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
  HostRun Run(const std::string& command, const json& folder) {
    static int counter = 0;
    const std::string tag = std::to_string(++counter);
    const fs::path transcript = root_ / ("transcript" + tag + ".jsonl");
    const fs::path script = root_ / ("ui" + tag + ".json");
    std::ofstream(script) << json::array({{{"folder", folder}}}).dump();
    const fs::path err = root_ / ("err" + tag + ".txt");
    const std::string line =
        "timeout 300 " + Quote(ZORHOST_PATH) + " --startup " + Quote((root_ / "startup").string()) +
        " --prefs " + Quote((root_ / "prefs").string()) + " --module " + Quote(RELKIT_MODULE_PATH) +
        " --drive " + Quote("C=" + drive_.string()) + " --set g_nexalRelkitTools=true --transcript " +
        Quote(transcript.string()) + " --ui " + Quote(script.string()) + " --command " + Quote(command) +
        " > /dev/null 2> " + Quote(err.string());
    HostRun run;
    const int status = std::system(line.c_str());
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = ReadFile(err);
    for (const std::string& l : Lines(ReadFile(transcript)))
      if (!l.empty()) run.transcript.push_back(json::parse(l));
    return run;
  }

  void WriteScript(const fs::path& folder, const std::string& identifier, const json& container) {
    json script = {{"identifier", identifier}, {"container", container}, {"source", "main(doc) { }"}};
    std::ofstream(folder / (identifier + ".csc")) << script.dump(2);
  }
  json ScriptContainer(const fs::path& folder, const std::string& identifier) {
    return json::parse(ReadFile(folder / (identifier + ".csc"))).at("container");
  }

  fs::path user_scripts_;
  fs::path app_scripts_;
  fs::path drive_;
};

TEST_F(TranslatorTools, ExportEditImportAndRestartCarryTheTranslatorsTexts) {
  WriteScript(user_scripts_, "Align Objects",
              {{"87379", {{"1", "Align Objects"}, {"2", "Aligns the selected objects"}}}, {"7", 3}});
  WriteScript(app_scripts_, "Bake Texture", {{"87379", {{"1", "Bake Texture"}}}});
  const fs::path out = root_ / "out";
  fs::create_directories(out);

  HostRun run = Run("Export Script Strings", out.string());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(run.Messages().empty()) << run.err;
  const std::string us = ReadFile(out / "script_US.TXT");
  EXPECT_EQ(
      us,
      "Name:\"Align Objects\" \"Align Objects\"\nHelp:\"Align Objects\" \"Aligns the selected objects\"\n"
      "Name:\"Bake Texture\" \"Bake Texture\"\n");

  // the translator: a German file made from the US one, with texts beyond ASCII and beyond the basic
  // plane, written back in the escaped form, and a changed US text in CR LF lines
  std::ofstream(out / "script_DE.TXT")
      << "Name:\"Align Objects\" \"Objekte ausrichten \\u00fc\"\r\n"
         "Help:\"Align Objects\"\t\"Richtet die gew\xC3\xA4hlten Objekte aus \xF0\x9F\x98\x80\"\r\n"
         "\r\n"
         "Name:\"Bake Texture\" \"Textur backen\"\r\n";
  std::ofstream(out / "script_US.TXT") << "Name:\"Bake Texture\" \"Bake the Texture\"\n";
  run = Run("Import Script Strings", out.string());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.Messages(), std::vector<std::string>{"2 Languages and 4 Strings updated!"}) << run.err;
  EXPECT_EQ(run.CommandResult(), json(true));

  // a new host loads the saved scripts: the export now carries the translated texts
  fs::remove(out / "script_DE.TXT");
  fs::remove(out / "script_US.TXT");
  run = Run("Export Script Strings", out.string());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(
      ReadFile(out / "script_US.TXT"),
      "Name:\"Align Objects\" \"Align Objects\"\nHelp:\"Align Objects\" \"Aligns the selected objects\"\n"
      "Name:\"Bake Texture\" \"Bake the Texture\"\n");
  // written 7-bit with escapes, one name and one help entry per script
  const std::string de = ReadFile(out / "script_DE.TXT");
  EXPECT_TRUE(std::all_of(de.begin(), de.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
      << de;
  const std::vector<std::string> de_lines = Lines(de);
  ASSERT_EQ(de_lines.size(), 3u) << de;
  EXPECT_TRUE(de_lines[0].starts_with("Name:\"Align Objects\" \"Objekte ausrichten \\")) << de;
  EXPECT_TRUE(de_lines[1].starts_with("Help:\"Align Objects\" \"Richtet die gew\\")) << de;
  EXPECT_EQ(de_lines[2], "Name:\"Bake Texture\" \"Textur backen\"");
  const json align = ScriptContainer(user_scripts_, "Align Objects");
  EXPECT_EQ(align["83013"]["1"], "Objekte ausrichten \xC3\xBC");
  EXPECT_EQ(align["83013"]["2"], "Richtet die gew\xC3\xA4hlten Objekte aus \xF0\x9F\x98\x80");
  EXPECT_EQ(align["7"], 3) << "the script's other values stay";
  EXPECT_EQ(ScriptContainer(app_scripts_, "Bake Texture")["83013"]["1"], "Textur backen");
}

TEST_F(TranslatorTools, ImportErrorsStopTheRunAndSaveNothing) {
  WriteScript(user_scripts_, "Align", {{"87379", {{"1", "Align"}}}});
  const std::string before = ReadFile(user_scripts_ / "Align.csc");
  const fs::path in = root_ / "in";
  fs::create_directories(in);

  std::ofstream(in / "script_DE.txt") << "Name:\"Align\" \"Ausrichten\"\nName:\"Nobody\" \"Niemand\"\n";
  HostRun run = Run("Import Script Strings", in.string());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.Messages(), std::vector<std::string>{"Couldn't assign strings for script Nobody"});
  EXPECT_EQ(run.CommandResult(), json(false));
  EXPECT_EQ(ReadFile(user_scripts_ / "Align.csc"), before);

  std::ofstream(in / "script_DE.txt") << "Name:\"Align\" \"Ausrichten\"\n\nHelp:\"Align\" oops \"x\"\n";
  run = Run("Import Script Strings", in.string());
  EXPECT_EQ(run.Messages(), std::vector<std::string>{"Unknown identifier file script_DE.txt Line 1"});
  EXPECT_EQ(ReadFile(user_scripts_ / "Align.csc"), before);

  run = Run("Import Script Strings", json());
  EXPECT_TRUE(run.Messages().empty());
  EXPECT_EQ(run.CommandResult(), json(false));
}

TEST_F(TranslatorTools, TranslatorLocatorListsTheTreeIntoStringsTxtOnDriveC) {
  const fs::path src = root_ / "src";
  fs::create_directories(src / "ui");
  std::ofstream(src / "main.cpp") << "#include \"ui/dialog.h\"\n"
                                     "int main() {\n"
                                     "\tShow(\"Open File\", \"%d items\"); // \"comment\"\n"
                                     "\tLog(\"42\");\n"
                                     "}\n";
  std::ofstream(src / "ui" / "dialog.h") << "#define TITLE \"Dialog \\x41\"\n#define NAME \"Save As...\"\n";
  std::ofstream(src / "notes.txt") << "\"Not a source\"\n";

  HostRun run = Run("12432341", src.string());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.CommandResult(), json(true));
  std::vector<std::string> lines = Lines(ReadFile(drive_ / "strings.txt"));
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "%d items" + std::string(22, ' ') + "Show(\"Open File, \"%d items",
                       "open file" + std::string(21, ' ') + "Show(\"Open File",
                       "save as..." + std::string(20, ' ') + "#define NAME \"Save As...",
                   }));

  // cancelled: the list is rewritten empty
  run = Run("#$63Translator Locator...", json());
  EXPECT_EQ(run.CommandResult(), json(true));
  EXPECT_EQ(ReadFile(drive_ / "strings.txt"), "");

  // the list cannot be written: the command fails, nothing is scanned
  fs::remove_all(drive_);
  std::ofstream(drive_) << "a file where the drive's folder should be";
  run = Run("12432341", src.string());
  EXPECT_EQ(run.CommandResult(), json(false));
}

}  // namespace
