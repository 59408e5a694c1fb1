// Every file the host writes for a module (byte files, images, stored settings) is written under a
// temporary name beside its final one and put in place by a rename only after every write, the sync
// and the close succeeded: a killed process or a full disk leaves the old file as it was.
#pragma once
#include <cstddef>
#include <filesystem>
#include <string>

namespace zorhost {

// The temporary cannot be planted by anyone else: it is made unnamed in the final file's folder
// (O_TMPFILE) and given a name only at the commit, or, where the file system cannot do that, made
// new under a random name (".<name>.<random>.zorhost-tmp", O_EXCL, never through a link). A killed
// writer leaves nothing in the first case and its random-named temporary in the second.
// Tests turn the unnamed way off to take the named one where the file system offers both.
void use_unnamed_temporaries(bool use);

class ReplacingFile {
 public:
  ReplacingFile() = default;
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;
  ~ReplacingFile();  // an open temporary that was not committed is removed

  // Makes the temporary: empty, or holding the final file's bytes when keep_contents is set (for
  // editing in place). Every writer has its own, so two writers of one file never share one; the last
  // to commit wins. false with error() set.
  bool open(const std::filesystem::path& final_path, bool keep_contents = false);
  // the temporary's descriptor, read-write; callers write through it but never close it
  int fd() const { return fd_; }
  // every byte or false, with error() set
  bool write(const void* data, std::size_t size);
  // A failure the caller met while writing through fd(); commit then refuses. error_number 0: no
  // system error, what says it all.
  void fail(int error_number, const std::string& what = "");
  // sync, name the temporary, close, rename over the final name; false (temporary removed) on any
  // failure
  bool commit();
  // removes the temporary; the final file stays as it was
  void discard();

  bool is_open() const { return fd_ >= 0; }
  bool failed() const { return !error_.empty(); }
  // "cannot write PATH: ...: SYSTEM ERROR" for the first failure
  const std::string& error() const { return error_; }
  // the error on stderr, once
  void report();
  const std::filesystem::path& final_path() const { return final_; }

 private:
  bool create_temporary();
  bool name_temporary();

  std::filesystem::path final_;
  std::filesystem::path temporary_;  // empty while the temporary has no name
  int fd_ = -1;
  std::string error_;
  bool reported_ = false;
};

}  // namespace zorhost
