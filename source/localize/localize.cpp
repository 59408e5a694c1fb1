#include "localize.h"

#include <string>
#include <unordered_map>

#include "localize/script_string_file.h"
#include "zor_file.h"
#include "zor_general.h"
#include "zor_gui.h"
#include "zor_memory.h"
#include "zor_script_collection.h"

namespace localize {
namespace {

// Calls visit(item, data) for every item of both collections, in list order, that has a data container.
template <class Visit>
void ForEachScriptWithData(Visit&& visit) {
  for (const int32_t collection : kScriptCollections) {
    for (ScriptItem item = ScriptItem::First(collection); item.IsValid(); item = item.Next()) {
      BaseContainer data = item.GetData();
      if (data.IsValid()) visit(item, data);
    }
  }
}

// Writes one piece in the host's 7-bit escaped form (or another conversion), with its exact length. A
// piece whose buffer cannot be had is left out; false only when the file refused the bytes.
bool WritePiece(BaseFile& file, const String& piece, int32_t conversion = ZOR_STRING_7BIT_ESCAPED) {
  // Ten bytes a character is the most the conversion writes; should the host ever need more, the
  // piece is not cut.
  int64_t size = static_cast<int64_t>(piece.GetLength()) * 10 + 1;
  const int64_t needed = static_cast<int64_t>(piece.GetCStringLength(conversion)) + 1;
  if (needed > size) size = needed;
  if (size > INT32_MAX) return true;
  char* buffer = static_cast<char*>(ZOR_ALLOC(size));
  if (buffer == nullptr) return true;
  const int32_t length = piece.GetCString(buffer, static_cast<int32_t>(size), conversion);
  const bool written = file.Write(buffer, length);
  Free(buffer);
  return written;
}

// Writes the name and help entries of every script for one language; false when a write failed.
bool WriteLanguage(BaseFile& file, int32_t languageId) {
  const String quote("\"");
  const String lineEnd = String::LineEnd();
  bool written = true;
  ForEachScriptWithData([&](const ScriptItem& item, BaseContainer& data) {
    if (!written) return;
    const BaseContainer language = data.GetContainer(languageId);
    const BaseContainer us = data.GetContainer(kUsLanguageId);
    String name = language.GetString(kNameId);
    String help = language.GetString(kHelpId);
    if (name.IsEmpty() && us.IsValid()) name = us.GetString(kNameId);
    if (help.IsEmpty() && us.IsValid()) help = us.GetString(kHelpId);

    // The line end goes out as it is: the escaped form spells control characters as escapes, so that a
    // text with a line break stays on its entry's line, and the line end must not be one of them.
    const String identifier = item.GetIdentifier();
    const String head = quote + identifier + quote + " " + quote;
    written = WritePiece(file, "Name:" + head) && WritePiece(file, name) && WritePiece(file, quote) &&
              WritePiece(file, lineEnd, ZOR_STRING_UTF8);
    if (written && !help.IsEmpty()) {
      written = WritePiece(file, "Help:" + head + help + quote) && WritePiece(file, lineEnd, ZOR_STRING_UTF8);
    }
  });
  return written;
}

// Every item of both collections by identifier, in the order the import updates them.
std::unordered_map<std::string, std::vector<ScriptItem>> ItemsByIdentifier() {
  std::unordered_map<std::string, std::vector<ScriptItem>> items;
  for (const int32_t collection : kScriptCollections) {
    for (ScriptItem item = ScriptItem::First(collection); item.IsValid(); item = item.Next()) {
      items[item.GetIdentifier().ToUtf8()].push_back(item);
    }
  }
  return items;
}

// Assigns one entry's text to every script with its identifier; answers how many were updated.
int32_t AssignEntry(const std::unordered_map<std::string, std::vector<ScriptItem>>& items,
                    const String& identifier, const String& text, int32_t help, int32_t languageId) {
  const auto found = items.find(identifier.ToUtf8());
  if (found == items.end()) return 0;
  int32_t updated = 0;
  for (const ScriptItem& item : found->second) {
    BaseContainer data = item.GetData();
    if (!data.IsValid()) continue;
    BaseContainer language = data.GetContainer(languageId);
    if (!language.IsValid()) {
      data.SetContainer(languageId, BaseContainer(languageId));
      language = data.GetContainer(languageId);
      if (!language.IsValid()) continue;
    }
    language.SetString(help ? kHelpId : kNameId, text);
    ++updated;
  }
  return updated;
}

// Saves every script of both collections to its collection's folder.
void SaveAllScripts() {
  for (const int32_t collection : kScriptCollections) {
    const Filename folder = ScriptFolder(collection);
    for (ScriptItem item = ScriptItem::First(collection); item.IsValid(); item = item.Next()) {
      const String identifier = item.GetIdentifier();
      if (folder.IsEmpty()) {
        // never a name relative to wherever the host happens to run
        GePrint("Couldn't save script " + identifier + ": the host names no folder for its collection");
        continue;
      }
      // an identifier with a folder separator would be saved outside its script folder
      if (identifier.Find("/") >= 0 || identifier.Find("\\") >= 0) {
        GePrint("Couldn't save script " + identifier + ": its identifier is not a file name");
        continue;
      }
      Filename file = folder + Filename(identifier);
      file.SetSuffix("csc");
      if (!item.WriteToFile(file, ZOR_SCRIPT_FILE_ID, nullptr)) {
        GePrint("Couldn't save script " + identifier + " to " + file.GetString());
      }
    }
  }
}

}  // namespace

std::vector<int32_t> CollectLanguages() {
  std::vector<int32_t> languages;
  ForEachScriptWithData([&](const ScriptItem&, BaseContainer& data) {
    const int32_t count = data.GetCount();
    for (int32_t index = 0; index < count && languages.size() < kMaxLanguages; ++index) {
      const int32_t id = data.GetIdAt(index);
      if (!IsLanguageId(id)) continue;
      const int32_t code = id - kLanguageIdFirst;
      bool known = false;
      for (const int32_t language : languages) known = known || language == code;
      if (!known) languages.push_back(code);
    }
  });
  return languages;
}

bool ExportScriptStrings(const Filename& folder) {
  for (const int32_t code : CollectLanguages()) {
    const Filename name = folder + Filename(ScriptStringFileName(code));
    BaseFile file;
    if (!file.Allocate() ||
        !file.Open(name, ZOR_FILE_WRITE, 2, ZOR_BYTEORDER_MOTOROLA, FourCC("ZORC"), FourCC("ZOR1"))) {
      GeMessageBox("Error writing");
      return true;
    }
    // A write or the close that fails leaves the previous file in place; the user is told as for a
    // file that cannot be opened, and no further language is written.
    const bool written = WriteLanguage(file, kLanguageIdFirst + code);
    if (!file.Close() || !written) {
      GeMessageBox("Error writing");
      return true;
    }
  }
  return true;
}

bool ImportScriptStrings(const Filename& folder) {
  const auto items = ItemsByIdentifier();
  int32_t languages = 0;
  int32_t strings = 0;

  BrowseFiles browse;
  if (browse.Init(folder, 0)) {
    while (browse.GetNext()) {
      const Filename entryName = browse.GetFilename();
      int32_t languageId = 0;
      if (!IsScriptStringFileName(entryName, languageId)) continue;
      BaseFile file;
      if (!file.Allocate() || !file.Open(folder + entryName, ZOR_FILE_READ, 2, ZOR_BYTEORDER_MOTOROLA,
                                         FourCC("ZORC"), FourCC("ZOR1"))) {
        continue;
      }
      ++languages;
      const String fileName = entryName.GetString();
      String identifier;
      String text;
      int32_t help = 0;
      int32_t error = 0;
      int32_t index = 0;
      while (ReadScriptStringEntry(file, fileName, identifier, text, help, index, error)) {
        const int32_t updated = AssignEntry(items, identifier, text, help, languageId);
        if (updated == 0) {
          GeMessageBox("Couldn't assign strings for script " + identifier);
          return false;
        }
        strings += updated;
        ++index;
      }
      if (error) return false;
    }
  }

  if (strings > 0) {
    SaveAllScripts();
    GeMessageBox(String::FromInt(languages) + " Languages and " + String::FromInt(strings) +
                 " Strings updated!");
  } else {
    GeMessageBox("No changes!");
  }
  return true;
}

}  // namespace localize

bool ExportCmd::Execute(HostDocument*) {
  Filename folder;
  if (!GeSelectFolder(folder, String())) return false;
  return localize::ExportScriptStrings(folder);
}

bool ImportCmd::Execute(HostDocument*) {
  Filename folder;
  if (!GeSelectFolder(folder, String())) return false;
  return localize::ImportScriptStrings(folder);
}

bool RegisterScriptStringCommands() {
  RegisterCommandPlugin(kImportScriptStringsId, "Import Script Strings", 0, nullptr, String(),
                        NewObj(ImportCmd));
  RegisterCommandPlugin(kExportScriptStringsId, "Export Script Strings", 0, nullptr, String(),
                        NewObj(ExportCmd));
  return true;
}
