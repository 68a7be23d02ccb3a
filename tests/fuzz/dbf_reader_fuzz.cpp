// Feeds raw bytes to the dBase table reader as the file FUZZ.DBF: open it,
// walk every record and read every field in every way the converter does.
// Any outcome but a crash, a hang or a sanitizer report is fine.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "access/dbf_reader.h"
#include "access/dbf_table.h"
#include "access/env.h"

namespace {

using namespace pontevia;
using namespace pontevia::access;

// One read-only file in memory; everything that would write fails.
class OneFileEnv : public Env {
 public:
  explicit OneFileEnv(std::string bytes) : bytes_(std::move(bytes)) {}

  bool FileExists(const std::string& p) override { return p == kPath; }
  bool DirectoryExists(const std::string&) override { return true; }
  Status ReadFile(const std::string& p, std::string* c) override {
    if (p != kPath) return Status::NotFound(p);
    *c = bytes_;
    return Status::OK();
  }
  Status NewWritableFile(const std::string& p, std::unique_ptr<WritableFile>*) override { return Denied(p); }
  Status RenameFile(const std::string& f, const std::string&) override { return Denied(f); }
  Status RemoveFile(const std::string& p) override { return Denied(p); }
  Status CopyFile(const std::string& f, const std::string&) override { return Denied(f); }
  Status CreateDirectories(const std::string& p) override { return Denied(p); }
  Status RemoveDirectoryTree(const std::string& p) override { return Denied(p); }
  Status ListDirectory(const std::string&, std::vector<std::string>* n) override {
    *n = {"FUZZ.DBF"};
    return Status::OK();
  }
  Status LockFile(const std::string& p, ShareMode, std::unique_ptr<FileLock>* out) override {
    if (p != kPath) return Status::NotFound(p);
    *out = std::make_unique<Lock>(bytes_);
    return Status::OK();
  }

 private:
  static constexpr const char* kPath = "F/FUZZ.DBF";
  class Lock : public FileLock {
   public:
    explicit Lock(const std::string& bytes) : bytes_(bytes) {}
    Status ReadAll(std::string* contents) override {
      *contents = bytes_;
      return Status::OK();
    }
    Status ReadAt(uint64_t offset, size_t n, char* out, size_t* got) override {
      *got = offset < bytes_.size() ? bytes_.copy(out, n, static_cast<size_t>(offset)) : 0;
      return Status::OK();
    }
    Status Size(uint64_t* size) override {
      *size = bytes_.size();
      return Status::OK();
    }

   private:
    const std::string& bytes_;
  };
  static Status Denied(const std::string& p) { return Status::IoError("solo lectura: " + p); }
  std::string bytes_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);

  DbfLayout layout;
  (void)ReadDbfLayout("FUZZ.DBF", bytes, &layout);

  OneFileEnv env(bytes);
  std::unique_ptr<Table> t;
  if (!Table::Open(&env, "F", "FUZZ", ShareMode::kShared, &t).ok()) return 0;
  (void)t->RecordCount();
  int records = 0;
  for (Status s = t->First(); s.ok() && !t->Eof() && records < 10000; s = t->Next(), ++records) {
    for (int f = 0; f < static_cast<int>(t->fields().size()); ++f) {
      (void)t->GetText(f);
      (void)t->TextView(f);
      (void)t->GetFloat(f);
      (void)t->GetInteger(f);
      (void)t->GetNumberText(f);
      (void)t->GetBool(f);
    }
    (void)t->GetText(std::string_view("NO_EXISTE"));
  }
  (void)t->Close();
  return 0;
}
