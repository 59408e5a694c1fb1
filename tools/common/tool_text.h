// Text from outside (a scene's file name may hold any bytes) made safe for the files the tools write.
#pragma once
#include <filesystem>
#include <string>

namespace relkit_tools {

// Valid UTF-8 whatever the input, with every character XML 1.0 allows kept as it is: a byte that is not
// part of well-formed UTF-8 becomes "\xHH", a control character (but tab and line ends), U+FFFE or U+FFFF
// becomes "\uHHHH". The name stays recognisable and no two different bytes look alike.
std::string Printable(const std::string& text);
// Printable, then the five markup characters as references: fit for XML and HTML text and attributes.
std::string MarkupEscaped(const std::string& raw);

// Writes the file whole or not at all: the text goes to a temporary of its own in the same folder (a
// fresh random name, never a planted link), is synced and renamed over the file. False with the reason
// in error (naming the file) when that fails; no temporary is left then.
bool WriteFileAtomically(const std::filesystem::path& file, const std::string& text, std::string& error);

}  // namespace relkit_tools
