#include "unit/testutil/temp_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>

#include "access/env.h"

namespace pontevia::testing {

TempFolder::TempFolder() {
  static std::atomic<int> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  const std::string base = std::filesystem::temp_directory_path().string();
  path_ = access::JoinPath(base, "pontevia-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
  Status s = access::Env::Default()->CreateDirectories(path_);
  EXPECT_TRUE(s.ok()) << s.message();
}

TempFolder::~TempFolder() {
  Status s = access::Env::Default()->RemoveDirectoryTree(path_);
  EXPECT_TRUE(s.ok()) << s.message();
}

std::string TempFolder::File(const std::string& name) const { return access::JoinPath(path_, name); }

std::string ReadBytes(const std::string& path) {
  std::string bytes;
  if (!access::Env::Default()->ReadFile(path, &bytes).ok()) return std::string();
  return bytes;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::unique_ptr<access::WritableFile> file;
  Status s = access::Env::Default()->NewWritableFile(path, &file);
  ASSERT_TRUE(s.ok()) << s.message();
  s = file->Append(bytes);
  ASSERT_TRUE(s.ok()) << s.message();
  s = file->Close();
  ASSERT_TRUE(s.ok()) << s.message();
}

}  // namespace pontevia::testing
