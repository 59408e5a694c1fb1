#include "scripts/script_collections.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <mutex>
#include <system_error>
#include <vector>

#include "app/entry_guard.h"
#include "app/host_options.h"
#include "app/run_status.h"
#include "containers/container_json.h"
#include "containers/json_input.h"
#include "files/filename_impl.h"
#include "files/path_text.h"
#include "files/replacing_file.h"
#include "strings/string_impl.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace zorhost {
namespace {

struct Collection {
  fs::path folder;
  std::vector<std::unique_ptr<HostScriptItem>> items;
};

struct Collections {
  std::mutex mutex;
  std::map<int32_t, Collection> loaded;
  // Collections replaced by a load from another folder: modules may still hold their items.
  std::vector<Collection> earlier;
};

Collections& collections() {
  static Collections* all = new Collections;  // never destroyed: items outlive every module
  return *all;
}

std::string file_problem(const fs::path& file, const std::string& problem) {
  return file.string() + ": " + problem;
}

// The "*.csc" files of a folder in the order of their names; a folder that is not there is empty.
std::vector<fs::path> script_files(const fs::path& folder) {
  std::vector<fs::path> files;
  std::error_code error;
  if (!fs::exists(folder, error)) return files;
  fs::directory_iterator entries(folder, error);
  if (error) {
    std::fprintf(stderr, "zorhost: warning: scripts folder %s cannot be listed: %s\n", folder.c_str(),
                 error.message().c_str());
    return files;
  }
  for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
    std::error_code kind_error;
    const fs::directory_entry& entry = *entries;
    if (entry.is_directory(kind_error) || !has_suffix(entry.path().filename().string(), "csc")) continue;
    files.push_back(entry.path());
  }
  if (error) {
    std::fprintf(stderr, "zorhost: warning: scripts folder %s could not be listed to the end: %s\n",
                 folder.c_str(), error.message().c_str());
  }
  std::sort(files.begin(), files.end());
  return files;
}

Collection load_collection(const fs::path& folder, int32_t collection) {
  Collection loaded;
  loaded.folder = folder;
  std::map<std::u32string, fs::path> seen;
  for (const fs::path& file : script_files(folder)) {
    auto item = std::make_unique<HostScriptItem>();
    std::string error;
    if (!read_script_file(file, item.get(), &error)) {
      std::fprintf(stderr, "zorhost: warning: script file %s; skipped\n", error.c_str());
      continue;
    }
    const auto [earlier, first] = seen.emplace(item->identifier, file);
    if (!first) {
      std::fprintf(stderr,
                   "zorhost: warning: script files %s and %s both hold the script \"%s\"; both are loaded\n",
                   earlier->second.c_str(), file.c_str(), to_utf8(item->identifier).c_str());
    }
    item->collection = collection;
    item->index = loaded.items.size();
    loaded.items.push_back(std::move(item));
  }
  return loaded;
}

}  // namespace

fs::path script_collection_folder(int32_t collection) {
  switch (collection) {
    case ZOR_SCRIPT_COLLECTION_USER:
      return options().prefs_dir / "scripts";
    case ZOR_SCRIPT_COLLECTION_APPLICATION:
      return options().startup_dir / "resource" / "modules" / "zorplugin" / "scripts";
    default:
      return {};
  }
}

bool read_script_file(const fs::path& file, HostScriptItem* item, std::string* error) {
  json document;
  if (!load_json_file(file, &document, error)) return false;
  const auto fail = [&](const std::string& problem) {
    *error = file_problem(file, problem);
    return false;
  };
  if (!document.is_object()) return fail("a script file must be a JSON object");
  for (const auto& [key, value] : document.items()) {
    if (key != "identifier" && key != "container" && key != "source") {
      return fail("unknown field \"" + key +
                  "\" (a script has \"identifier\", \"container\" and \"source\")");
    }
  }
  const auto identifier = document.find("identifier");
  if (identifier == document.end()) return fail("the script has no \"identifier\"");
  if (!identifier->is_string() || identifier->get<std::string>().empty()) {
    return fail("\"identifier\" must be the script's name, a text that is not empty");
  }
  const auto source = document.find("source");
  if (source != document.end() && !source->is_string()) return fail("\"source\" must be a text");

  HostScriptItem read;
  read.identifier = from_utf8(identifier->get<std::string>());
  if (source != document.end()) read.source = source->get<std::string>();
  const auto container = document.find("container");
  if (container != document.end() && !container->is_null()) {
    if (!container->is_object()) return fail("\"container\" must be an object of ids");
    try {
      read.data = std::make_unique<HostContainer>(container_from_json(*container, 0, "container"));
    } catch (const ContainerJsonError& problem) {
      return fail(problem.what());
    }
  }
  item->identifier = std::move(read.identifier);
  item->data = std::move(read.data);
  item->source = std::move(read.source);
  return true;
}

