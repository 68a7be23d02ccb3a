// The table on top of the reader and writer. While a table is open its whole
// file lives in memory as one string (header, then records back to back), as
// the tables of a school are small and a single sequential read and write is
// the fastest way to move them; the walk, edits and appends work in place.
#include "access/dbf_table.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "access/dbf_format.h"
#include "access/dbf_reader.h"
#include "access/dbf_writer.h"
#include "access/mdx_writer.h"
#include "text/ansi.h"

namespace pontevia::access {
namespace {

enum class Mode { kBrowse, kEdit, kAppend };

std::string U8(std::string_view ansi) { return text::AnsiToUtf8(ansi); }

// "ASIGNOMT.DBF" and "asignomt.dbf" name the table ASIGNOMT too, as the
// builders give the name with its extension.
std::string StripDbfExtension(const std::string& name) {
  if (name.size() > 4 && text::EqualsIgnoreCase(std::string_view(name).substr(name.size() - 4), ".dbf")) {
    return name.substr(0, name.size() - 4);
  }
  return name;
}

// Every file in `folder` whose name equals `file_name` ignoring ASCII case.
// Windows finds them whatever their case; elsewhere a table that Horalia
// (under Wine) saved as "soluc.dbf" must still be found, and a stale
// "asignomt.dbf" must not survive beside a new "ASIGNOMT.DBF".
std::vector<std::string> CaseVariants(Env* env, const std::string& folder, const std::string& file_name) {
  std::vector<std::string> names, found;
  if (!env->ListDirectory(folder, &names).ok()) return found;
  for (const std::string& n : names) {
    if (text::EqualsIgnoreCase(n, file_name)) found.push_back(JoinPath(folder, n));
  }
  return found;
}

bool ValidFieldName(std::string_view name) {
  if (name.empty() || name.size() > dbf::kMaxFieldNameLength) return false;
  for (char c : name) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    if (!ok) return false;
  }
  return true;
}

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

FieldType KindOf(const dbf::Field& f) {
  switch (f.type) {
    case dbf::kTypeCharacter:
      return FieldType::kCharacter;
    case dbf::kTypeLogical:
      return FieldType::kLogical;
    case dbf::kTypeNumeric:
      return f.decimals == 0 ? FieldType::kInteger : FieldType::kFloat;
    case dbf::kTypeFloat:
      return FieldType::kFloat;
    default:
      return FieldType::kOther;
  }
}

bool IsNumeric(const dbf::Field& f) { return f.type == dbf::kTypeNumeric || f.type == dbf::kTypeFloat; }

// The nearest whole number, halves to the even neighbour (0.5 -> 0, 1.5 -> 2,
// -2.5 -> -2), independent of the floating-point rounding mode.
double RoundHalfEven(double v) {
  const double down = std::floor(v);
  const double diff = v - down;
  if (diff < 0.5) return down;
  if (diff > 0.5) return down + 1;
  return std::fmod(down, 2.0) == 0 ? down : down + 1;
}

// A number as text the way the working tables hold numbers in character
// fields: shortest form, comma as decimal separator.
std::string NumberAsText(double v) {
  char buf[400];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  std::string s(buf, ec == std::errc() ? static_cast<size_t>(end - buf) : 0);
  for (char& c : s) {
    if (c == '.') c = ',';
  }
  return s;
}

}  // namespace

struct Table::Rep {
  Env* env = nullptr;
  std::string name;  // without extension
  std::string path;  // NAME.DBF
  std::string mdx_path;
  std::unique_ptr<FileLock> lock;
  std::vector<FieldDef> defs;
  std::vector<dbf::Field> fields;
  std::vector<IndexDef> indexes;  // set for created tables only
  std::string image;              // header then records
  std::string blank;              // a blank record, read at end of table
  size_t header_length = 0;
  size_t record_length = 0;
  uint32_t count = 0;  // records in `image`, deleted ones included; a pending append is not counted
  int64_t live = 0;    // records not deleted
  uint32_t pos = 0;    // current record; == count at the end (or while appending)
  Mode mode = Mode::kBrowse;
  bool dirty = false;
  bool closed = false;
  bool foreign_index = false;  // opened with a production index we cannot rebuild
  mutable size_t guess = 0;    // where the next field lookup starts

