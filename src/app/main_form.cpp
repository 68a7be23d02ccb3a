#include "app/main_form.h"

#include <commctrl.h>
#include <commdlg.h>

#include <exception>
#include <new>

#include "access/env.h"
#include "app/bit_button.h"
#include "app/button_state.h"
#include "app/control_ids.h"
#include "app/glyphs.h"
#include "app/gui_interaction.h"
#include "app/help.h"
#include "app/outcome_report.h"
#include "app/resource.h"
#include "export/export_run.h"
#include "import/import_run.h"

namespace pontevia::app {

namespace {

constexpr wchar_t kMainClass[] = L"TMForm";
constexpr char kCaption[] = "Exportar e importar datos entre Horalia y GestIB";
constexpr int kClientWidth = 632;
constexpr int kClientHeight = 266;

// Style of the dialog frame in interactive mode.
constexpr DWORD kFramedStyle =
    WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kFramedExStyle =
    WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
constexpr DWORD kChildStyle = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
constexpr DWORD kChildExStyle = WS_EX_CONTROLPARENT;

enum FontSlot { kFontDefault, kFontBold, kFontTitle, kFontCount };

const FontSpec kFontSpecs[kFontCount] = {
    {L"MS Sans Serif", 8, false, false},
    {L"MS Sans Serif", 8, true, false},
    {L"Arial", 12, true, false},
};

// Colours of the panels, top to bottom.
constexpr COLORREF kHalfStart = RGB(0xF9, 0xD3, 0x7D);
constexpr COLORREF kHalfMiddle = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kHalfEnd = RGB(0xFF, 0xEE, 0xDD);
constexpr COLORREF kBandStart = RGB(0xC2, 0xCD, 0xFE);
constexpr COLORREF kBandMiddle = RGB(0xCF, 0xF2, 0xFE);
constexpr COLORREF kBandEnd = RGB(0xCC, 0xD8, 0xE6);

constexpr char kNoFile[] = "No existe archivo";
constexpr char kDone[] = "Proceso finalizado";

bool IsOwnWindow(HWND root, HWND hwnd) {
  return hwnd == root || IsChild(root, hwnd);
}

}  // namespace

bool MainForm::Create(const CreateArgs& args) {
  start_ = args.start;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &MainForm::Proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kMainClass;
  wc.hIcon = LoadIconW(wc.hInstance, MAKEINTRESOURCEW(IDI_PONTEVIA));
  wc.hIconSm = static_cast<HICON>(LoadImageW(
      wc.hInstance, MAKEINTRESOURCEW(IDI_PONTEVIA), IMAGE_ICON,
      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  RegisterClassExW(&wc);

  // The run mode decides the kind of window, so it is settled before the
  // window exists; the message about a bad handle comes first, as the
  // window's creation reports it.
  FormCreate();

  DWORD style = kFramedStyle;
  DWORD ex_style = kFramedExStyle;
  int x = 0, y = 0;
  int dpi;
  if (parent_) {
    style = kChildStyle;
    ex_style = kChildExStyle;
    dpi = DpiOf(parent_);
  } else {
    POINT origin{0, 0};
    dpi = DpiOfPoint(origin);
  }
  SIZE size =
      WindowSizeForClient(Scaled(kClientWidth, dpi), Scaled(kClientHeight, dpi),
                          style, ex_style, dpi);
  hwnd_ = CreateWindowExW(ex_style, kMainClass, WideFromUtf8(kCaption).c_str(),
                          style, x, y, size.cx, size.cy, parent_, nullptr,
                          wc.hInstance, this);
  if (!hwnd_) return false;
  dpi_ = DpiOf(hwnd_);
  CreateControls();
  ApplyDpi(dpi_);

  // Where to stand: centred on the screen, or inside Horalia's window.
  RECT wr;
  GetWindowRect(hwnd_, &wr);
  const int w = wr.right - wr.left, h = wr.bottom - wr.top;
  if (parent_) {
    RECT pc;
    GetClientRect(parent_, &pc);
    x = (std::max)(0, static_cast<int>(pc.right - w) / 2);
    y = (std::max)(0, static_cast<int>(pc.bottom - h) / 2);
  } else {
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &mi);
    x = mi.rcWork.left + ((mi.rcWork.right - mi.rcWork.left) - w) / 2;
    y = mi.rcWork.top + ((mi.rcWork.bottom - mi.rcWork.top) - h) / 2;
  }
  SetWindowPos(hwnd_, nullptr, x, y, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

  ShowWindow(hwnd_, parent_ ? SW_SHOW : args.show_command);
  UpdateWindow(hwnd_);
  SetFocus(b_exportar_);
  // The commanded action starts once the window stands on the screen, from
  // the message loop, as the first showing does.
  PostMessageW(hwnd_, ids::kMsgFormShow, 0, 0);
  return true;
}

void MainForm::FormCreate() {
  result_flag_ = kOutcomeNone;
  if (!start_.two_params) return;
  if (!start_.handle_valid) {
    // The handle is unusable: the window stays an ordinary framed window in
    // interactive mode, though the action still starts when it is shown.
    ShowMessage(nullptr, start_.handle_error, kProgramTitle,
                MB_OK | MB_ICONERROR);
    return;
  }
  HWND parent =
      reinterpret_cast<HWND>(static_cast<uintptr_t>(start_.parent_handle));
  // A handle of no window (Horalia already gone, or 0) cannot hold a child:
  // the window then stands framed on its own, but the outcome is still
  // reported, since the caller waits for it.
  parent_ = (parent && IsWindow(parent)) ? parent : nullptr;
  run_mode_ = 2;
}

void MainForm::CreateControls() {
  const int dpi = dpi_;
  GradientPanel::CreateArgs band{hwnd_,      ids::kDraw3D1, {0, 168, 633, 97},
                                 kBandStart, kBandMiddle,   kBandEnd};
  draw3d1_.Create(band, dpi);
  GradientPanel::CreateArgs left{hwnd_,      ids::kDraw3D2, {0, -1, 315, 169},
                                 kHalfStart, kHalfMiddle,   kHalfEnd};
  draw3d2_.Create(left, dpi);
  GradientPanel::CreateArgs right{hwnd_,      ids::kDraw3D3, {315, 0, 317, 169},
                                  kHalfStart, kHalfMiddle,   kHalfEnd};
  draw3d3_.Create(right, dpi);
  layout_.Add(draw3d1_.hwnd(), band.bounds, -1);
  layout_.Add(draw3d2_.hwnd(), left.bounds, -1);
  layout_.Add(draw3d3_.hwnd(), right.bounds, -1);

  auto add = [&](const ControlArgs& args, int font) {
    HWND hwnd = CreateControl(args, dpi);
    layout_.Add(hwnd, args.bounds, font);
    return hwnd;
  };
  // The bitmap buttons draw themselves (glyph and caption); the help
  // button is a plain push button.
  const DWORD kButton = BS_OWNERDRAW | WS_TABSTOP;
  const DWORD kLabel = SS_NOPREFIX;

  // Export half.
  label3_ = add({draw3d2_.hwnd(),
                 ids::kLabel3,
                 L"STATIC",
                 "Transformar datos desde GestIB hacia Horalia ",
                 kLabel | SS_LEFT,
                 0,
                 {24, 24, 265, 57}},
                kFontTitle);
  b_exportar_ = add({draw3d2_.hwnd(),
                     ids::kBExportar,
                     L"BUTTON",
                     "Aceptar",
                     kButton,
                     0,
                     {96, 120, 89, 25}},
                    kFontDefault);
  // Import half.
  label4_ = add({draw3d3_.hwnd(),
                 ids::kLabel4,
                 L"STATIC",
                 "Transformar datos desde Horalia hacia GestIB",
                 kLabel | SS_LEFT,
                 0,
                 {8, 24, 305, 57}},
                kFontTitle);
  b_importar_ = add({draw3d3_.hwnd(),
                     ids::kBImportar,
                     L"BUTTON",
                     "Aceptar",
                     kButton,
                     0,
                     {96, 120, 89, 25}},
                    kFontDefault);
  // Bottom band.
  b_close_ = add({draw3d1_.hwnd(),
                  ids::kBClose,
                  L"BUTTON",
                  "&Salir",
                  kButton,
                  0,
                  {256, 32, 89, 25}},
                 kFontDefault);
  button1_ = add({draw3d1_.hwnd(),
                  ids::kButton1,
                  L"BUTTON",
                  "F1 AYUDA",
                  BS_PUSHBUTTON | WS_TABSTOP,
                  0,
                  {265, 67, 75, 18}},
                 kFontDefault);
  label1_ = add({draw3d1_.hwnd(),
                 ids::kLabel1,
                 L"STATIC",
                 "Pasavia para QV27 V-1.0",
                 kLabel | SS_LEFTNOWORDWRAP,
                 0,
                 {8, 72, 222, 13}},
                kFontBold);

  draw3d2_.SetLabelStyle(label3_, LabelStyle{});
  draw3d3_.SetLabelStyle(label4_, LabelStyle{});
  draw3d1_.SetLabelStyle(label1_, LabelStyle{RGB(255, 0, 0)});
}

void MainForm::ApplyDpi(int dpi) {
  dpi_ = dpi;
  fonts_.clear();
  std::vector<HFONT> handles;
  for (const FontSpec& font : kFontSpecs) {
    fonts_.push_back(CreateUiFont(font, dpi));
    handles.push_back(fonts_.back().get());
  }
  layout_.Apply(dpi, handles);
  // The client area keeps its 632 x 266 design size at every DPI.
  const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE));
  const DWORD ex_style =
      static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE));
  SIZE size =
      WindowSizeForClient(Scaled(kClientWidth, dpi), Scaled(kClientHeight, dpi),
                          style, ex_style, dpi);
  SetWindowPos(hwnd_, nullptr, 0, 0, size.cx, size.cy,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainForm::UpdateButtons() {
  if (!hwnd_) return;
  const MainButtons enabled = MainButtonsEnabled({run_completed_, running_});
  const HWND focus = GetFocus();
  EnableWindow(b_exportar_, enabled.exportar);
  EnableWindow(b_importar_, enabled.importar);
  EnableWindow(b_close_, enabled.salir);
  EnableWindow(button1_, enabled.ayuda);
  // A disabled button cannot keep the focus; leave it on "Salir".
  if ((focus == b_exportar_ || focus == b_importar_) &&
      !IsWindowEnabled(focus)) {
    SetFocus(b_close_);
  }
}

bool MainForm::PreTranslate(MSG* msg) {
  if (!hwnd_ || !IsOwnWindow(hwnd_, msg->hwnd)) return false;
  if (msg->message == WM_KEYDOWN && msg->wParam == VK_F1) {
    Button1Click();
    return true;
  }
  // Enter presses the focused bitmap button, as it does a plain one.
  if (msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN) {
    HWND focus = GetFocus();
    if (focus == b_exportar_ || focus == b_importar_ || focus == b_close_) {
      PostMessageW(focus, BM_CLICK, 0, 0);
      return true;
    }
  }
  return IsDialogMessageW(hwnd_, msg) != FALSE;
}

void MainForm::FormShow() {
  if (shown_) return;
  shown_ = true;
  // The parameter count decides, not the run mode: a bad handle still runs
  // the action, in an ordinary window.
  if (!start_.two_params) return;
  if (start_.action == Action::kImport) BImportarClick();
  if (hwnd_ && start_.action == Action::kExport) BExportarClick();
}

bool MainForm::FormClose() {
  if (!commanded()) return true;
  Status st = WriteOutcome(result_flag_);
  if (!st.ok()) {
    ShowMessage(hwnd_, st.message(), kProgramTitle, MB_OK | MB_ICONERROR);
    return false;
  }
  return true;
}

void MainForm::Close() {
  if (hwnd_) SendMessageW(hwnd_, WM_CLOSE, 0, 0);
}

void MainForm::RequestCloseDuringRun() {
  // Horalia learns at once that the export was not completed as asked; the
  // value is replaced when the run reaches its end.
  if (commanded()) FormClose();
  close_after_run_ = true;
}

void MainForm::SetBusy(bool busy) {
  busy_ = busy;
  SetCursor(LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

bool MainForm::PickFile(std::string* picked) {
  std::wstring buffer(32768, L'\0');
  const std::wstring previous = WideFromUtf8(chosen_file_);
  previous.copy(buffer.data(), (std::min)(previous.size(), buffer.size() - 1));
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = hwnd_;
  ofn.lpstrFilter = L"*.xml\0*.xml\0";
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.lpstrInitialDir = L"c:\\htemp\\saga";
  ofn.lpstrTitle = L"Archivo XML";
  ofn.lpstrDefExt = L"xml";
  // The dialog does not insist that the file exists: a missing file is
  // answered with the program's own message.
  ofn.Flags =
      OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_EXPLORER | OFN_NOCHANGEDIR;
  if (!GetOpenFileNameW(&ofn)) return false;
  *picked = Utf8FromWide(buffer.c_str());
  return true;
}

bool MainForm::ChosenFileExists() const {
  if (chosen_file_.empty()) return false;
  const DWORD attrs = GetFileAttributesW(WideFromUtf8(chosen_file_).c_str());
  return attrs != INVALID_FILE_ATTRIBUTES &&
         !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

void MainForm::EndRunWithoutFile(int commanded_flag) {
  running_ = false;
  UpdateButtons();
  ShowMessage(hwnd_, kNoFile, kProgramTitle, MB_OK);
  if (commanded()) {
    result_flag_ = commanded_flag;
    Close();
  }
}

void MainForm::EndRunWithError(const std::string& message) {
  SetBusy(false);
  // The result flag keeps its value and, in commanded mode too, the window
  // stays open, so the user can read the message and try again.
  ShowMessage(hwnd_, message, kProgramTitle, MB_OK | MB_ICONERROR);
  running_ = false;
  UpdateButtons();
  if (close_after_run_) Close();
}

void MainForm::EndRunCompleted() {
  SetBusy(false);
  result_flag_ = kOutcomeDone;
  ShowMessage(hwnd_, kDone, kProgramTitle, MB_OK);
  running_ = false;
  run_completed_ = true;
  UpdateButtons();
  if (commanded() || close_after_run_) Close();
}

void MainForm::BExportarClick() {
  if (running_ || run_completed_) return;
  running_ = true;
  UpdateButtons();
  std::string picked;
  if (PickFile(&picked)) chosen_file_ = picked;
  if (!ChosenFileExists()) {
    EndRunWithoutFile(kOutcomeNoSource);
    return;
  }
  try {
    GuiInteraction ui(*this);
    exporter::ExportRequest request{chosen_file_, kWorkingFolder};
    exporter::ExportSummary summary;
    SetBusy(true);
    Status st =
        exporter::RunExport(access::Env::Default(), request, &ui, &summary);
    SetBusy(false);
    if (!st.ok()) {
      EndRunWithError(st.message());
      return;
    }
    ui.ShowWarnings();
    EndRunCompleted();
  } catch (const std::bad_alloc&) {
    EndRunWithError(
        "No queda memoria para terminar la exportación. Cierre otros programas "
        "y "
        "vuelva a intentarlo; las tablas de trabajo no se han modificado.");
  }
}

void MainForm::BImportarClick() {
  if (running_ || run_completed_) return;
  running_ = true;
  UpdateButtons();
  std::string picked;
  if (PickFile(&picked)) chosen_file_ = picked;
  if (!ChosenFileExists()) {
    EndRunWithoutFile(kOutcomeNone);
    return;
  }
  try {
    importer::ImportRequest request{chosen_file_, kWorkingFolder};
    importer::ImportSummary summary;
    SetBusy(false);  // an earlier run may have left another cursor
    Status st = importer::RunImport(access::Env::Default(), request, &summary);
    if (!st.ok()) {
      EndRunWithError(st.message());
      return;
    }
    EndRunCompleted();
  } catch (const std::bad_alloc&) {
    EndRunWithError(
        "No queda memoria para terminar la importación. Cierre otros programas "
        "y "
        "vuelva a intentarlo.");
  }
}

void MainForm::Button1Click() {
  Status st = ShowHelpContents(hwnd_);
  if (!st.ok())
    ShowMessage(hwnd_, st.message(), kProgramTitle, MB_OK | MB_ICONWARNING);
}

LRESULT CALLBACK MainForm::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = WindowObject<MainForm>(hwnd, msg, lp);
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  if (msg == WM_NCCREATE) self->hwnd_ = hwnd;
  return self->OnMessage(msg, wp, lp);
}

LRESULT MainForm::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      if (HIWORD(wp) == BN_CLICKED) {
        switch (LOWORD(wp)) {
          case ids::kBExportar:
            BExportarClick();
            return 0;
          case ids::kBImportar:
            BImportarClick();
            return 0;
          case ids::kBClose:
            Close();
            return 0;
          case ids::kButton1:
            Button1Click();
            return 0;
        }
      }
      break;
    case WM_DRAWITEM: {
      auto* di = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
      BitButtonLook look;
      look.dpi = dpi_;
      look.glyph = di->hwndItem == b_close_ ? Glyph::kClose : Glyph::kOk;
      DrawBitButton(di, look);
      return TRUE;
    }
    case ids::kMsgFormShow:
      FormShow();
      return 0;
    case WM_HELP:
      Button1Click();
      return TRUE;
    case WM_SETCURSOR:
      if (busy_ && LOWORD(lp) == HTCLIENT) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_CLOSE:
      if (running_) {
        // Closing in the middle of a run (Alt+F4 from a nested dialog loop,
        // or the caller) lets the run end first, as the forced exit does.
        RequestCloseDuringRun();
        return 0;
      }
      if (FormClose()) DestroyWindow(hwnd_);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      return 0;
    case WM_DPICHANGED: {
      const RECT* suggested = reinterpret_cast<const RECT*>(lp);
      SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left,
                   suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      ApplyDpi(HIWORD(wp));
      return 0;
    }
    case 0x02E3:  // WM_DPICHANGED_AFTERPARENT: inside Horalia's window
      ApplyDpi(DpiOf(hwnd_));
      return 0;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace pontevia::app
