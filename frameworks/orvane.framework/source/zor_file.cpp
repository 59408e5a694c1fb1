#include "zor_file.h"

#include <utility>

#include "zor_host.h"

using Files = HostFileTable;

bool FileExists(const Filename& name) {
  return !name.IsEmpty() && HostCall(false, &Files::exists, name.Get(), ZOR_EXISTS_FILE);
}

bool FolderExists(const Filename& name) {
  return !name.IsEmpty() && HostCall(false, &Files::exists, name.Get(), ZOR_EXISTS_FOLDER);
}

bool CreateFolder(const Filename& name) {
  return !name.IsEmpty() && HostCall(false, &Files::create_folder, name.Get());
}

bool DeleteFile(const Filename& name, int32_t flags) {
  return !name.IsEmpty() && HostCall(false, &Files::delete_file, name.Get(), flags);
}

Filename StartupFolder() {
  Filename result;
  if (result.Get()) HostCall(&Files::startup_folder, result.Get());
  return result;
}

bool FolderById(int32_t id, Filename& out) {
  return out.Get() && HostCall(false, &Files::folder_by_id, id, out.Get());
}

bool GetFolderIdentity(const Filename& folder, FolderIdentity& out) {
  return !folder.IsEmpty() && HostCall(false, &Files::folder_identity, folder.Get(), &out.device, &out.inode);
}

// --- BaseFile ---

BaseFile::BaseFile(BaseFile&& other) noexcept
    : file_(std::exchange(other.file_, nullptr)), open_(std::exchange(other.open_, false)) {}

BaseFile& BaseFile::operator=(BaseFile&& other) noexcept {
  if (this != &other) {
    BaseFile discarded(std::move(*this));
    file_ = std::exchange(other.file_, nullptr);
    open_ = std::exchange(other.open_, false);
  }
  return *this;
}

BaseFile::~BaseFile() {
  Close();
  if (file_ != nullptr) HostCall(&Files::file_free, file_);
}

bool BaseFile::Allocate() {
  if (file_ == nullptr) file_ = HostCall(nullptr, &Files::file_alloc);
  return file_ != nullptr;
}

bool BaseFile::Open(const Filename& name, int32_t mode, int32_t errorDialog, int32_t byteOrder, uint32_t type,
                    uint32_t creator) {
  Close();
  if (!Allocate() || name.Get() == nullptr) return false;
  open_ = HostCall(false, &Files::file_open, file_, name.Get(), mode, errorDialog, byteOrder, type, creator);
  return open_;
}

bool BaseFile::Close() {
  if (!open_) return true;
  open_ = false;
  return HostCall(false, &Files::file_close, file_);
}

int64_t BaseFile::GetLength() const {
  return open_ ? HostCall(int64_t{-1}, &Files::file_length, file_) : -1;
}

int64_t BaseFile::GetPosition() const {
  return open_ ? HostCall(int64_t{-1}, &Files::file_position, file_) : -1;
}

bool BaseFile::Seek(int64_t position) {
  return open_ && HostCall(false, &Files::file_seek, file_, position);
}

bool BaseFile::Read(void* buffer, int64_t length) {
  if (length == 0) return open_;
  return open_ && buffer && length > 0 && HostCall(false, &Files::file_read, file_, buffer, length);
}

bool BaseFile::Write(const void* buffer, int64_t length) {
  if (length == 0) return open_;
  return open_ && buffer && length > 0 && HostCall(false, &Files::file_write, file_, buffer, length);
}

// --- BrowseFiles ---

BrowseFiles::BrowseFiles(BrowseFiles&& other) noexcept : browse_(std::exchange(other.browse_, nullptr)) {}

BrowseFiles& BrowseFiles::operator=(BrowseFiles&& other) noexcept {
  if (this != &other) {
    Reset();
    browse_ = std::exchange(other.browse_, nullptr);
  }
  return *this;
}

BrowseFiles::~BrowseFiles() {
  Reset();
}

void BrowseFiles::Reset() {
  if (browse_ != nullptr) HostCall(&Files::browse_free, browse_);
  browse_ = nullptr;
}

bool BrowseFiles::Init(const Filename& folder, int32_t flags) {
  Reset();
  if (folder.IsEmpty()) return false;
  browse_ = HostCall(nullptr, &Files::browse_open, folder.Get(), flags);
  return browse_ != nullptr;
}

bool BrowseFiles::GetNext() {
  return browse_ && HostCall(false, &Files::browse_next, browse_);
}

Filename BrowseFiles::GetFilename() const {
  Filename result;
  if (browse_ && result.Get()) HostCall(&Files::browse_name, browse_, result.Get());
  return result;
}

bool BrowseFiles::IsFolder() const {
  return browse_ && HostCall(false, &Files::browse_is_folder, browse_);
}

bool BrowseFiles::IsLink() const {
  return browse_ && HostCall(false, &Files::browse_is_link, browse_);
}

int64_t BrowseFiles::GetSize() const {
  return browse_ ? HostCall(int64_t{0}, &Files::browse_size, browse_) : 0;
}

int64_t BrowseFiles::GetTime() const {
  return browse_ ? HostCall(int64_t{0}, &Files::browse_time, browse_) : 0;
}

// --- FileLock ---

FileLock::FileLock(FileLock&& other) noexcept
    : lock_(std::exchange(other.lock_, nullptr)), busy_(std::exchange(other.busy_, false)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    Release();
    lock_ = std::exchange(other.lock_, nullptr);
    busy_ = std::exchange(other.busy_, false);
  }
  return *this;
}

FileLock::~FileLock() {
  Release();
}

bool FileLock::Take(const Filename& name) {
  Release();
  bool busy = false;
  if (!name.IsEmpty()) lock_ = HostCall(nullptr, &Files::lock_take, name.Get(), &busy);
  busy_ = lock_ == nullptr && busy;
  return lock_ != nullptr;
}

void FileLock::Release() {
  if (lock_ != nullptr) HostCall(&Files::lock_free, std::exchange(lock_, nullptr));
  busy_ = false;
}
