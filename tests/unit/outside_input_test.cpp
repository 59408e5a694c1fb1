// Hostile files from outside the host: nesting that would exhaust the stack, numbers beyond a double,
// files that are folders or empty, stored settings that cannot be read. Every reader refuses them with
// the file's name and the place, and nothing crashes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/host_options.h"
#include "containers/container_json.h"
#include "containers/json_input.h"
#include "containers/settings_store.h"
#include "documents/scene_document.h"
#include "gui/ui_script.h"
#include "scene_test_support.h"

namespace {

using test_support::Contains;

using scene_test::ScratchFolder;
using zorhost::JsonInputError;
using zorhost::kMaxJsonDepth;

std::string nested_arrays(int depth, const std::string& inside = "1") {
  return std::string(depth, '[') + inside + std::string(depth, ']');
}

// {"1": {"1": ... {"1": 1} ... }}: what a container nests as
std::string nested_objects(int depth) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += "{\"1\": ";
  return text + "1" + std::string(depth, '}');
}

TEST(OutsideJson, NestingIsLimitedInEveryReader) {
  nlohmann::json parsed;
  JsonInputError error;
  EXPECT_TRUE(zorhost::parse_json_input(nested_arrays(kMaxJsonDepth), &parsed, &error)) << error.text();

  // one level more is refused at the bracket that opens it, also after a line break
  EXPECT_FALSE(zorhost::parse_json_input("[\n" + nested_arrays(kMaxJsonDepth), &parsed, &error));
  EXPECT_EQ(error.line, 2u);
  EXPECT_EQ(error.column, static_cast<size_t>(kMaxJsonDepth));
  EXPECT_TRUE(Contains(error.text(), "nested more than 100 levels")) << error.text();

  // brackets inside texts, escaped quotes included, are not nesting
  const std::string in_text = "[\"\\\"" + std::string(5000, '[') + "\", {\"k\": \"{{{\"}]";
  EXPECT_TRUE(zorhost::parse_json_input(in_text, &parsed, &error)) << error.text();
  EXPECT_EQ(parsed[0].get<std::string>().size(), 5001u);

  // a syntax error before the deep part is reported as such, with its own place
  EXPECT_FALSE(zorhost::parse_json_input("[1,,\n" + nested_arrays(500), &parsed, &error));
  EXPECT_EQ(error.line, 1u);
  EXPECT_EQ(error.column, 4u);
  EXPECT_TRUE(Contains(error.problem, "invalid JSON")) << error.problem;

  // Far deeper than any stack would take, through each reader of outside files.
  ScratchFolder dir;
  const int hostile = 200000;
  const std::string scene = "{\"zor\": 1, \"renderSettings\": " + nested_objects(hostile) + "}";
  size_t too_deep = 0;  // the 101st "{"
  for (int seen = 0; seen <= kMaxJsonDepth; ++too_deep) seen += scene[too_deep] == '{';
  testing::internal::CaptureStdout();
  EXPECT_EQ(zorhost::load_scene_text(scene, dir.path() / "deep.zor"), nullptr);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(Contains(out, "deep.zor: line 1, column " + std::to_string(too_deep) + ": nested more than"))
      << out;

  std::vector<zorhost::ui::ScriptStep> steps;
  std::string message;
  const std::string script = "[{\"folder\": null},\n {\"dialog\": {\"set\": [[1, " + nested_arrays(hostile) +
                             "]], \"press\": \"ok\"}}]";
  EXPECT_FALSE(zorhost::ui::parse_ui_script(script, "deep.json", &steps, &message));
  EXPECT_TRUE(Contains(message, "deep.json: line 2") && Contains(message, "nested more than")) << message;

  // A container that reaches the reader by another way than a parsed file meets the same limit.
  EXPECT_NO_THROW(zorhost::container_from_json(nlohmann::json::parse(nested_objects(kMaxJsonDepth)), 0));
  nlohmann::json deeper = nlohmann::json::object();
  for (int i = 0; i < kMaxJsonDepth; ++i) deeper = nlohmann::json{{"7", std::move(deeper)}};
  try {
    zorhost::container_from_json(deeper, 0);
    ADD_FAILURE() << "a container nested past the limit was read";
  } catch (const zorhost::ContainerJsonError& e) {
    EXPECT_TRUE(Contains(e.where, "7.7.7") && Contains(e.what_is_wrong, "nested")) << e.what();
  }
}

