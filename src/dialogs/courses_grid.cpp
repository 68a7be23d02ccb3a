#include "dialogs/courses_grid.h"

#include <commctrl.h>

#include <algorithm>

#include "app/control_ids.h"
#include "dialogs/grid_logic.h"

namespace pontevia::dialogs {

namespace {

// The editor is destroyed from the message loop, never from inside its own
// focus or key handling.
constexpr UINT kMsgDestroyEditor = WM_APP + 10;
constexpr UINT_PTR kListSubclass = 1;
constexpr UINT_PTR kEditorSubclass = 2;

struct ColumnDef {
  const char* title;
  int width_chars;
  int max_length;  // 0: read-only
};
// Widths in characters, as the table's fields are shown; NIVEL and CURSO are
// as wide as their fields, 5 and 3 characters.
constexpr ColumnDef kColumns[kGridColumns] = {
    {"CÓD.GESTIB", 10, 0},
    {"DESCRIPCIÓN", 40, 0},
    {"NIVEL", 5, 5},
    {"CURSO", 3, 3},
};

bool Editable(int column) {
  return column >= 0 && column < kGridColumns &&
         kColumns[column].max_length > 0;
}

int TextWidth(HDC dc, HFONT font, const std::wstring& s) {
  app::ScopedSelect sel(dc, font);
  SIZE size{};
  GetTextExtentPoint32W(dc, s.c_str(), static_cast<int>(s.size()), &size);
  return size.cx;
}

}  // namespace

bool CoursesGrid::Create(const CreateArgs& args, int dpi, app::Layout* layout) {
  callbacks_ = args.callbacks;
  RECT rc = app::ScaledRect(args.bounds, dpi);
  list_ = CreateWindowExW(
      WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
      WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPCHILDREN | LVS_REPORT |
          LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
      rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, args.parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(args.id)),
      GetModuleHandleW(nullptr), nullptr);
  if (!list_) return false;
  layout->Add(list_, args.bounds, -1);
  ListView_SetExtendedListViewStyle(list_,
                                    LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
  for (int c = 0; c < kGridColumns; ++c) {
    std::wstring title = app::WideFromUtf8(kColumns[c].title);
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_FMT;
    col.fmt = LVCFMT_LEFT;
    col.cx = 60;
    col.pszText = title.data();
    col.iSubItem = c;
    SendMessageW(list_, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&col));
  }
  SetWindowSubclass(list_, &CoursesGrid::ListProc, kListSubclass,
                    reinterpret_cast<DWORD_PTR>(this));
  return true;
}

void CoursesGrid::SetFonts(HFONT cells, HFONT titles) {
  cell_font_ = cells;
  SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(cells), TRUE);
  if (HWND header = ListView_GetHeader(list_)) {
    SendMessageW(header, WM_SETFONT, reinterpret_cast<WPARAM>(titles), TRUE);
  }
  if (editor_)
    SendMessageW(editor_, WM_SETFONT, reinterpret_cast<WPARAM>(cells), TRUE);
  app::ScopedGetDC dc(list_);
  const int digit = TextWidth(dc.get(), cells, L"0");
  const int pad = TextWidth(dc.get(), cells, L"00");
  int widths[kGridColumns];
  int total = 0;
  for (int c = 0; c < kGridColumns; ++c) {
    const int title =
        TextWidth(dc.get(), titles, app::WideFromUtf8(kColumns[c].title)) +
        2 * pad;
    widths[c] = (std::max)(kColumns[c].width_chars * digit + pad, title);
    total += widths[c];
  }
  // The list view cannot keep a column fixed while it scrolls sideways, so
  // the columns never need to: the description gives up what does not fit
  // beside a vertical scroll bar.
  RECT client;
  GetClientRect(list_, &client);
  const int room = client.right - GetSystemMetrics(SM_CXVSCROLL) - 2;
  if (total > room) {
    widths[1] = (std::max)(widths[1] - (total - room), 20 * digit);
  }
  for (int c = 0; c < kGridColumns; ++c)
    ListView_SetColumnWidth(list_, c, widths[c]);
}

