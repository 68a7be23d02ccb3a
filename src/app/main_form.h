// TMForm, Pontevia's one main window: the two directions of conversion as
// two buttons, the run modes, the outcome report to Horalia and the help.
//
// In interactive mode it is a dialog-framed window centred on the screen. In
// commanded mode (Horalia passed an action and its window handle) it is a
// borderless child of Horalia's window, starts the action as soon as it is
// shown, and every close writes the result flag into Horalia.ini.
//
// Runs execute on the user-interface thread inside the button handlers; the
// file dialog, the level and course dialog and the message boxes are modal.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/gradient_panel.h"
#include "app/run_mode.h"
#include "app/win_util.h"

namespace pontevia::app {

// Horalia's working folder. Fixed: Horalia looks for its tables there.
inline constexpr char kWorkingFolder[] = "C:\\HTEMP";

class MainForm {
 public:
  struct CreateArgs {
    StartRequest start;
    int show_command = SW_SHOWNORMAL;
  };

  MainForm() = default;
  MainForm(const MainForm&) = delete;
  MainForm& operator=(const MainForm&) = delete;

  // Creates and shows the window; FormCreate runs on the way. The first
  // showing then starts the commanded action from the message loop.
  bool Create(const CreateArgs& args);
  HWND hwnd() const { return hwnd_; }

  // For the message loop: F1 and the dialog keys (Tab, mnemonics). True when
  // the message was handled.
  bool PreTranslate(MSG* msg);

  // Event handlers, named after the controls and events they serve.
  void FormCreate();
  void FormShow();
  // False when the close must be abandoned (Horalia.ini could not be written).
  bool FormClose();
  void BExportarClick();
  void BImportarClick();
  void Button1Click();

  // Closes the window as the "Salir" button does.
  void Close();
  // The forced exit of the level and course dialog closes the window; the
  // running export still finishes first, and the window goes when it returns.
  void RequestCloseDuringRun();
  // The hourglass while a run works.
  void SetBusy(bool busy);
  bool busy() const { return busy_; }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);
  void CreateControls();
  void ApplyDpi(int dpi);
  void UpdateButtons();
  // Shows the file dialog; true and the full name when the user confirmed.
  bool PickFile(std::string* picked);
  // Steps shared by both runs after the file dialog.
  bool ChosenFileExists() const;
  void EndRunWithoutFile(int commanded_flag);
  void EndRunWithError(const std::string& message);
  void EndRunCompleted();
  bool commanded() const { return run_mode_ == 2; }

  HWND hwnd_ = nullptr;
  HWND parent_ = nullptr;
  StartRequest start_;
  int dpi_ = 96;

  // State that lives for the whole program run.
  std::string chosen_file_;  // UTF-8, kept from one run to the next
  int run_mode_ = 0;         // 2 in commanded mode
  int result_flag_ = 0;
  bool run_completed_ = false;
  bool running_ = false;
  bool busy_ = false;
  bool close_after_run_ = false;
  bool shown_ = false;

  GradientPanel draw3d1_, draw3d2_, draw3d3_;
  HWND b_exportar_ = nullptr;
  HWND b_close_ = nullptr;
  HWND label3_ = nullptr;
  HWND label4_ = nullptr;
  HWND b_importar_ = nullptr;
  HWND label1_ = nullptr;
  HWND button1_ = nullptr;

  Layout layout_;
  std::vector<ScopedGdiObj<HFONT>> fonts_;
  ScopedIcon big_icon_, small_icon_;
};

}  // namespace pontevia::app
