// The real module, loaded in-process and driven through zor_main as the host drives it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

#include "app/host_table.h"
#include "files/filename_impl.h"
#include "memory/memory_tracker.h"
#include "nexal_records.h"
#include "plugins/plugin_registry.h"
#include "zor_pmain.h"

namespace {

class LoadedModule {
 public:
  LoadedModule() {
    handle_ = dlopen(RELKIT_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) return;
    main = reinterpret_cast<ZorMainFunction>(dlsym(handle_, "zor_main"));
    modules = static_cast<NexalModuleRecord**>(dlsym(handle_, "g_privateModules"));
  }
  ~LoadedModule() {
    if (handle_) dlclose(handle_);
  }
  bool Ok() const { return handle_ && main && modules; }
  int32_t operator()(int32_t action, void* p1 = nullptr, void* p2 = nullptr, void* p3 = nullptr) const {
    return main(action, p1, p2, p3);
  }
  int32_t Bind(const HostFunctionTable* table, HostFilename* name) const {
    return main(ZOR_ACTION_BIND, const_cast<HostFunctionTable*>(table), nullptr, name);
  }
  int32_t Message(int32_t id, void* data) const {
    return main(ZOR_ACTION_MESSAGE, reinterpret_cast<void*>(static_cast<intptr_t>(id)), data, nullptr);
  }

  ZorMainFunction main = nullptr;
  NexalModuleRecord** modules = nullptr;

 private:
  void* handle_ = nullptr;
};

struct ModulePath {
  HostFilename* name = zorhost::new_host_filename(RELKIT_MODULE_PATH);
  ~ModulePath() { zorhost::files_table()->fn_free(name); }
};

int64_t LiveBlocks() {
  return zorhost::memory_statistics().live_blocks;
}

const HostFunctionTable g_host = zorhost::make_host_table(16050);

}  // namespace

TEST(ModuleFrame, ExportsOnlyTheEntryAndTheRecordChain) {
  LoadedModule module;
  ASSERT_TRUE(module.Ok()) << dlerror();
  const NexalModuleRecord* record = *module.modules;
  ASSERT_NE(record, nullptr);
  EXPECT_STREQ(record->id, "net.nexal.zor.relkit");
  EXPECT_EQ(record->id_hash, NexalIdHash("net.nexal.zor.relkit"));
  EXPECT_EQ(record->previous, nullptr);
  ASSERT_NE(record->start_components, nullptr);
  ASSERT_NE(record->end_components, nullptr);

  auto find = [&](const char* id) -> const NexalReference* {
    for (int32_t i = 0; i < record->reference_count; ++i)
      if (std::strcmp(record->references[i].id, id) == 0) return &record->references[i];
    return nullptr;
  };
  for (int32_t i = 0; i < record->reference_count; ++i) {
    const NexalReference& reference = record->references[i];
    EXPECT_EQ(reference.id_hash, NexalIdHash(reference.id)) << reference.id;
    EXPECT_EQ(reference.id_hash >> 52, std::strlen(reference.id)) << reference.id;
    EXPECT_EQ(reference.resolved, nullptr) << "nothing is resolved before the host walks the chain";
  }
  const struct {
    const char* id;
    int32_t kind;
    int32_t methods;
  } expected[] = {{"nexal.System#1", NEXAL_REF_STATIC_INTERFACE, 6},
                  {"nexal.UrlInterface#1", NEXAL_REF_STATIC_INTERFACE, 35},
                  {"nexal.IoHandlerInterface#1", NEXAL_REF_INTERFACE, 0},
                  {"nexal.ExifInterface#1", NEXAL_REF_INTERFACE, 0},
                  {"nexal.IoBrowseBaseClass", NEXAL_REF_OBJECT_CLASS, 0},
                  {"nexal.DataTypes:nexal.Int32", NEXAL_REF_DATA_TYPE, 0}};
  for (const auto& e : expected) {
    const NexalReference* reference = find(e.id);
    ASSERT_NE(reference, nullptr) << e.id;
    EXPECT_EQ(reference->kind, e.kind) << e.id;
    if (e.kind == NEXAL_REF_STATIC_INTERFACE) {
      EXPECT_EQ(reference->method_count, e.methods) << e.id;
    }
  }
}

