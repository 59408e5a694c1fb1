#include "translator_locator.h"

#include <string>

#include "translator_locator/literal_scanner.h"
#include "zor_folder_set.h"
#include "zor_gui.h"
#include "zor_memory.h"

namespace translator_locator {
namespace {

bool IsHeaderName(std::string_view lowered) {
  String text;
  text.SetCString(lowered.data(), static_cast<int32_t>(lowered.size()), ZOR_STRING_UTF8);
  return Filename(text).CheckSuffix("h");
}

// Writes one listing line with the source's own bytes. The host's 8-bit reading would take a "\u00e9"
// written in a source for the character it names, so the listing would no longer show the source as
// written and its columns would shift; the bytes go out as they are.
void WriteListing(BaseFile& output, std::string_view lowered, std::string_view line,
                  const std::string& lineEnd) {
  std::string bytes = ListingLine(lowered, line);
  bytes += lineEnd;
  output.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
}

void ScanFolderOnce(const Filename& folder, BaseFile& output, FolderSet& visited) {
  FolderIdentity identity;
  if (GetFolderIdentity(folder, identity) && visited.Insert(identity) != FolderVisit::kNew) return;
  BrowseFiles browse;
  if (!browse.Init(folder, 0)) return;
  while (browse.GetNext()) {
    const Filename entry = folder + browse.GetFilename();
    if (browse.IsFolder()) {
      ScanFolderOnce(entry, output, visited);
    } else if (entry.CheckSuffix("cpp") || entry.CheckSuffix("h")) {
      ProcessFile(entry, output);
    }
  }
}

}  // namespace

void ProcessFile(const Filename& file, BaseFile& output) {
  BaseFile source;
  if (!source.Open(file, ZOR_FILE_READ, 2, ZOR_BYTEORDER_MOTOROLA, FourCC("ZORC"), FourCC("ZOR1"))) return;
  const int64_t length = source.GetLength();
  if (length <= 0) return;
  char* buffer = static_cast<char*>(ZOR_ALLOC(length));
  if (buffer == nullptr) return;
  if (source.Read(buffer, length)) {
    String lineEndText = String::LineEnd();
    const std::string lineEnd = lineEndText.ToUtf8();
    ScanSource(std::string_view(buffer, static_cast<size_t>(length)),
               [&](std::string_view literal, std::string_view line) {
                 const std::string lowered = LowerLiteral(literal);
                 if (IsListedLiteral(lowered, IsHeaderName)) WriteListing(output, lowered, line, lineEnd);
               });
  }
  source.Close();
  Free(buffer);
}

void ScanFolder(const Filename& folder, BaseFile& output) {
  FolderSet visited;
  ScanFolderOnce(folder, output, visited);
}

}  // namespace translator_locator

bool TranslatorLocator::Execute(HostDocument*) {
  BaseFile output;
  if (!output.Allocate() || !output.Open(Filename("C:") + Filename("strings.txt"), ZOR_FILE_WRITE, 2,
                                         ZOR_BYTEORDER_MOTOROLA, FourCC("ZORC"), FourCC("ZOR1"))) {
    return false;
  }
  Filename folder = StartupFolder();
  if (GeSelectFolder(folder, String())) translator_locator::ScanFolder(folder, output);
  output.Close();
  return true;
}

bool RegisterTranslatorLocator() {
  return RegisterCommandPlugin(kTranslatorLocatorId, "#$63Translator Locator...", 0, nullptr, String(),
                               NewObj(TranslatorLocator));
}
