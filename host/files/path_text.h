// File-name text operations. Module paths are Windows-style as often as not, so both "/" and "\" are
// separators here; native() in the files family maps drive paths onto this machine.
#pragma once
#include <string>
#include <string_view>

namespace zorhost {

bool is_separator(char c);
// "C:", "C:\..." or "C:/..."
bool has_drive(std::string_view path);
bool is_absolute_path(std::string_view path);
std::string join_path(std::string_view base, std::string_view name);
std::string directory_part(std::string_view path);
std::string file_part(std::string_view path);
// suffix without the dot; ASCII letters compared without case; "" matches a name without suffix
bool has_suffix(std::string_view path, std::string_view suffix);
// The host's comparison of file names: ASCII letters without case (the way names are matched where
// module code comes from: "script_US.TXT" is a ".txt" file), every other character by code point.
// UTF-8 orders like code points, so the bytes are compared. < 0, 0, > 0.
int compare_names(std::string_view a, std::string_view b);
// replaces the suffix of the file part, adds one when there is none, removes it for ""
std::string with_suffix(std::string_view path, std::string_view suffix);

}  // namespace zorhost
