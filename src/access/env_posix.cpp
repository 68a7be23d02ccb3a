// The real file system on Linux and other POSIX systems. Every failure names
// the file and carries the system's reason, in Spanish for the reasons a
// school's staff can meet and in the system's words otherwise.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "access/env.h"
#include "access/env_messages.h"

namespace pontevia::access {
namespace {

constexpr size_t kWriteBufferSize = 1 << 20;

std::string Reason(int err) {
  // The C library speaks English unless a Spanish locale is installed, which
  // a Linux machine running Horalia under Wine seldom has.
  switch (err) {
    case EWOULDBLOCK: return "otro programa tiene el archivo abierto";
    case EACCES:
    case EPERM: return "no hay permiso para usar el archivo";
    case ENOENT: return "el archivo o la carpeta no existe";
    case ENOSPC: return "no queda espacio en el disco";
    case EDQUOT: return "se ha agotado la cuota de disco";
    case EROFS: return "el disco es de solo lectura";
    case EISDIR: return "es una carpeta, no un archivo";
    case ENOTDIR: return "una parte de la ruta no es una carpeta";
    case EEXIST: return "ya existe";
    case ENAMETOOLONG: return "el nombre es demasiado largo";
    case EIO: return "error de lectura o escritura en el disco";
    case EMFILE:
    case ENFILE: return "hay demasiados archivos abiertos";
    default: return std::strerror(err);
  }
}

// Closes a descriptor when it goes out of scope.
class ScopedFd {
 public:
  explicit ScopedFd(int fd) : fd_(fd) {}
  ~ScopedFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;
  int get() const { return fd_; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

Status WriteAll(int fd, const char* data, size_t size, const std::string& path) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return WriteError(path, Reason(errno));
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return Status::OK();
}

Status ReadAtFromFd(int fd, const std::string& path, uint64_t offset, size_t n, char* out, size_t* got) {
  size_t done = 0;
  while (done < n) {
    ssize_t r = ::pread(fd, out + done, n - done, static_cast<off_t>(offset + done));
    if (r < 0) {
      if (errno == EINTR) continue;
      return ReadError(path, Reason(errno));
    }
    if (r == 0) break;
    done += static_cast<size_t>(r);
  }
  *got = done;
  return Status::OK();
}

Status ReadAllFromFd(int fd, const std::string& path, std::string* contents) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return ReadError(path, Reason(errno));
  contents->clear();
  // Room for the probe past the end below, so reading a large table never
  // reallocates and copies it.
  contents->reserve(static_cast<size_t>(st.st_size) + 65536);
  contents->resize(static_cast<size_t>(st.st_size));
  size_t done = 0;
  while (true) {
    if (done == contents->size()) contents->resize(done + 65536);  // the file grew meanwhile
    ssize_t n = ::pread(fd, contents->data() + done, contents->size() - done, static_cast<off_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return ReadError(path, Reason(errno));
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  contents->resize(done);
  return Status::OK();
}

class PosixWritableFile final : public WritableFile {
 public:
  PosixWritableFile(std::string path, int fd)
      : path_(std::move(path)), fd_(fd), buffer_(new char[kWriteBufferSize]) {}
  ~PosixWritableFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  Status Append(std::string_view data) override {
    if (fd_ < 0) return WriteError(path_, "el archivo ya estaba cerrado");
    if (data.size() <= kWriteBufferSize - used_) {
      std::memcpy(buffer_.get() + used_, data.data(), data.size());
      used_ += data.size();
      return Status::OK();
    }
    PONTEVIA_RETURN_IF_ERROR(Flush());
    if (data.size() >= kWriteBufferSize) return WriteAll(fd_, data.data(), data.size(), path_);
    std::memcpy(buffer_.get(), data.data(), data.size());
    used_ = data.size();
    return Status::OK();
  }

  Status WriteAt(uint64_t offset, std::string_view data) override {
    if (fd_ < 0) return WriteError(path_, "el archivo ya estaba cerrado");
    PONTEVIA_RETURN_IF_ERROR(Flush());
    const char* p = data.data();
    size_t left = data.size();
    while (left > 0) {
      ssize_t n = ::pwrite(fd_, p, left, static_cast<off_t>(offset));
      if (n < 0) {
        if (errno == EINTR) continue;
        return WriteError(path_, Reason(errno));
      }
      p += n;
      offset += static_cast<uint64_t>(n);
      left -= static_cast<size_t>(n);
    }
    return Status::OK();
  }

  Status Close() override {
    if (fd_ < 0) return Status::OK();
    Status s = Flush();
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && s.ok()) s = WriteError(path_, Reason(errno));
    return s;
  }

 private:
  Status Flush() {
    Status s = WriteAll(fd_, buffer_.get(), used_, path_);
    used_ = 0;
    return s;
  }

  std::string path_;
  int fd_;
  std::unique_ptr<char[]> buffer_;
  size_t used_ = 0;
};

class PosixFileLock final : public FileLock {
 public:
  PosixFileLock(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
  ~PosixFileLock() override { ::close(fd_); }  // closing releases the flock
  Status ReadAll(std::string* contents) override { return ReadAllFromFd(fd_, path_, contents); }
  Status ReadAt(uint64_t offset, size_t n, char* out, size_t* got) override {
    return ReadAtFromFd(fd_, path_, offset, n, out, got);
  }
  Status Size(uint64_t* size) override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return ReadError(path_, Reason(errno));
    *size = static_cast<uint64_t>(st.st_size);
    return Status::OK();
  }

