#include "app/outcome_report.h"

#include <windows.h>

#include "app/win_util.h"

namespace pontevia::app {

std::wstring OutcomeFilePath() { return ProgramFolder() + L"Horalia.ini"; }

Status WriteOutcome(int result_flag) {
  const std::wstring path = OutcomeFilePath();
  const std::wstring value = std::to_wstring(result_flag);
  if (!WritePrivateProfileStringW(L"Transformadores", L"Transformado",
                                  value.c_str(), path.c_str())) {
    return Status::IoError(
        "No se puede escribir el resultado en " + Utf8FromWide(path) +
        ". Compruebe que la carpeta de Pontevia.exe admite escritura y que el "
        "archivo no es de solo lectura; después vuelva a cerrar la ventana.");
  }
  // Flushes the system's cache of the file, so Horalia reads the new value
  // as soon as this process ends.
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, path.c_str());
  return Status::OK();
}

}  // namespace pontevia::app
