// Command and control IDs of Pontevia's windows, in one place. Resource IDs
// (icon, manifest, version) are in resource.h beside the .rc file.
#pragma once

#include <windows.h>

namespace pontevia::app::ids {

// TMForm, the main window.
enum MainForm : int {
  kDraw3D1 = 100,  // bottom band
  kDraw3D2,        // export half
  kDraw3D3,        // import half
  kBExportar,
  kBClose,
  kLabel3,
  kLabel4,
  kBImportar,
  kLabel1,
  kButton1,
};

// TControlCursos, the level and course dialog. The OK button answers to
// IDOK so that it is the dialog's default button for the dialog manager.
enum CoursesDialog : int {
  kCoursesDraw3D1 = 200,
  kCursosTDBGrid,
  kNavigatorFirst = 210,  // ten navigator buttons, in NavButton order
  kNavigatorLast = 219,
  kBitBtn1 = IDOK,
  kBitBtn2 = 230,
  kCoursesLabel1,
  kCoursesLabel2,
  kCoursesLabel3,
  kCoursesLabel4,
  kCoursesLabel5,
  kCoursesLabel6,
  kCoursesLabel7,
  kCoursesLabel8,
  kCoursesLabel9,
  kCoursesLabel10,
  kCoursesLabel11,
  kCellEditor,
};

// Private window messages.
enum Messages : UINT {
  kMsgFormShow =
      WM_APP + 1,  // the main window has been shown: start the commanded action
  kMsgPostFailed,  // the grid could not store a record: show why
};

}  // namespace pontevia::app::ids
