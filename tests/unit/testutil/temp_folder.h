// A fresh, empty folder for one test, removed with everything in it when the
// test ends. Works natively and under Wine (the system's temporary folder).
#pragma once

#include <string>

namespace pontevia::testing {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  // path()/name with the platform's separator.
  std::string File(const std::string& name) const;

 private:
  std::string path_;
};

// Whole file as bytes; "" when missing.
std::string ReadBytes(const std::string& path);
// Creates or replaces the file with exactly `bytes`.
void WriteBytes(const std::string& path, const std::string& bytes);

}  // namespace pontevia::testing
