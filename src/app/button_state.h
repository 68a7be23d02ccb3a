// Which buttons of the main window can be pressed, as a pure function of a
// plain snapshot of the window's state, so the rule is tested without Wine.
#pragma once

namespace pontevia::app {

struct MainWindowSnapshot {
  // An export or an import has completed in this program run. A program run
  // carries out at most one conversion: the tables Horalia reads must come
  // from one export, and the solution document from one import.
  bool run_completed = false;
  // A run is working (its dialogs are up). Pressing a direction button again
  // would start a second run inside the first one.
  bool run_in_progress = false;
};

struct MainButtons {
  bool exportar = true;
  bool importar = true;
  bool salir = true;
  bool ayuda = true;
};

constexpr MainButtons MainButtonsEnabled(const MainWindowSnapshot& s) {
  const bool direction = !s.run_completed && !s.run_in_progress;
  return MainButtons{direction, direction, true, true};
}

}  // namespace pontevia::app
