#include "access/env.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "unit/testutil/temp_folder.h"

namespace pontevia::access {
namespace {

using ::testing::HasSubstr;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

Env* env() { return Env::Default(); }

TEST(Env, WritesLargeAndSmallPiecesInOrder) {
  TempFolder dir;
  const std::string path = dir.File("datos.bin");
  std::string big(3 << 20, '\0');  // larger than the write buffer
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  std::unique_ptr<WritableFile> file;
  ASSERT_TRUE(env()->NewWritableFile(path, &file).ok());
  ASSERT_TRUE(file->Append("abc").ok());
  ASSERT_TRUE(file->Append(big).ok());
  ASSERT_TRUE(file->Append("\r\n\x1A").ok());  // binary: no CRLF translation
  ASSERT_TRUE(file->Close().ok());
  EXPECT_EQ(ReadBytes(path), "abc" + big + "\r\n\x1A");
}

TEST(Env, RenameReplacesAnExistingFile) {
  TempFolder dir;
  WriteBytes(dir.File("nuevo.tmp"), "nuevo");
  WriteBytes(dir.File("TABLA.DBF"), "viejo y más largo");
  Status s = env()->RenameFile(dir.File("nuevo.tmp"), dir.File("TABLA.DBF"));
  ASSERT_TRUE(s.ok()) << s.message();
  EXPECT_EQ(ReadBytes(dir.File("TABLA.DBF")), "nuevo");
  EXPECT_FALSE(env()->FileExists(dir.File("nuevo.tmp")));
}

TEST(Env, FailuresNameTheFile) {
  TempFolder dir;
  const std::string missing = dir.File("no_existe.dbf");
  const std::string in_missing_folder = access::JoinPath(dir.File("no_hay_carpeta"), "x.dbf");
  std::string contents;
  std::unique_ptr<WritableFile> file;
  std::unique_ptr<FileLock> lock;
  std::vector<std::string> names;
  const struct {
    const char* why;
    Status status;
    StatusCode code;
    std::string names;
  } kCases[] = {
      {"read missing", env()->ReadFile(missing, &contents), StatusCode::kNotFound, missing},
      {"lock missing", env()->LockFile(missing, ShareMode::kShared, &lock), StatusCode::kNotFound, missing},
      {"create in missing folder", env()->NewWritableFile(in_missing_folder, &file), StatusCode::kIoError,
       in_missing_folder},
      {"rename missing", env()->RenameFile(missing, dir.File("b")), StatusCode::kIoError, missing},
      {"copy missing", env()->CopyFile(missing, dir.File("b")), StatusCode::kNotFound, missing},
      {"list missing folder", env()->ListDirectory(dir.File("nada"), &names),
       StatusCode::kNotFound, dir.File("nada")},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(c.status.code(), c.code) << c.status.message();
    EXPECT_THAT(c.status.message(), HasSubstr(c.names));
  }
}

TEST(Env, RemovingWhatIsNotThereIsNotAnError) {
  TempFolder dir;
  EXPECT_TRUE(env()->RemoveFile(dir.File("nada.mdx")).ok());
  EXPECT_TRUE(env()->RemoveDirectoryTree(dir.File("nada")).ok());
}

TEST(Env, FoldersAreCreatedListedAndRemovedWithTheirContents) {
  TempFolder dir;
  const std::string deep = JoinPath(JoinPath(dir.File("a"), "b"), "c");
  ASSERT_TRUE(env()->CreateDirectories(deep).ok());
  ASSERT_TRUE(env()->CreateDirectories(deep).ok()) << "existing is not an error";
  EXPECT_TRUE(env()->DirectoryExists(deep));
  WriteBytes(JoinPath(deep, "uno.dbf"), "1");
  WriteBytes(JoinPath(dir.File("a"), "Dos ñ.DBF"), "2");
  std::vector<std::string> names;
  ASSERT_TRUE(env()->ListDirectory(dir.File("a"), &names).ok());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Dos ñ.DBF", "b"}));
  ASSERT_TRUE(env()->CopyFile(JoinPath(deep, "uno.dbf"), dir.File("copia")).ok());
  EXPECT_EQ(ReadBytes(dir.File("copia")), "1");
  ASSERT_TRUE(env()->RemoveDirectoryTree(dir.File("a")).ok());
  EXPECT_FALSE(env()->DirectoryExists(dir.File("a")));
}

TEST(Env, ReplaceFileContentsKeepsTheOldFileWhenWritingFails) {
  TempFolder dir;
  const std::string path = dir.File("SolucioHorari.xml");
  WriteBytes(path, "antiguo");
  Status s = ReplaceFileContents(env(), path, [](WritableFile* f) {
    PONTEVIA_RETURN_IF_ERROR(f->Append("a medias"));
    return Status::IoError("disco lleno");
  });
  EXPECT_EQ(s.code(), StatusCode::kIoError);
  EXPECT_EQ(ReadBytes(path), "antiguo");
  EXPECT_FALSE(env()->FileExists(path + ".tmp"));

  s = ReplaceFileContents(env(), path, [](WritableFile* f) { return f->Append("nuevo"); });
  ASSERT_TRUE(s.ok()) << s.message();
  EXPECT_EQ(ReadBytes(path), "nuevo");
  EXPECT_FALSE(env()->FileExists(path + ".tmp"));
}

// What the BDE means by exclusive: while one holder has the file exclusively
// no other open of it succeeds, and an exclusive open fails while another
// holder has it, shared or not. Holds on Windows (share modes) and elsewhere
// (flock between separate opens, even within one process).
TEST(Env, ExclusiveLockKeepsOtherHoldersOut) {
  TempFolder dir;
  const std::string path = dir.File("PROFT.DBF");
  WriteBytes(path, "tabla");
  std::unique_ptr<FileLock> first, second;
  ASSERT_TRUE(env()->LockFile(path, ShareMode::kExclusive, &first).ok());
  for (ShareMode mode : {ShareMode::kExclusive, ShareMode::kShared}) {
    Status s = env()->LockFile(path, mode, &second);
    EXPECT_EQ(s.code(), StatusCode::kLocked) << s.message();
    EXPECT_THAT(s.message(), HasSubstr(path));
  }
  std::string contents;
  ASSERT_TRUE(first->ReadAll(&contents).ok());
  EXPECT_EQ(contents, "tabla");
  first.reset();
  EXPECT_TRUE(env()->LockFile(path, ShareMode::kExclusive, &second).ok()) << "released on destruction";
}

TEST(Env, SharedHoldersCoexistButKeepExclusiveOut) {
  TempFolder dir;
  const std::string path = dir.File("CURSOST.DBF");
  WriteBytes(path, "x");
  std::unique_ptr<FileLock> a, b, c;
  ASSERT_TRUE(env()->LockFile(path, ShareMode::kShared, &a).ok());
  ASSERT_TRUE(env()->LockFile(path, ShareMode::kShared, &b).ok());
  EXPECT_EQ(env()->LockFile(path, ShareMode::kExclusive, &c).code(), StatusCode::kLocked);
}

TEST(Env, JoinPathAndFolderOf) {
#ifdef _WIN32
  EXPECT_EQ(JoinPath("C:\\HTEMP", "ASIGT.DBF"), "C:\\HTEMP\\ASIGT.DBF");
  EXPECT_EQ(JoinPath("C:\\HTEMP\\", "ASIGT.DBF"), "C:\\HTEMP\\ASIGT.DBF");
  EXPECT_EQ(JoinPath("C:/HTEMP/", "ASIGT.DBF"), "C:/HTEMP/ASIGT.DBF");
  EXPECT_EQ(FolderOf("C:\\x\\a.xml"), "C:\\x\\");
  EXPECT_EQ(FolderOf("C:/x/a.xml"), "C:/x/");
#else
  EXPECT_EQ(JoinPath("/tmp/htemp", "ASIGT.DBF"), "/tmp/htemp/ASIGT.DBF");
  EXPECT_EQ(JoinPath("/tmp/htemp/", "ASIGT.DBF"), "/tmp/htemp/ASIGT.DBF");
  EXPECT_EQ(FolderOf("/home/x/a.xml"), "/home/x/");
#endif
  EXPECT_EQ(JoinPath("", "ASIGT.DBF"), "ASIGT.DBF");
  EXPECT_EQ(FolderOf("a.xml"), "");
}

}  // namespace
}  // namespace pontevia::access