TEST(OutsideJson, UnusableFilesAndNumbersAreSaidInTheUsersTerms) {
  ScratchFolder dir;
  nlohmann::json parsed;
  std::string error;
  EXPECT_FALSE(zorhost::load_json_file(dir.path(), &parsed, &error));
  EXPECT_EQ(error, dir.path().string() + ": is a folder, not a file");
  EXPECT_FALSE(zorhost::load_json_file(dir.path() / "none.json", &parsed, &error));
  EXPECT_EQ(error, (dir.path() / "none.json").string() + ": does not exist");
  EXPECT_FALSE(zorhost::load_json_file(dir.write("blank.json", " \n\t"), &parsed, &error));
  EXPECT_TRUE(Contains(error, "blank.json: invalid JSON: the file is empty")) << error;

  // a number beyond a double is placed like a syntax error, and one inside a text is no number
  EXPECT_FALSE(zorhost::load_json_file(dir.write("big.json", "{\"a\": \"-1e400\",\n \"b\": [1, -1e400]}"),
                                       &parsed, &error));
  EXPECT_TRUE(Contains(error, "big.json: line 2, column 11: number -1e400 is out of range")) << error;
  EXPECT_TRUE(zorhost::load_json_file(dir.write("fine.json", "[1e300, -1e-400, 18446744073709551616]"),
                                      &parsed, &error))
      << error;
}

TEST(StoredSettings, AnUnreadableFileIsNamedOnceAndIgnored) {
  ScratchFolder dir;
  struct PrefsHere {
    std::filesystem::path saved = zorhost::options().prefs_dir;
    explicit PrefsHere(const std::filesystem::path& folder) { zorhost::options().prefs_dir = folder; }
    ~PrefsHere() { zorhost::options().prefs_dir = saved; }
  } prefs(dir.path());
  const auto file = zorhost::plugin_settings_path(77);

  const auto read = [](std::string* err) {
    testing::internal::CaptureStderr();
    auto settings = zorhost::load_plugin_settings(77);
    *err = testing::internal::GetCapturedStderr();
    return settings;
  };
  std::string err;
  EXPECT_EQ(read(&err), nullptr);
  EXPECT_EQ(err, "") << "nothing stored yet is not a fault";

  dir.write("settings/77.json", "{\"1\": " + nested_objects(50000) + "}");
  EXPECT_EQ(read(&err), nullptr);
  EXPECT_TRUE(Contains(err, file.string() + ": line 1, column ")) << err;
  EXPECT_TRUE(Contains(err, "nested more than 100 levels deep; ignored")) << err;
  EXPECT_TRUE(Contains(err, "starts with no stored settings")) << err;

  dir.write("settings/77.json", "{\"1\": tru}");
  EXPECT_EQ(read(&err), nullptr);
  EXPECT_EQ(err, "") << "the same file is not reported on every read";

  // readable again
  dir.write("settings/77.json", "{\"2\": 5}");
  auto settings = read(&err);
  ASSERT_NE(settings, nullptr);
  EXPECT_EQ(std::get<int32_t>(settings->values.at(2)), 5);
  dir.write("settings/77.json", "{\"1\": {\"time\": [1, 0]}}");
  EXPECT_EQ(read(&err), nullptr);
  EXPECT_TRUE(Contains(err, "1.time: denominator must be positive")) << err;

  // a later fault of a file that was read is reported anew
  dir.write("settings/77.json", "{\"2\": 5}");
  ASSERT_NE(read(&err), nullptr);
  std::filesystem::remove(file);
  std::filesystem::create_directories(file);
  EXPECT_EQ(read(&err), nullptr);
  EXPECT_TRUE(Contains(err, "77.json: is a folder, not a file; ignored")) << err;
}

}  // namespace
