// Reading a whole file that comes from outside the host (a scene, stored settings, a script, a header).
#pragma once
#include <filesystem>
#include <string>

namespace zorhost {

// The whole file as bytes. False with the reason in the user's terms ("is a folder, not a file", "does
// not exist", "is not a regular file", "cannot be read: <system error>"), without the file's name. The
// kind of file is checked on the opened file, so nothing can swap it in between, and a pipe under the
// name is refused instead of waited on.
bool read_input_file(const std::filesystem::path& file, std::string* text, std::string* error);

}  // namespace zorhost
