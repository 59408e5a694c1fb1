#include "plugins/plugin_registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "host_gui_fake_module.h"

namespace {

using fake::Text;

const HostPluginTable* Plugins() {
  return zorhost::plugins_table();
}

// Command objects of a fake module; every callback appends to one shared log.
struct Command {
  std::string tag;
  std::vector<std::string>* log;
  bool answer = true;
};

bool Execute(void* object, HostDocument* doc) {
  auto* command = static_cast<Command*>(object);
  command->log->push_back("execute " + command->tag + (doc ? " with document" : ""));
  return command->answer;
}

void Destroy(void* object) {
  auto* command = static_cast<Command*>(object);
  command->log->push_back("destroy " + command->tag);
}

HostCommandRecord RecordFor(Command* command) {
  HostCommandRecord record;
  std::memset(&record, 0, sizeof record);
  record.object = command;
  record.destroy = Destroy;
  record.execute = Execute;
  return record;
}

bool RegisterCommand(int32_t id, const std::string& name, const HostCommandRecord& record,
                     int32_t size = ZOR_COMMAND_RECORD_SIZE) {
  Text text(name);
  return Plugins()->register_plugin(ZOR_PLUGIN_API_VERSION, ZOR_PLUGIN_TYPE_COMMAND, id, text, &record, size);
}

class PluginRegistry : public testing::Test {
 protected:
  void SetUp() override { zorhost::destroy_plugins(); }  // start from an empty registry
  void TearDown() override { zorhost::destroy_plugins(); }
  std::vector<std::string> log;
};

TEST_F(PluginRegistry, RefusesMalformedAndDuplicateRecords) {
  Command crash{"crash", &log}, other{"other", &log};
  HostCommandRecord record = RecordFor(&crash);
  testing::internal::CaptureStdout();
  EXPECT_TRUE(RegisterCommand(1022343, "Crash ZOR", record));
  EXPECT_FALSE(RegisterCommand(1022343, "Again", RecordFor(&other))) << "id taken";
  EXPECT_FALSE(RegisterCommand(5, "Short", RecordFor(&other), 380)) << "wrong size";
  HostCommandRecord empty = RecordFor(&other);
  empty.object = nullptr;
  EXPECT_FALSE(RegisterCommand(6, "Empty", empty)) << "no object";
  Text name("Null");
  EXPECT_FALSE(Plugins()->register_plugin(ZOR_PLUGIN_API_VERSION, ZOR_PLUGIN_TYPE_COMMAND, 7, name, nullptr,
                                          ZOR_COMMAND_RECORD_SIZE));
  std::string console = testing::internal::GetCapturedStdout();
  EXPECT_NE(console.find("id is taken"), std::string::npos) << console;
  EXPECT_NE(console.find("384"), std::string::npos) << console;
  EXPECT_NE(console.find("no object"), std::string::npos) << console;

  // The host keeps its own copy: changing the module's record afterwards changes nothing.
  record.execute = nullptr;
  ASSERT_EQ(zorhost::registered_commands().size(), 1u);
  EXPECT_TRUE(zorhost::execute_commands({"Crash ZOR"}));
  EXPECT_EQ(log, (std::vector<std::string>{"execute crash"}));
}

TEST_F(PluginRegistry, ExecutesByNameAndIdInOrderAndDestroysEachOnce) {
  fake::Session session;
  Command a{"a", &log}, b{"b", &log, false}, c{"c", &log};
  ASSERT_TRUE(RegisterCommand(1001198, "Renderator", RecordFor(&a)));
  ASSERT_TRUE(RegisterCommand(1001193, "Export Script Strings", RecordFor(&b)));
  ASSERT_TRUE(RegisterCommand(42, "1001198", RecordFor(&c)));  // a name that looks like an id

  auto listed = zorhost::registered_commands();
  ASSERT_EQ(listed.size(), 3u);
  EXPECT_EQ(listed[0].name, "Renderator");
  EXPECT_EQ(listed[1].id, 1001193);

  EXPECT_TRUE(zorhost::execute_commands({"1001193", "Renderator", "1001198", "42"}));
  EXPECT_EQ(log, (std::vector<std::string>{"execute b", "execute a", "execute c", "execute c"}))
      << "an exact name wins over an id";

  log.clear();
  testing::internal::CaptureStderr();
  EXPECT_FALSE(zorhost::execute_commands({"Renderator", "Renderatorr", "42"}));
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(log, (std::vector<std::string>{"execute a"})) << "nothing after the unknown command";
  EXPECT_NE(err.find("Renderatorr"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;

  std::vector<nlohmann::json> commands;
  for (const auto& e : session.events())
    if (e["event"] == "command") commands.push_back(e);
  ASSERT_EQ(commands.size(), 5u);
  EXPECT_EQ(
      commands[0],
      (nlohmann::json{
          {"event", "command"}, {"id", 1001193}, {"name", "Export Script Strings"}, {"result", false}}));
  EXPECT_EQ(commands[1]["result"], true);

  log.clear();
  zorhost::destroy_plugins();
  zorhost::destroy_plugins();
  std::sort(log.begin(), log.end());  // the order of destruction is left open
  EXPECT_EQ(log, (std::vector<std::string>{"destroy a", "destroy b", "destroy c"}));
  EXPECT_TRUE(zorhost::registered_commands().empty());
}

// (that an existing folder opens is the object counts' test)
TEST_F(PluginRegistry, ResourcesDoNotOpenForAMissingFolder) {
  HostFilename* missing = zorhost::new_host_filename("/nonexistent/zorhost/res");
  EXPECT_EQ(Plugins()->resource_open(missing), nullptr);
  zorhost::files_table()->fn_free(missing);
}

}  // namespace
