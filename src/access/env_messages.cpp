#include "access/env_messages.h"

namespace pontevia::access {
namespace {

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

}  // namespace

Status MissingFile(const std::string& path) {
  return Status::NotFound("No existe el archivo " + Quoted(path) + ".");
}

Status MissingFolder(const std::string& path) {
  return Status::NotFound("No existe la carpeta " + Quoted(path) + ".");
}

Status LockedFile(const std::string& path, const std::string& reason) {
  return Status::Locked("El archivo " + Quoted(path) + " está abierto en otro programa (" + reason +
                        "). Ciérrelo y vuelva a intentarlo.");
}

Status ReadError(const std::string& path, const std::string& reason) {
  return Status::IoError("No se puede leer el archivo " + Quoted(path) + ": " + reason + ".");
}

Status CreateError(const std::string& path, const std::string& reason) {
  return Status::IoError("No se puede crear el archivo " + Quoted(path) + ": " + reason +
                         ". Compruebe que la carpeta existe y que tiene permiso de escritura.");
}

Status WriteError(const std::string& path, const std::string& reason) {
  return Status::IoError("No se puede escribir el archivo " + Quoted(path) + ": " + reason +
                         ". Compruebe que queda espacio libre en el disco.");
}

Status RemoveError(const std::string& path, const std::string& reason) {
  return Status::IoError("No se puede borrar " + Quoted(path) + ": " + reason + ".");
}

Status ListError(const std::string& path, const std::string& reason) {
  return Status::IoError("No se puede leer la carpeta " + Quoted(path) + ": " + reason + ".");
}

Status CreateFolderError(const std::string& path, const std::string& reason) {
  return Status::IoError("No se puede crear la carpeta " + Quoted(path) + ": " + reason + ".");
}

Status RenameError(const std::string& from, const std::string& to, const std::string& reason) {
  return Status::IoError("No se puede sustituir " + Quoted(to) + " por " + Quoted(from) + ": " + reason +
                         ".");
}

Status RenameLocked(const std::string& from, const std::string& to, const std::string& reason) {
  return Status::Locked("No se puede sustituir " + Quoted(to) + " porque está abierto en otro programa (" +
                        reason + "). Ciérrelo y vuelva a intentarlo.");
}

}  // namespace pontevia::access
