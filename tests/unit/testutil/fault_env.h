// An Env that forwards to the real one and fails one chosen operation, so a
// test can fail each step of a write in turn (the k-th Append, Close of a
// written file, rename or remove) and check that the old files survive.
#pragma once

#include <string>

#include "access/env.h"

namespace pontevia::testing {

class FaultEnv : public access::Env {
 public:
  explicit FaultEnv(access::Env* base = access::Env::Default()) : base_(base) {}

  // Fails the k-th (0-based) mutating operation from now on; -1 fails none.
  // Mutating operations: NewWritableFile, Append, WriteAt, Close (of a
  // writable file), RenameFile, RemoveFile, CopyFile, CreateDirectories.
  void FailAt(int k) {
    fail_at_ = k;
    seen_ = 0;
  }
  // Mutating operations seen since the last FailAt.
  int seen() const { return seen_; }
  bool failed() const { return failed_; }

  // Returns the injected failure when this operation is the chosen one.
  Status Tick(const std::string& what);

  bool FileExists(const std::string& path) override { return base_->FileExists(path); }
  bool DirectoryExists(const std::string& path) override { return base_->DirectoryExists(path); }
  Status ReadFile(const std::string& path, std::string* contents) override {
    return base_->ReadFile(path, contents);
  }
  Status NewWritableFile(const std::string& path, std::unique_ptr<access::WritableFile>* out) override;
  Status RenameFile(const std::string& from, const std::string& to) override;
  Status RemoveFile(const std::string& path) override;
  Status CopyFile(const std::string& from, const std::string& to) override;
  Status CreateDirectories(const std::string& path) override;
  Status RemoveDirectoryTree(const std::string& path) override { return base_->RemoveDirectoryTree(path); }
  Status ListDirectory(const std::string& path, std::vector<std::string>* names) override {
    return base_->ListDirectory(path, names);
  }
  Status LockFile(const std::string& path, access::ShareMode mode,
                  std::unique_ptr<access::FileLock>* out) override {
    return base_->LockFile(path, mode, out);
  }

 private:
  access::Env* base_;
  int fail_at_ = -1;
  int seen_ = 0;
  bool failed_ = false;
};

}  // namespace pontevia::testing
