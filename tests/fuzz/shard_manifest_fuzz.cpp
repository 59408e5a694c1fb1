// The shard manifest's reader (_shard.txt) on any text: a manifest or an InputError, nothing else; and a
// manifest read and written again is the same text.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "shards.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  relkit_report::ShardManifest manifest;
  try {
    manifest = relkit_report::ParseManifest(text, "fuzz");
  } catch (const relkit_report::InputError&) {
    return 0;
  }
  const std::string written = relkit_report::ManifestText(manifest);
  if (relkit_report::ManifestText(relkit_report::ParseManifest(written, "again")) != written) {
    std::fprintf(stderr, "a manifest does not read back as itself:\n%s\n", written.c_str());
    std::abort();
  }
  if (manifest.numbers.size() != manifest.names.size()) std::abort();
  return 0;
}