TEST(ModuleFrame, ActionTable) {
  LoadedModule module;
  ASSERT_TRUE(module.Ok()) << dlerror();
  ModulePath path;
  ASSERT_EQ(module.Bind(&g_host, path.name), 1);
  EXPECT_EQ(module(ZOR_ACTION_QUERY), 5);
  EXPECT_EQ(module(5), -1);
  EXPECT_EQ(module(77), -1);

  int32_t answer = 0;
  EXPECT_EQ(module.Message(ZOR_HOSTMSG_QUERY, &answer), 1);
  EXPECT_EQ(answer, 10000);
  EXPECT_EQ(module.Message(ZOR_HOSTMSG_QUERY, nullptr), -1);

  char program[] = "zorhost", option[] = "-help";
  char* arguments[] = {program, option};
  HostArguments commandLine{2, arguments};
  EXPECT_EQ(module.Message(ZOR_HOSTMSG_COMMANDLINE, &commandLine), -1);
  EXPECT_EQ(module.Message(4711, nullptr), -1);

  // Message 1 clears word 12 of the block behind word 5, whatever the resources answer.
  void* block[16];
  for (void*& word : block) word = &answer;
  HostResourceMessage resources{};
  resources.words[5] = block;
  module.Message(ZOR_HOSTMSG_RESOURCES, &resources);
  EXPECT_EQ(block[12], nullptr);
  EXPECT_EQ(block[11], &answer);
  EXPECT_EQ(block[13], &answer);
  HostResourceMessage noBlock{};
  module.Message(ZOR_HOSTMSG_RESOURCES, &noBlock);  // must not crash

  EXPECT_EQ(module(ZOR_ACTION_END), 1);
}

TEST(ModuleFrame, OnlyTheLastEndReleasesAndAFullCycleLeaksNothing) {
  LoadedModule module;
  ASSERT_TRUE(module.Ok()) << dlerror();
  ModulePath path;
  const int64_t before = LiveBlocks();
  const size_t commands = zorhost::registered_commands().size();
  ASSERT_EQ(module.Bind(&g_host, path.name), 1);
  const int64_t bound = LiveBlocks();
  EXPECT_GT(bound, before) << "the module path lives in host memory";

  HostFunctionTable old = zorhost::make_host_table(100);
  EXPECT_EQ(module.Bind(&old, nullptr), 1) << "a second bind reads nothing";
  EXPECT_EQ(LiveBlocks(), bound);
  EXPECT_EQ(module(ZOR_ACTION_START), 1);
  EXPECT_EQ(zorhost::registered_commands().size(), commands) << "the tools switch is off";
  int32_t answer = 0;
  module.Message(ZOR_HOSTMSG_QUERY, &answer);

  EXPECT_EQ(module(ZOR_ACTION_END), 1);
  EXPECT_EQ(LiveBlocks(), bound) << "released before the last end";
  EXPECT_EQ(module(ZOR_ACTION_END), 1);
  EXPECT_EQ(LiveBlocks(), before);
}

TEST(ModuleFrame, AnOldHostOrAMissingFileNameIsRefusedWithoutAllocating) {
  ModulePath path;
  // 16000 is the lowest version still accepted
  for (const auto& [version, name, answer] :
       {std::tuple{15999, path.name, -3}, {16050, nullptr, -3}, {16000, path.name, 1}}) {
    LoadedModule module;
    ASSERT_TRUE(module.Ok()) << dlerror();
    const HostFunctionTable table = zorhost::make_host_table(version);
    const int64_t allocations = zorhost::memory_statistics().total_allocations;
    EXPECT_EQ(module.Bind(&table, name), answer) << version;
    if (answer != 1) {
      EXPECT_EQ(zorhost::memory_statistics().total_allocations, allocations) << version;
    }
    EXPECT_EQ(module(ZOR_ACTION_END), 1);
  }
}

TEST(ModuleFrame, RegistrationOrderRules) {
  static std::vector<int> called;
  called.clear();
  struct Tool {
    static bool One() { return called.push_back(1), true; }
    static bool TwoFails() { return called.push_back(2), false; }
    static bool Three() { return called.push_back(3), true; }
    static bool FourFails() { return called.push_back(4), false; }
  };
  using R = RegistrationRule;
  const ToolRegistration ignoredFailure[] = {
      {Tool::One, R::Required}, {Tool::TwoFails, R::Unchecked}, {Tool::Three, R::Required}};
  EXPECT_EQ(RunToolRegistrations(ignoredFailure, 3), 1);
  EXPECT_EQ(called, (std::vector<int>{1, 2, 3}));

  called.clear();
  const ToolRegistration requiredFailure[] = {
      {Tool::One, R::Unchecked}, {Tool::FourFails, R::Required}, {Tool::Three, R::Decisive}};
  EXPECT_EQ(RunToolRegistrations(requiredFailure, 3), 0);
  EXPECT_EQ(called, (std::vector<int>{1, 4}));

  called.clear();
  const ToolRegistration decisiveFailure[] = {{Tool::One, R::Required}, {Tool::FourFails, R::Decisive}};
  EXPECT_EQ(RunToolRegistrations(decisiveFailure, 2), 0);
  EXPECT_EQ(RunToolRegistrations(nullptr, 0), 1);
}
