// The script string files that carry the scripts' names and help texts out to translators and back:
// where the texts live in a script's container, how the files are named, and the entry reader.
#pragma once
#include <cstdint>

#include "zor_file.h"
#include "zor_script_collection.h"
#include "zor_string.h"

namespace localize {

// A script's data container keeps one sub-container per language under 65536 + the two characters of
// the language code (high byte first); inside it, the name under 1 and the help text under 2.
constexpr int32_t kLanguageIdFirst = 0x10000;
constexpr int32_t kLanguageIdLast = 0x1FFFF;
constexpr int32_t kNameId = 1;
constexpr int32_t kHelpId = 2;
constexpr int32_t LanguageId(uint32_t first, uint32_t second) {
  return kLanguageIdFirst + static_cast<int32_t>(first * 256 + second);
}
constexpr int32_t kUsLanguageId = LanguageId('U', 'S');  // 87379
constexpr bool IsLanguageId(int32_t id) {
  return id >= kLanguageIdFirst && id <= kLanguageIdLast;
}

// Both collections the commands walk, in the order they walk them.
constexpr int32_t kScriptCollections[] = {ZOR_SCRIPT_COLLECTION_USER, ZOR_SCRIPT_COLLECTION_APPLICATION};
// The third kind of script folder, beside the two collections'; the commands never use it.
constexpr int32_t kSharedScriptFolder = 2;

// "script_" + the two characters of the language code (code ÷ 256, code mod 256) + ".TXT".
String ScriptStringFileName(int32_t languageCode);

// Whether a folder entry's name is a script string file: 13 characters, "script_" in front and ".txt"
// at the end, compared as the host compares file names. On true, languageId is the sub-container id of
// the language in characters 8 and 9. Language characters outside 1..255 do not name a language.
bool IsScriptStringFileName(const Filename& name, int32_t& languageId);

// The folder a kind of script is saved to: 0 "scripts" in the library folder, 1 the application's
// "resource/modules/zorplugin/scripts", 2 "scripts" in the shared library folder; empty otherwise.
Filename ScriptFolder(int32_t kind);

// Reads the next entry of an open script string file. Answers 1 with the entry, or 0 at the end of the
// file or after a format error; error tells which (1 after a format error, which has already been shown
// with the file's name and the entry's index). help is 0 for a "Name:" entry, 1 for "Help:".
int32_t ReadScriptStringEntry(BaseFile& file, const String& fileName, String& identifier, String& text,
                              int32_t& help, int32_t entryIndex, int32_t& error);

// The same for a line already read (without its line end): answers false on a format error, without
// showing anything.
bool ParseScriptStringLine(const String& line, String& identifier, String& text, int32_t& help);

}  // namespace localize
