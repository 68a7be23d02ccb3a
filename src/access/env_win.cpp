// The real file system on Windows. Paths arrive as UTF-8 and are handed to
// the wide (W) functions as UTF-16. Every failure names the file and carries
// the system's own reason (FormatMessageW, in the user's language).
#include <windows.h>

#include <cstring>
#include <memory>

#include "access/env.h"
#include "access/env_messages.h"
#include "text/ansi.h"

namespace pontevia::access {
namespace {

constexpr size_t kWriteBufferSize = 1 << 20;

std::wstring Wide(const std::string& utf8) {
  std::u16string w = text::Utf8ToUtf16(utf8);
  return std::wstring(w.begin(), w.end());
}

std::string Narrow(const wchar_t* w) {
  std::u16string u(reinterpret_cast<const char16_t*>(w));
  return text::Utf16ToUtf8(u);
}

std::string Reason(DWORD err) {
  wchar_t* buf = nullptr;
  DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, err, 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
  std::unique_ptr<wchar_t, HLOCAL (*)(HLOCAL)> owner(buf, &::LocalFree);
  std::string reason = n ? Narrow(buf) : std::string();
  while (!reason.empty() && (reason.back() == '\r' || reason.back() == '\n' || reason.back() == ' ' ||
                             reason.back() == '.')) {
    reason.pop_back();
  }
  if (reason.empty()) reason = "error " + std::to_string(err);
  return reason;
}

bool IsSharingError(DWORD err) { return err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION; }
bool IsMissing(DWORD err) { return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND; }

// Owns a file handle, as the rest of the code must never close one by hand.
class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE h) : h_(h) {}
  ~ScopedHandle() {
    if (valid()) ::CloseHandle(h_);
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
  HANDLE get() const { return h_; }
  // Closes now and reports whether the system accepted it.
  bool Close() {
    HANDLE h = h_;
    h_ = INVALID_HANDLE_VALUE;
    return ::CloseHandle(h) != 0;
  }

 private:
  HANDLE h_;
};

Status WriteAll(HANDLE h, const char* data, size_t size, const std::string& path) {
  while (size > 0) {
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!::WriteFile(h, data, chunk, &written, nullptr)) return WriteError(path, Reason(::GetLastError()));
    data += written;
    size -= written;
  }
  return Status::OK();
}

Status ReadAllFromHandle(HANDLE h, const std::string& path, std::string* contents) {
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(h, &size)) return ReadError(path, Reason(::GetLastError()));
  LARGE_INTEGER zero{};
  if (!::SetFilePointerEx(h, zero, nullptr, FILE_BEGIN)) return ReadError(path, Reason(::GetLastError()));
  contents->clear();
  // Room for the probe past the end below, so reading a large table never
  // reallocates and copies it.
  contents->reserve(static_cast<size_t>(size.QuadPart) + 65536);
  contents->resize(static_cast<size_t>(size.QuadPart));
  size_t done = 0;
  while (true) {
    if (done == contents->size()) contents->resize(done + 65536);  // the file grew meanwhile
    const size_t want = contents->size() - done;
    const DWORD chunk = want > (1u << 30) ? (1u << 30) : static_cast<DWORD>(want);
    DWORD got = 0;
    if (!::ReadFile(h, contents->data() + done, chunk, &got, nullptr)) {
      return ReadError(path, Reason(::GetLastError()));
    }
    if (got == 0) break;
    done += got;
  }
  contents->resize(done);
  return Status::OK();
}

