// The transcript: what a user would have seen, as JSON lines, one object per event in the order the
// events happened. Every line is flushed at once so that a crash of the host loses nothing.
#pragma once
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

namespace zorhost::transcript {

// False with a message naming the file when it cannot be written.
bool open(const std::filesystem::path& file, std::string* error);
void close();

// Thread-safe; does nothing while no transcript is open. The object must carry an "event" field.
void record(const nlohmann::json& event);

}  // namespace zorhost::transcript
