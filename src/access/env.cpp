// The platform-neutral helpers of env.h.
#include "access/env.h"

namespace pontevia::access {
namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
bool IsSeparator(char c) { return c == '\\' || c == '/'; }
#else
constexpr char kSeparator = '/';
bool IsSeparator(char c) { return c == '/'; }
#endif

}  // namespace

Status WritableFile::WriteAt(uint64_t offset, std::string_view data) {
  return Status::InvalidArgument("Este tipo de archivo no admite reescribir lo ya escrito.");
}

Status ReplaceFileContents(Env* env, const std::string& path,
                           const std::function<Status(WritableFile*)>& fill) {
  const std::string temp = path + ".tmp";
  std::unique_ptr<WritableFile> file;
  PONTEVIA_RETURN_IF_ERROR(env->NewWritableFile(temp, &file));
  Status s = fill(file.get());
  if (s.ok()) s = file->Close();
  file.reset();
  if (s.ok()) s = env->RenameFile(temp, path);
  if (!s.ok()) env->RemoveFile(temp).ok();  // best effort: the first failure is the one to report
  return s;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (IsSeparator(folder.back())) return folder + name;
  std::string path = folder;
  path += kSeparator;
  path += name;
  return path;
}

std::string FolderOf(const std::string& path) {
  for (size_t i = path.size(); i > 0; --i) {
    if (IsSeparator(path[i - 1])) return path.substr(0, i);
  }
  return std::string();
}

}  // namespace pontevia::access
