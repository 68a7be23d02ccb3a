// Writes, with our engine, one table of every kind the converter makes, and
// beside each NAME.expected: what an independent reader must show for it, in
// the plain form of tdbf_dump.pas and dbfread_dump.py. The expected values
// come from the values set here (typed in, cut by hand), never from reading
// the table back.
//
//   write_samples FOLDER
//
// Tables: TIPOS (every field kind, blank values, cut texts, 1252 letters),
// ANCHOS1.. (character fields of every width 1..254), MATIB (the index tag
// "ABREV" over keys put in scrambled order, with duplicates) and VACIA (the
// same shape, empty). For the two indexed tables NAME.index.expected is the
// walk in key order and NAME.seek the keys to search.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "access/dbf_table.h"
#include "access/env.h"

namespace {

using pontevia::Status;
using namespace pontevia::access;

std::string Hex(std::string_view bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

// What a reader shows for a character field holding `value`: its first
// `width` bytes without trailing blanks.
std::string CharText(const std::string& value, int width) {
  std::string cut = value.substr(0, static_cast<size_t>(width));
  while (!cut.empty() && cut.back() == ' ') cut.pop_back();
  return Hex(cut);
}

// One value to set, and what a reader must show for it. An unset value shows
// as the empty text in every kind.
struct Cell {
  std::string field;
  enum Kind { kText, kBool, kInteger, kFloat } kind = kText;
  std::string text;
  bool flag = false;
  int64_t integer = 0;
  double number = 0;
  std::string shown;  // for kFloat: typed in; the others are derived
};

Cell Text(std::string f, std::string v) {
  return Cell{std::move(f), Cell::kText, std::move(v), false, 0, 0, ""};
}
Cell Bool(std::string f, bool v) { return Cell{std::move(f), Cell::kBool, "", v, 0, 0, ""}; }
Cell Int(std::string f, int64_t v) { return Cell{std::move(f), Cell::kInteger, "", false, v, 0, ""}; }
Cell Float(std::string f, double v, std::string shown) {
  return Cell{std::move(f), Cell::kFloat, "", false, 0, v, std::move(shown)};
}

bool WriteTextFile(const std::string& folder, const std::string& file, const std::string& text) {
  std::ofstream out(JoinPath(folder, file), std::ios::binary);
  out << text;
  out.close();
  if (!out) std::cerr << "No se pudo escribir " << file << "\n";
  return static_cast<bool>(out);
}

class Sample {
 public:
  Sample(std::string folder, std::string name, TableDef def)
      : folder_(std::move(folder)), name_(std::move(name)), def_(std::move(def)) {}

  void Row(std::vector<Cell> cells) { rows_.push_back(std::move(cells)); }

  // Writes the table and NAME.expected; false after printing the error.
  bool Write() {
    std::unique_ptr<Table> t;
    if (!Check(Table::Create(Env::Default(), folder_, name_, def_, &t))) return false;
    std::ostringstream expected;
    for (size_t r = 0; r < rows_.size(); ++r) {
      if (!Check(t->Append())) return false;
      for (const Cell& c : rows_[r]) {
        Status s;
        switch (c.kind) {
          case Cell::kText: s = t->SetText(c.field, c.text); break;
          case Cell::kBool: s = t->SetBool(c.field, c.flag); break;
          case Cell::kInteger: s = t->SetInteger(c.field, c.integer); break;
          case Cell::kFloat: s = t->SetFloat(c.field, c.number); break;
        }
        if (!Check(std::move(s))) return false;
      }
      if (!Check(t->Post())) return false;
      for (const FieldDef& f : def_.fields) {
        expected << r + 1 << ' ' << f.name << ' ' << Shown(f, rows_[r]) << '\n';
      }
    }
    if (!Check(t->Close())) return false;
    return WriteTextFile(folder_, name_ + ".expected", expected.str());
  }

 private:
  static bool Check(Status s) {
    if (!s.ok()) std::cerr << s.message() << "\n";
    return s.ok();
  }

  static std::string Shown(const FieldDef& f, const std::vector<Cell>& row) {
    for (const Cell& c : row) {
      if (c.field != f.name) continue;
      switch (c.kind) {
        case Cell::kText: return CharText(c.text, f.width);
        case Cell::kBool: return c.flag ? "T" : "F";
        case Cell::kInteger: return std::to_string(c.integer);
        case Cell::kFloat: return c.shown;
      }
    }
    return "";
  }

  std::string folder_;
  std::string name_;
  TableDef def_;
  std::vector<std::vector<Cell>> rows_;
};

bool WriteTipos(const std::string& folder) {
  TableDef def;
  def.fields = {{"NOMBRE", FieldType::kCharacter, 20}, {"UNO", FieldType::kCharacter, 1},
                {"ACTIVO", FieldType::kLogical, 0},    {"ENTERO", FieldType::kInteger, 0},
                {"HORAS", FieldType::kFloat, 0},       {"LARGO", FieldType::kCharacter, 254},
                {"ACENTOS", FieldType::kCharacter, 10}};
  Sample s(folder, "TIPOS", def);
  // 1252: E0 a grave, E8 e grave, D1 N tilde, C7 C cedilla, 80 euro, 9C oe,
  // 9F Y diaeresis, 93/94 curly quotes, E9 e acute, FC u diaeresis.
  s.Row({Text("NOMBRE", "Matem\xE0tiques"), Text("UNO", "X"), Bool("ACTIVO", true),
         Int("ENTERO", 42), Float("HORAS", 2.5, "2,5"), Text("LARGO", std::string(300, 'L')),
         Text("ACENTOS", "\xC0\xC9\xCD\xD1\xC7\xFC\xF1\x80\x9C\x9F")});
  s.Row({});  // nothing set: every field blank
  s.Row({Text("NOMBRE", " empieza con blanco"), Bool("ACTIVO", false),
         Int("ENTERO", -2147483648LL), Float("HORAS", -1.25, "-1,25"),
         Text("LARGO", std::string(254, 'x')), Text("ACENTOS", "\x93" "cita\x94 ")});
  s.Row({Text("NOMBRE", "Educaci\xF3n F\xEDsica y Deportes"), Text("UNO", "\xD1\xD1"),
         Bool("ACTIVO", true), Int("ENTERO", 2147483647LL), Float("HORAS", 13.75, "13,75"),
         Text("ACENTOS", "corto")});
  s.Row({Int("ENTERO", 0), Float("HORAS", 0, "0"), Text("NOMBRE", "   ")});
  s.Row({Float("HORAS", 1234567.0625, "1234567,0625"), Int("ENTERO", -7),
         Text("LARGO", "fin con blancos   ")});
  s.Row({Float("HORAS", 30, "30"), Text("UNO", " ")});
  return s.Write();
}

// Character fields W001..W254, spread over tables whose records stay within
// the 4000 bytes the BDE allows a dBase IV record.
bool WriteAnchos(const std::string& folder, std::vector<std::string>* names) {
  const std::string kCycle = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  int width = 1;
  for (int table = 1; width <= 254; ++table) {
    TableDef def;
    int record = 1;
    std::vector<Cell> full, short_text;
    for (; width <= 254 && record + width <= 4000; ++width) {
      char name[8];
      std::snprintf(name, sizeof name, "W%03d", width);
      def.fields.push_back({name, FieldType::kCharacter, width});
      record += width;
      std::string pattern;
      for (int i = 0; i < width + 5; ++i) pattern += kCycle[(width + i) % kCycle.size()];
      full.push_back(Text(name, pattern));
      short_text.push_back(Text(name, "\xF1" + std::to_string(width)));
    }
    std::string table_name = "ANCHOS" + std::to_string(table);
    Sample s(folder, table_name, def);
    s.Row(full);
    s.Row(short_text);
    s.Row({});
    if (!s.Write()) return false;
    names->push_back(table_name);
  }
  return true;
}

// MATIB's shape and its tag, with `count` records whose keys are not in key
// order, so a walk in file order cannot pass for a walk of the tag.
bool WriteIndexed(const std::string& folder, const std::string& name, int count) {
  TableDef def;
  def.fields = {{"ABREV", FieldType::kCharacter, 10},
                {"ABREV8", FieldType::kCharacter, 10},
                {"NOMBRE", FieldType::kCharacter, 80},
                {"NIVEL", FieldType::kCharacter, 5},
                {"CURSO", FieldType::kCharacter, 3}};
  def.indexes = {{"ABREV", "ABREV"}};

  std::mt19937 rng(20240611);
  std::vector<std::string> keys;
  for (int i = 0; i < count; ++i) {
    std::string key = "M" + std::to_string(rng() % (count / 3 + 1));
    if (i % 7 == 3) key = "\xD1" + key;      // sorts after every ASCII key
    if (i % 11 == 5) key = "mat" + key;      // lower case sorts after upper case
    if (i % 97 == 1) key = "";               // a blank key sorts first
    if (i % 89 == 2) key = "ABCDEFGHIJKLM";  // cut to 10
    keys.push_back(key);
  }

  std::unique_ptr<Table> t;
  Status s = Table::Create(Env::Default(), folder, name, def, &t);
  for (int i = 0; s.ok() && i < count; ++i) {
    s = t->Append();
    if (s.ok()) s = t->SetText("ABREV", keys[i]);
    if (s.ok()) s = t->SetText("NOMBRE", "Asignatura " + std::to_string(i + 1));
    if (s.ok()) s = t->SetText("NIVEL", "ESO");
    if (s.ok()) s = t->Post();
  }
  if (s.ok()) s = t->Close();
  if (!s.ok()) {
    std::cerr << s.message() << "\n";
    return false;
  }

  // Key order: blank padded to the width, bytes unsigned, then record number.
  std::vector<std::pair<std::string, int>> order;
  for (int i = 0; i < count; ++i) {
    std::string padded = keys[i].substr(0, 10);
    padded.resize(10, ' ');
    order.emplace_back(padded, i + 1);
  }
  std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
    int c = std::char_traits<char>::compare(a.first.data(), b.first.data(), 10);
    return c != 0 ? c < 0 : a.second < b.second;
  });
  bool scrambled = false;
  for (int i = 0; i < count; ++i) scrambled |= order[i].second != i + 1;
  if (count > 1 && !scrambled) {
    std::cerr << "Las claves de " << name << " salieron en orden: la prueba no probaría nada.\n";
    return false;
  }