std::string script_file_text(const HostScriptItem& item) {
  // in the order a reader expects: what the script is, its values, its source
  nlohmann::ordered_json document = nlohmann::ordered_json::object();
  document["identifier"] = to_utf8(item.identifier);
  if (item.data) document["container"] = nlohmann::ordered_json(container_to_json(*item.data));
  document["source"] = item.source;
  // A text that is not valid Unicode (a lone surrogate a translator wrote as an escape) is kept as far
  // as JSON can hold it rather than refused.
  return document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

bool write_script_file(const HostScriptItem& item, const fs::path& file, std::string* error) {
  // No folder is made: a script is saved where the host loads scripts from, and a folder made for it
  // (an identifier with a slash) would hide the saved script from the next load.
  const std::string text = script_file_text(item);
  ReplacingFile out;
  if (out.open(file) && out.write(text.data(), text.size()) && out.commit()) return true;
  *error = out.error();
  return false;
}

HostScriptItem* script_item(int32_t collection, size_t index) {
  const fs::path folder = script_collection_folder(collection);
  if (folder.empty()) return nullptr;
  Collections& all = collections();
  std::lock_guard lock(all.mutex);
  auto found = all.loaded.find(collection);
  if (found == all.loaded.end() || found->second.folder != folder) {
    if (found != all.loaded.end()) all.earlier.push_back(std::move(found->second));
    found = all.loaded.insert_or_assign(collection, load_collection(folder, collection)).first;
  }
  const auto& items = found->second.items;
  return index < items.size() ? items[index].get() : nullptr;
}

HostScriptItem* next_script_item(const HostScriptItem* item) {
  if (!item) return nullptr;
  Collections& all = collections();
  std::lock_guard lock(all.mutex);
  const auto next_in = [item](const Collection& collection) -> HostScriptItem* {
    const auto& items = collection.items;
    if (item->index >= items.size() || items[item->index].get() != item) return nullptr;
    return item->index + 1 < items.size() ? items[item->index + 1].get() : nullptr;
  };
  if (const auto found = all.loaded.find(item->collection); found != all.loaded.end()) {
    if (HostScriptItem* next = next_in(found->second)) return next;
  }
  for (const Collection& collection : all.earlier) {
    if (HostScriptItem* next = next_in(collection)) return next;
  }
  return nullptr;
}

HostScriptItem* scripts_collection_first(int32_t collection) {
  return guarded("scripts.collection_first", static_cast<HostScriptItem*>(nullptr),
                 [&] { return script_item(collection, 0); });
}

HostScriptItem* scripts_collection_next(const HostScriptItem* item) {
  return guarded("scripts.collection_next", static_cast<HostScriptItem*>(nullptr),
                 [&] { return next_script_item(item); });
}

void scripts_item_identifier(const HostScriptItem* item, HostString* out) {
  guarded_void("scripts.item_identifier", [&] {
    if (out) out->text = item ? item->identifier : std::u32string();
  });
}

HostContainer* scripts_item_data(HostScriptItem* item) {
  return guarded("scripts.item_data", static_cast<HostContainer*>(nullptr),
                 [&] { return item ? item->data.get() : nullptr; });
}

bool scripts_item_write(HostScriptItem* item, const HostFilename* name, int32_t file_id, HostDocument*) {
  return guarded("scripts.item_write", false, [&] {
    if (!item || !name || name->path.empty()) return false;
    const fs::path file = native(name);
    std::string error;
    if (file_id != ZOR_SCRIPT_FILE_ID) {
      error = "cannot write " + file.string() + ": a script is written with the file identifier 'scrp'";
    } else if (write_script_file(*item, file, &error)) {
      return true;
    }
    std::fprintf(stderr, "zorhost: %s\n", error.c_str());
    note_service_failure(error);
    return false;
  });
}

}  // namespace zorhost
