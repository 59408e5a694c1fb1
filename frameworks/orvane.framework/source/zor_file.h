// The file system, byte files and folder listings through the host.
#pragma once
#include <cstdint>

#include "zor_filename.h"

// A four-character type or creator code written as a text literal: FourCC("TEXT").
constexpr uint32_t FourCC(const char (&code)[5]) {
  return static_cast<uint32_t>(ZOR_FOUR_BYTE(code[0], code[1], code[2], code[3]));
}

bool FileExists(const Filename& name);
bool FolderExists(const Filename& name);
bool CreateFolder(const Filename& name);
bool DeleteFile(const Filename& name, int32_t flags = 0);  // ZOR_DELETE_FORCE to force
Filename StartupFolder();
bool FolderById(int32_t id, Filename& out);  // ZOR_FOLDER_*

// Which folder a path leads to, links followed: equal for two paths of the same folder.
struct FolderIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  bool operator==(const FolderIdentity&) const = default;
};
// false when the folder cannot be reached or the host cannot tell
bool GetFolderIdentity(const Filename& folder, FolderIdentity& out);

class BaseFile {
 public:
  BaseFile() = default;
  BaseFile(const BaseFile&) = delete;
  BaseFile& operator=(const BaseFile&) = delete;
  BaseFile(BaseFile&& other) noexcept;
  BaseFile& operator=(BaseFile&& other) noexcept;
  ~BaseFile();

  // Makes the host's file object ahead of Open, for callers that treat "no file object" and "cannot
  // open" differently; Open makes it itself when needed.
  bool Allocate();
  // mode: ZOR_FILE_READ, ZOR_FILE_WRITE, ZOR_FILE_READWRITE or ZOR_FILE_APPEND
  bool Open(const Filename& name, int32_t mode, int32_t errorDialog = 0,
            int32_t byteOrder = ZOR_BYTEORDER_INTEL, uint32_t type = FourCC("ZORC"),
            uint32_t creator = FourCC("ZOR1"));
  bool Close();                 // true when nothing was open or everything was written
  int64_t GetLength() const;    // -1 when no file is open or the host cannot tell
  int64_t GetPosition() const;  // -1 likewise
  bool Seek(int64_t position);
  bool Read(void* buffer, int64_t length);  // false when fewer bytes could be read
  bool Write(const void* buffer, int64_t length);
  bool IsOpen() const { return open_; }

 private:
  HostFile* file_ = nullptr;
  bool open_ = false;
};

class BrowseFiles {
 public:
  BrowseFiles() = default;
  BrowseFiles(const BrowseFiles&) = delete;
  BrowseFiles& operator=(const BrowseFiles&) = delete;
  BrowseFiles(BrowseFiles&& other) noexcept;
  BrowseFiles& operator=(BrowseFiles&& other) noexcept;
  ~BrowseFiles();

  bool Init(const Filename& folder, int32_t flags = 0);
  bool GetNext();
  Filename GetFilename() const;  // the current entry's name
  bool IsFolder() const;
  bool IsLink() const;      // a symbolic link; IsFolder tells what it points to
  int64_t GetSize() const;  // 0 before the first entry
  int64_t GetTime() const;  // seconds since 1970; 0 before the first entry

 private:
  void Reset();
  HostBrowse* browse_ = nullptr;
};

// An advisory lock on a file (made when missing, left in place), held while this object holds it. It
// excludes other holders of the same lock, also in other processes, and the host drops it when the
// process ends in any way, so a crashed holder never keeps it.
class FileLock {
 public:
  FileLock() = default;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  ~FileLock();

  // Takes the lock of name, releasing one held before. false when not taken: Busy() then tells whether
  // another holder has it; otherwise it could not be taken (or the host offers no locks).
  bool Take(const Filename& name);
  void Release();
  bool IsHeld() const { return lock_ != nullptr; }
  bool Busy() const { return busy_; }

 private:
  HostFileLock* lock_ = nullptr;
  bool busy_ = false;
};
