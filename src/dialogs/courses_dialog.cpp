#include "dialogs/courses_dialog.h"

#include <commctrl.h>

#include <memory>
#include <vector>

#include "access/dbf_table.h"
#include "app/bit_button.h"
#include "app/control_ids.h"
#include "app/glyphs.h"
#include "app/gradient_panel.h"
#include "app/help.h"
#include "app/win_util.h"
#include "dialogs/courses_grid.h"
#include "dialogs/grid_logic.h"
#include "dialogs/navigator.h"
#include "export/courses_check.h"
#include "text/ansi.h"

namespace pontevia::dialogs {

namespace {

namespace ids = app::ids;
using app::Bounds;

constexpr wchar_t kDialogClass[] = L"TControlCursos";
constexpr char kCaption[] = "Asignación de Niveles y Cursos";
constexpr char kCoursesTable[] = "CURSOST";
constexpr char kMissingMessage[] = "¡Atención! Falta algún Dato";
constexpr char kExitReasonForced[] = "fuera";

constexpr int kClientWidth = 920;
constexpr int kClientHeight = 424;

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kYellow = RGB(255, 255, 0);

enum FontSlot {
  kFontCells,
  kFontBold,
  kFontTitle,
  kFontBoldUnderline,
  kFontCount
};
const app::FontSpec kFontSpecs[kFontCount] = {
    {L"MS Sans Serif", 8, false, false},
    {L"MS Sans Serif", 8, true, false},
    {L"Arial", 12, true, false},
    {L"MS Sans Serif", 8, true, true},
};

struct LabelDef {
  int id;
  const char* caption;
  Bounds bounds;
  bool visible;
  DWORD align;
  int font;
  app::LabelStyle style;
};

const app::LabelStyle kPlain{};
const app::LabelStyle kOnYellow{RGB(0, 0, 0), true, kYellow};
const app::LabelStyle kRedText{kRed};

// The explanation column on the right, top to bottom.
const LabelDef kLabels[] = {
    {ids::kCoursesLabel1,
     "ASIGNACIÓN DE NIVELES Y CURSOS",
     {8, 8, 904, 22},
     true,
     SS_CENTER,
     kFontTitle,
     kPlain},
    {ids::kCoursesLabel3,
     "INCIDENCIAS EN EL TRASPASO",
     {508, 38, 404, 16},
     false,
     SS_CENTER,
     kFontBold,
     kOnYellow},
    {ids::kCoursesLabel2,
     "Se ha detectado que falta por indicar algún NIVEL  o CURSO. Complete "
     "el/los datos que "
     "falten, para poder concluir el proceso, antes de Salir.",
     {508, 56, 404, 44},
     false,
     SS_LEFT,
     kFontBold,
     kOnYellow},
    {ids::kCoursesLabel4,
     "¡ IMPORTANTE !",
     {508, 108, 404, 16},
     true,
     SS_CENTER,
     kFontBold,
     kPlain},
    {ids::kCoursesLabel5,
     "Las Abreviaturas de sus Grupos (Unidades), se formarán, en función del "
     "NIVEL y CURSO, del "
     "siguiente modo: ",
     {508, 128, 404, 30},
     true,
     SS_LEFT,
     kFontBold,
     kPlain},
    {ids::kCoursesLabel6,
     "Por ejemplo, NIVEL=ESO y CURSO=1 daría como resultado",
     {508, 162, 404, 16},
     true,
     SS_LEFT,
     kFontBold,
     kPlain},
    {ids::kCoursesLabel10,
     "Abreviatura del Grupo = ESO1A",
     {508, 182, 404, 16},
     true,
     SS_CENTER,
     kFontBold,
     kPlain},
    {ids::kCoursesLabel7,
     "y así secuencialmente para el resto de Grupos del mismo NIVEL y CURSO, "
     "ESO1B, ESO1C.",
     {508, 202, 404, 30},
     true,
     SS_LEFT,
     kFontBold,
     kPlain},
    {ids::kCoursesLabel11,
     "Ejemplos de Niveles: BCT=Bach.C.T., BHC=Bach.Hum., BT=Bach.Tecnol., "
     "LS=Leng.Signos, "
     "GAD=Gest.Admin., EDSO=ESO Diversificación, etc...",
     {508, 236, 404, 44},
     true,
     SS_LEFT,
     kFontBold,
     kPlain},
    {ids::kCoursesLabel9,
     "Luego es de vital IMPORTANCIA que para cada NIVEL sus 5 Primeros "
     "caracteres sean "
     "DISTINTOS.",
     {508, 286, 404, 30},
     true,
     SS_LEFT,
     kFontBoldUnderline,
     kRedText},
    {ids::kCoursesLabel8,
     "¡ Atención ! Si fuerza la Salida, los Datos recogidos serán "
     "INCOHERENTES.",
     {508, 390, 404, 28},
     false,
     SS_CENTER,
     kFontBold,
     kOnYellow},
};

const Bounds kPanelBounds{0, 0, kClientWidth, kClientHeight};
const Bounds kGridBounds{8, 66, 488, 350};
const Bounds kNavigatorBounds{8, 38, 250, 25};
const Bounds kBitBtn1Bounds{665, 324, 89, 25};
const Bounds kBitBtn2Bounds{580, 358, 260, 25};

// CURSOST as the grid shows it, in the table's natural order.
Status LoadCourses(access::Env* env, const std::string& folder,
                   std::vector<CourseRow>* rows) {
  std::unique_ptr<access::Table> table;
  PONTEVIA_RETURN_IF_ERROR(access::Table::Open(
      env, folder, kCoursesTable, access::ShareMode::kShared, &table));
  rows->clear();
  PONTEVIA_RETURN_IF_ERROR(table->First());
  while (!table->Eof()) {
    CourseRow row;
    Result<std::string> codi = table->GetText("CODI");
    Result<std::string> descripcio = table->GetText("DESCRIPCIO");
    Result<std::string> nivel = table->GetText("NIVEL");
    Result<std::string> curso = table->GetText("CURSO");
    for (const Status* st : {&codi.status(), &descripcio.status(),
                             &nivel.status(), &curso.status()}) {
      if (!st->ok()) return *st;
    }
    rows->push_back(CourseRow{*codi, *descripcio, *nivel, *curso});
    PONTEVIA_RETURN_IF_ERROR(table->Next());
  }
  return table->Close();
}

// Posts one record: NIVEL and CURSO of the index-th course.
Status StoreCourse(access::Env* env, const std::string& folder, int index,
                   const CourseRow& row) {
  std::unique_ptr<access::Table> table;
  PONTEVIA_RETURN_IF_ERROR(access::Table::Open(
      env, folder, kCoursesTable, access::ShareMode::kShared, &table));
  PONTEVIA_RETURN_IF_ERROR(table->First());
  for (int i = 0; i < index && !table->Eof(); ++i)
    PONTEVIA_RETURN_IF_ERROR(table->Next());
  if (table->Eof()) {
    return Status::NotFound(
        "El curso " + text::AnsiToUtf8(row.codi) +
        " ya no está en la tabla CURSOST; otro programa la ha cambiado. "
        "Vuelva a exportar.");
  }
  PONTEVIA_RETURN_IF_ERROR(table->Edit());
  PONTEVIA_RETURN_IF_ERROR(table->SetText("NIVEL", row.nivel));
  PONTEVIA_RETURN_IF_ERROR(table->SetText("CURSO", row.curso));
  PONTEVIA_RETURN_IF_ERROR(table->Post());
  return table->Close();
}

class TControlCursos {
 public:
  TControlCursos(access::Env* env, std::string folder, bool force_exit_offered)
      : env_(env),
        folder_(std::move(folder)),
        force_exit_offered_(force_exit_offered) {}
  TControlCursos(const TControlCursos&) = delete;
  TControlCursos& operator=(const TControlCursos&) = delete;

