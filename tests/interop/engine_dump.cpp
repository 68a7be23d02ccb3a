// Prints a dBase table as our engine reads it, in the plain form of
// tdbf_dump.pas, so the interop test can compare it with what TDbf wrote.
//
//   engine_dump FOLDER TABLE.DBF
//
// Character fields as the hex of their text, numeric fields as their text
// value (GetNumberText), logicals T/F.
#include <iostream>
#include <string>

#include "access/dbf_table.h"
#include "access/env.h"

namespace {

std::string Hex(std::string_view bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace pontevia::access;
  if (argc != 3) {
    std::cerr << "uso: engine_dump CARPETA TABLA.DBF\n";
    return 2;
  }
  std::string name = argv[2];
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".DBF") == 0) name.resize(name.size() - 4);
  std::unique_ptr<Table> t;
  pontevia::Status s = Table::Open(Env::Default(), argv[1], name, ShareMode::kShared, &t);
  int n = 0;
  for (s = s.ok() ? t->First() : s; s.ok() && !t->Eof(); s = t->Next()) {
    ++n;
    for (const FieldDef& f : t->fields()) {
      std::string value;
      if (f.type == FieldType::kLogical) {
        auto v = t->GetBool(f.name);
        if (!v.ok()) s = v.status();
        value = v.ok() && v.value() ? "T" : "F";
      } else if (f.type == FieldType::kInteger || f.type == FieldType::kFloat) {
        auto v = t->GetNumberText(f.name);
        if (!v.ok()) s = v.status();
        value = v.ok() ? v.value() : "";
      } else {
        auto v = t->GetText(f.name);
        if (!v.ok()) s = v.status();
        value = v.ok() ? Hex(v.value()) : "";
      }
      if (!s.ok()) break;
      std::cout << n << ' ' << f.name << ' ' << value << '\n';
    }
    if (!s.ok()) break;
  }
  if (s.ok()) s = t->Close();
  if (!s.ok()) {
    std::cerr << s.message() << "\n";
    return 1;
  }
  return 0;
}