  char* RecordAt(uint32_t i) { return image.data() + header_length + static_cast<size_t>(i) * record_length; }
  const char* Current() const {
    if (mode == Mode::kAppend || pos < count) {
      return image.data() + header_length + static_cast<size_t>(pos) * record_length;
    }
    return blank.data();
  }
  std::string_view FieldBytes(int f) const {
    const dbf::Field& d = fields[f];
    return std::string_view(Current() + d.offset, static_cast<size_t>(d.width));
  }
  uint32_t RecordNumber() const { return pos + 1; }

  int Find(std::string_view field) const {
    const size_t n = fields.size();
    // Callers mostly set and read fields in table order, so the field after
    // the last one found is tried first.
    for (size_t k = 0; k < n; ++k) {
      const size_t i = (guess + k) % n;
      if (text::EqualsIgnoreCase(fields[i].name, field)) {
        guess = i + 1 == n ? 0 : i + 1;
        return static_cast<int>(i);
      }
    }
    return -1;
  }

  void SkipDeleted() {
    while (pos < count && RecordAt(pos)[0] == dbf::kRecordDeleted) ++pos;
  }

  Status PostPending() {
    if (mode == Mode::kAppend) {
      ++count;
      ++live;
      dirty = true;
    } else if (mode == Mode::kEdit) {
      dirty = true;
    }
    mode = Mode::kBrowse;
    return Status::OK();
  }

  // --- messages -----------------------------------------------------------
  std::string FieldName(int f) const { return U8(fields[f].name); }
  Status NoSuchField(std::string_view field) const {
    return Status::InvalidArgument("La tabla " + name + " no tiene el campo \"" + U8(field) + "\".");
  }
  Status BadFieldIndex(int f) const {
    return Status::InvalidArgument("La tabla " + name + " no tiene el campo número " + std::to_string(f + 1) +
                                   ".");
  }
  Status Closed() const { return Status::InvalidArgument("La tabla " + name + " ya está cerrada."); }
  Status NotEditing(int f) const {
    return Status::InvalidArgument("No se puede escribir el campo " + FieldName(f) + " de la tabla " + name +
                                   ": no hay ningún registro en edición.");
  }
  Status NoCurrentRecord() const {
    return Status::InvalidArgument("No se puede editar la tabla " + name +
                                   ": no hay registro actual (está al final de la tabla).");
  }
  Status ForeignIndex() const {
    return Status::InvalidArgument("La tabla " + name + " (" + path +
                                   ") tiene un índice de producción (.MDX) que este programa no sabe "
                                   "actualizar, así que solo se puede leer.");
  }
  Status NotANumber(int f) const {
    return Status::Corrupt("El campo " + FieldName(f) + " del registro " + std::to_string(RecordNumber()) +
                           " de la tabla " + name + " (" + path + ") no contiene un número válido: \"" +
                           U8(FieldBytes(f)) + "\".");
  }
  Status NotALogical(int f) const {
    return Status::Corrupt("El campo " + FieldName(f) + " del registro " + std::to_string(RecordNumber()) +
                           " de la tabla " + name + " (" + path + ") no contiene un valor lógico válido: \"" +
                           U8(FieldBytes(f)) + "\".");
  }
  Status WrongKind(int f, const char* wanted) const {
    return Status::InvalidArgument("El campo " + FieldName(f) + " de la tabla " + name + " no es " + wanted +
                                   ".");
  }
  Status DoesNotFit(int f, const std::string& value) const {
    return Status::InvalidArgument("El valor " + value + " no cabe en el campo " + FieldName(f) +
                                   " de la tabla " + name + " (ancho " + std::to_string(fields[f].width) +
                                   ", " + std::to_string(fields[f].decimals) + " decimales).");
  }

