// The Spanish messages of file-access failures, shared by the POSIX and
// Windows implementations so both say the same thing. Each names the file (a
// UTF-8 path) and carries the system's reason, and says what the user can do.
#pragma once

#include <string>

#include "base/status.h"

namespace pontevia::access {

Status MissingFile(const std::string& path);                               // kNotFound
Status MissingFolder(const std::string& path);                             // kNotFound
Status LockedFile(const std::string& path, const std::string& reason);     // kLocked
Status ReadError(const std::string& path, const std::string& reason);      // kIoError
Status CreateError(const std::string& path, const std::string& reason);    // kIoError
Status WriteError(const std::string& path, const std::string& reason);     // kIoError
Status RemoveError(const std::string& path, const std::string& reason);    // kIoError
Status ListError(const std::string& path, const std::string& reason);      // kIoError
Status CreateFolderError(const std::string& path, const std::string& reason);  // kIoError
Status RenameError(const std::string& from, const std::string& to, const std::string& reason);
Status RenameLocked(const std::string& from, const std::string& to, const std::string& reason);

}  // namespace pontevia::access