std::string& CoursesGrid::Cell(int row, int column) {
  CourseRow& r = rows_[row];
  switch (column) {
    case 0:
      return r.codi;
    case 1:
      return r.descripcio;
    case kColumnNivel:
      return r.nivel;
    default:
      return r.curso;
  }
}

void CoursesGrid::ShowRow(int row) {
  for (int c = 0; c < kGridColumns; ++c) {
    std::wstring text = app::WideFromAnsi(Cell(row, c));
    LVITEMW item{};
    item.iSubItem = c;
    item.pszText = text.data();
    SendMessageW(list_, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  }
}

void CoursesGrid::RedrawRow(int row) {
  if (row >= 0 && row < static_cast<int>(rows_.size()))
    ListView_RedrawItems(list_, row, row);
}

void CoursesGrid::SetRows(std::vector<CourseRow> rows, bool opening) {
  if (editor_) CancelEditor();
  rows_ = std::move(rows);
  stored_ = rows_;
  ListView_DeleteAllItems(list_);
  for (int r = 0; r < static_cast<int>(rows_.size()); ++r) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = r;
    item.pszText = const_cast<wchar_t*>(L"");
    SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    ShowRow(r);
  }
  row_ = std::clamp(row_, 0, (std::max)(0, static_cast<int>(rows_.size()) - 1));
  dirty_ = false;
  editing_ = false;
  if (opening && callbacks_.column_entered) callbacks_.column_entered();
  if (!rows_.empty()) ListView_EnsureVisible(list_, row_, FALSE);
  if (GetFocus() == list_) GridEnter();
  if (callbacks_.state_changed) callbacks_.state_changed();
}

Status CoursesGrid::PostCurrent() {
  if (rows_.empty()) return Status::OK();
  if (dirty_) {
    if (callbacks_.post)
      PONTEVIA_RETURN_IF_ERROR(callbacks_.post(row_, rows_[row_]));
    stored_[row_] = rows_[row_];
    dirty_ = false;
  }
  editing_ = false;
  return Status::OK();
}

Status CoursesGrid::MoveToCell(int row, int column) {
  if (rows_.empty()) return Status::OK();
  row = std::clamp(row, 0, static_cast<int>(rows_.size()) - 1);
  column = std::clamp(column, 0, kGridColumns - 1);
  CommitEditor(true);
  if (row != row_) {
    // Moving to another record stores the changed one first, and stays put
    // when it cannot be stored.
    PONTEVIA_RETURN_IF_ERROR(PostCurrent());
    const int old = row_;
    row_ = row;
    RedrawRow(old);
  }
  if (column != column_) {
    column_ = column;
    if (callbacks_.column_entered) callbacks_.column_entered();
  }
  ListView_EnsureVisible(list_, row_, FALSE);
  RedrawRow(row_);
  if (callbacks_.state_changed) callbacks_.state_changed();
  return Status::OK();
}

Status CoursesGrid::MoveToRow(int row) { return MoveToCell(row, column_); }

void CoursesGrid::EditRecord() {
  if (rows_.empty()) return;
  editing_ = true;
  if (callbacks_.state_changed) callbacks_.state_changed();
}

Status CoursesGrid::PostRecord() {
  CommitEditor(true);
  Status st = PostCurrent();
  RedrawRow(row_);
  if (callbacks_.state_changed) callbacks_.state_changed();
  return st;
}

void CoursesGrid::CancelRecord() {
  if (editor_) CancelEditor();
  if (rows_.empty()) return;
  rows_[row_] = stored_[row_];
  dirty_ = false;
  editing_ = false;
  ShowRow(row_);
  if (callbacks_.state_changed) callbacks_.state_changed();
}

