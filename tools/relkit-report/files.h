// Writing so that nothing is ever left half written: every file goes to a temporary name beside its
// place and is renamed over it once complete. Temporary names are made unguessable and created
// exclusively, so a name planted in advance (a link, say) is never written through.
#pragma once
#include <cstdio>
#include <filesystem>
#include <string>

namespace relkit_report {

// A new, empty file beside `path` named ".PREFIXNAME.XXXXXX", created exclusively (never through a
// link); its permissions follow the umask. Throws InputError with the reason.
std::filesystem::path CreateTemporaryBeside(const std::filesystem::path& path,
                                            const std::string& prefix = "");
// A new, empty folder beside `path` named ".NAME.XXXXXX", holding an flock on itself while this object
// lives, so that a later run can tell a folder that a killed run left (nobody holds it) from one a
// running one fills; made, it first removes those left by killed runs. Removing or renaming the folder
// is the owner's (ReplaceFolder, rename, remove_all); destroyed, this only lets go of the lock.
class TemporaryFolder {
 public:
  explicit TemporaryFolder(const std::filesystem::path& beside);
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
  int fd_ = -1;
};

// Writes content to `temporary` (made by CreateTemporaryBeside) and syncs it; on failure removes it
// and throws InputError naming `shownAs` with the reason.
void FillTemporary(const std::filesystem::path& temporary, const std::string& content,
                   const std::filesystem::path& shownAs);
void CopyIntoTemporary(const std::filesystem::path& from, const std::filesystem::path& temporary,
                       const std::filesystem::path& shownAs);
// Renames from over to; throws InputError naming `to` with the reason.
void RenameOver(const std::filesystem::path& from, const std::filesystem::path& to);
// Makes the renames in a folder durable.
void SyncFolder(const std::filesystem::path& folder);

// Throws InputError naming the file, with the reason, when it cannot be written.
void WriteFileAtomically(const std::filesystem::path& path, const std::string& content);
// A file written piece by piece to a temporary beside `path` and renamed over it by Commit; dropped
// uncommitted, the temporary is removed and `path` is untouched. Errors throw InputError naming `path`.
class AtomicFile {
 public:
  explicit AtomicFile(const std::filesystem::path& path);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  void Write(const std::string& text);
  void Commit();

 private:
  std::filesystem::path path_, temporary_;
  std::FILE* file_ = nullptr;
};

// Puts the folder `fresh` where `target` is in one step, then removes what was there.
void ReplaceFolder(const std::filesystem::path& fresh, const std::filesystem::path& target);

// An flock on a folder itself (no lock file is left behind), released when destroyed. A shared lock
// on a folder that cannot be opened is skipped: nothing of ours can be writing there then.
class FolderLock {
 public:
  FolderLock(const std::filesystem::path& folder, bool exclusive);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace relkit_report