  Status CheckWritable(int f) const {
    if (closed) return Closed();
    if (f < 0 || static_cast<size_t>(f) >= fields.size()) return BadFieldIndex(f);
    if (mode == Mode::kBrowse) return NotEditing(f);
    return Status::OK();
  }
  Status CheckReadable(int f) const {
    if (closed) return Closed();
    if (f < 0 || static_cast<size_t>(f) >= fields.size()) return BadFieldIndex(f);
    return Status::OK();
  }

  char* Writable(int f) { return RecordAt(pos) + fields[f].offset; }

  void PutText(int f, std::string_view value) {
    const size_t width = static_cast<size_t>(fields[f].width);
    const size_t n = std::min(value.size(), width);  // longer text is cut, as the BDE does
    char* out = Writable(f);
    std::memcpy(out, value.data(), n);
    std::memset(out + n, ' ', width - n);
  }

  Status PutNumber(int f, double v) {
    if (!FormatDbfNumber(v, fields[f].width, fields[f].decimals, Writable(f))) {
      return DoesNotFit(f, NumberAsText(v));
    }
    return Status::OK();
  }

  Result<double> ReadNumber(int f) const {
    double v = 0;
    if (IsNumeric(fields[f])) {
      if (ParseDbfNumber(FieldBytes(f), &v) == DbfNumber::kBad) return NotANumber(f);
      return v;
    }
    if (fields[f].type == dbf::kTypeCharacter) {
      // A number kept as text: blank is 0, the comma or the point separates decimals.
      if (ParseDbfNumber(text::Trim(FieldBytes(f)), &v) == DbfNumber::kBad) return NotANumber(f);
      return v;
    }
    return WrongKind(f, "numérico");
  }
};

Table::Table(std::unique_ptr<Rep> rep) : rep_(std::move(rep)) {}
Table::~Table() = default;