Status CoursesGrid::CommitAndPost() {
  CommitEditor(false);
  Status st = PostCurrent();
  if (callbacks_.state_changed) callbacks_.state_changed();
  return st;
}

void CoursesGrid::GridEnter() {
  // Entering the grid puts the current record into editing.
  if (!editing_ && !rows_.empty()) editing_ = true;
  RedrawRow(row_);
  if (callbacks_.state_changed) callbacks_.state_changed();
}

void CoursesGrid::GridExit() {
  // Leaving the grid stores the record being edited. A failure has been
  // reported through the post callback; the record stays changed.
  (void)PostCurrent();
  RedrawRow(row_);
  if (callbacks_.state_changed) callbacks_.state_changed();
}

void CoursesGrid::EnterPressed() {
  const CellMove to = CellAfterEnter(
      row_, column_, static_cast<int>(rows_.size()), kGridColumns);
  if (rows_.empty() || to.leave_grid) {
    if (callbacks_.leave) callbacks_.leave(false);
    return;
  }
  (void)MoveToCell(to.row, to.column);
}

void CoursesGrid::BeginCellEdit(wchar_t first_char) {
  if (rows_.empty() || !Editable(column_)) return;
  if (editor_) {
    if (first_char) SendMessageW(editor_, WM_CHAR, first_char, 0);
    return;
  }
  ListView_EnsureVisible(list_, row_, FALSE);
  RECT rc{};
  ListView_GetSubItemRect(list_, row_, column_, LVIR_BOUNDS, &rc);
  std::wstring text = first_char ? std::wstring(1, first_char)
                                 : app::WideFromAnsi(Cell(row_, column_));
  editor_ = CreateWindowExW(
      0, L"EDIT", text.c_str(),
      WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | ES_LEFT, rc.left + 1, rc.top + 1,
      rc.right - rc.left - 1, rc.bottom - rc.top - 1, list_,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(app::ids::kCellEditor)),
      GetModuleHandleW(nullptr), nullptr);
  if (!editor_) return;
  SendMessageW(editor_, WM_SETFONT, reinterpret_cast<WPARAM>(cell_font_),
               FALSE);
  SendMessageW(editor_, EM_LIMITTEXT, kColumns[column_].max_length, 0);
  SetWindowSubclass(editor_, &CoursesGrid::EditorProc, kEditorSubclass,
                    reinterpret_cast<DWORD_PTR>(this));
  editing_ = true;
  SetFocus(editor_);
  if (first_char) {
    SendMessageW(editor_, EM_SETSEL, 1, 1);
  } else {
    SendMessageW(editor_, EM_SETSEL, 0, -1);
  }
  if (callbacks_.state_changed) callbacks_.state_changed();
}

void CoursesGrid::CommitEditor(bool keep_focus, bool losing_focus) {
  if (!editor_) return;
  HWND e = editor_;
  editor_ = nullptr;
  std::string text = app::AnsiFromWide(app::WindowTextOf(e));
  std::string& cell = Cell(row_, column_);
  if (cell != text) {
    cell = text;
    dirty_ = true;
    editing_ = true;
    ShowRow(row_);
  }
  if (keep_focus && GetFocus() == e) SetFocus(list_);
  // Hiding the editor while the focus is leaving it would make the system
  // move the focus again, to the grid, and a button being pressed would
  // lose its click: then it just waits for its destruction.
  if (!losing_focus) ShowWindow(e, SW_HIDE);
  PostMessageW(list_, kMsgDestroyEditor, reinterpret_cast<WPARAM>(e), 0);
  RedrawRow(row_);
}

void CoursesGrid::CancelEditor() {
  if (!editor_) return;
  HWND e = editor_;
  editor_ = nullptr;
  if (GetFocus() == e) SetFocus(list_);
  ShowWindow(e, SW_HIDE);
  PostMessageW(list_, kMsgDestroyEditor, reinterpret_cast<WPARAM>(e), 0);
  RedrawRow(row_);
}

