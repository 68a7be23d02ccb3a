// The grid of the level and course dialog: a report list view showing one
// course per row in four columns (CÓD.GESTIB, DESCRIPCIÓN, NIVEL, CURSO), a
// current cell the user moves with the keys or the mouse, and an edit
// control laid over the current cell for in-place editing of the last two
// columns. Enter moves to the next cell; there is no way to add or remove a
// row.
//
// Records behave as the table engine's do: entering the grid puts the
// current record into editing, typing changes it, and moving to another
// record, leaving the grid or pressing post stores the change through the
// `post` callback. Text is Windows-1252.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "app/win_util.h"
#include "base/status.h"

namespace pontevia::dialogs {

struct CourseRow {
  std::string codi;
  std::string descripcio;
  std::string nivel;
  std::string curso;
};

inline constexpr int kGridColumns = 4;
inline constexpr int kColumnNivel = 2;
inline constexpr int kColumnCurso = 3;

class CoursesGrid {
 public:
  struct Callbacks {
    std::function<void()> column_entered;  // the current column changed
    std::function<Status(int row, const CourseRow&)>
        post;                             // store a changed record
    std::function<void()> state_changed;  // row, editing or rows changed
    std::function<void(bool backwards)>
        leave;  // move the focus out of the grid
  };
  struct CreateArgs {
    HWND parent = nullptr;
    int id = 0;
    app::Bounds bounds;
    Callbacks callbacks;
  };

  CoursesGrid() = default;
  CoursesGrid(const CoursesGrid&) = delete;
  CoursesGrid& operator=(const CoursesGrid&) = delete;

  bool Create(const CreateArgs& args, int dpi, app::Layout* layout);
  HWND hwnd() const { return list_; }

  // Shows `rows`. Opening the table also enters the current column (a
  // refresh does not).
  void SetRows(std::vector<CourseRow> rows, bool opening);
  const std::vector<CourseRow>& rows() const { return rows_; }
  int current_row() const { return row_; }
  int current_column() const { return column_; }
  bool editing() const { return editing_; }

  // Fonts for the cells and the titles; sizes the columns to them.
  void SetFonts(HFONT cells, HFONT titles);

  // Navigator commands.
  Status MoveToRow(int row);
  void EditRecord();
  Status PostRecord();
  void CancelRecord();
  // Takes the text of an open cell editor into the record, then posts it.
  Status CommitAndPost();

  // Custom drawing of the current cell; the dialog passes WM_NOTIFY on.
  bool OnNotify(const NMHDR* hdr, LRESULT* result);

 private:
  static LRESULT CALLBACK ListProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR,
                                   DWORD_PTR);
  static LRESULT CALLBACK EditorProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR,
                                     DWORD_PTR);
  LRESULT OnListMessage(UINT msg, WPARAM wp, LPARAM lp, bool* handled);
  LRESULT OnEditorMessage(UINT msg, WPARAM wp, LPARAM lp, bool* handled);

  bool HandleKey(UINT vk);
  Status MoveToCell(int row, int column);
  void EnterPressed();
  void BeginCellEdit(wchar_t first_char);
  // `losing_focus`: called while the focus leaves the editor for good.
  void CommitEditor(bool keep_focus, bool losing_focus = false);
  void CancelEditor();
  void GridEnter();
  void GridExit();
  Status PostCurrent();
  void ShowRow(int row);
  void RedrawRow(int row);
  std::string& Cell(int row, int column);

  HWND list_ = nullptr;
  HWND editor_ = nullptr;
  Callbacks callbacks_;
  std::vector<CourseRow> rows_;
  std::vector<CourseRow> stored_;  // as last posted, for cancel
  int row_ = 0;
  int column_ = 0;
  bool editing_ = false;
  bool dirty_ = false;
  bool entered_ = false;  // the current column was entered at least once
  HFONT cell_font_ = nullptr;
};

}  // namespace pontevia::dialogs