Status Table::Create(Env* env, const std::string& folder, const std::string& table_name, const TableDef& def,
                     std::unique_ptr<Table>* out) {
  const std::string name = StripDbfExtension(table_name);
  auto invalid = [&name](const std::string& what) {
    return Status::InvalidArgument("No se puede crear la tabla " + name + ": " + what + ".");
  };
  if (def.fields.empty()) return invalid("no tiene campos");
  if (def.fields.size() > dbf::kMaxFields) return invalid("tiene más de 255 campos");

  auto rep = std::make_unique<Rep>();
  rep->env = env;
  rep->name = name;
  size_t offset = 1;
  for (const FieldDef& fd : def.fields) {
    if (!ValidFieldName(fd.name)) return invalid("el nombre de campo \"" + U8(fd.name) + "\" no es válido");
    dbf::Field f;
    f.name = Upper(fd.name);
    for (const dbf::Field& other : rep->fields) {
      if (other.name == f.name) return invalid("el campo " + f.name + " está repetido");
    }
    switch (fd.type) {
      case FieldType::kCharacter:
        if (fd.width < 1 || fd.width > dbf::kMaxCharacterWidth) {
          return invalid("el campo " + f.name + " tiene ancho " + std::to_string(fd.width) +
                         " (debe estar entre 1 y 254)");
        }
        f.type = dbf::kTypeCharacter;
        f.width = fd.width;
        break;
      case FieldType::kLogical:
        f.type = dbf::kTypeLogical;
        f.width = 1;
        break;
      case FieldType::kInteger:
        f.type = dbf::kTypeNumeric;
        f.width = dbf::kIntegerWidth;
        break;
      case FieldType::kFloat:
        // N(20,4), not F: see doc/dbf_format.md. Every dBase reader knows N,
        // and four decimals keep any fraction of an hour a timetable uses.
        f.type = dbf::kTypeNumeric;
        f.width = dbf::kFloatWidth;
        f.decimals = dbf::kFloatDecimals;
        break;
      case FieldType::kOther:
        return invalid("el campo " + f.name + " es de un tipo que no se puede crear");
    }
    f.offset = offset;
    offset += static_cast<size_t>(f.width);
    rep->fields.push_back(std::move(f));
  }
  for (const IndexDef& idx : def.indexes) {
    if (!ValidFieldName(idx.tag)) return invalid("el nombre de índice \"" + U8(idx.tag) + "\" no es válido");
    int f = rep->Find(idx.field);
    if (f < 0) return invalid("el índice " + idx.tag + " usa el campo " + U8(idx.field) + ", que no existe");
    if (rep->fields[f].type != dbf::kTypeCharacter) {
      return invalid("el índice " + idx.tag + " usa el campo " + rep->fields[f].name + ", que no es de texto");
    }
    for (const IndexDef& other : rep->indexes) {
      if (text::EqualsIgnoreCase(other.tag, idx.tag)) return invalid("el índice " + idx.tag + " está repetido");
    }
    rep->fields[f].indexed = true;
    rep->indexes.push_back(IndexDef{Upper(idx.tag), rep->fields[f].name});
  }
  if (!env->DirectoryExists(folder)) {
    return Status::NotFound("No se puede crear la tabla " + name + ": no existe la carpeta \"" + folder + "\".");
  }

  // Start afresh: the old table and its index go first, whatever their case.
  rep->path = JoinPath(folder, name + ".DBF");
  rep->mdx_path = JoinPath(folder, name + ".MDX");
  for (const std::string& file : {name + ".DBF", name + ".MDX"}) {
    std::vector<std::string> paths = CaseVariants(env, folder, file);
    paths.push_back(JoinPath(folder, file));
    for (const std::string& p : paths) {
      Status s = env->RemoveFile(p);
      if (!s.ok()) return s.WithPrefix("No se puede crear la tabla " + name + ": ");
    }
  }

  rep->image = BuildDbfHeader(rep->fields, !rep->indexes.empty());
  rep->header_length = rep->image.size();
  rep->record_length = offset;
  rep->blank.assign(rep->record_length, ' ');
  rep->dirty = true;  // an empty table is written on Close too
  for (const dbf::Field& f : rep->fields) {
    rep->defs.push_back(FieldDef{f.name, KindOf(f), f.width, f.decimals, f.type});
  }
  out->reset(new Table(std::move(rep)));
  return Status::OK();
}

Status Table::Open(Env* env, const std::string& folder, const std::string& table_name, ShareMode mode,
                   std::unique_ptr<Table>* out) {
  auto rep = std::make_unique<Rep>();
  rep->env = env;
  rep->name = StripDbfExtension(table_name);
  const std::string prefix = "No se puede abrir la tabla " + rep->name + ": ";
  rep->path = JoinPath(folder, rep->name + ".DBF");
  rep->mdx_path = JoinPath(folder, rep->name + ".MDX");
  if (!env->FileExists(rep->path)) {
    std::vector<std::string> variants = CaseVariants(env, folder, rep->name + ".DBF");
    if (!variants.empty()) rep->path = variants.front();
  }
  Status s = env->LockFile(rep->path, mode, &rep->lock);
  if (!s.ok()) return s.WithPrefix(prefix);
  s = rep->lock->ReadAll(&rep->image);
  if (!s.ok()) return s.WithPrefix(prefix);
  DbfLayout layout;
  s = ReadDbfLayout(rep->path, rep->image, &layout);
  if (!s.ok()) return s.WithPrefix(prefix);

  rep->header_length = layout.header_length;
  rep->record_length = layout.record_length;
  rep->count = layout.record_count;
  rep->fields = std::move(layout.fields);
  rep->foreign_index = layout.production_index;
  // Whatever follows the records (0x1A, junk) is dropped; appends go here.
  rep->image.resize(rep->header_length + static_cast<size_t>(rep->count) * rep->record_length);
  rep->blank.assign(rep->record_length, ' ');
  for (uint32_t i = 0; i < rep->count; ++i) {
    if (rep->RecordAt(i)[0] != dbf::kRecordDeleted) ++rep->live;
  }
  for (const dbf::Field& f : rep->fields) {
    rep->defs.push_back(FieldDef{f.name, KindOf(f), f.width, f.decimals, f.type});
  }
  rep->SkipDeleted();
  out->reset(new Table(std::move(rep)));
  return Status::OK();
}