  Status ShowModal(HWND owner);
  bool missing_data() const { return missing_data_; }
  const std::string& exit_reason() const { return exit_reason_; }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);
  bool CreateWindowAndControls(HWND owner);
  void ApplyDpi(int dpi);

  // Event handlers, named after the controls and events they serve. The
  // grid's own enter and exit (start editing, post) live in CoursesGrid.
  Status FormShow();
  void BitBtn1Click();
  void BitBtn2Click();
  void CursosTDBGridColEnter();
  void NavigatorClick(NavButton button);
  void UpdateNavigator();
  void EndModal(Status status);

  access::Env* env_;
  std::string folder_;
  bool force_exit_offered_;

  HWND hwnd_ = nullptr;
  HWND owner_ = nullptr;
  bool done_ = false;
  bool table_open_ = false;
  Status result_;
  Status pending_error_;

  app::GradientPanel draw3d1_;
  CoursesGrid grid_;
  Navigator navigator_;
  HWND bitbtn1_ = nullptr;
  HWND bitbtn2_ = nullptr;
  HWND label2_ = nullptr;
  HWND label3_ = nullptr;
  HWND label8_ = nullptr;

  bool missing_data_ = false;
  std::string exit_reason_;

  app::Layout layout_;
  std::vector<app::ScopedGdiObj<HFONT>> fonts_;
  int dpi_ = 96;
};

bool TControlCursos::CreateWindowAndControls(HWND owner) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &TControlCursos::Proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kDialogClass;
  RegisterClassExW(&wc);  // fails harmlessly from the second showing on

  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  const DWORD ex_style = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  const int dpi = owner ? app::DpiOf(owner) : app::DpiOfPoint(POINT{0, 0});
  SIZE size = app::WindowSizeForClient(app::Scaled(kClientWidth, dpi),
                                       app::Scaled(kClientHeight, dpi), style,
                                       ex_style, dpi);
  // Centred over the window that shows it (Horalia's, in commanded mode).
  RECT area;
  HWND root = owner ? GetAncestor(owner, GA_ROOT) : nullptr;
  if (!root || !GetWindowRect(root, &area)) {
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  }
  const int x =
      (std::max)(0L, area.left + ((area.right - area.left) - size.cx) / 2);
  const int y =
      (std::max)(0L, area.top + ((area.bottom - area.top) - size.cy) / 2);
  hwnd_ = CreateWindowExW(ex_style, kDialogClass,
                          app::WideFromUtf8(kCaption).c_str(), style, x, y,
                          size.cx, size.cy, owner, nullptr, wc.hInstance, this);
  if (!hwnd_) return false;

