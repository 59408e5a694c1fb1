#include "script_string_file.h"

#include <string>

#include "zor_gui.h"

namespace localize {
namespace {

// One character (code 0 to 255) as the UTF-8 the host's conversion code 0 reads.
void AppendCharacter(std::string& utf8, uint32_t code) {
  if (code < 0x80) {
    utf8 += static_cast<char>(code);
  } else {
    utf8 += static_cast<char>(0xC0 | (code >> 6));
    utf8 += static_cast<char>(0x80 | (code & 0x3F));
  }
}

bool IsBlank(uint32_t c) {
  return c == ' ' || c == '\t';
}

bool NamesEqual(const String& a, const char* b) {
  return Filename(a).CompareName(Filename(b)) == 0;
}

}  // namespace

String ScriptStringFileName(int32_t languageCode) {
  std::string name = "script_";
  AppendCharacter(name, static_cast<uint32_t>(languageCode / 256) & 0xFF);
  AppendCharacter(name, static_cast<uint32_t>(languageCode % 256) & 0xFF);
  name += ".TXT";
  String result;
  result.SetCString(name.data(), static_cast<int32_t>(name.size()), ZOR_STRING_UTF8);
  return result;
}

bool IsScriptStringFileName(const Filename& name, int32_t& languageId) {
  const String text = name.GetString();
  if (text.GetLength() != 13) return false;
  if (!NamesEqual(text.SubStr(0, 7), "script_") || !NamesEqual(text.SubStr(9, 4), ".txt")) return false;
  const uint32_t first = text.CharAt(7);
  const uint32_t second = text.CharAt(8);
  // beyond 255 the id would leave the language range and could overwrite another value of the script
  if (first == 0 || first > 255 || second == 0 || second > 255) return false;
  languageId = LanguageId(first, second);
  return true;
}

Filename ScriptFolder(int32_t kind) {
  Filename folder;
  switch (kind) {
    case ZOR_SCRIPT_COLLECTION_USER:
      if (!FolderById(ZOR_FOLDER_LIBRARY, folder)) return Filename();
      return folder + Filename("scripts");
    case ZOR_SCRIPT_COLLECTION_APPLICATION:
      return StartupFolder() + Filename("resource") + Filename("modules") + Filename("zorplugin") +
             Filename("scripts");
    case kSharedScriptFolder:
      if (!FolderById(ZOR_FOLDER_SHARED_LIBRARY, folder)) return Filename();
      return folder + Filename("scripts");
    default:
      return Filename();
  }
}

bool ParseScriptStringLine(const String& line, String& identifier, String& text, int32_t& help) {
  const String keyword = line.SubStr(0, 5);
  if (keyword == String("Name:")) {
    help = 0;
  } else if (keyword == String("Help:")) {
    help = 1;
  } else {
    return false;
  }
  // The identifier is what stands between the first and second quote, the text what stands between
  // the third and fourth (or up to the line's end when a quote is missing); around them only blanks
  // and tabs.
  const int32_t length = line.GetLength();
  int32_t quotes = 0;
  int32_t start[2] = {-1, -1};
  int32_t end[2] = {length, length};
  for (int32_t i = 5; i < length; ++i) {
    const uint32_t c = line.CharAt(i);
    if (c == '"') {
      ++quotes;
      if (quotes == 1 || quotes == 3) start[quotes / 2] = i + 1;
      if (quotes == 2 || quotes == 4) end[(quotes - 1) / 2] = i;
    } else if (quotes != 1 && quotes != 3 && !IsBlank(c)) {
      return false;
    }
  }
  identifier = start[0] >= 0 ? line.SubStr(start[0], end[0] - start[0]) : String();
  text = start[1] >= 0 ? line.SubStr(start[1], end[1] - start[1]) : String();
  return true;
}

int32_t ReadScriptStringEntry(BaseFile& file, const String& fileName, String& identifier, String& text,
                              int32_t& help, int32_t entryIndex, int32_t& error) {
  error = 0;
  // No limit on a line's length: an exported entry with a long help text of escaped characters may
  // well pass 2047 bytes, and it must read back.
  std::string bytes;
  char byte = 0;
  while (file.Read(&byte, 1)) {
    if (byte == '\r' || byte == '\n') {
      if (bytes.empty()) continue;
      break;
    }
    // the host's conversion knows its escapes in lower case only
    if (byte == 'U' && !bytes.empty() && bytes.back() == '\\') byte = 'u';
    bytes += byte;
  }
  if (bytes.empty()) return 0;

  String line;
  line.SetCString(bytes.data(), static_cast<int32_t>(bytes.size()), ZOR_STRING_UTF8);
  if (!ParseScriptStringLine(line, identifier, text, help)) {
    GeMessageBox("Unknown identifier file " + fileName + " Line " + String::FromInt(entryIndex));
    error = 1;
    return 0;
  }
  return 1;
}

}  // namespace localize