bool CoursesGrid::HandleKey(UINT vk) {
  const bool ctrl = GetKeyState(VK_CONTROL) < 0;
  const int last_row = static_cast<int>(rows_.size()) - 1;
  const int page =
      (std::max)(1, static_cast<int>(ListView_GetCountPerPage(list_)));
  switch (vk) {
    case VK_LEFT:
      (void)MoveToCell(row_, column_ - 1);
      return true;
    case VK_RIGHT:
      (void)MoveToCell(row_, column_ + 1);
      return true;
    case VK_UP:
      (void)MoveToCell(row_ - 1, column_);
      return true;
    case VK_DOWN:
      (void)MoveToCell(row_ + 1, column_);
      return true;
    case VK_PRIOR:
      (void)MoveToCell(row_ - page, column_);
      return true;
    case VK_NEXT:
      (void)MoveToCell(row_ + page, column_);
      return true;
    case VK_HOME:
      (void)(ctrl ? MoveToCell(0, column_) : MoveToCell(row_, 0));
      return true;
    case VK_END:
      (void)(ctrl ? MoveToCell(last_row, column_)
                  : MoveToCell(row_, kGridColumns - 1));
      return true;
    case VK_RETURN:
      EnterPressed();
      return true;
    case VK_F2:
      BeginCellEdit(0);
      return true;
    case VK_ESCAPE:
      CancelRecord();
      return true;
    // No key adds or removes a course.
    case VK_INSERT:
    case VK_DELETE:
      return true;
    default:
      return false;
  }
}

LRESULT CALLBACK CoursesGrid::ListProc(HWND hwnd, UINT msg, WPARAM wp,
                                       LPARAM lp, UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<CoursesGrid*>(data);
  if (msg == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, &CoursesGrid::ListProc, kListSubclass);
    self->list_ = nullptr;
    return DefSubclassProc(hwnd, msg, wp, lp);
  }
  bool handled = false;
  LRESULT r = self->OnListMessage(msg, wp, lp, &handled);
  return handled ? r : DefSubclassProc(hwnd, msg, wp, lp);
}

LRESULT CoursesGrid::OnListMessage(UINT msg, WPARAM wp, LPARAM lp,
                                   bool* handled) {
  *handled = true;
  switch (msg) {
    case WM_GETDLGCODE: {
      LRESULT code = DLGC_WANTARROWS | DLGC_WANTCHARS;
      const MSG* m = reinterpret_cast<const MSG*>(lp);
      if (m && m->message == WM_KEYDOWN &&
          (m->wParam == VK_RETURN || m->wParam == VK_ESCAPE)) {
        code |= DLGC_WANTMESSAGE;
      }
      return code;
    }
    case WM_KEYDOWN:
      if (HandleKey(static_cast<UINT>(wp))) return 0;
      // Type-ahead search and the list's own selection keys stay off.
      return 0;
    case WM_CHAR:
      if (wp >= 32 && Editable(column_))
        BeginCellEdit(static_cast<wchar_t>(wp));
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      SetFocus(list_);
      LVHITTESTINFO hit{};
      hit.pt =
          POINT{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
      if (ListView_SubItemHitTest(list_, &hit) >= 0 && hit.iItem >= 0) {
        if (MoveToCell(hit.iItem, hit.iSubItem).ok() && msg == WM_LBUTTONDBLCLK)
          BeginCellEdit(0);
      }
      return 0;
    }
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
      SetFocus(list_);
      return 0;
    case WM_SETFOCUS: {
      LRESULT r = DefSubclassProc(list_, msg, wp, lp);
      GridEnter();
      return r;
    }
    case WM_KILLFOCUS: {
      LRESULT r = DefSubclassProc(list_, msg, wp, lp);
      if (reinterpret_cast<HWND>(wp) != editor_ || !editor_) GridExit();
      return r;
    }
    case WM_VSCROLL:
    case WM_HSCROLL:
    case WM_MOUSEWHEEL:
      CommitEditor(true);
      *handled = false;
      return 0;
    case kMsgDestroyEditor:
      DestroyWindow(reinterpret_cast<HWND>(wp));
      return 0;
    default:
      *handled = false;
      return 0;
  }
}

