// Drives Pontevia.exe as a person would, under Wine and a virtual X server:
// starts it, finds its windows, presses its buttons, fills the file dialog
// and the courses grid, answers its message boxes, and checks what it left
// on disk (the working tables in C:\HTEMP, Horalia.ini beside the program,
// SolucioHorari.xml). Screenshots of the windows go to the artifacts folder
// as BMP files.
//
// Usage: gui_driver SCENARIO PONTEVIA_EXE ARTIFACTS_FOLDER
// Exit status 0 when every check of the scenario passed.
#include <windows.h>
// windows.h must come first: the other system headers need its types.

#include <commctrl.h>

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "access/dbf_table.h"
#include "access/env.h"
#include "app/control_ids.h"

namespace {

namespace ids = pontevia::app::ids;

std::wstring g_exe;        // C:\Pontevia\Pontevia.exe
std::wstring g_artifacts;  // folder for the screenshots
int g_failures = 0;

// Generous: CI runs these beside the other tests on two cores.
constexpr int kTimeoutMs = 60000;
constexpr wchar_t kWorkdir[] = L"C:\\HTEMP";
constexpr char kWorkdirUtf8[] = "C:\\HTEMP";
constexpr wchar_t kSchool[] = L"C:\\HTEMP\\saga\\escuela.xml";
constexpr wchar_t kBroken[] = L"C:\\HTEMP\\saga\\roto.xml";

// ---------------------------------------------------------------- reporting

struct Abort : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::string Narrow(const std::wstring& w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()),
                              nullptr, 0, nullptr, nullptr);
  std::string s(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()),
                      s.data(), n, nullptr, nullptr);
  return s;
}

std::wstring Wide(const std::string& s) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()),
                              nullptr, 0);
  std::wstring w(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()),
                      w.data(), n);
  return w;
}

void Log(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

void Check(bool ok, const std::string& what) {
  Log(std::string(ok ? "  ok    " : "  FALLO ") + what);
  if (!ok) ++g_failures;
}

// A precondition of the rest of the scenario: quiet when it holds.
void Require(bool ok, const std::string& what) {
  if (ok) return;
  Check(false, what);
  throw Abort(what);
}

// ------------------------------------------------------------ message pump

// The driver owns the stand-in for Horalia's window, and Pontevia's child
// window sends it messages: every wait keeps the driver's queue moving.
void Pump() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
}

void Idle(int ms) {
  const ULONGLONG end = GetTickCount64() + ms;
  while (GetTickCount64() < end) {
    Pump();
    Sleep(20);
  }
}

template <typename T>
T WaitFor(const std::function<T()>& probe, const std::string& what,
          int timeout_ms = kTimeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeout_ms;
  for (;;) {
    Pump();
    if (T v = probe()) return v;
    if (GetTickCount64() > end) {
      Check(false, "se esperaba: " + what);
      throw Abort("tiempo agotado: " + what);
    }
    Sleep(50);
  }
}

// --------------------------------------------------------------- processes

class Pontevia {
 public:
  explicit Pontevia(const std::wstring& params,
                    const wchar_t* current_folder = nullptr) {
    std::wstring cmd = L"\"" + g_exe + L"\"";
    if (!params.empty()) cmd += L" " + params;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    Log("Arranque: Pontevia.exe " + Narrow(params));
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, current_folder, &si, &pi_)) {
      throw Abort("no se pudo arrancar Pontevia.exe");
    }
  }
  ~Pontevia() {
    if (Running()) TerminateProcess(pi_.hProcess, 99);
    CloseHandle(pi_.hThread);
    CloseHandle(pi_.hProcess);
  }
  DWORD pid() const { return pi_.dwProcessId; }
  bool Running() const {
    return WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT;
  }
  bool WaitExit(int timeout_ms) {
    const ULONGLONG end = GetTickCount64() + timeout_ms;
    while (Running()) {
      if (GetTickCount64() > end) return false;
      Pump();
      Sleep(50);
    }
    return true;
  }

 private:
  PROCESS_INFORMATION pi_{};
};

// ----------------------------------------------------------------- windows

std::wstring ClassOf(HWND hwnd) {
  wchar_t buf[256] = {};
  GetClassNameW(hwnd, buf, 256);
  return buf;
}

std::wstring TextOf(HWND hwnd) {
  wchar_t buf[4096] = {};
  // WM_GETTEXT crosses processes for every window, unlike GetWindowText.
  SendMessageTimeoutW(hwnd, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buf),
                      SMTO_NORMAL, 5000, nullptr);
  return buf;
}

std::vector<HWND> TopWindows(DWORD pid) {
  struct Ctx {
    DWORD pid;
    std::vector<HWND> out;
  } ctx{pid, {}};
  EnumWindows(
      [](HWND hwnd, LPARAM lp) -> BOOL {
        auto* c = reinterpret_cast<Ctx*>(lp);
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if (owner == c->pid && IsWindowVisible(hwnd)) c->out.push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&ctx));
  return ctx.out;
}

std::vector<HWND> Descendants(HWND root) {
  std::vector<HWND> out;
  EnumChildWindows(
      root,
      [](HWND hwnd, LPARAM lp) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(lp)->push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&out));
  return out;
}

HWND Control(HWND root, int id) {
  for (HWND h : Descendants(root)) {
    if (GetDlgCtrlID(h) == id) return h;
  }
  return nullptr;
}

HWND FindTop(DWORD pid, const std::wstring& cls,
             const std::wstring& title = L"", HWND not_this = nullptr) {
  for (HWND h : TopWindows(pid)) {
    if (h == not_this) continue;
    if (!cls.empty() && ClassOf(h) != cls) continue;
    if (!title.empty() && TextOf(h) != title) continue;
    return h;
  }
  return nullptr;
}

// A message box of Pontevia whose text contains `text`.
HWND FindMessageBox(DWORD pid, const std::wstring& text) {
  for (HWND h : TopWindows(pid)) {
    if (ClassOf(h) != L"#32770") continue;
    HWND label = GetDlgItem(h, 0xFFFF);
    if (label && TextOf(label).find(text) != std::wstring::npos) return h;
  }
  return nullptr;
}

HWND WaitMessageBox(DWORD pid, const std::wstring& text) {
  return WaitFor<HWND>([&] { return FindMessageBox(pid, text); },
                       "el mensaje \"" + Narrow(text) + "\"");
}

std::wstring MessageText(HWND box) { return TextOf(GetDlgItem(box, 0xFFFF)); }

void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

void Answer(HWND box, int id) {
  HWND button = GetDlgItem(box, id);
  Require(button != nullptr, "el mensaje tiene el botón pedido");
  Click(button);
  WaitFor<bool>([&] { return !IsWindow(box); }, "que se cierre el mensaje");
}