  std::ostringstream walk, seek, dump;
  walk << "TAGS 1\nINDEXNAME ABREV\nINDEXFIELDS ABREV\n";
  for (int i = 0; i < count; ++i) {
    walk << i + 1 << ' ' << order[i].second << ' ' << CharText(order[i].first, 10) << '\n';
  }
  // Plain ASCII keys only: a reader may search with a collation of its own.
  // Each finds its first record in key order.
  for (int i = 0; i < count; i += std::max(1, count / 12)) {
    const std::string& key = order[i].first;
    if (key[0] < 'A' || key[0] > 'Z' || key == std::string(10, ' ')) continue;
    int first = i;
    while (first > 0 && order[first - 1].first == key) --first;
    std::string trimmed = key.substr(0, key.find_last_not_of(' ') + 1);
    seek << Hex(trimmed) << '\n';
    walk << "SEEK " << Hex(trimmed) << ' ' << order[first].second << '\n';
  }
  if (count > 0) {
    seek << Hex("ZZZZ") << '\n';
    walk << "SEEK " << Hex("ZZZZ") << " NONE\n";
  }
  for (int i = 0; i < count; ++i) {
    const std::string n = std::to_string(i + 1);
    dump << n << " ABREV " << CharText(keys[i], 10) << '\n'
         << n << " ABREV8 \n"
         << n << " NOMBRE " << Hex("Asignatura " + n) << '\n'
         << n << " NIVEL " << Hex("ESO") << '\n'
         << n << " CURSO \n";
  }
  return WriteTextFile(folder, name + ".index.expected", walk.str()) &&
         WriteTextFile(folder, name + ".seek", seek.str()) &&
         WriteTextFile(folder, name + ".expected", dump.str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "uso: write_samples CARPETA\n";
    return 2;
  }
  const std::string folder = argv[1];
  std::vector<std::string> tables = {"TIPOS"};
  bool ok = WriteTipos(folder) && WriteAnchos(folder, &tables) &&
            WriteIndexed(folder, "MATIB", 5000) && WriteIndexed(folder, "VACIA", 0);
  if (!ok) return 1;
  tables.push_back("MATIB");
  tables.push_back("VACIA");
  std::ofstream list(JoinPath(folder, "tables.txt"));
  for (const std::string& t : tables) list << t << '\n';
  return list ? 0 : 1;
}