Status ReadAtFromHandle(HANDLE h, const std::string& path, uint64_t offset, size_t n, char* out, size_t* got) {
  size_t done = 0;
  while (done < n) {
    OVERLAPPED at{};
    const uint64_t pos = offset + done;
    at.Offset = static_cast<DWORD>(pos & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(pos >> 32);
    const size_t want = n - done;
    const DWORD chunk = want > (1u << 30) ? (1u << 30) : static_cast<DWORD>(want);
    DWORD r = 0;
    if (!::ReadFile(h, out + done, chunk, &r, &at)) {
      const DWORD err = ::GetLastError();
      if (err == ERROR_HANDLE_EOF) break;
      return ReadError(path, Reason(err));
    }
    if (r == 0) break;
    done += r;
  }
  *got = done;
  return Status::OK();
}

class WinWritableFile final : public WritableFile {
 public:
  WinWritableFile(std::string path, HANDLE h)
      : path_(std::move(path)), handle_(h), buffer_(new char[kWriteBufferSize]) {}

  Status Append(std::string_view data) override {
    if (!handle_.valid()) return WriteError(path_, "el archivo ya estaba cerrado");
    if (data.size() <= kWriteBufferSize - used_) {
      std::memcpy(buffer_.get() + used_, data.data(), data.size());
      used_ += data.size();
      return Status::OK();
    }
    PONTEVIA_RETURN_IF_ERROR(Flush());
    if (data.size() >= kWriteBufferSize) return WriteAll(handle_.get(), data.data(), data.size(), path_);
    std::memcpy(buffer_.get(), data.data(), data.size());
    used_ = data.size();
    return Status::OK();
  }

  Status WriteAt(uint64_t offset, std::string_view data) override {
    if (!handle_.valid()) return WriteError(path_, "el archivo ya estaba cerrado");
    PONTEVIA_RETURN_IF_ERROR(Flush());
    size_t done = 0;
    while (done < data.size()) {
      OVERLAPPED at{};
      const uint64_t pos = offset + done;
      at.Offset = static_cast<DWORD>(pos & 0xFFFFFFFFu);
      at.OffsetHigh = static_cast<DWORD>(pos >> 32);
      const size_t want = data.size() - done;
      const DWORD chunk = want > (1u << 30) ? (1u << 30) : static_cast<DWORD>(want);
      DWORD written = 0;
      if (!::WriteFile(handle_.get(), data.data() + done, chunk, &written, &at)) {
        return WriteError(path_, Reason(::GetLastError()));
      }
      done += written;
    }
    // A positioned write moves the file pointer; later appends go to the end.
    LARGE_INTEGER zero{};
    if (!::SetFilePointerEx(handle_.get(), zero, nullptr, FILE_END)) {
      return WriteError(path_, Reason(::GetLastError()));
    }
    return Status::OK();
  }

  Status Close() override {
    if (!handle_.valid()) return Status::OK();
    Status s = Flush();
    if (!handle_.Close() && s.ok()) s = WriteError(path_, Reason(::GetLastError()));
    return s;
  }

 private:
  Status Flush() {
    Status s = WriteAll(handle_.get(), buffer_.get(), used_, path_);
    used_ = 0;
    return s;
  }

  std::string path_;
  ScopedHandle handle_;
  std::unique_ptr<char[]> buffer_;
  size_t used_ = 0;
};

class WinFileLock final : public FileLock {
 public:
  WinFileLock(std::string path, HANDLE h) : path_(std::move(path)), handle_(h) {}
  Status ReadAll(std::string* contents) override { return ReadAllFromHandle(handle_.get(), path_, contents); }
  Status ReadAt(uint64_t offset, size_t n, char* out, size_t* got) override {
    return ReadAtFromHandle(handle_.get(), path_, offset, n, out, got);
  }
  Status Size(uint64_t* size) override {
    LARGE_INTEGER s;
    if (!::GetFileSizeEx(handle_.get(), &s)) return ReadError(path_, Reason(::GetLastError()));
    *size = static_cast<uint64_t>(s.QuadPart);
    return Status::OK();
  }

 private:
  std::string path_;
  ScopedHandle handle_;
};

class WinEnv final : public Env {
 public:
  bool FileExists(const std::string& path) override {
    DWORD a = ::GetFileAttributesW(Wide(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
  }

  bool DirectoryExists(const std::string& path) override {
    DWORD a = ::GetFileAttributesW(Wide(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
  }

  Status ReadFile(const std::string& path, std::string* contents) override {
    ScopedHandle h(::CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!h.valid()) {
      const DWORD err = ::GetLastError();
      if (IsMissing(err)) return MissingFile(path);
      if (IsSharingError(err)) return LockedFile(path, Reason(err));
      return ReadError(path, Reason(err));
    }
    return ReadAllFromHandle(h.get(), path, contents);
  }

  Status NewWritableFile(const std::string& path, std::unique_ptr<WritableFile>* out) override {
    // No sharing while we write: nobody may read a half-written file.
    HANDLE h = ::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD err = ::GetLastError();
      if (IsSharingError(err)) return LockedFile(path, Reason(err));
      return CreateError(path, Reason(err));
    }
    *out = std::make_unique<WinWritableFile>(path, h);
    return Status::OK();
  }

  Status RenameFile(const std::string& from, const std::string& to) override {
    if (!::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING)) {
      const DWORD err = ::GetLastError();
      // A target that another program holds open refuses to be replaced;
      // Windows reports that as a sharing violation or as access denied.
      if (IsSharingError(err) || (err == ERROR_ACCESS_DENIED && FileExists(to))) {
        return RenameLocked(from, to, Reason(err));
      }
      return RenameError(from, to, Reason(err));
    }
    return Status::OK();
  }

  Status RemoveFile(const std::string& path) override {
    if (!::DeleteFileW(Wide(path).c_str())) {
      const DWORD err = ::GetLastError();
      if (IsMissing(err)) return Status::OK();
      if (IsSharingError(err)) return LockedFile(path, Reason(err));
      return RemoveError(path, Reason(err));
    }
    return Status::OK();
  }

  Status CopyFile(const std::string& from, const std::string& to) override {
    if (!::CopyFileW(Wide(from).c_str(), Wide(to).c_str(), FALSE)) {
      const DWORD err = ::GetLastError();
      if (IsMissing(err) && !FileExists(from)) return MissingFile(from);
      if (IsSharingError(err)) return LockedFile(from, Reason(err));
      return CreateError(to, Reason(err));
    }
    return Status::OK();
  }

  Status CreateDirectories(const std::string& path) override {
    if (path.empty() || DirectoryExists(path)) return Status::OK();
    for (size_t i = 1; i <= path.size(); ++i) {
      if (i != path.size() && path[i] != '\\' && path[i] != '/') continue;
      std::string prefix = path.substr(0, i);
      if (prefix.size() == 2 && prefix[1] == ':') continue;  // a drive, "C:"
      if (DirectoryExists(prefix)) continue;
      if (!::CreateDirectoryW(Wide(prefix).c_str(), nullptr)) {
        const DWORD err = ::GetLastError();
        if (err != ERROR_ALREADY_EXISTS) return CreateFolderError(path, Reason(err));
      }
    }
    if (!DirectoryExists(path)) return CreateFolderError(path, Reason(ERROR_PATH_NOT_FOUND));
    return Status::OK();
  }

  Status RemoveDirectoryTree(const std::string& path) override {
    const DWORD attrs = ::GetFileAttributesW(Wide(path).c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) {
      const DWORD err = ::GetLastError();
      if (IsMissing(err)) return Status::OK();
      return RemoveError(path, Reason(err));
    }
    if (!(attrs & FILE_ATTRIBUTE_DIRECTORY)) {
      if (attrs & FILE_ATTRIBUTE_READONLY) {
        ::SetFileAttributesW(Wide(path).c_str(), attrs & ~FILE_ATTRIBUTE_READONLY);
      }
      return RemoveFile(path);
    }
    std::vector<std::string> names;
    PONTEVIA_RETURN_IF_ERROR(ListDirectory(path, &names));
    for (const std::string& name : names) {
      PONTEVIA_RETURN_IF_ERROR(RemoveDirectoryTree(JoinPath(path, name)));
    }
    if (!::RemoveDirectoryW(Wide(path).c_str())) return RemoveError(path, Reason(::GetLastError()));
    return Status::OK();
  }

  Status ListDirectory(const std::string& path, std::vector<std::string>* names) override {
    names->clear();
    WIN32_FIND_DATAW data;
    HANDLE h = ::FindFirstFileW(Wide(JoinPath(path, "*")).c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD err = ::GetLastError();
      if (err == ERROR_FILE_NOT_FOUND) return Status::OK();  // an empty drive root
      if (IsMissing(err)) return MissingFolder(path);
      return ListError(path, Reason(err));
    }
    std::unique_ptr<void, BOOL (*)(HANDLE)> owner(h, &::FindClose);
    do {
      std::string name = Narrow(data.cFileName);
      if (name != "." && name != "..") names->push_back(std::move(name));
    } while (::FindNextFileW(h, &data));
    const DWORD err = ::GetLastError();
    if (err != ERROR_NO_MORE_FILES) return ListError(path, Reason(err));
    return Status::OK();
  }

  Status LockFile(const std::string& path, ShareMode mode, std::unique_ptr<FileLock>* out) override {
    // This is how the BDE keeps a table: exclusive opens share nothing, so
    // any other open fails while we hold the file and ours fails while
    // another program holds it; shared opens let readers and writers in.
    const DWORD share = mode == ShareMode::kExclusive ? 0 : (FILE_SHARE_READ | FILE_SHARE_WRITE);
    HANDLE h = ::CreateFileW(Wide(path).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD err = ::GetLastError();
      if (IsMissing(err)) return MissingFile(path);
      if (IsSharingError(err)) return LockedFile(path, Reason(err));
      return ReadError(path, Reason(err));
    }
    *out = std::make_unique<WinFileLock>(path, h);
    return Status::OK();
  }
};

}  // namespace

Env* Env::Default() {
  static WinEnv* env = new WinEnv();  // never destroyed: used until exit
  return env;
}

}  // namespace pontevia::access
