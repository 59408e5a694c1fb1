#include "files.h"

#include <unistd.h>

#include <fstream>
#include <system_error>

#include "result_file.h"

namespace relkit_report {

std::filesystem::path TemporaryBeside(const std::filesystem::path& path) {
  return path.parent_path() / ("." + path.filename().string() + ".tmp-" + std::to_string(::getpid()));
}

namespace {

void Rename(const std::filesystem::path& from, const std::filesystem::path& to) {
  std::error_code error;
  std::filesystem::rename(from, to, error);
  if (error) {
    std::filesystem::remove(from, error);
    throw InputError(to.string() + ": cannot be replaced (" + error.message() + ")");
  }
}

}  // namespace

void WriteFileAtomically(const std::filesystem::path& path, const std::string& content) {
  const std::filesystem::path temporary = TemporaryBeside(path);
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(content.data(), std::streamsize(content.size()));
    out.flush();
    if (!out) {
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
      throw InputError(path.string() + ": cannot be written");
    }
  }
  Rename(temporary, path);
}

void CopyFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to) {
  const std::filesystem::path temporary = TemporaryBeside(to);
  std::error_code error;
  std::filesystem::copy_file(from, temporary, std::filesystem::copy_options::overwrite_existing, error);
  if (error) {
    std::filesystem::remove(temporary, error);
    throw InputError(to.string() + ": cannot copy " + from.string() + " there");
  }
  Rename(temporary, to);
}

void ReplaceFolder(const std::filesystem::path& fresh, const std::filesystem::path& target) {
  std::error_code error;
  const std::filesystem::path old = TemporaryBeside(target).string() + "-old";
  std::filesystem::remove_all(old, error);
  if (std::filesystem::exists(target)) std::filesystem::rename(target, old, error);
  if (error) throw InputError(target.string() + ": cannot be replaced (" + error.message() + ")");
  Rename(fresh, target);
  std::filesystem::remove_all(old, error);
}

}  // namespace relkit_report