  const int real_dpi = app::DpiOf(hwnd_);
  draw3d1_.Create(
      {hwnd_, ids::kCoursesDraw3D1, kPanelBounds, kRed, kYellow, kRed},
      real_dpi);
  layout_.Add(draw3d1_.hwnd(), kPanelBounds, -1);
  const HWND panel = draw3d1_.hwnd();

  // The grid comes first in the tab order: it takes the focus when the
  // dialog opens.
  CoursesGrid::Callbacks callbacks;
  callbacks.column_entered = [this] { CursosTDBGridColEnter(); };
  callbacks.post = [this](int row, const CourseRow& r) {
    Status st = StoreCourse(env_, folder_, row, r);
    if (!st.ok() && pending_error_.ok()) {
      // Shown from the message loop: the failure may happen inside a
      // change of focus.
      pending_error_ = st;
      PostMessageW(hwnd_, ids::kMsgPostFailed, 0, 0);
    }
    return st;
  };
  callbacks.state_changed = [this] { UpdateNavigator(); };
  callbacks.leave = [this](bool backwards) {
    if (HWND next = GetNextDlgTabItem(hwnd_, grid_.hwnd(), backwards))
      SetFocus(next);
  };
  grid_.Create({panel, ids::kCursosTDBGrid, kGridBounds, callbacks}, real_dpi,
               &layout_);
  navigator_.Create({panel, hwnd_, ids::kNavigatorFirst, kNavigatorBounds},
                    real_dpi, &layout_);

  for (const LabelDef& def : kLabels) {
    HWND label = app::CreateControl(
        {panel, def.id, L"STATIC", def.caption, SS_NOPREFIX | def.align, 0,
         def.bounds, def.visible},
        real_dpi);
    layout_.Add(label, def.bounds, def.font);
    draw3d1_.SetLabelStyle(label, def.style);
    if (def.id == ids::kCoursesLabel2) label2_ = label;
    if (def.id == ids::kCoursesLabel3) label3_ = label;
    if (def.id == ids::kCoursesLabel8) label8_ = label;
  }
  bitbtn1_ = app::CreateControl({panel, ids::kBitBtn1, L"BUTTON", "Aceptar",
                                 BS_OWNERDRAW | WS_TABSTOP, 0, kBitBtn1Bounds},
                                real_dpi);
  layout_.Add(bitbtn1_, kBitBtn1Bounds, kFontCells);
  bitbtn2_ = app::CreateControl(
      {panel, ids::kBitBtn2, L"BUTTON", "Forzar Salida Sin Terminar Proceso ",
       BS_OWNERDRAW | WS_TABSTOP, 0, kBitBtn2Bounds, false},
      real_dpi);
  layout_.Add(bitbtn2_, kBitBtn2Bounds, kFontBold);
  ApplyDpi(real_dpi);
  return true;
}