LRESULT CALLBACK CoursesGrid::EditorProc(HWND hwnd, UINT msg, WPARAM wp,
                                         LPARAM lp, UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<CoursesGrid*>(data);
  if (msg == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, &CoursesGrid::EditorProc, kEditorSubclass);
    if (self->editor_ == hwnd) self->editor_ = nullptr;
    return DefSubclassProc(hwnd, msg, wp, lp);
  }
  if (hwnd != self->editor_) return DefSubclassProc(hwnd, msg, wp, lp);
  bool handled = false;
  LRESULT r = self->OnEditorMessage(msg, wp, lp, &handled);
  return handled ? r : DefSubclassProc(hwnd, msg, wp, lp);
}

LRESULT CoursesGrid::OnEditorMessage(UINT msg, WPARAM wp, LPARAM lp,
                                     bool* handled) {
  *handled = true;
  switch (msg) {
    case WM_GETDLGCODE:
      return DLGC_WANTALLKEYS | DLGC_WANTCHARS | DLGC_HASSETSEL;
    case WM_KEYDOWN:
      switch (wp) {
        case VK_RETURN:
          CommitEditor(true);
          EnterPressed();
          return 0;
        case VK_ESCAPE:
          CancelEditor();
          return 0;
        case VK_UP:
        case VK_DOWN:
        case VK_PRIOR:
        case VK_NEXT:
          CommitEditor(true);
          HandleKey(static_cast<UINT>(wp));
          return 0;
        case VK_TAB:
          CommitEditor(true);
          if (callbacks_.leave) callbacks_.leave(GetKeyState(VK_SHIFT) < 0);
          return 0;
      }
      break;
    case WM_CHAR:
      if (wp == '\r' || wp == '\t' || wp == 0x1B) return 0;
      break;
    case WM_KILLFOCUS: {
      HWND to = reinterpret_cast<HWND>(wp);
      CommitEditor(false, true);
      if (to != list_) GridExit();
      break;
    }
  }
  *handled = false;
  return 0;
}

bool CoursesGrid::OnNotify(const NMHDR* hdr, LRESULT* result) {
  if (hdr->hwndFrom != list_ || hdr->code != NM_CUSTOMDRAW) return false;
  auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(const_cast<NMHDR*>(hdr));
  switch (cd->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      *result = CDRF_NOTIFYITEMDRAW;
      return true;
    case CDDS_ITEMPREPAINT:
      *result = CDRF_NOTIFYSUBITEMDRAW;
      return true;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
      const int row = static_cast<int>(cd->nmcd.dwItemSpec);
      const int column = cd->iSubItem;
      const HWND focus = GetFocus();
      const bool focused = focus == list_ || (editor_ && focus == editor_);
      cd->nmcd.uItemState &= ~(CDIS_FOCUS | CDIS_SELECTED);
      cd->clrText = RGB(0, 0, 0);
      if (row == row_ && column == column_) {
        cd->clrTextBk =
            focused ? GetSysColor(COLOR_HIGHLIGHT) : RGB(192, 192, 192);
        cd->clrText = focused ? GetSysColor(COLOR_HIGHLIGHTTEXT) : RGB(0, 0, 0);
      } else if (row == row_) {
        cd->clrTextBk = RGB(255, 255, 208);
      } else if (!Editable(column)) {
        cd->clrTextBk = RGB(240, 240, 240);
      } else {
        cd->clrTextBk = RGB(255, 255, 255);
      }
      *result = CDRF_NEWFONT;
      return true;
    }
    default:
      *result = CDRF_DODEFAULT;
      return true;
  }
}

}  // namespace pontevia::dialogs
