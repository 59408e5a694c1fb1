// The host's two script collections, loaded from script files (".csc", JSON: "identifier", "container"
// in the typed form of stored settings, "source"). Collection 0, the user's scripts, comes from
// <prefs>/scripts; collection 1, the scripts that come with the application, from
// <startup>/resource/modules/zorplugin/scripts.
//
// A collection is loaded when a module first asks for it, from the "*.csc" files of its folder (not
// below it) in the order of their names. A file that cannot be read, is not JSON within the input
// limits, or lacks what a script needs is named on stderr and skipped: one bad file never takes the
// others with it. Items live as long as the host; a module changes an item's data container in place
// and writes the item back with item_write.
#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "containers/container_impl.h"
#include "zor_api.h"

struct HostScriptItem {
  std::u32string identifier;
  std::unique_ptr<HostContainer> data;  // null: the script has no data container
  std::string source;                   // UTF-8
  int32_t collection = 0;
  size_t index = 0;  // place in its collection
};

namespace zorhost {

// The folder a collection is loaded from and saved to; empty for an unknown collection.
std::filesystem::path script_collection_folder(int32_t collection);

// Reads one script file. False with "FILE: problem" (with line and column for JSON errors, with the
// JSON path for container values) when the file is not a script.
bool read_script_file(const std::filesystem::path& file, HostScriptItem* item, std::string* error);
// The file's text for an item.
std::string script_file_text(const HostScriptItem& item);
// Writes the item into file through a temporary file, fsync and rename; the folder must be there.
// False with the reason.
bool write_script_file(const HostScriptItem& item, const std::filesystem::path& file, std::string* error);

// The loaded collection's items in order, null past the end or for an unknown collection. A collection
// is loaded again only when its folder is another one than the one it was loaded from (tests that
// change the host's folders); items of the earlier load stay valid.
HostScriptItem* script_item(int32_t collection, size_t index);
// The item after item in its own load of its collection, null after the last.
HostScriptItem* next_script_item(const HostScriptItem* item);

// The entry points of the scripts family that serve the collections.
HostScriptItem* scripts_collection_first(int32_t collection);
HostScriptItem* scripts_collection_next(const HostScriptItem* item);
void scripts_item_identifier(const HostScriptItem* item, HostString* out);
HostContainer* scripts_item_data(HostScriptItem* item);
bool scripts_item_write(HostScriptItem* item, const HostFilename* name, int32_t file_id, HostDocument* doc);

}  // namespace zorhost
