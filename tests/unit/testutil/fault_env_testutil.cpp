#include "unit/testutil/fault_env.h"

namespace pontevia::testing {
namespace {

class FaultFile : public access::WritableFile {
 public:
  FaultFile(FaultEnv* env, std::string path, std::unique_ptr<access::WritableFile> base)
      : env_(env), path_(std::move(path)), base_(std::move(base)) {}
  Status Append(std::string_view data) override {
    PONTEVIA_RETURN_IF_ERROR(env_->Tick("escribir " + path_));
    return base_->Append(data);
  }
  Status WriteAt(uint64_t offset, std::string_view data) override {
    PONTEVIA_RETURN_IF_ERROR(env_->Tick("reescribir " + path_));
    return base_->WriteAt(offset, data);
  }
  Status Close() override {
    Status injected = env_->Tick("cerrar " + path_);
    Status s = base_->Close();
    return injected.ok() ? s : injected;
  }

 private:
  FaultEnv* env_;
  std::string path_;
  std::unique_ptr<access::WritableFile> base_;
};

}  // namespace

Status FaultEnv::Tick(const std::string& what) {
  if (seen_++ == fail_at_) {
    failed_ = true;
    return Status::IoError("Fallo simulado al " + what + ".");
  }
  return Status::OK();
}

Status FaultEnv::NewWritableFile(const std::string& path, std::unique_ptr<access::WritableFile>* out) {
  PONTEVIA_RETURN_IF_ERROR(Tick("crear " + path));
  std::unique_ptr<access::WritableFile> base;
  PONTEVIA_RETURN_IF_ERROR(base_->NewWritableFile(path, &base));
  *out = std::make_unique<FaultFile>(this, path, std::move(base));
  return Status::OK();
}

Status FaultEnv::RenameFile(const std::string& from, const std::string& to) {
  PONTEVIA_RETURN_IF_ERROR(Tick("renombrar " + from));
  return base_->RenameFile(from, to);
}

Status FaultEnv::RemoveFile(const std::string& path) {
  PONTEVIA_RETURN_IF_ERROR(Tick("borrar " + path));
  return base_->RemoveFile(path);
}

Status FaultEnv::CopyFile(const std::string& from, const std::string& to) {
  PONTEVIA_RETURN_IF_ERROR(Tick("copiar " + from));
  return base_->CopyFile(from, to);
}

Status FaultEnv::CreateDirectories(const std::string& path) {
  PONTEVIA_RETURN_IF_ERROR(Tick("crear la carpeta " + path));
  return base_->CreateDirectories(path);
}

}  // namespace pontevia::testing
