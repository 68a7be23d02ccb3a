// The small file-access interface the core goes through, so that tests can
// swap in an implementation that fails the k-th write or rename and prove the
// working folder is left as it was. Paths are UTF-8; the Windows
// implementation converts them to UTF-16 at the call. Both '/' and '\\' are
// accepted as separators on Windows.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"

namespace pontevia::access {

// Appends bytes through a large buffer. Close() must be called and its Status
// checked: only a successful Close means the bytes reached the disk.
class WritableFile {
 public:
  virtual ~WritableFile() = default;
  virtual Status Append(std::string_view data) = 0;
  virtual Status Close() = 0;
  // Overwrites bytes already appended, `offset` bytes from the start of the
  // file, flushing the buffer first; later Appends still go to the end. The
  // table engine fills in a header whose counts are known only at the end
  // this way. An implementation that cannot may keep this default, which
  // refuses; then tables cannot be created through it.
  virtual Status WriteAt(uint64_t offset, std::string_view data);
};

// How a file is held open while it is read or rewritten. Exclusive means what
// the BDE means by it: on Windows a share mode that makes any other open fail,
// elsewhere an advisory lock (flock) that other cooperating programs honour.
enum class ShareMode { kShared, kExclusive };

// A file held open (and, for kExclusive, locked) until destroyed.
class FileLock {
 public:
  virtual ~FileLock() = default;
  // The whole file, read through the handle this lock holds. Tables are read
  // this way because on Windows an exclusive hold keeps out every other open,
  // this process's own included.
  virtual Status ReadAll(std::string* contents) = 0;
  // Up to `n` bytes from `offset` into `out`; *got < n only at the end of the
  // file. Lets a large table be walked through a small window.
  virtual Status ReadAt(uint64_t offset, size_t n, char* out, size_t* got) = 0;
  virtual Status Size(uint64_t* size) = 0;
};

class Env {
 public:
  virtual ~Env() = default;

  // The process-wide real file system.
  static Env* Default();

  virtual bool FileExists(const std::string& path) = 0;
  virtual bool DirectoryExists(const std::string& path) = 0;
  // Whole file into *contents.
  virtual Status ReadFile(const std::string& path, std::string* contents) = 0;
  // Creates or truncates.
  virtual Status NewWritableFile(const std::string& path, std::unique_ptr<WritableFile>* out) = 0;
  // Replaces `to` if it exists (atomically where the system allows).
  virtual Status RenameFile(const std::string& from, const std::string& to) = 0;
  // Missing file is not an error.
  virtual Status RemoveFile(const std::string& path) = 0;
  virtual Status CopyFile(const std::string& from, const std::string& to) = 0;
  // Creates the folder and missing parents; existing is not an error.
  virtual Status CreateDirectories(const std::string& path) = 0;
  // Removes a folder and everything in it; missing is not an error.
  virtual Status RemoveDirectoryTree(const std::string& path) = 0;
  // Names (not paths) of the entries of a folder.
  virtual Status ListDirectory(const std::string& path, std::vector<std::string>* names) = 0;
  // Opens the file with the given share mode and keeps it so. Fails with
  // kLocked when another program holds it against that mode, kNotFound when
  // it does not exist.
  virtual Status LockFile(const std::string& path, ShareMode mode, std::unique_ptr<FileLock>* out) = 0;
};

// Writes `path` afresh: `fill` appends the contents to a temporary file
// (path + ".tmp", in the same folder so the rename cannot cross disks), which
// is then closed, its Status checked, and renamed over `path`. On any failure
// the temporary file is removed and `path` is left as it was.
Status ReplaceFileContents(Env* env, const std::string& path,
                           const std::function<Status(WritableFile*)>& fill);

// Joins a folder and a file name with the platform's separator.
std::string JoinPath(const std::string& folder, const std::string& name);
// The folder part of a path, with its final separator ("C:\\x\\a.xml" -> "C:\\x\\").
std::string FolderOf(const std::string& path);

}  // namespace pontevia::access
