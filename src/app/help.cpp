#include "app/help.h"

#include <htmlhelp.h>

#include <string>

#include "app/win_util.h"

namespace pontevia::app {

namespace {

using HtmlHelpWFn = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);

// Resolved once; null when the viewer cannot be loaded.
HtmlHelpWFn HtmlHelpCall(bool load) {
  static bool tried = false;
  static HtmlHelpWFn fn = nullptr;
  if (!tried && load) {
    tried = true;
    // Only from the system folder: a hhctrl.ocx planted beside the program
    // or in the current folder must not be loaded.
    if (HMODULE lib = LoadLibraryExW(L"hhctrl.ocx", nullptr,
                                     LOAD_LIBRARY_SEARCH_SYSTEM32)) {
      fn = ProcAddress<HtmlHelpWFn>(lib, "HtmlHelpW");
    } else if (HMODULE lib2 = LoadLibraryW(L"hhctrl.ocx")) {
      // Systems without the LOAD_LIBRARY_SEARCH_* flags.
      fn = ProcAddress<HtmlHelpWFn>(lib2, "HtmlHelpW");
    }
  }
  return fn;
}

}  // namespace

Status ShowHelpContents(HWND owner) {
  const std::wstring path = ProgramFolder() + kHelpFileName;
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    return Status::NotFound(
        "No se encuentra el archivo de ayuda " + Utf8FromWide(path) +
        ". Copie GestIB.chm en la carpeta de Pontevia.exe.");
  }
  HtmlHelpWFn help = HtmlHelpCall(true);
  if (!help) {
    return Status::NotFound(
        "No se puede mostrar la ayuda: falta el visor de ayuda HTML de Windows "
        "(hhctrl.ocx). "
        "Puede abrir " +
        Utf8FromWide(path) + " con otro visor de archivos CHM.");
  }
  if (!help(owner, path.c_str(), HH_DISPLAY_TOC, 0)) {
    return Status::IoError("El visor de ayuda no pudo abrir " +
                           Utf8FromWide(path) +
                           ". Compruebe que el archivo no está dañado.");
  }
  return Status::OK();
}

void CloseAllHelp() {
  if (HtmlHelpWFn help = HtmlHelpCall(false))
    help(nullptr, nullptr, HH_CLOSE_ALL, 0);
}

}  // namespace pontevia::app
