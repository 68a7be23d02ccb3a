#include "app/gui_interaction.h"

#include <windows.h>

#include "access/env.h"
#include "app/main_form.h"
#include "app/win_util.h"
#include "dialogs/courses_dialog.h"

namespace pontevia::app {

namespace {

// The question's text keeps the line breaks Horalia's users know: a line
// feed, then a carriage return.
constexpr char kLinesCaption[] = "Creación automática de Líneas de Asignaturas";
constexpr char kLinesQuestion[] =
    "¿Quiere crear automáticamente las Líneas de Asignaturas \n\r"
    "que esta aplicación estime necesarias para cada Grupo? \n\r"
    "Seguramente se crearán más líneas de las necesarias, \n\r"
    "pero podrá eliminar las que considere innecesarias. \n\r"
    "                            ¿Crear Líneas?";

// More lines than this would not fit on the screen.
constexpr size_t kMaxWarningsShown = 15;

// While a modal window of the run is up, the arrow replaces the hourglass.
class ArrowWhileModal {
 public:
  explicit ArrowWhileModal(MainForm& form) : form_(form), busy_(form.busy()) {
    if (busy_) form_.SetBusy(false);
  }
  ~ArrowWhileModal() {
    if (busy_) form_.SetBusy(true);
  }

 private:
  MainForm& form_;
  bool busy_;
};

}  // namespace

Status GuiInteraction::ShowCoursesDialog(
    const std::string& folder, bool force_exit_offered,
    exporter::CoursesDialogOutcome* outcome) {
  ArrowWhileModal arrow(form_);
  Status st = dialogs::ShowCoursesDialog(form_.hwnd(), access::Env::Default(),
                                         folder, force_exit_offered, outcome);
  if (st.ok() && outcome->exit_reason == "fuera") form_.RequestCloseDuringRun();
  return st;
}

bool GuiInteraction::ConfirmAssignmentLines() {
  ArrowWhileModal arrow(form_);
  return ShowMessage(form_.hwnd(), kLinesQuestion, kLinesCaption,
                     MB_OKCANCEL | MB_ICONEXCLAMATION) == IDOK;
}

void GuiInteraction::Warn(const std::string& message) {
  warnings_.push_back(message);
}

void GuiInteraction::SetBusy(bool busy) { form_.SetBusy(busy); }

void GuiInteraction::ShowWarnings() {
  if (warnings_.empty()) return;
  std::string text = "La exportación ha terminado con estos avisos:\n";
  for (size_t i = 0; i < warnings_.size() && i < kMaxWarningsShown; ++i) {
    text += "\n- " + warnings_[i];
  }
  if (warnings_.size() > kMaxWarningsShown) {
    text += "\n\n... y " +
            std::to_string(warnings_.size() - kMaxWarningsShown) +
            " avisos más del mismo tipo.";
  }
  ShowMessage(form_.hwnd(), text, kProgramTitle, MB_OK | MB_ICONWARNING);
}

}  // namespace pontevia::app
