// Where the module's resources come from, and that the host is asked only once.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/host_table.h"
#include "with_host.h"
#include "zor_file.h"
#include "zor_filename.h"
#include "zor_host.h"
#include "zor_pmain.h"
#include "zor_resource.h"

namespace {

TEST(ResourceFolder, InsideTheHostTreeOrBesideTheModule) {
  const HostFunctionTable table = zorhost::make_host_table(16050);
  test_support::WithHost host(&table);
  const Filename startup("/opt/zorhost");

  const std::pair<const char*, const char*> kCases[] = {
      {"/opt/zorhost/plugins/relkit.zdl64", "/opt/zorhost/resource/modules/relkit"},
      // only the last suffix goes
      {"/opt/zorhost/plugins/rel.kit.zdl64", "/opt/zorhost/resource/modules/rel.kit"},
      // two levels below the host folder is not the host's tree
      {"/opt/zorhost/plugins/relkit/relkit.zdl64", "/opt/zorhost/plugins/relkit/res"},
      {"/home/dev/build/relkit.zdl64", "/home/dev/build/res"}};
  for (const auto& [module, folder] : kCases)
    EXPECT_EQ(ModuleResourceFolder(Filename(module), startup).GetString().ToUtf8(), folder) << module;
}

std::vector<std::string> g_opened;
int g_freed = 0;
bool g_openSucceeds = true;
HostResource* const kResource = reinterpret_cast<HostResource*>(uintptr_t{0x5000});

TEST(ResourceFolder, OpenedOnceAndReleasedAtTheEnd) {
  HostFunctionTable table = zorhost::make_host_table(16050);
  HostPluginTable plugins{};
  plugins.size = sizeof(HostPluginTable);
  plugins.resource_open = [](const HostFilename* folder) -> HostResource* {
    Filename copy;
    zorhost::files_table()->fn_assign(copy.Get(), folder);
    g_opened.push_back(copy.GetString().ToUtf8());
    return g_openSucceeds ? kResource : nullptr;
  };
  plugins.resource_free = [](HostResource* res) {
    if (res == kResource) ++g_freed;
  };
  table.plugins = &plugins;
  test_support::WithHost host(&table);

  const std::string expected = ModuleResourceFolder(GetModulePath(), StartupFolder()).GetString().ToUtf8();
  g_opened.clear();
  g_freed = 0;
  g_openSucceeds = false;
  EXPECT_FALSE(InitModuleResources());
  EXPECT_FALSE(InitModuleResources());
  EXPECT_EQ(g_opened, (std::vector<std::string>{expected})) << "a failed open is not retried";
  FreeModuleResources();
  EXPECT_EQ(g_freed, 0);

  g_openSucceeds = true;
  EXPECT_TRUE(InitModuleResources());
  EXPECT_TRUE(InitModuleResources());
  EXPECT_EQ(g_opened.size(), 2u);
  FreeModuleResources();
  EXPECT_EQ(g_freed, 1);
  FreeModuleResources();
  EXPECT_EQ(g_freed, 1) << "released only once";
}

}  // namespace
