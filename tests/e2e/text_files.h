// Reading what a zorhost run left behind: whole files, their lines and the words of a line.
#pragma once
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace e2e {

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

inline std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::stringstream in(line);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

// the prefix of the result folders of a run at the default host version
inline const std::string kResultPrefix = "_renderator_16.050_";

}  // namespace e2e