const std::string& Table::name() const { return rep_->name; }
const std::vector<FieldDef>& Table::fields() const { return rep_->defs; }
int64_t Table::RecordCount() const { return rep_->live; }

Status Table::First() {
  if (rep_->closed) return rep_->Closed();
  PONTEVIA_RETURN_IF_ERROR(rep_->PostPending());
  rep_->pos = 0;
  rep_->SkipDeleted();
  return Status::OK();
}

Status Table::Next() {
  if (rep_->closed) return rep_->Closed();
  PONTEVIA_RETURN_IF_ERROR(rep_->PostPending());
  if (rep_->pos < rep_->count) ++rep_->pos;
  rep_->SkipDeleted();
  return Status::OK();
}

bool Table::Eof() const { return rep_->mode != Mode::kAppend && rep_->pos >= rep_->count; }

Status Table::Append() {
  if (rep_->closed) return rep_->Closed();
  if (rep_->foreign_index) return rep_->ForeignIndex();
  PONTEVIA_RETURN_IF_ERROR(rep_->PostPending());
  rep_->image.append(rep_->blank);
  rep_->pos = rep_->count;
  rep_->mode = Mode::kAppend;
  return Status::OK();
}

Status Table::Edit() {
  if (rep_->closed) return rep_->Closed();
  if (rep_->foreign_index) return rep_->ForeignIndex();
  if (rep_->mode != Mode::kBrowse) return Status::OK();  // already pending
  if (rep_->pos >= rep_->count) return rep_->NoCurrentRecord();
  rep_->mode = Mode::kEdit;
  return Status::OK();
}

Status Table::Post() {
  if (rep_->closed) return rep_->Closed();
  return rep_->PostPending();
}

Result<int> Table::FieldIndex(std::string_view field) const {
  const int f = rep_->Find(field);
  if (f < 0) return rep_->NoSuchField(field);
  return f;
}

#define PONTEVIA_FIELD_OR_RETURN(var, field) \
  const int var = rep_->Find(field);         \
  if (var < 0) return rep_->NoSuchField(field)

Status Table::SetText(std::string_view field, std::string_view value) {
  PONTEVIA_FIELD_OR_RETURN(f, field);
  return SetText(f, value);
}
Status Table::SetBool(std::string_view field, bool value) {
  PONTEVIA_FIELD_OR_RETURN(f, field);
  return SetBool(f, value);
}
Status Table::SetFloat(std::string_view field, double value) {
  PONTEVIA_FIELD_OR_RETURN(f, field);
  return SetFloat(f, value);
}
Status Table::SetInteger(std::string_view field, int64_t value) {
  PONTEVIA_FIELD_OR_RETURN(f, field);
  return SetInteger(f, value);
}
Result<std::string> Table::GetText(std::string_view field) const {
  PONTEVIA_FIELD_OR_RETURN(f, field);
  return GetText(f);
}
Result<double> Table::GetFloat(std::string_view field) const {
  PONTEVIA_FIELD_OR_RETURN(f, field);
  return GetFloat(f);
}
Result<int64_t> Table::GetInteger(std::string_view field) const {
  PONTEVIA_FIELD_OR_RETURN(f, field);
  return GetInteger(f);
}
Result<std::string> Table::GetNumberText(std::string_view field) const {
  PONTEVIA_FIELD_OR_RETURN(f, field);
  return GetNumberText(f);
}
Result<bool> Table::GetBool(std::string_view field) const {
  PONTEVIA_FIELD_OR_RETURN(f, field);
  return GetBool(f);
}

