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
    : _file(std::exchange(other._file, nullptr)), _open(std::exchange(other._open, false)) {}

BaseFile& BaseFile::operator=(BaseFile&& other) noexcept {
  if (this != &other) {
    BaseFile discarded(std::move(*this));
    _file = std::exchange(other._file, nullptr);
    _open = std::exchange(other._open, false);
  }
  return *this;
}

BaseFile::~BaseFile() {
  Close();
  if (_file != nullptr) HostCall(&Files::file_free, _file);
}

bool BaseFile::Allocate() {
  if (_file == nullptr) _file = HostCall(nullptr, &Files::file_alloc);
  return _file != nullptr;
}

bool BaseFile::Open(const Filename& name, int32_t mode, int32_t errorDialog, int32_t byteOrder, uint32_t type,
                    uint32_t creator) {
  Close();
  if (!Allocate() || name.Get() == nullptr) return false;
  _open = HostCall(false, &Files::file_open, _file, name.Get(), mode, errorDialog, byteOrder, type, creator);
  return _open;
}

bool BaseFile::Close() {
  if (!_open) return true;
  _open = false;
  return HostCall(false, &Files::file_close, _file);
}

int64_t BaseFile::GetLength() const {
  return _open ? HostCall(int64_t{-1}, &Files::file_length, _file) : -1;
}

int64_t BaseFile::GetPosition() const {
  return _open ? HostCall(int64_t{-1}, &Files::file_position, _file) : -1;
}

bool BaseFile::Seek(int64_t position) {
  return _open && HostCall(false, &Files::file_seek, _file, position);
}

bool BaseFile::Read(void* buffer, int64_t length) {
  if (length == 0) return _open;
  return _open && buffer && length > 0 && HostCall(false, &Files::file_read, _file, buffer, length);
}

bool BaseFile::Write(const void* buffer, int64_t length) {
  if (length == 0) return _open;
  return _open && buffer && length > 0 && HostCall(false, &Files::file_write, _file, buffer, length);
}

// --- BrowseFiles ---

BrowseFiles::BrowseFiles(BrowseFiles&& other) noexcept : _browse(std::exchange(other._browse, nullptr)) {}

BrowseFiles& BrowseFiles::operator=(BrowseFiles&& other) noexcept {
  if (this != &other) {
    Reset();
    _browse = std::exchange(other._browse, nullptr);
  }
  return *this;
}

BrowseFiles::~BrowseFiles() {
  Reset();
}

void BrowseFiles::Reset() {
  if (_browse != nullptr) HostCall(&Files::browse_free, _browse);
  _browse = nullptr;
}

bool BrowseFiles::Init(const Filename& folder, int32_t flags) {
  Reset();
  if (folder.IsEmpty()) return false;
  _browse = HostCall(nullptr, &Files::browse_open, folder.Get(), flags);
  return _browse != nullptr;
}

bool BrowseFiles::GetNext() {
  return _browse && HostCall(false, &Files::browse_next, _browse);
}

Filename BrowseFiles::GetFilename() const {
  Filename result;
  if (_browse && result.Get()) HostCall(&Files::browse_name, _browse, result.Get());
  return result;
}

bool BrowseFiles::IsFolder() const {
  return _browse && HostCall(false, &Files::browse_is_folder, _browse);
}

bool BrowseFiles::IsLink() const {
  return _browse && HostCall(false, &Files::browse_is_link, _browse);
}

int64_t BrowseFiles::GetSize() const {
  return _browse ? HostCall(int64_t{0}, &Files::browse_size, _browse) : 0;
}

int64_t BrowseFiles::GetTime() const {
  return _browse ? HostCall(int64_t{0}, &Files::browse_time, _browse) : 0;
}

// --- FileLock ---

FileLock::FileLock(FileLock&& other) noexcept
    : _lock(std::exchange(other._lock, nullptr)), _busy(std::exchange(other._busy, false)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    Release();
    _lock = std::exchange(other._lock, nullptr);
    _busy = std::exchange(other._busy, false);
  }
  return *this;
}

FileLock::~FileLock() {
  Release();
}

bool FileLock::Take(const Filename& name) {
  Release();
  bool busy = false;
  if (!name.IsEmpty()) _lock = HostCall(nullptr, &Files::lock_take, name.Get(), &busy);
  _busy = _lock == nullptr && busy;
  return _lock != nullptr;
}

void FileLock::Release() {
  if (_lock != nullptr) HostCall(&Files::lock_free, std::exchange(_lock, nullptr));
  _busy = false;
}