// The focused window of the thread that owns `hwnd`.
HWND FocusOf(HWND hwnd) {
  GUITHREADINFO gi{};
  gi.cbSize = sizeof(gi);
  GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &gi);
  return gi.hwndFocus;
}

// Keys go to whatever has the focus in Pontevia, one at a time and
// synchronously, so each lands after the previous one has been handled.
void Key(HWND any, UINT vk) {
  HWND focus = FocusOf(any);
  SendMessageW(focus, WM_KEYDOWN, vk, 1);
  SendMessageW(focus, WM_KEYUP, vk, 0xC0000001);
}

void Type(HWND any, const std::wstring& text) {
  for (wchar_t c : text) SendMessageW(FocusOf(any), WM_CHAR, c, 1);
}

// Reads a cell of a list view in another process through its memory.
std::wstring ListCell(HWND list, int row, int column) {
  DWORD pid = 0;
  GetWindowThreadProcessId(list, &pid);
  HANDLE proc = OpenProcess(
      PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (!proc) return L"<sin acceso>";
  constexpr int kChars = 512;
  const size_t size = sizeof(LVITEMW) + kChars * sizeof(wchar_t);
  auto* remote = static_cast<char*>(
      VirtualAllocEx(proc, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
  LVITEMW item{};
  item.iSubItem = column;
  item.cchTextMax = kChars;
  item.pszText = reinterpret_cast<LPWSTR>(remote + sizeof(LVITEMW));
  WriteProcessMemory(proc, remote, &item, sizeof(item), nullptr);
  SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(remote));
  wchar_t buf[kChars] = {};
  ReadProcessMemory(proc, remote + sizeof(LVITEMW), buf,
                    sizeof(buf) - sizeof(wchar_t), nullptr);
  VirtualFreeEx(proc, remote, 0, MEM_RELEASE);
  CloseHandle(proc);
  return buf;
}

// ------------------------------------------------------------- screenshots

void Screenshot(HWND hwnd, const std::string& name) {
  RedrawWindow(hwnd, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_ERASE);
  Idle(700);
  RECT r;
  GetWindowRect(hwnd, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bmp =
      CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  SelectObject(mem, old);
  const DWORD row = ((w * 3 + 3) / 4) * 4;
  const DWORD image = row * h;
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof(fh) + sizeof(bi.bmiHeader);
  fh.bfSize = fh.bfOffBits + image;
  const std::wstring path = g_artifacts + L"\\" + Wide(name) + L".bmp";
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         0, nullptr);
  DWORD written = 0;
  WriteFile(f, &fh, sizeof(fh), &written, nullptr);
  WriteFile(f, &bi.bmiHeader, sizeof(bi.bmiHeader), &written, nullptr);
  WriteFile(f, bits, image, &written, nullptr);
  CloseHandle(f);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  Log("  captura " + name + ".bmp");
}

// --------------------------------------------------------------- the disk

bool FileExists(const std::wstring& path) {
  DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring ProgramFolder() {
  size_t slash = g_exe.find_last_of(L'\\');
  return g_exe.substr(0, slash + 1);
}

std::wstring IniPath() { return ProgramFolder() + L"Horalia.ini"; }

std::wstring IniValue(const wchar_t* section, const wchar_t* key) {
  wchar_t buf[256] = {};
  GetPrivateProfileStringW(section, key, L"<ninguno>", buf, 256,
                           IniPath().c_str());
  return buf;
}

using Record = std::map<std::string, std::string>;

std::vector<Record> ReadTable(const std::string& name,
                              const std::vector<std::string>& fields) {
  std::unique_ptr<pontevia::access::Table> table;
  pontevia::Status st = pontevia::access::Table::Open(
      pontevia::access::Env::Default(), kWorkdirUtf8, name,
      pontevia::access::ShareMode::kShared, &table);
  Require(st.ok(), "se abre la tabla " + name + " " + st.message());
  std::vector<Record> out;
  Require(table->First().ok(), "se recorre " + name);
  while (!table->Eof()) {
    Record r;
    for (const std::string& f : fields) {
      pontevia::Result<std::string> v = table->GetText(f);
      r[f] = v.ok() ? *v : "<" + v.status().message() + ">";
    }
    out.push_back(r);
    Require(table->Next().ok(), "se recorre " + name);
  }
  (void)table->Close();
  return out;
}

void RemoveWorkingTables() {
  for (const wchar_t* t :
       {L"ASIGNOMT", L"PROFT", L"AULAT", L"CURSOST", L"GRUPOST", L"MATIB",
        L"ASIGT", L"DIASHORAST", L"SOLUC"}) {
    DeleteFileW((std::wstring(kWorkdir) + L"\\" + t + L".DBF").c_str());
    DeleteFileW((std::wstring(kWorkdir) + L"\\" + t + L".MDX").c_str());
  }
}

// ------------------------------------------------------ Horalia's window

// A stand-in for Horalia's main window, the parent of Pontevia in
// commanded mode.
class HoraliaWindow {
 public:
  HoraliaWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    wc.lpszClassName = L"HoraliaPrueba";
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    RegisterClassW(&wc);
    hwnd_ =
        CreateWindowExW(0, L"HoraliaPrueba", L"Horalia (ventana de prueba)",
                        WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 40,
                        20, 900, 560, nullptr, nullptr, wc.hInstance, nullptr);
    Idle(300);
  }
  ~HoraliaWindow() { DestroyWindow(hwnd_); }
  HWND hwnd() const { return hwnd_; }
  std::wstring hex() const {
    // As Horalia passes it: hexadecimal digits without any prefix.
    uint64_t v = reinterpret_cast<uintptr_t>(hwnd_);
    std::wstring out;
    do {
      out.insert(out.begin(), L"0123456789ABCDEF"[v & 0xF]);
      v >>= 4;
    } while (v);
    return out;
  }

 private:
  HWND hwnd_ = nullptr;
};

// ------------------------------------------------------------ the dialogs

// Picks `path` in the file dialog "Archivo XML", or cancels it when empty.
void AnswerFileDialog(DWORD pid, const std::wstring& path) {
  HWND dlg =
      WaitFor<HWND>([&] { return FindTop(pid, L"#32770", L"Archivo XML"); },
                    "el diálogo de archivo \"Archivo XML\"");
  Idle(500);
  if (path.empty()) {
    Log("  diálogo de archivo: Cancelar");
    Click(GetDlgItem(dlg, IDCANCEL));
  } else {
    Log("  diálogo de archivo: " + Narrow(path));
    HWND name = GetDlgItem(dlg, 0x47C);        // cmb13, the file name box
    if (!name) name = GetDlgItem(dlg, 0x480);  // edt1 in older dialogs
    Require(name != nullptr,
            "el diálogo de archivo tiene el cuadro del nombre");
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    Click(GetDlgItem(dlg, IDOK));
  }
  WaitFor<bool>([&] { return !IsWindow(dlg); },
                "que se cierre el diálogo de archivo");
}

HWND WaitCoursesDialog(DWORD pid, HWND not_this = nullptr) {
  HWND dlg = WaitFor<HWND>(
      [&] { return FindTop(pid, L"TControlCursos", L"", not_this); },
      "la ventana de niveles y cursos");
  WaitFor<bool>([&] { return IsWindow(dlg) && FocusOf(dlg) != nullptr; },
                "que la tabla de cursos tenga el foco");
  Idle(300);
  return dlg;
}

bool Visible(HWND dlg, int id) {
  HWND h = Control(dlg, id);
  return h && IsWindowVisible(h);
}

// Types NIVEL and CURSO into the current row, starting on its first cell;
// Enter moves through the cells as in the dialog.
void FillRow(HWND dlg, const std::wstring& nivel, const std::wstring& curso) {
  Key(dlg, VK_RIGHT);
  Key(dlg, VK_RIGHT);
  if (!nivel.empty()) Type(dlg, nivel);
  Key(dlg, VK_RETURN);
  if (!curso.empty()) Type(dlg, curso);
  Key(dlg, VK_RETURN);
}

const std::wstring kQuestionCaption =
    L"Creación automática de Líneas de Asignaturas";
const std::wstring kQuestionText =
    L"¿Quiere crear automáticamente las Líneas de Asignaturas \n\r"
    L"que esta aplicación estime necesarias para cada Grupo? \n\r"
    L"Seguramente se crearán más líneas de las necesarias, \n\r"
    L"pero podrá eliminar las que considere innecesarias. \n\r"
    L"                            ¿Crear Líneas?";

HWND WaitQuestion(DWORD pid) {
  HWND box = WaitMessageBox(pid, L"¿Crear Líneas?");
  Check(TextOf(box) == kQuestionCaption, "título de la pregunta de las líneas");
  Check(MessageText(box) == kQuestionText,
        "texto exacto de la pregunta, con sus \\n\\r y espacios");
  Check(GetDlgItem(box, IDOK) && GetDlgItem(box, IDCANCEL),
        "la pregunta tiene Aceptar y Cancelar");
  return box;
}

// Completes every course in one showing.
void CompleteAllCourses(DWORD pid) {
  HWND dlg = WaitCoursesDialog(pid);
  FillRow(dlg, L"ESO", L"1");
  FillRow(dlg, L"ESO", L"2");
  FillRow(dlg, L"BCT", L"1");
  Click(Control(dlg, ids::kBitBtn1));
  WaitFor<bool>([&] { return !IsWindow(dlg); },
                "que se cierre la ventana de cursos");
}

void CheckAllTablesWritten() {
  for (const wchar_t* t : {L"ASIGNOMT", L"PROFT", L"AULAT", L"CURSOST",
                           L"GRUPOST", L"MATIB", L"ASIGT", L"DIASHORAST"}) {
    Check(FileExists(std::wstring(kWorkdir) + L"\\" + t + L".DBF"),
          "existe " + Narrow(t) + ".DBF en C:\\HTEMP");
  }
}

HWND MainButton(HWND main, int id) { return Control(main, id); }

// ------------------------------------------------------------- scenarios

// Interactive export of the fixture school through the window: a first OK
// with a course missing its CURSO, a second showing with the forced exit on
// offer, completion, the question answered OK.
void InteractiveExport() {
  RemoveWorkingTables();
  DeleteFileW(IniPath().c_str());
  Pontevia p(L"");
  HWND main = WaitFor<HWND>([&] { return FindTop(p.pid(), L"TMForm"); },
                            "la ventana principal");
  Idle(500);
  Check(TextOf(main) == L"Exportar e importar datos entre Horalia y GestIB",
        "título de la ventana");
  RECT client;
  GetClientRect(main, &client);
  Check(client.right == 632 && client.bottom == 266,
        "área cliente de 632 x 266 a 96 ppp");
  // The layout, to the pixel, relative to each control's parent.
  struct Expect {
    int id;
    RECT rc;  // left, top, right, bottom
    const wchar_t* text;
  };
  const Expect layout[] = {
      {ids::kDraw3D2, {0, -1, 315, 168}, nullptr},
      {ids::kLabel3,
       {24, 24, 289, 81},
       L"Transformar datos desde GestIB hacia Horalia "},
      {ids::kBExportar, {96, 120, 185, 145}, L"Aceptar"},
      {ids::kDraw3D3, {315, 0, 632, 169}, nullptr},
      {ids::kLabel4,
       {8, 24, 313, 81},
       L"Transformar datos desde Horalia hacia GestIB"},
      {ids::kBImportar, {96, 120, 185, 145}, L"Aceptar"},
      {ids::kDraw3D1, {0, 168, 633, 265}, nullptr},
      {ids::kLabel1, {8, 72, 230, 85}, L"Pasavia para QV27 V-1.0"},
      {ids::kBClose, {256, 32, 345, 57}, L"&Salir"},
      {ids::kButton1, {265, 67, 340, 85}, L"F1 AYUDA"},
  };
  for (const Expect& e : layout) {
    HWND h = MainButton(main, e.id);
    RECT r{};
    if (h) {
      GetWindowRect(h, &r);
      MapWindowPoints(nullptr, GetParent(h), reinterpret_cast<POINT*>(&r), 2);
    }
    char buf[160];
    std::snprintf(buf, sizeof(buf), "control %d en (%ld,%ld)-(%ld,%ld)", e.id,
                  r.left, r.top, r.right, r.bottom);
    Check(h && EqualRect(&r, &e.rc), buf);
    if (h && e.text)
      Check(TextOf(h) == e.text, "texto del control " + Narrow(e.text));
  }
  Screenshot(main, "ventana_principal");

  Click(MainButton(main, ids::kBExportar));
  AnswerFileDialog(p.pid(), kSchool);

  // First showing: no forced exit on offer.
  HWND first = WaitCoursesDialog(p.pid());
  Check(TextOf(first) == L"Asignación de Niveles y Cursos",
        "título de la ventana de cursos");
  HWND grid = Control(first, ids::kCursosTDBGrid);
  Require(grid != nullptr, "la ventana de cursos tiene la tabla");
  Check(SendMessageW(grid, LVM_GETITEMCOUNT, 0, 0) == 3,
        "la tabla muestra los tres cursos");
  Check(ListCell(grid, 0, 0) == L"C1" &&
            ListCell(grid, 2, 1) == L"1r de Batxillerat",
        "código y descripción de los cursos");
  Check(!Visible(first, ids::kBitBtn2) && !Visible(first, ids::kCoursesLabel8),
        "primera vez: sin salida forzada ni su aviso");
  Check(!Visible(first, ids::kCoursesLabel2) &&
            !Visible(first, ids::kCoursesLabel3),
        "primera vez: sin las etiquetas de incidencias");
  // Every label with its caption and its visibility at creation.
  const struct {
    int id;
    const wchar_t* caption;
    bool visible;
  } kLabels[] = {
      {ids::kCoursesLabel1, L"ASIGNACIÓN DE NIVELES Y CURSOS", true},
      {ids::kCoursesLabel3, L"INCIDENCIAS EN EL TRASPASO", false},
      {ids::kCoursesLabel2,
       L"Se ha detectado que falta por indicar algún NIVEL  o CURSO. Complete "
       L"el/los datos que "
       L"falten, para poder concluir el proceso, antes de Salir.",
       false},
      {ids::kCoursesLabel4, L"¡ IMPORTANTE !", true},
      {ids::kCoursesLabel5,
       L"Las Abreviaturas de sus Grupos (Unidades), se formarán, en función "
       L"del NIVEL y CURSO, "
       L"del siguiente modo: ",
       true},
      {ids::kCoursesLabel6,
       L"Por ejemplo, NIVEL=ESO y CURSO=1 daría como resultado", true},
      {ids::kCoursesLabel10, L"Abreviatura del Grupo = ESO1A", true},
      {ids::kCoursesLabel7,
       L"y así secuencialmente para el resto de Grupos del mismo NIVEL y "
       L"CURSO, ESO1B, ESO1C.",
       true},
      {ids::kCoursesLabel11,
       L"Ejemplos de Niveles: BCT=Bach.C.T., BHC=Bach.Hum., BT=Bach.Tecnol., "
       L"LS=Leng.Signos, "
       L"GAD=Gest.Admin., EDSO=ESO Diversificación, etc...",
       true},
      {ids::kCoursesLabel9,
       L"Luego es de vital IMPORTANCIA que para cada NIVEL sus 5 Primeros "
       L"caracteres sean "
       L"DISTINTOS.",
       true},
      {ids::kCoursesLabel8,
       L"¡ Atención ! Si fuerza la Salida, los Datos recogidos serán "
       L"INCOHERENTES.",
       false},
  };
  for (const auto& l : kLabels) {
    HWND h = Control(first, l.id);
    Check(h && TextOf(h) == l.caption &&
              (IsWindowVisible(h) != FALSE) == l.visible,
          "etiqueta " + Narrow(l.caption).substr(0, 30));
  }
  // The navigator: ten buttons with their hints; no insert or delete.
  const wchar_t* kHints[] = {
      L"Move to first record",
      L"Move backward 10 records",
      L"Move to prior record",
      L"Move to next record",
      L"Move forward 10 records",
      L"Move to last record",
      L"Edit current record",
      L"Post changes of current record",
      L"Cancel changes made to current record",
      L"Refresh the contents of the dataset",
  };
  for (int i = 0; i < 10; ++i) {
    HWND b = Control(first, ids::kNavigatorFirst + i);
    Check(b && TextOf(b) == kHints[i],
          "botón del navegador: " + Narrow(kHints[i]));
  }
  Screenshot(first, "cursos_primera_vez");
  Key(first, VK_INSERT);
  Key(first, VK_DELETE);
  Check(SendMessageW(grid, LVM_GETITEMCOUNT, 0, 0) == 3,
        "Insert y Supr no añaden ni borran cursos");
  FillRow(first, L"ESO", L"1");
  FillRow(first, L"ESO", L"2");
  FillRow(first, L"BCT", L"");  // CURSO left empty
  Click(Control(first, ids::kBitBtn1));
  HWND missing = WaitMessageBox(p.pid(), L"¡Atención! Falta algún Dato");
  Check(Visible(first, ids::kCoursesLabel3) &&
            Visible(first, ids::kCoursesLabel2),
        "las etiquetas de incidencias se ven tras el aviso");
  Screenshot(first, "cursos_falta_dato");
  Answer(missing, IDOK);

  // Second showing: a new dialog, the forced exit on offer, values kept.
  HWND second = WaitCoursesDialog(p.pid(), first);
  Check(second != first, "segunda vez: una ventana nueva");
  grid = Control(second, ids::kCursosTDBGrid);
  Check(ListCell(grid, 0, 2) == L"ESO" && ListCell(grid, 0, 3) == L"1" &&
            ListCell(grid, 2, 2) == L"BCT" && ListCell(grid, 2, 3).empty(),
        "segunda vez: los valores ya escritos siguen en CURSOST");
  Check(Visible(second, ids::kBitBtn2) && Visible(second, ids::kCoursesLabel8),
        "segunda vez: se ofrece la salida forzada con su aviso");
  Check(TextOf(Control(second, ids::kBitBtn2)) ==
            L"Forzar Salida Sin Terminar Proceso ",
        "texto del botón de salida forzada");
  Screenshot(second, "cursos_segunda_vez");
  // The navigator's "last" button moves to the third course.
  HWND last = Control(second, ids::kNavigatorFirst + 5);
  Check(last && IsWindowEnabled(last), "el navegador permite ir al último");
  SendMessageW(last, BM_CLICK, 0, 0);
  Check(!IsWindowEnabled(last) &&
            IsWindowEnabled(Control(second, ids::kNavigatorFirst)),
        "en el último curso, el navegador sólo permite retroceder");
  Key(second, VK_RIGHT);  // first change of column
  Check(
      !Visible(second, ids::kBitBtn2) && !Visible(second, ids::kCoursesLabel8),
      "al cambiar de columna se ocultan la salida forzada y su aviso");
  Key(second, VK_RIGHT);
  Key(second, VK_RIGHT);
  Type(second, L"1");
  Key(second, VK_RETURN);  // last cell: the focus goes on to Aceptar
  Click(Control(second, ids::kBitBtn1));

  HWND question = WaitQuestion(p.pid());
  Screenshot(question, "pregunta_lineas");
  Answer(question, IDOK);
  HWND done = WaitMessageBox(p.pid(), L"Proceso finalizado");
  Check(TextOf(done) == L"Pontevia", "título del mensaje final");
  Answer(done, IDOK);
  Idle(300);
  Check(!IsWindowEnabled(MainButton(main, ids::kBExportar)) &&
            !IsWindowEnabled(MainButton(main, ids::kBImportar)),
        "los dos botones Aceptar quedan desactivados");
  Check(IsWindowEnabled(MainButton(main, ids::kBClose)) &&
            IsWindowEnabled(MainButton(main, ids::kButton1)),
        "Salir y la ayuda siguen activos");
  Screenshot(main, "ventana_principal_terminada");

  CheckAllTablesWritten();
  std::vector<Record> courses =
      ReadTable("CURSOST", {"CODI", "NIVEL", "CURSO"});
  Check(courses.size() == 3 && courses[0]["NIVEL"] == "ESO" &&
            courses[0]["CURSO"] == "1" && courses[1]["CURSO"] == "2" &&
            courses[2]["NIVEL"] == "BCT" && courses[2]["CURSO"] == "1",
        "CURSOST guarda los niveles y cursos escritos");
  std::vector<Record> groups = ReadTable("GRUPOST", {"ABREV", "CODI"});
  Check(groups.size() == 4 && groups[0]["ABREV"] == "ESO1A" &&
            groups[1]["ABREV"] == "ESO1B" && groups[3]["ABREV"] == "BCT1A",
        "GRUPOST con las abreviaturas hechas del nivel y el curso");
  Check(!ReadTable("ASIGT", {"CASIG"}).empty(),
        "con Aceptar, ASIGT tiene líneas");

  Click(MainButton(main, ids::kBClose));
  Check(p.WaitExit(kTimeoutMs), "Salir cierra el programa");
  Check(!FileExists(IniPath()),
        "en modo interactivo no se escribe Horalia.ini");
}

// Commanded export that completes, with the question answered Cancel, over
// an existing Horalia.ini whose other sections must survive.
void CommandedExport() {
  RemoveWorkingTables();
  const std::string ini =
      "[Otra]\r\nclave=valor\r\n[Transformadores]\r\nTransformado="
      "5\r\nOtraClave=x\r\n";
  HANDLE f = CreateFileW(IniPath().c_str(), GENERIC_WRITE, 0, nullptr,
                         CREATE_ALWAYS, 0, nullptr);
  DWORD w = 0;
  WriteFile(f, ini.data(), static_cast<DWORD>(ini.size()), &w, nullptr);
  CloseHandle(f);

  HoraliaWindow horalia;
  Pontevia p(L"Exportar " + horalia.hex());
  HWND main = WaitFor<HWND>(
      [&] {
        return FindWindowExW(horalia.hwnd(), nullptr, L"TMForm", nullptr);
      },
      "la ventana principal dentro de la de Horalia");
  const LONG style = GetWindowLongW(main, GWL_STYLE);
  Check(GetParent(main) == horalia.hwnd() && (style & WS_CHILD),
        "es hija de la ventana de Horalia");
  Check(!(style & WS_CAPTION) && !(style & WS_THICKFRAME),
        "sin marco ni título");
  WaitFor<HWND>([&] { return FindTop(p.pid(), L"#32770", L"Archivo XML"); },
                "que la exportación empiece sola con el diálogo de archivo");
  AnswerFileDialog(p.pid(), kSchool);
  CompleteAllCourses(p.pid());
  HWND question = WaitQuestion(p.pid());
  Answer(question, IDCANCEL);
  Answer(WaitMessageBox(p.pid(), L"Proceso finalizado"), IDOK);
  Check(p.WaitExit(kTimeoutMs), "al terminar, el programa se cierra solo");
  Check(IniValue(L"Transformadores", L"Transformado") == L"1",
        "Horalia.ini: Transformado=1");
  Check(IniValue(L"Otra", L"clave") == L"valor" &&
            IniValue(L"Transformadores", L"OtraClave") == L"x",
        "Horalia.ini conserva las demás secciones y claves");
  CheckAllTablesWritten();
  Check(ReadTable("ASIGT", {"CASIG"}).empty(),
        "con Cancelar, ASIGT queda vacía");
}

// Commanded runs whose file dialog is cancelled: export reports -1, import 0.
void CommandedNoFile() {
  for (const auto& [action, expected] :
       {std::pair<std::wstring, std::wstring>{L"exportar", L"-1"},
        {L"importar", L"0"}}) {
    DeleteFileW(IniPath().c_str());
    HoraliaWindow horalia;
    Pontevia p(action + L" " + horalia.hex());
    AnswerFileDialog(p.pid(), L"");
    HWND box = WaitMessageBox(p.pid(), L"No existe archivo");
    Check(MessageText(box) == L"No existe archivo",
          "mensaje exacto \"No existe archivo\"");
    Answer(box, IDOK);
    Check(p.WaitExit(kTimeoutMs),
          Narrow(action) + " sin archivo: el programa se cierra");
    Check(IniValue(L"Transformadores", L"Transformado") == expected,
          Narrow(action) + " sin archivo: Transformado=" + Narrow(expected));
  }
}

// A handle that is not hexadecimal: the message, an ordinary window, the
// action still starts, the window stays, Horalia.ini untouched.
void BadHandle() {
  DeleteFileW(IniPath().c_str());
  Pontevia p(L"exportar zz");
  HWND box = WaitMessageBox(p.pid(), L"no es un valor entero");
  Check(MessageText(box) == L"'$zz' no es un valor entero válido",
        "mensaje del identificador no hexadecimal");
  Answer(box, IDOK);
  HWND main = WaitFor<HWND>([&] { return FindTop(p.pid(), L"TMForm"); },
                            "la ventana principal");
  const LONG style = GetWindowLongW(main, GWL_STYLE);
  Check(!(style & WS_CHILD) && (style & WS_CAPTION),
        "ventana normal con marco");
  AnswerFileDialog(p.pid(), L"");
  Answer(WaitMessageBox(p.pid(), L"No existe archivo"), IDOK);
  Idle(1500);
  Check(p.Running() && IsWindow(main),
        "la ventana sigue abierta tras la acción");
  Check(IsWindowEnabled(MainButton(main, ids::kBExportar)),
        "los botones siguen activos");
  Click(MainButton(main, ids::kBClose));
  Check(p.WaitExit(kTimeoutMs), "Salir cierra el programa");
  Check(!FileExists(IniPath()), "no se escribe Horalia.ini");
}

// An action that is neither "importar" nor "exportar": nothing starts; the
// close writes 0.
void UnknownAction() {
  DeleteFileW(IniPath().c_str());
  HoraliaWindow horalia;
  Pontevia p(L"convertir " + horalia.hex());
  HWND main = WaitFor<HWND>(
      [&] {
        return FindWindowExW(horalia.hwnd(), nullptr, L"TMForm", nullptr);
      },
      "la ventana principal dentro de la de Horalia");
  Idle(2000);
  Check(!FindTop(p.pid(), L"#32770"), "no empieza ninguna acción");
  // No screenshot of the embedded window: Wine does not draw a child window
  // that belongs to another process, so the picture would show Horalia's
  // window empty. Its place and style are checked instead.
  RECT inside;
  GetWindowRect(main, &inside);
  MapWindowPoints(nullptr, horalia.hwnd(), reinterpret_cast<POINT*>(&inside),
                  2);
  RECT parent_client;
  GetClientRect(horalia.hwnd(), &parent_client);
  Check(inside.right - inside.left == 632 &&
            inside.bottom - inside.top == 266 && inside.left >= 0 &&
            inside.top >= 0 && inside.right <= parent_client.right &&
            inside.bottom <= parent_client.bottom,
        "sin marco, 632 x 266, dentro del área de la ventana de Horalia");
  Check(p.Running(), "la ventana espera");
  // Horalia.ini cannot be written (a folder stands in its place; a
  // read-only file would not stop root, under whom the tests may run): the
  // close is abandoned with a message.
  DeleteFileW(IniPath().c_str());
  CreateDirectoryW(IniPath().c_str(), nullptr);
  Click(MainButton(main, ids::kBClose));
  HWND cannot = WaitMessageBox(p.pid(), L"Horalia.ini");
  Answer(cannot, IDOK);
  Idle(1000);
  Check(p.Running() && IsWindow(main),
        "si no se puede escribir Horalia.ini la ventana no se cierra");
  RemoveDirectoryW(IniPath().c_str());
  Click(MainButton(main, ids::kBClose));
  Check(p.WaitExit(kTimeoutMs), "Salir cierra el programa");
  Check(IniValue(L"Transformadores", L"Transformado") == L"0",
        "Horalia.ini: Transformado=0");
}

// Forced exit in commanded mode: Horalia.ini gets 0 at once, the export
// still finishes, then 1 and the program ends.
void ForcedExit() {
  RemoveWorkingTables();
  DeleteFileW(IniPath().c_str());
  HoraliaWindow horalia;
  Pontevia p(L"exportar " + horalia.hex());
  AnswerFileDialog(p.pid(), kSchool);
  HWND first = WaitCoursesDialog(p.pid());
  FillRow(first, L"ESO", L"1");
  Click(Control(first, ids::kBitBtn1));
  Answer(WaitMessageBox(p.pid(), L"Falta algún Dato"), IDOK);
  HWND second = WaitCoursesDialog(p.pid(), first);
  Require(Visible(second, ids::kBitBtn2),
          "segunda vez: se ofrece la salida forzada");
  Click(Control(second, ids::kBitBtn2));
  HWND question = WaitQuestion(p.pid());
  Check(IniValue(L"Transformadores", L"Transformado") == L"0",
        "la salida forzada escribe 0 en Horalia.ini en ese momento");
  Answer(question, IDOK);
  Answer(WaitMessageBox(p.pid(), L"Proceso finalizado"), IDOK);
  Check(p.WaitExit(kTimeoutMs), "tras la salida forzada el programa se cierra");
  Check(IniValue(L"Transformadores", L"Transformado") == L"1",
        "al final, Transformado=1");
  std::vector<Record> courses = ReadTable("CURSOST", {"NIVEL", "CURSO"});
  Check(courses.size() == 3 && courses[0]["NIVEL"] == "ESO" &&
            courses[1]["NIVEL"].empty(),
        "CURSOST queda como lo dejó el usuario");

  // Interactive mode: the forced exit closes the program once the export
  // has finished, and Horalia.ini is left alone.
  DeleteFileW(IniPath().c_str());
  Pontevia q(L"");
  HWND main = WaitFor<HWND>([&] { return FindTop(q.pid(), L"TMForm"); },
                            "la ventana principal");
  Click(MainButton(main, ids::kBExportar));
  AnswerFileDialog(q.pid(), kSchool);
  HWND again = WaitCoursesDialog(q.pid());
  Click(Control(again, ids::kBitBtn1));
  Answer(WaitMessageBox(q.pid(), L"Falta algún Dato"), IDOK);
  HWND offer = WaitCoursesDialog(q.pid(), again);
  Click(Control(offer, ids::kBitBtn2));
  Answer(WaitQuestion(q.pid()), IDCANCEL);
  Answer(WaitMessageBox(q.pid(), L"Proceso finalizado"), IDOK);
  Check(q.WaitExit(kTimeoutMs),
        "modo interactivo: tras la salida forzada el programa se cierra");
  Check(!FileExists(IniPath()), "modo interactivo: no se escribe Horalia.ini");
}

// A stepping button of the navigator held down repeats: after 500 ms, then
// every 100 ms, until it is released.
void NavigatorRepeat() {
  RemoveWorkingTables();
  Pontevia p(L"");
  HWND main = WaitFor<HWND>([&] { return FindTop(p.pid(), L"TMForm"); },
                            "la ventana principal");
  Click(MainButton(main, ids::kBExportar));
  AnswerFileDialog(p.pid(), L"C:\\HTEMP\\saga\\molts_cursos.xml");
  HWND dlg = WaitCoursesDialog(p.pid());
  HWND grid = Control(dlg, ids::kCursosTDBGrid);
  Require(SendMessageW(grid, LVM_GETITEMCOUNT, 0, 0) == 30,
          "la tabla muestra los 30 cursos");
  HWND next = Control(dlg, ids::kNavigatorFirst + 3);
  RECT r;
  GetWindowRect(next, &r);
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  Idle(200);
  PostMessageW(next, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
  Idle(1100);
  PostMessageW(next, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
  Idle(300);
  // Mark the row the navigator reached, then find the mark.
  Key(dlg, VK_RIGHT);
  Key(dlg, VK_RIGHT);
  Type(dlg, L"X");
  // OK pressed while the cell editor is still open takes its text.
  Click(Control(dlg, ids::kBitBtn1));
  Answer(WaitMessageBox(p.pid(), L"Falta algún Dato"), IDOK);
  HWND second = WaitCoursesDialog(p.pid(), dlg);
  grid = Control(second, ids::kCursosTDBGrid);
  int reached = -1;
  for (int row = 0; row < 30; ++row) {
    if (ListCell(grid, row, 2) == L"X") reached = row;
  }
  Log("  fila alcanzada: " + std::to_string(reached));
  Screenshot(second, "cursos_30");
  // Without repetition one press moves one row; held for 1.1 s it moves
  // about seven (load on the machine may swallow a few ticks).
  Check(reached >= 3 && reached <= 12, "el botón mantenido pulsado se repite");
}

// Closing the level and course dialog from its title bar ends the showing
// as complete, without the check: the export goes on with what was typed.
void DialogCloseBox() {
  RemoveWorkingTables();
  Pontevia p(L"");
  HWND main = WaitFor<HWND>([&] { return FindTop(p.pid(), L"TMForm"); },
                            "la ventana principal");
  Click(MainButton(main, ids::kBExportar));
  AnswerFileDialog(p.pid(), kSchool);
  HWND dlg = WaitCoursesDialog(p.pid());
  Key(dlg, VK_RIGHT);
  Key(dlg, VK_RIGHT);
  Type(dlg, L"ESO");  // still in the cell editor when the window closes
  PostMessageW(dlg, WM_CLOSE, 0, 0);
  HWND question = WaitQuestion(p.pid());
  Check(!FindMessageBox(p.pid(), L"Falta algún Dato"),
        "sin comprobación ni aviso");
  Check(!FindTop(p.pid(), L"TControlCursos"),
        "la ventana de cursos no vuelve a abrirse");
  Answer(question, IDCANCEL);
  Answer(WaitMessageBox(p.pid(), L"Proceso finalizado"), IDOK);
  std::vector<Record> courses = ReadTable("CURSOST", {"NIVEL", "CURSO"});
  Check(courses.size() == 3 && courses[0]["NIVEL"] == "ESO" &&
            courses[0]["CURSO"].empty() && courses[2]["NIVEL"].empty(),
        "CURSOST guarda lo escrito hasta el cierre");
  Click(MainButton(main, ids::kBClose));
  Check(p.WaitExit(kTimeoutMs), "Salir cierra el programa");
}

// Warnings of the export (attributes missing in the document) are shown
// together, in one box, before the run's final message.
void Warnings() {
  RemoveWorkingTables();
  Pontevia p(L"");
  HWND main = WaitFor<HWND>([&] { return FindTop(p.pid(), L"TMForm"); },
                            "la ventana principal");
  Click(MainButton(main, ids::kBExportar));
  AnswerFileDialog(p.pid(), L"C:\\HTEMP\\saga\\avisos.xml");
  CompleteAllCourses(p.pid());
  Answer(WaitQuestion(p.pid()), IDCANCEL);
  HWND box = WaitMessageBox(p.pid(), L"avisos");
  const std::wstring text = MessageText(box);
  Log("  avisos: " + Narrow(text));
  Check(text.find(L"\"curta\"") != std::wstring::npos &&
            text.find(L"\"descripcio\"") != std::wstring::npos,
        "un solo mensaje con los dos avisos, del profesor y del aula");
  Check(!FindMessageBox(p.pid(), L"Proceso finalizado"),
        "los avisos van antes del mensaje final");
  Screenshot(box, "avisos");
  Answer(box, IDOK);
  Answer(WaitMessageBox(p.pid(), L"Proceso finalizado"), IDOK);
  Click(MainButton(main, ids::kBClose));
  Check(p.WaitExit(kTimeoutMs), "Salir cierra el programa");
}

// A source document that is not well-formed: the core's message, the window
// stays usable and the tables stay as they were.
void CoreError() {
  RemoveWorkingTables();
  Pontevia p(L"");
  HWND main = WaitFor<HWND>([&] { return FindTop(p.pid(), L"TMForm"); },
                            "la ventana principal");
  Click(MainButton(main, ids::kBExportar));
  AnswerFileDialog(p.pid(), kBroken);
  HWND box = WaitFor<HWND>(
      [&]() -> HWND {
        for (HWND h : TopWindows(p.pid())) {
          if (ClassOf(h) == L"#32770" && TextOf(h) == L"Pontevia") return h;
        }
        return nullptr;
      },
      "el mensaje de error del documento");
  const std::wstring text = MessageText(box);
  Log("  mensaje: " + Narrow(text));
  Check(text.size() > 20 && text.find(L"roto.xml") != std::wstring::npos,
        "el mensaje explica el error y nombra el archivo");
  Screenshot(box, "mensaje_error");
  Answer(box, IDOK);
  Idle(300);
  Check(IsWindowEnabled(MainButton(main, ids::kBExportar)),
        "tras el error los botones siguen activos");
  Check(!FileExists(std::wstring(kWorkdir) + L"\\CURSOST.DBF"),
        "no se ha escrito ninguna tabla");
  Click(MainButton(main, ids::kBClose));
  Check(p.WaitExit(kTimeoutMs), "Salir cierra el programa");

  // In commanded mode too the window stays open after the message.
  DeleteFileW(IniPath().c_str());
  HoraliaWindow horalia;
  Pontevia q(L"exportar " + horalia.hex());
  AnswerFileDialog(q.pid(), kBroken);
  HWND error = WaitMessageBox(q.pid(), L"roto.xml");
  Answer(error, IDOK);
  Idle(1500);
  HWND child = FindWindowExW(horalia.hwnd(), nullptr, L"TMForm", nullptr);
  Check(q.Running() && child,
        "modo ordenado: tras el error la ventana sigue abierta");
  Check(!FileExists(IniPath()),
        "modo ordenado: nada escrito en Horalia.ini mientras sigue abierta");
  Click(MainButton(child, ids::kBClose));
  Check(q.WaitExit(kTimeoutMs), "Salir cierra el programa");
  Check(IniValue(L"Transformadores", L"Transformado") == L"0",
        "al cerrar, Transformado=0");
}

// Export, Horalia's solution, then the import through the window.
void Import() {
  RemoveWorkingTables();
  {
    HoraliaWindow horalia;
    Pontevia p(L"exportar " + horalia.hex());
    AnswerFileDialog(p.pid(), kSchool);
    CompleteAllCourses(p.pid());
    Answer(WaitQuestion(p.pid()), IDCANCEL);
    Answer(WaitMessageBox(p.pid(), L"Proceso finalizado"), IDOK);
    Require(p.WaitExit(kTimeoutMs), "la exportación previa termina");
  }
  // Horalia's part: the day and hour frame and the solution.
  using pontevia::access::FieldDef;
  using pontevia::access::FieldType;
  using pontevia::access::Table;
  pontevia::access::Env* env = pontevia::access::Env::Default();
  {
    std::unique_ptr<Table> frame;
    Require(Table::Open(env, kWorkdirUtf8, "DIASHORAST",
                        pontevia::access::ShareMode::kExclusive, &frame)
                .ok(),
            "se abre DIASHORAST");
    Require(frame->Append().ok() && frame->SetText("DIHO", "11").ok() &&
                frame->SetText("DIA", "L").ok() &&
                frame->SetText("HORADESDE", "08:00").ok() &&
                frame->SetText("MINUTOS", "55").ok() && frame->Post().ok() &&
                frame->Close().ok(),
            "Horalia rellena DIASHORAST");
  }
  {
    pontevia::access::TableDef def;
    def.fields = {{"DIA", FieldType::kInteger, 0},
                  {"HORA", FieldType::kFloat, 0},
                  {"PROF", FieldType::kCharacter, 10},
                  {"CODGRUPO", FieldType::kCharacter, 10},
                  {"AULA", FieldType::kCharacter, 10},
                  {"ASIG", FieldType::kCharacter, 10},
                  {"TAREA", FieldType::kCharacter, 10}};
    std::unique_ptr<Table> soluc;
    Require(Table::Create(env, kWorkdirUtf8, "SOLUC", def, &soluc).ok(),
            "se crea SOLUC");
    std::vector<Record> teachers = ReadTable("PROFT", {"ABREV"});
    std::vector<Record> rooms = ReadTable("AULAT", {"ABREV"});
    std::vector<Record> subjects = ReadTable("ASIGNOMT", {"COD"});
    Require(!teachers.empty() && !rooms.empty() && !subjects.empty(),
            "hay códigos exportados");
    Require(soluc->Append().ok() && soluc->SetInteger("DIA", 1).ok() &&
                soluc->SetFloat("HORA", 1).ok() &&
                soluc->SetText("PROF", teachers[0]["ABREV"]).ok() &&
                soluc->SetText("CODGRUPO", "ESO1A").ok() &&
                soluc->SetText("AULA", rooms[0]["ABREV"]).ok() &&
                soluc->SetText("ASIG", subjects[0]["COD"]).ok() &&
                soluc->Post().ok() && soluc->Close().ok(),
            "Horalia escribe una sesión en SOLUC");
  }
  const std::wstring output = L"C:\\HTEMP\\saga\\SolucioHorari.xml";
  DeleteFileW(output.c_str());
  Pontevia p(L"");
  HWND main = WaitFor<HWND>([&] { return FindTop(p.pid(), L"TMForm"); },
                            "la ventana principal");
  Click(MainButton(main, ids::kBImportar));
  AnswerFileDialog(p.pid(), kSchool);
  Answer(WaitMessageBox(p.pid(), L"Proceso finalizado"), IDOK);
  Idle(300);
  Check(!IsWindowEnabled(MainButton(main, ids::kBExportar)) &&
            !IsWindowEnabled(MainButton(main, ids::kBImportar)),
        "tras la importación los dos botones quedan desactivados");
  Require(FileExists(output),
          "se ha escrito SolucioHorari.xml junto al archivo elegido");
  std::string xml;
  {
    HANDLE h = CreateFileW(output.c_str(), GENERIC_READ, FILE_SHARE_READ,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    char buf[8192];
    DWORD n = 0;
    while (ReadFile(h, buf, sizeof(buf), &n, nullptr) && n > 0)
      xml.append(buf, n);
    CloseHandle(h);
  }
  Log("  SolucioHorari.xml: " + xml.substr(0, 300));
  Check(xml.find("<HORARI") != std::string::npos &&
            xml.find("<SESSIO") != std::string::npos,
        "el documento tiene HORARI y una SESSIO");
  Check(xml.find("placa=\"P1\"") != std::string::npos &&
            xml.find("grup=\"G11\"") != std::string::npos &&
            xml.find("curs=\"C1\"") != std::string::npos &&
            xml.find("hora=\"08:00\"") != std::string::npos,
        "la sesión lleva los códigos de GestIB y la hora del marco");
  Click(MainButton(main, ids::kBClose));
  Check(p.WaitExit(kTimeoutMs), "Salir cierra el programa");
}

// F1 and the help button open the help's table of contents, found beside
// the program although it was started from another folder.
void Help() {
  Pontevia p(L"", L"C:\\windows");
  HWND main = WaitFor<HWND>([&] { return FindTop(p.pid(), L"TMForm"); },
                            "la ventana principal");
  Idle(500);
  for (int round = 0; round < 2; ++round) {
    if (round == 0) {
      // F1 goes through the message loop, as a real key press does.
      PostMessageW(FocusOf(main), WM_KEYDOWN, VK_F1, 1);
    } else {
      Click(MainButton(main, ids::kButton1));
    }
    HWND help = WaitFor<HWND>(
        [&] { return FindTop(p.pid(), L"HH Parent"); },
        round == 0 ? "la ayuda tras F1" : "la ayuda tras F1 AYUDA");
    Idle(1000);
    Check(TextOf(help) == L"Ayuda de Pontevia",
          round == 0 ? "F1 abre GestIB.chm" : "F1 AYUDA abre GestIB.chm");
    HWND toc = nullptr;
    for (HWND h : Descendants(help)) {
      if (ClassOf(h) == L"SysTreeView32") toc = h;
    }
    Check(toc && SendMessageW(toc, TVM_GETCOUNT, 0, 0) == 6,
          "se ve la tabla de contenidos");
    if (round == 0) Screenshot(help, "ayuda");
    PostMessageW(help, WM_CLOSE, 0, 0);
    WaitFor<bool>([&] { return !IsWindow(help); }, "que se cierre la ayuda");
  }
  Click(MainButton(main, ids::kBClose));
  Check(p.WaitExit(kTimeoutMs), "Salir cierra el programa");
}

// At 144 DPI the window keeps its design, scaled by one and a half.
void HighDpi() {
  RemoveWorkingTables();
  Pontevia p(L"");
  HWND main = WaitFor<HWND>([&] { return FindTop(p.pid(), L"TMForm"); },
                            "la ventana principal");
  Idle(500);
  RECT client;
  GetClientRect(main, &client);
  Check(client.right == 948 && client.bottom == 399,
        "área cliente de 948 x 399 a 144 ppp");
  HWND button = MainButton(main, ids::kBExportar);
  RECT r{};
  GetWindowRect(button, &r);
  MapWindowPoints(nullptr, GetParent(button), reinterpret_cast<POINT*>(&r), 2);
  const RECT want{MulDiv(96, 144, 96), MulDiv(120, 144, 96),
                  MulDiv(185, 144, 96), MulDiv(145, 144, 96)};
  Check(EqualRect(&r, &want) != FALSE, "el botón de exportar, escalado");
  Screenshot(main, "ventana_principal_144ppp");
  Click(button);
  AnswerFileDialog(p.pid(), kSchool);
  HWND dlg = WaitCoursesDialog(p.pid());
  GetClientRect(dlg, &client);
  Check(client.right == 1380 && client.bottom == 636,
        "ventana de cursos escalada a 144 ppp");
  Screenshot(dlg, "cursos_144ppp");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fprintf(stderr,
                 "Uso: gui_driver ESCENARIO PONTEVIA.EXE CARPETA_CAPTURAS\n");
    return 2;
  }
  const std::wstring scenario = argv[1];
  g_exe = argv[2];
  g_artifacts = argv[3];
  CreateDirectoryW(g_artifacts.c_str(), nullptr);
  const std::map<std::wstring, void (*)()> scenarios = {
      {L"interactive_export", InteractiveExport},
      {L"commanded_export", CommandedExport},
      {L"commanded_no_file", CommandedNoFile},
      {L"bad_handle", BadHandle},
      {L"unknown_action", UnknownAction},
      {L"forced_exit", ForcedExit},
      {L"core_error", CoreError},
      {L"import", Import},
      {L"dialog_close_box", DialogCloseBox},
      {L"warnings", Warnings},
      {L"navigator_repeat", NavigatorRepeat},
      {L"help", Help},
      {L"high_dpi", HighDpi},
  };
  auto it = scenarios.find(scenario);
  if (it == scenarios.end()) {
    std::fprintf(stderr, "Escenario desconocido\n");
    return 2;
  }
  Log("Escenario " + Narrow(scenario));
  try {
    it->second();
  } catch (const Abort& e) {
    Log(std::string("  interrumpido: ") + e.what());
    if (g_failures == 0) ++g_failures;
  }
  Log(g_failures == 0 ? "RESULTADO: correcto"
                      : "RESULTADO: " + std::to_string(g_failures) + " fallos");
  return g_failures == 0 ? 0 : 1;
}
