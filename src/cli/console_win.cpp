#include <windows.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <memory>
#include <string>

#include "cli/console.h"
#include "text/ansi.h"

namespace pontevia::cli {

namespace {

std::string ToUtf8(const wchar_t* s, size_t n) {
  return text::Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(s), n));
}

struct LocalFreeDeleter {
  void operator()(wchar_t** p) const { LocalFree(p); }
};

bool StdinIsConsole() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

}  // namespace

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  int count = 0;
  std::unique_ptr<wchar_t*, LocalFreeDeleter> wide(CommandLineToArgvW(GetCommandLineW(), &count));
  if (!wide) return std::vector<std::string>(argv + 1, argv + argc);
  std::vector<std::string> args;
  for (int i = 1; i < count; ++i) args.push_back(ToUtf8(wide.get()[i], wcslen(wide.get()[i])));
  return args;
}

void SetUpConsole() { SetConsoleOutputCP(CP_UTF8); }

bool InputIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

bool ReadInputLine(std::string* line) {
  line->clear();
  if (StdinIsConsole()) {
    // The console delivers typed text as UTF-16 whatever its code page.
    std::wstring wide;
    wchar_t buffer[256];
    for (;;) {
      DWORD read = 0;
      if (!ReadConsoleW(GetStdHandle(STD_INPUT_HANDLE), buffer, 256, &read, nullptr) || read == 0) {
        if (wide.empty()) return false;
        break;
      }
      wide.append(buffer, read);
      if (!wide.empty() && wide.back() == L'\n') break;
    }
    while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r')) wide.pop_back();
    *line = ToUtf8(wide.data(), wide.size());
    return true;
  }
  return ReadByteLine(line);
}

}  // namespace pontevia::cli
