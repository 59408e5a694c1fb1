// The Renderator's report "_result.txt", read as the fixed-column text it is: a header line, then one
// line per scene with its number, status word, times, differences and the scene file's path.
#pragma once
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace relkit_report {

// Bad input: a message that names the file and what is wrong with it.
class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct ResultLine {
  int number = 0;      // 1 for the first scene
  std::string status;  // OK, ERROR, CREATED, SKIPPED, PENDING
  double tnew = 0;
  std::string tnewText;  // as written, so that a line copied into another report shows the same time
  bool hasTold = false;  // only OK lines carry Told, Trel and Diff
  double told = 0;
  bool hasTrel = false;
  double trel = 0;   // fraction: +25.00% is 0.25
  double diff = 0;   // fraction of the largest possible difference; "None" is 0
  std::string name;  // the scene file's full path as written (cut where the line was cut)
  std::string text;  // the whole line as written, without its end
};

struct ResultFile {
  std::filesystem::path path;
  std::string header;  // the first line as written, without its end; kept as it is when rewritten
  std::string versionText;
  std::string lineEnd = "\n";
  std::vector<ResultLine> lines;
};

// Throws InputError naming the file (and the line) when it is missing, not a regular file, empty, cut
// short or not in the report's format (a scene number that does not fit, a time that is not finite).
ResultFile ReadResultFile(const std::filesystem::path& path);
// The same, handing each line to `keep` instead of collecting them (lines come in order, numbered from
// 1); the answer's lines stay empty. Memory does not grow with the report.
ResultFile ReadResultFile(const std::filesystem::path& path, const std::function<void(ResultLine&&)>& keep);

// One line as the Renderator writes a scene with a status other than OK, without the line end.
std::string StatusLineText(int number, const std::string& status, const std::string& tnewText,
                           const std::string& name);
std::string ResultFileText(const ResultFile& file);

// The scene's path relative to the folder the run's scenes were collected from (the result folder's
// parent), when it lies below it; otherwise the path as written. Two runs made in different checkouts
// thus still name the same scene alike.
std::string SceneName(const std::string& fullName, const std::filesystem::path& resultFolder);
// the same with the result folder's parent as SceneFolderPrefix answers it, for many names
std::string SceneFolderPrefix(const std::filesystem::path& resultFolder);
std::string SceneName(const std::string& fullName, const std::string& prefix);

// At most `limit` bytes of text, cut on a character boundary so that UTF-8 stays UTF-8.
std::string CutUtf8(std::string text, size_t limit);

// the image file name of the scene at a number: 0001.tif, 12345.tif
std::string ImageName(int number, const char* suffix = "");

}  // namespace relkit_report
