// Program start of Pontevia.exe: decides the run mode from the parameters,
// creates the main window and runs the message loop until the window closes.
#include <windows.h>
// windows.h must come first: the other system headers need its types.

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <exception>
#include <string>
#include <vector>

#include "app/help.h"
#include "app/main_form.h"
#include "app/run_mode.h"
#include "app/win_util.h"

namespace {

// The parameters after the program name, UTF-8.
std::vector<std::string> Parameters() {
  std::vector<std::string> params;
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv) return params;
  for (int i = 1; i < argc; ++i)
    params.push_back(pontevia::app::Utf8FromWide(argv[i]));
  LocalFree(argv);
  return params;
}

// COM for the XML engine and the file dialog, on this one thread.
class ScopedCom {
 public:
  ScopedCom()
      : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ScopedCom() {
    if (ok_) CoUninitialize();
  }
  ScopedCom(const ScopedCom&) = delete;
  ScopedCom& operator=(const ScopedCom&) = delete;

 private:
  bool ok_;
};

int Run(int show_command) {
  ScopedCom com;
  INITCOMMONCONTROLSEX icc{
      sizeof(icc),
      static_cast<DWORD>(ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES |
                         ICC_BAR_CLASSES | ICC_WIN95_CLASSES)};
  InitCommonControlsEx(&icc);

  pontevia::app::MainForm form;
  pontevia::app::MainForm::CreateArgs args;
  args.start = pontevia::app::ParseStart(Parameters());
  args.show_command = show_command;
  if (!form.Create(args)) {
    pontevia::app::ShowMessage(
        nullptr,
        "No se pudo crear la ventana principal de Pontevia. Cierre otros "
        "programas y vuelva a intentarlo.",
        pontevia::app::kProgramTitle, MB_OK | MB_ICONERROR);
    return 1;
  }
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (form.PreTranslate(&msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  pontevia::app::CloseAllHelp();
  return static_cast<int>(msg.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show_command) {
  try {
    return Run(show_command);
  } catch (const std::exception&) {
    // Only a programming fault or exhausted memory gets here; the tables
    // are written under temporary names, so none is left half-written.
    pontevia::app::ShowMessage(
        nullptr,
        "Pontevia ha encontrado un error interno y debe cerrarse. Las "
        "tablas de trabajo no se han modificado a medias.",
        pontevia::app::kProgramTitle, MB_OK | MB_ICONERROR);
    return 1;
  }
}
