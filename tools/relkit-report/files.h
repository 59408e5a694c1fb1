// Writing so that nothing is ever left half written: every file goes to a temporary name beside its
// place and is renamed over it once complete.
#pragma once
#include <filesystem>
#include <string>

namespace relkit_report {

// a name beside `path` that no other process uses
std::filesystem::path TemporaryBeside(const std::filesystem::path& path);

// Throws InputError naming the file when it cannot be written.
void WriteFileAtomically(const std::filesystem::path& path, const std::string& content);
void CopyFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to);
// Puts the folder `fresh` where `target` is, removing what was there.
void ReplaceFolder(const std::filesystem::path& fresh, const std::filesystem::path& target);

}  // namespace relkit_report