void TControlCursos::ApplyDpi(int dpi) {
  fonts_.clear();
  std::vector<HFONT> handles;
  for (const app::FontSpec& font : kFontSpecs) {
    fonts_.push_back(app::CreateUiFont(font, dpi));
    handles.push_back(fonts_.back().get());
  }
  layout_.Apply(dpi, handles);
  grid_.SetFonts(handles[kFontCells], handles[kFontBold]);
  dpi_ = dpi;
  const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE));
  const DWORD ex_style =
      static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE));
  SIZE size = app::WindowSizeForClient(app::Scaled(kClientWidth, dpi),
                                       app::Scaled(kClientHeight, dpi), style,
                                       ex_style, dpi);
  SetWindowPos(hwnd_, nullptr, 0, 0, size.cx, size.cy,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

Status TControlCursos::ShowModal(HWND owner) {
  owner_ = owner;
  if (!CreateWindowAndControls(owner)) {
    return Status::IoError(
        "No se pudo abrir la ventana de niveles y cursos. Cierre otros "
        "programas y vuelva a intentarlo.");
  }
  Status st = FormShow();
  if (!st.ok()) {
    DestroyWindow(hwnd_);
    return st;
  }
  if (owner_) EnableWindow(owner_, FALSE);
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  // As the dialog becomes active the grid, first in the tab order, takes
  // the focus and puts the first course into editing.
  SetFocus(grid_.hwnd());
  MSG msg;
  while (!done_) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      // The program is ending: leave the quit for the outer loop.
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (got == -1) break;
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_F1 &&
        (msg.hwnd == hwnd_ || IsChild(hwnd_, msg.hwnd))) {
      SendMessageW(hwnd_, WM_HELP, 0, 0);
      continue;
    }
    // Enter presses the focused button, the forced exit included; elsewhere
    // the dialog manager gives it to the default button, OK.
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN &&
        (msg.hwnd == bitbtn1_ || msg.hwnd == bitbtn2_)) {
      PostMessageW(msg.hwnd, BM_CLICK, 0, 0);
      continue;
    }
    if (IsDialogMessageW(hwnd_, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  // The owner comes back before the dialog goes, so it takes the activation.
  if (owner_) EnableWindow(owner_, TRUE);
  DestroyWindow(hwnd_);
  return result_;
}

Status TControlCursos::FormShow() {
  std::vector<CourseRow> rows;
  PONTEVIA_RETURN_IF_ERROR(LoadCourses(env_, folder_, &rows));
  table_open_ = true;
  // Opening the table enters the grid's current column, which hides the
  // forced exit; so it is offered only afterwards.
  grid_.SetRows(std::move(rows), true);
  if (force_exit_offered_) {
    ShowWindow(bitbtn2_, SW_SHOW);
    ShowWindow(label8_, SW_SHOW);
  }
  UpdateNavigator();
  return Status::OK();
}

void TControlCursos::CursosTDBGridColEnter() {
  // The forced exit stays on offer only until the user first moves between
  // columns; it comes back only with the next showing.
  ShowWindow(bitbtn2_, SW_HIDE);
  ShowWindow(label8_, SW_HIDE);
}

void TControlCursos::BitBtn1Click() {
  Status st = grid_.CommitAndPost();
  if (!st.ok()) return EndModal(st);
  missing_data_ = false;
  bool missing = false;
  st = exporter::CheckCoursesComplete(env_, folder_, &missing);
  if (!st.ok()) return EndModal(st);
  missing_data_ = missing;
  if (missing_data_) {
    ShowWindow(label3_, SW_SHOW);
    ShowWindow(label2_, SW_SHOW);
    UpdateWindow(hwnd_);
    app::ShowMessage(hwnd_, kMissingMessage, app::kProgramTitle, MB_OK);
  }
  table_open_ = false;
  EndModal(Status::OK());
}

void TControlCursos::BitBtn2Click() {
  Status st = grid_.CommitAndPost();
  if (!st.ok()) return EndModal(st);
  table_open_ = false;
  missing_data_ = false;
  exit_reason_ = kExitReasonForced;
  EndModal(Status::OK());
}

void TControlCursos::NavigatorClick(NavButton button) {
  const int count = static_cast<int>(grid_.rows().size());
  switch (button) {
    case NavButton::kEdit:
      grid_.EditRecord();
      break;
    case NavButton::kPost:
      (void)grid_.PostRecord();
      break;
    case NavButton::kCancel:
      grid_.CancelRecord();
      break;
    case NavButton::kRefresh: {
      if (!grid_.CommitAndPost().ok()) break;
      std::vector<CourseRow> rows;
      Status st = LoadCourses(env_, folder_, &rows);
      if (!st.ok()) return EndModal(st);
      grid_.SetRows(std::move(rows), false);
      break;
    }
    default:
      (void)grid_.MoveToRow(RowAfter(button, grid_.current_row(), count));
      break;
  }
  UpdateNavigator();
}

void TControlCursos::UpdateNavigator() {
  navigator_.SetEnabled(
      NavigatorEnabled({table_open_, static_cast<int>(grid_.rows().size()),
                        grid_.current_row(), grid_.editing()}));
}

void TControlCursos::EndModal(Status status) {
  if (done_) return;
  result_ = std::move(status);
  done_ = true;
  // Wakes the modal loop.
  PostMessageW(hwnd_, WM_NULL, 0, 0);
}

LRESULT CALLBACK TControlCursos::Proc(HWND hwnd, UINT msg, WPARAM wp,
                                      LPARAM lp) {
  auto* self = app::WindowObject<TControlCursos>(hwnd, msg, lp);
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  if (msg == WM_NCCREATE) self->hwnd_ = hwnd;
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
  return self->OnMessage(msg, wp, lp);
}

LRESULT TControlCursos::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case DM_GETDEFID:
      return MAKELRESULT(ids::kBitBtn1, DC_HASDEFID);
    case WM_COMMAND: {
      const int id = LOWORD(wp);
      if (HIWORD(wp) != BN_CLICKED) break;
      if (id == ids::kBitBtn1) {
        BitBtn1Click();
      } else if (id == ids::kBitBtn2) {
        BitBtn2Click();
      } else if (id >= ids::kNavigatorFirst && id <= ids::kNavigatorLast) {
        NavigatorClick(static_cast<NavButton>(id - ids::kNavigatorFirst));
      }
      // IDCANCEL (Escape) does nothing: the dialog has no cancel button.
      return 0;
    }
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (grid_.OnNotify(reinterpret_cast<const NMHDR*>(lp), &result))
        return result;
      break;
    }
    case WM_DRAWITEM: {
      auto* di = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
      app::BitButtonLook look;
      look.dpi = dpi_;
      if (di->CtlID == static_cast<UINT>(ids::kBitBtn1)) {
        look.glyph = app::Glyph::kOk;
        look.is_default = true;
      } else {
        look.text = kRed;
      }
      app::DrawBitButton(di, look);
      return TRUE;
    }
    case ids::kMsgPostFailed:
      EndModal(pending_error_);
      return 0;
    case WM_CLOSE: {
      // The close box ends the showing as complete, without the check; what
      // was typed in the current record is kept.
      Status st = grid_.CommitAndPost();
      missing_data_ = false;
      exit_reason_.clear();
      EndModal(st);
      return 0;
    }
    case WM_HELP: {
      Status st = app::ShowHelpContents(hwnd_);
      if (!st.ok())
        app::ShowMessage(hwnd_, st.message(), app::kProgramTitle,
                         MB_OK | MB_ICONWARNING);
      return TRUE;
    }
    case WM_DPICHANGED: {
      const RECT* suggested = reinterpret_cast<const RECT*>(lp);
      SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left,
                   suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      ApplyDpi(HIWORD(wp));
      return 0;
    }
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace

Status ShowCoursesDialog(HWND owner, access::Env* env,
                         const std::string& folder, bool force_exit_offered,
                         exporter::CoursesDialogOutcome* outcome) {
  TControlCursos dialog(env, folder, force_exit_offered);
  Status st = dialog.ShowModal(owner);
  outcome->missing_data = dialog.missing_data();
  outcome->exit_reason = dialog.exit_reason();
  return st;
}

}  // namespace pontevia::dialogs