#undef PONTEVIA_FIELD_OR_RETURN

Status Table::SetText(int f, std::string_view value) {
  PONTEVIA_RETURN_IF_ERROR(rep_->CheckWritable(f));
  const dbf::Field& d = rep_->fields[f];
  if (d.type == dbf::kTypeCharacter) {
    rep_->PutText(f, value);
    return Status::OK();
  }
  if (IsNumeric(d)) {
    std::string_view t = text::Trim(value);
    double v = 0;
    switch (ParseDbfNumber(t, &v)) {
      case DbfNumber::kBlank:
        rep_->PutText(f, "");
        return Status::OK();
      case DbfNumber::kValue:
        return rep_->PutNumber(f, v);
      case DbfNumber::kBad:
        return Status::InvalidArgument("El texto \"" + U8(value) + "\" no es un número y no se puede guardar en "
                                       "el campo " + rep_->FieldName(f) + " de la tabla " + rep_->name + ".");
    }
  }
  if (d.type == dbf::kTypeLogical) {
    std::string_view t = text::Trim(value);
    const int b = t.empty() ? -2 : ParseDbfLogical(t[0]);
    if (t.empty() || b >= 0 || t[0] == 'S' || t[0] == 's') {
      rep_->Writable(f)[0] = t.empty() ? ' ' : (b == 0 ? 'F' : 'T');
      return Status::OK();
    }
    return Status::InvalidArgument("El texto \"" + U8(value) + "\" no es un valor lógico para el campo " +
                                   rep_->FieldName(f) + " de la tabla " + rep_->name + ".");
  }
  return rep_->WrongKind(f, "de un tipo que este programa sepa escribir");
}

Status Table::SetBool(int f, bool value) {
  PONTEVIA_RETURN_IF_ERROR(rep_->CheckWritable(f));
  const char c = value ? 'T' : 'F';
  switch (rep_->fields[f].type) {
    case dbf::kTypeLogical:
      rep_->Writable(f)[0] = c;
      return Status::OK();
    case dbf::kTypeCharacter:
      rep_->PutText(f, std::string_view(&c, 1));
      return Status::OK();
    default:
      return rep_->WrongKind(f, "lógico");
  }
}

Status Table::SetFloat(int f, double value) {
  PONTEVIA_RETURN_IF_ERROR(rep_->CheckWritable(f));
  const dbf::Field& d = rep_->fields[f];
  if (IsNumeric(d)) return rep_->PutNumber(f, value);
  if (d.type == dbf::kTypeCharacter) {
    rep_->PutText(f, NumberAsText(value));
    return Status::OK();
  }
  return rep_->WrongKind(f, "numérico");
}

Status Table::SetInteger(int f, int64_t value) {
  PONTEVIA_RETURN_IF_ERROR(rep_->CheckWritable(f));
  const dbf::Field& d = rep_->fields[f];
  if (IsNumeric(d)) {
    if (!FormatDbfInteger(value, d.width, d.decimals, rep_->Writable(f))) {
      return rep_->DoesNotFit(f, std::to_string(value));
    }
    return Status::OK();
  }
  if (d.type == dbf::kTypeCharacter) {
    rep_->PutText(f, std::to_string(value));
    return Status::OK();
  }
  return rep_->WrongKind(f, "numérico");
}

Result<std::string> Table::GetText(int f) const {
  PONTEVIA_RETURN_IF_ERROR(rep_->CheckReadable(f));
  const dbf::Field& d = rep_->fields[f];
  if (IsNumeric(d)) return GetNumberText(f);
  if (d.type == dbf::kTypeLogical) {
    const int b = ParseDbfLogical(rep_->FieldBytes(f)[0]);
    if (b < 0) return rep_->NotALogical(f);
    const char c = rep_->FieldBytes(f)[0];
    if (c == ' ' || c == '?' || c == '\0') return std::string();
    return std::string(b ? "T" : "F");
  }
  return std::string(TextView(f));
}