 private:
  std::string path_;
  int fd_;
};

class PosixEnv final : public Env {
 public:
  bool FileExists(const std::string& path) override {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  }

  bool DirectoryExists(const std::string& path) override {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  Status ReadFile(const std::string& path, std::string* contents) override {
    ScopedFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
      if (errno == ENOENT) return MissingFile(path);
      return ReadError(path, Reason(errno));
    }
    return ReadAllFromFd(fd.get(), path, contents);
  }

  Status NewWritableFile(const std::string& path, std::unique_ptr<WritableFile>* out) override {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return CreateError(path, Reason(errno));
    *out = std::make_unique<PosixWritableFile>(path, fd);
    return Status::OK();
  }

  Status RenameFile(const std::string& from, const std::string& to) override {
    if (::rename(from.c_str(), to.c_str()) != 0) return RenameError(from, to, Reason(errno));
    return Status::OK();
  }

  Status RemoveFile(const std::string& path) override {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) return RemoveError(path, Reason(errno));
    return Status::OK();
  }

  Status CopyFile(const std::string& from, const std::string& to) override {
    std::string contents;
    PONTEVIA_RETURN_IF_ERROR(ReadFile(from, &contents));
    std::unique_ptr<WritableFile> file;
    PONTEVIA_RETURN_IF_ERROR(NewWritableFile(to, &file));
    PONTEVIA_RETURN_IF_ERROR(file->Append(contents));
    return file->Close();
  }

  Status CreateDirectories(const std::string& path) override {
    if (path.empty() || DirectoryExists(path)) return Status::OK();
    for (size_t i = 1; i <= path.size(); ++i) {
      if (i != path.size() && path[i] != '/') continue;
      std::string prefix = path.substr(0, i);
      if (::mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) {
        return CreateFolderError(path, Reason(errno));
      }
    }
    if (!DirectoryExists(path)) return CreateFolderError(path, Reason(ENOTDIR));
    return Status::OK();
  }

  Status RemoveDirectoryTree(const std::string& path) override {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) {
      if (errno == ENOENT) return Status::OK();
      return RemoveError(path, Reason(errno));
    }
    if (S_ISDIR(st.st_mode)) {
      std::vector<std::string> names;
      PONTEVIA_RETURN_IF_ERROR(ListDirectory(path, &names));
      for (const std::string& name : names) {
        PONTEVIA_RETURN_IF_ERROR(RemoveDirectoryTree(JoinPath(path, name)));
      }
      if (::rmdir(path.c_str()) != 0) return RemoveError(path, Reason(errno));
      return Status::OK();
    }
    return RemoveFile(path);
  }

  Status ListDirectory(const std::string& path, std::vector<std::string>* names) override {
    names->clear();
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(path.c_str()), &::closedir);
    if (!dir) {
      if (errno == ENOENT) return MissingFolder(path);
      return ListError(path, Reason(errno));
    }
    while (struct dirent* e = ::readdir(dir.get())) {
      std::string name = e->d_name;
      if (name != "." && name != "..") names->push_back(std::move(name));
    }
    return Status::OK();
  }

  Status LockFile(const std::string& path, ShareMode mode, std::unique_ptr<FileLock>* out) override {
    ScopedFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
      if (errno == ENOENT) return MissingFile(path);
      return ReadError(path, Reason(errno));
    }
    const int op = (mode == ShareMode::kExclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    while (::flock(fd.get(), op) != 0) {
      if (errno == EINTR) continue;
      if (errno == EWOULDBLOCK) return LockedFile(path, Reason(errno));
      return ReadError(path, Reason(errno));
    }
    *out = std::make_unique<PosixFileLock>(path, fd.release());
    return Status::OK();
  }
};

}  // namespace

Env* Env::Default() {
  static PosixEnv* env = new PosixEnv();  // never destroyed: used until exit
  return env;
}

}  // namespace pontevia::access