Result<std::string> Table::GetNumberText(int f) const {
  PONTEVIA_RETURN_IF_ERROR(rep_->CheckReadable(f));
  const dbf::Field& d = rep_->fields[f];
  if (IsNumeric(d)) {
    std::string out;
    if (!DbfNumberText(rep_->FieldBytes(f), &out)) return rep_->NotANumber(f);
    return out;
  }
  if (d.type == dbf::kTypeCharacter) return std::string(TextView(f));
  return rep_->WrongKind(f, "numérico");
}

Result<double> Table::GetFloat(int f) const {
  PONTEVIA_RETURN_IF_ERROR(rep_->CheckReadable(f));
  return rep_->ReadNumber(f);
}

Result<int64_t> Table::GetInteger(int f) const {
  PONTEVIA_RETURN_IF_ERROR(rep_->CheckReadable(f));
  Result<double> v = rep_->ReadNumber(f);
  if (!v.ok()) return v.status();
  const double r = RoundHalfEven(*v);
  // 2^63 is exactly representable; anything at or beyond it does not fit.
  if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0)) {
    return Status::InvalidArgument("El valor del campo " + rep_->FieldName(f) + " del registro " +
                                   std::to_string(rep_->RecordNumber()) + " de la tabla " + rep_->name +
                                   " es demasiado grande para un número entero.");
  }
  return static_cast<int64_t>(r);
}

Result<bool> Table::GetBool(int f) const {
  PONTEVIA_RETURN_IF_ERROR(rep_->CheckReadable(f));
  if (rep_->fields[f].type != dbf::kTypeLogical) return rep_->WrongKind(f, "lógico");
  const int b = ParseDbfLogical(rep_->FieldBytes(f)[0]);
  if (b < 0) return rep_->NotALogical(f);
  return b == 1;
}

std::string_view Table::TextView(int f) const {
  if (rep_->closed || f < 0 || static_cast<size_t>(f) >= rep_->fields.size()) return std::string_view();
  std::string_view b = rep_->FieldBytes(f);
  // The BDE hands text out as C strings: a 0x00 ends it.
  b = b.substr(0, std::min(b.find('\0'), b.size()));
  return text::TrimRightBlanks(b);
}

Status Table::Close() {
  Rep& r = *rep_;
  if (r.closed) return Status::OK();
  Status s = r.PostPending();
  r.closed = true;
  // Released before the rename: on Windows a file held open cannot be replaced.
  r.lock.reset();
  if (!s.ok() || !r.dirty) return s;

  const std::string prefix = "No se puede guardar la tabla " + r.name + ": ";
  if (!r.indexes.empty()) {
    std::vector<MdxTag> tags;
    for (const IndexDef& idx : r.indexes) {
      const int f = r.Find(idx.field);
      MdxTag tag;
      tag.name = idx.tag;
      tag.expression = r.fields[f].name;
      tag.key_length = r.fields[f].width;
      tag.keys.reserve(r.count);
      for (uint32_t i = 0; i < r.count; ++i) {
        tag.keys.emplace_back(std::string(r.RecordAt(i) + r.fields[f].offset, r.fields[f].width), i + 1);
      }
      tags.push_back(std::move(tag));
    }
    s = WriteMdx(r.env, r.mdx_path, r.name, tags);
    if (!s.ok()) return s.WithPrefix(prefix);
  }
  s = WriteDbfImage(r.env, r.path, r.count, &r.image);
  if (!s.ok()) {
    // A new index without its table would only mislead the next reader.
    if (!r.indexes.empty()) r.env->RemoveFile(r.mdx_path).ok();
    return s.WithPrefix(prefix);
  }
  std::string().swap(r.image);
  return Status::OK();
}

}  // namespace pontevia::access
