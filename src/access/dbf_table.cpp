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
#include "access/mdx_format.h"
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

// Where the records live while the table is open:
//  - kWindow: an opened table that is only read. Records are read from the
//    held file through a window of about 1 MiB, so walking a big table costs
//    what reading it sequentially costs, whatever its size.
//  - kStream: a created table that is only appended to. Records are filled
//    in place in a batch of about 1 MiB, which goes to the temporary file in
//    one write when it is full; the header counts are filled in on Close.
//  - kMemory: any other use (an edit, an append to an opened table, a walk
//    of a table being created). The whole file is in memory and is written
//    back on Close. Tables are switched to it on the first such use.
enum class Storage { kWindow, kStream, kMemory };

constexpr size_t kWindowBytes = 1 << 20;

struct Table::Rep {
  Env* env = nullptr;
  std::string name;  // without extension
  std::string path;  // NAME.DBF
  std::string temp_path;
  std::string mdx_path;
  std::unique_ptr<FileLock> lock;  // opened tables
  std::vector<FieldDef> defs;
  std::vector<dbf::Field> fields;
  std::vector<IndexDef> indexes;  // created tables only
  std::vector<int> index_fields;  // the field of each index
  size_t header_length = 0;
  size_t record_length = 0;
  std::string blank;  // a blank record, read at the end of the table

  Storage storage = Storage::kMemory;
  std::string image;  // kMemory: header then records
  // kWindow
  std::unique_ptr<char[]> window;
  uint32_t window_records = 0;  // capacity
  uint32_t window_first = 0;
  uint32_t window_count = 0;
  // kStream
  std::unique_ptr<WritableFile> out;
  std::string header;   // the header bytes written first
  // Records posted but not yet written, then the one being appended. The
  // batch is handed to the file only when the next Append needs room, so the
  // last posted record stays readable. Larger than the file's own buffer,
  // which then writes it straight through instead of copying it.
  std::unique_ptr<char[]> batch;
  uint32_t batch_records = 0;  // capacity
  uint32_t batch_used = 0;     // posted records in the batch
  // Slots batch_used..batch_blank-1 are already blank. Blanking some 32 KiB
  // of slots at a time is cheaper than a call per record, and a small table
  // touches little of its batch.
  uint32_t batch_blank = 0;
  // The first failed write of a batch. Its records are gone, so Close must
  // fail even if the caller went on after the error.
  Status stream_error;
  std::vector<std::vector<std::pair<std::string, uint32_t>>> keys;  // per index

  uint32_t count = 0;  // records, deleted ones included; a pending append is not counted
  mutable int64_t live = -1;  // records not deleted; -1 until counted
  uint32_t pos = 0;           // current record; == count at the end (or while appending)
  const char* cur = nullptr;  // its bytes
  Mode mode = Mode::kBrowse;
  bool dirty = false;
  bool closed = false;
  bool temp_written = false;   // temp_path exists and must go if the table is abandoned
  bool foreign_index = false;  // opened with a production index we cannot rebuild
  bool dbase7 = false;         // dBase 7 layout: decides how binary numbers read
  Table::Cursor* cursor = nullptr;  // the owning Table's, once it exists
  std::vector<Table::Slot> slots;   // what cursor->slots points to
  uint64_t text_fields = 0;         // bit f: field f (of the first 64) is a character field

  ~Rep() {
    out.reset();
    if (temp_written) env->RemoveFile(temp_path).ok();  // abandoned: best effort
  }

  char* RecordAt(uint32_t i) { return image.data() + header_length + static_cast<size_t>(i) * record_length; }
  char* BatchSlot(uint32_t i) { return batch.get() + static_cast<size_t>(i) * record_length; }

  // Hands the posted records of the batch to the temporary file.
  Status WriteBatch() {
    const size_t n = static_cast<size_t>(batch_used) * record_length;
    batch_used = 0;
    batch_blank = 0;
    if (!stream_error.ok()) return stream_error;  // the file may be gone too
    Status s = out->Append(std::string_view(batch.get(), n));
    if (!s.ok()) stream_error = s;
    return s;
  }

  // Makes the slot of the next append blank, and a few after it.
  void BlankAhead() {
    if (batch_used < batch_blank) return;
    const uint32_t per_chunk = std::max<uint32_t>(1, static_cast<uint32_t>(32768 / record_length));
    const uint32_t n = std::min(per_chunk, batch_records - batch_used);
    std::memset(BatchSlot(batch_used), ' ', static_cast<size_t>(n) * record_length);
    batch_blank = batch_used + n;
  }

  // Points `cur` at record `pos` (or at the blank record past the end).
  void UpdateCurrent() {
    switch (storage) {
      case Storage::kMemory:
        cur = (mode == Mode::kAppend || pos < count) ? RecordAt(pos) : blank.data();
        break;
      case Storage::kStream:
        if (mode == Mode::kAppend) {
          cur = BatchSlot(batch_used);
        } else {
          cur = (batch_used > 0 && pos == count - 1) ? BatchSlot(batch_used - 1) : blank.data();
        }
        break;
      case Storage::kWindow:
        cur = pos < count ? window.get() + static_cast<size_t>(pos - window_first) * record_length
                          : blank.data();
        break;
    }
    SyncCursor();
  }

  // Called after every change of `cur`, `mode`, `closed` or the fields.
  void SyncCursor() {
    if (cursor == nullptr) return;
    cursor->slots = slots.data();
    cursor->field_count = slots.size();
    cursor->record = closed ? nullptr : cur;
    cursor->writable = !closed && mode != Mode::kBrowse;
    if (mode != Mode::kAppend) cursor->blank_text = 0;
  }

  // Moves to record p (count: past the end), reading its window if needed.
  Status Seek(uint32_t p) {
    pos = p < count ? p : count;
    if (storage == Storage::kWindow && pos < count &&
        (pos < window_first || pos >= window_first + window_count)) {
      const uint32_t n = std::min(window_records, count - pos);
      const size_t want = static_cast<size_t>(n) * record_length;
      size_t got = 0;
      Status s = lock->ReadAt(header_length + static_cast<uint64_t>(pos) * record_length, want, window.get(), &got);
      if (!s.ok()) {
        window_count = 0;
        pos = count;
        UpdateCurrent();
        return s.WithPrefix("No se puede leer la tabla " + name + ": ");
      }
      if (got < want) {
        window_count = 0;
        pos = count;
        UpdateCurrent();
        return Status::Corrupt("El archivo \"" + path + "\" de la tabla " + name +
                               " se ha acortado mientras se leía: ¿lo está cambiando otro programa?");
      }
      window_first = pos;
      window_count = n;
    }
    UpdateCurrent();
    return Status::OK();
  }

  Status SkipDeleted() {
    while (pos < count && cur[0] == dbf::kRecordDeleted) PONTEVIA_RETURN_IF_ERROR(Seek(pos + 1));
    return Status::OK();
  }

  // A name reduced to its length and two (possibly overlapping) loads that
  // together cover every byte, so that equal keys mean equal names and a
  // comparison costs three instructions rather than a loop.
  struct NameKey {
    uint64_t size = 0, head = 0, tail = 0;
    bool operator==(const NameKey&) const = default;
  };
  static NameKey KeyOf(std::string_view s) {
    NameKey k;
    k.size = s.size();
    if (s.size() >= 8) {
      std::memcpy(&k.head, s.data(), 8);
      std::memcpy(&k.tail, s.data() + s.size() - 8, 8);
    } else if (s.size() >= 4) {
      uint32_t h, t;
      std::memcpy(&h, s.data(), 4);
      std::memcpy(&t, s.data() + s.size() - 4, 4);
      k.head = h;
      k.tail = t;
    } else {
      for (size_t i = 0; i < s.size(); ++i) k.head |= static_cast<uint64_t>(static_cast<uint8_t>(s[i])) << (8 * i);
    }
    return k;
  }
  static size_t HashOf(const NameKey& k) {
    return static_cast<size_t>(((k.head ^ (k.tail * 31) ^ (k.size << 56)) * 0x9E3779B97F4A7C15ull) >> 32);
  }

  // Field positions by name, as stored (upper case), in an open-addressed
  // table: one or two probes find a field whatever order callers ask in.
  // Names in other letter cases, and dBase 7 names over 16 bytes, miss here
  // and are found by case folding.
  std::vector<NameKey> name_keys;  // one per field
  std::vector<int> name_table;     // field positions; -1 is an empty slot
  size_t name_mask = 0;

  void BuildNameKeys() {
    name_keys.clear();
    size_t size = 16;
    while (size < 2 * fields.size()) size *= 2;
    name_table.assign(size, -1);
    name_mask = size - 1;
    for (size_t f = 0; f < fields.size(); ++f) {
      const std::string& name = fields[f].name;
      name_keys.push_back(name.size() <= 16 ? KeyOf(name) : NameKey{~uint64_t{0}, 0, 0});
      if (name.size() > 16 || FindStored(name_keys[f]) >= 0) continue;  // a repeated name: the first one counts
      size_t i = HashOf(name_keys[f]) & name_mask;
      while (name_table[i] >= 0) i = (i + 1) & name_mask;
      name_table[i] = static_cast<int>(f);
    }
  }

  int FindStored(const NameKey& key) const {
    for (size_t i = HashOf(key) & name_mask;; i = (i + 1) & name_mask) {
      const int f = name_table[i];
      if (f < 0 || name_keys[f] == key) return f;
    }
  }

  int Find(std::string_view field) const {
    if (field.size() <= 16) {
      const int f = FindStored(KeyOf(field));
      if (f >= 0) return f;
    }
    for (size_t f = 0; f < fields.size(); ++f) {
      if (text::EqualsIgnoreCase(fields[f].name, field)) return static_cast<int>(f);
    }
    return -1;
  }

  Status PostPending() {
    if (mode == Mode::kBrowse) return Status::OK();
    if (mode == Mode::kAppend) {
      if (storage == Storage::kStream) {
        const char* record = BatchSlot(batch_used++);
        for (size_t k = 0; k < indexes.size(); ++k) {
          const dbf::Field& f = fields[index_fields[k]];
          keys[k].emplace_back(std::string(record + f.offset, static_cast<size_t>(f.width)), count + 1);
        }
      }
      ++count;
      if (live >= 0) ++live;
      dirty = true;
    } else if (mode == Mode::kEdit) {
      dirty = true;
    }
    mode = Mode::kBrowse;
    UpdateCurrent();
    return Status::OK();
  }

  // Brings every record into memory (see Storage). Keeps the position.
  Status Materialize() {
    if (storage == Storage::kMemory) return Status::OK();
    const std::string prefix = "No se puede leer la tabla " + name + ": ";
    if (storage == Storage::kWindow) {
      PONTEVIA_RETURN_IF_ERROR(lock->ReadAll(&image).WithPrefix(prefix));
      window.reset();
      window_count = 0;
    } else {
      // What was streamed so far becomes the memory image; Close writes the
      // temporary file afresh.
      Status s = WriteBatch();
      StampDbfHeader(count, &header);
      if (s.ok()) s = out->WriteAt(0, header);
      if (s.ok()) s = out->Close();
      out.reset();
      if (s.ok()) s = env->ReadFile(temp_path, &image);
      if (!s.ok()) {
        // The table stays streamed without its file: nothing more can be
        // saved, and Close must say so.
        if (stream_error.ok()) stream_error = s;
        return s.WithPrefix(prefix);
      }
      keys.clear();
    }
    const size_t size = header_length + static_cast<size_t>(count) * record_length;
    if (image.size() < size) {
      return Status::Corrupt("El archivo \"" + path + "\" de la tabla " + name +
                             " se ha acortado mientras se leía: ¿lo está cambiando otro programa?");
    }
    image.resize(size);  // whatever follows the records (0x1A, junk) goes; appends go here
    storage = Storage::kMemory;
    CountLive();
    UpdateCurrent();
    return Status::OK();
  }

  void CountLive() const {
    if (live >= 0) return;
    int64_t n = 0;
    if (storage == Storage::kMemory) {
      const char* p = image.data() + header_length;
      for (uint32_t i = 0; i < count; ++i, p += record_length) n += *p != dbf::kRecordDeleted;
    } else {
      // A separate pass over the flags, through a buffer of its own so that
      // the walk's window stays put.
      std::unique_ptr<char[]> buf(new char[kWindowBytes]);
      const uint32_t per = std::max<uint32_t>(1, static_cast<uint32_t>(kWindowBytes / record_length));
      for (uint32_t first = 0; first < count; first += per) {
        const uint32_t k = std::min(per, count - first);
        size_t got = 0;
        if (!lock->ReadAt(header_length + static_cast<uint64_t>(first) * record_length,
                          static_cast<size_t>(k) * record_length, buf.get(), &got).ok()) {
          return;  // the walk will report the failure; the count stays unknown
        }
        for (size_t off = 0; off + record_length <= got; off += record_length) {
          n += buf[off] != dbf::kRecordDeleted;
        }
      }
    }
    live = n;
  }

  // --- messages -----------------------------------------------------------
  uint32_t RecordNumber() const { return pos + 1; }
  std::string FieldName(int f) const { return U8(fields[f].name); }
  std::string_view FieldBytes(int f) const {
    return std::string_view(cur + fields[f].offset, static_cast<size_t>(fields[f].width));
  }
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

  // Only while editing or appending, when `cur` is the record's own buffer.
  // Every write of a field comes through here.
  char* Writable(int f) {
    if (f < 64) cursor->blank_text &= ~(uint64_t{1} << f);
    return const_cast<char*>(cur) + fields[f].offset;
  }

  void PutText(int f, std::string_view value) {
    dbf::PutText(value, static_cast<size_t>(fields[f].width), Writable(f));
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
    if (ParseDbfBinaryNumber(fields[f].type, dbase7, FieldBytes(f), &v)) return v;
    return WrongKind(f, "numérico");
  }
};

Table::Table(std::unique_ptr<Rep> rep) : rep_(std::move(rep)) {
  for (const dbf::Field& f : rep_->fields) {
    if (f.type == dbf::kTypeCharacter && rep_->slots.size() < 64) rep_->text_fields |= uint64_t{1} << rep_->slots.size();
    rep_->slots.push_back(Slot{static_cast<uint32_t>(f.offset), static_cast<uint32_t>(f.width), f.type});
  }
  rep_->cursor = &cursor_;
  rep_->SyncCursor();
}
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
  rep->BuildNameKeys();
  for (const IndexDef& idx : def.indexes) {
    if (!ValidFieldName(idx.tag)) return invalid("el nombre de índice \"" + U8(idx.tag) + "\" no es válido");
    int f = rep->Find(idx.field);
    if (f < 0) return invalid("el índice " + idx.tag + " usa el campo " + U8(idx.field) + ", que no existe");
    if (rep->fields[f].type != dbf::kTypeCharacter) {
      return invalid("el índice " + idx.tag + " usa el campo " + rep->fields[f].name + ", que no es de texto");
    }
    // Refused here rather than when Close writes the index, after all the work.
    if (rep->fields[f].width > mdx::kMaxKeyLength || rep->indexes.size() == mdx::kMaxTags) {
      return invalid("el índice " + idx.tag + " no cabe en un índice de dBase (claves de 100 caracteres como " +
                     "mucho, 47 índices por tabla)");
    }
    for (const IndexDef& other : rep->indexes) {
      if (text::EqualsIgnoreCase(other.tag, idx.tag)) return invalid("el índice " + idx.tag + " está repetido");
    }
    rep->fields[f].indexed = true;
    rep->index_fields.push_back(f);
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

  rep->header = BuildDbfHeader(rep->fields, !rep->indexes.empty());
  rep->header_length = rep->header.size();
  rep->record_length = offset;
  rep->blank.assign(rep->record_length, ' ');
  rep->batch_records = static_cast<uint32_t>(kWindowBytes / rep->record_length + 1);
  rep->batch.reset(new char[static_cast<size_t>(rep->batch_records) * rep->record_length]);
  rep->keys.resize(rep->indexes.size());
  rep->live = 0;
  rep->dirty = true;  // an empty table is written on Close too
  for (const dbf::Field& f : rep->fields) {
    rep->defs.push_back(FieldDef{f.name, KindOf(f), f.width, f.decimals, f.type});
  }
  // The records stream into NAME.DBF.tmp as they are posted; Close fills in
  // the header and renames the file into place.
  rep->temp_path = rep->path + ".tmp";
  Status s = env->NewWritableFile(rep->temp_path, &rep->out);
  if (!s.ok()) return s.WithPrefix("No se puede crear la tabla " + name + ": ");
  rep->temp_written = true;
  s = rep->out->Append(rep->header);
  if (!s.ok()) return s.WithPrefix("No se puede crear la tabla " + name + ": ");
  rep->storage = Storage::kStream;
  rep->UpdateCurrent();
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
  rep->temp_path = rep->path + ".tmp";
  Status s = env->LockFile(rep->path, mode, &rep->lock);
  if (!s.ok()) return s.WithPrefix(prefix);
  uint64_t size = 0;
  s = rep->lock->Size(&size);
  if (!s.ok()) return s.WithPrefix(prefix);
  std::string head(static_cast<size_t>(std::min<uint64_t>(size, kMaxDbfHeadBytes)), '\0');
  size_t got = 0;
  s = rep->lock->ReadAt(0, head.size(), head.data(), &got);
  if (!s.ok()) return s.WithPrefix(prefix);
  head.resize(got);
  DbfLayout layout;
  s = ReadDbfLayout(rep->path, head, size, &layout);
  if (!s.ok()) return s.WithPrefix(prefix);

  rep->header_length = layout.header_length;
  rep->record_length = layout.record_length;
  rep->count = layout.record_count;
  rep->fields = std::move(layout.fields);
  rep->BuildNameKeys();
  rep->foreign_index = layout.production_index;
  rep->dbase7 = layout.dbase7;
  rep->blank.assign(rep->record_length, ' ');
  for (const dbf::Field& f : rep->fields) {
    rep->defs.push_back(FieldDef{f.name, KindOf(f), f.width, f.decimals, f.type});
  }
  rep->storage = Storage::kWindow;
  rep->window_records = std::max<uint32_t>(1, static_cast<uint32_t>(kWindowBytes / rep->record_length));
  rep->window_records = std::min(rep->window_records, std::max<uint32_t>(1, rep->count));
  rep->window.reset(new char[static_cast<size_t>(rep->window_records) * rep->record_length]);
  // Like the BDE, an opened table stands on its first record.
  s = rep->Seek(0);
  if (s.ok()) s = rep->SkipDeleted();
  if (!s.ok()) return s;
  out->reset(new Table(std::move(rep)));
  return Status::OK();
}

const std::string& Table::name() const { return rep_->name; }
const std::vector<FieldDef>& Table::fields() const { return rep_->defs; }

int64_t Table::RecordCount() const {
  rep_->CountLive();
  return rep_->live >= 0 ? rep_->live : rep_->count;
}

Status Table::First() {
  Rep& r = *rep_;
  if (r.closed) return r.Closed();
  PONTEVIA_RETURN_IF_ERROR(r.PostPending());
  if (r.storage == Storage::kStream && r.count > 0) PONTEVIA_RETURN_IF_ERROR(r.Materialize());
  PONTEVIA_RETURN_IF_ERROR(r.Seek(0));
  return r.SkipDeleted();
}

Status Table::Next() {
  Rep& r = *rep_;
  if (r.closed) return r.Closed();
  PONTEVIA_RETURN_IF_ERROR(r.PostPending());
  // While a table is being created only its last record is at hand, and
  // nothing follows it.
  if (r.storage == Storage::kStream) return r.Seek(r.count);
  PONTEVIA_RETURN_IF_ERROR(r.Seek(r.pos < r.count ? r.pos + 1 : r.count));
  return r.SkipDeleted();
}

bool Table::Eof() const { return rep_->mode != Mode::kAppend && rep_->pos >= rep_->count; }

Status Table::Append() {
  Rep& r = *rep_;
  // A table being created, with a blank slot ready: the common case, short.
  if (r.storage == Storage::kStream && r.mode == Mode::kBrowse && !r.closed && r.batch_used < r.batch_blank) {
    char* slot = r.BatchSlot(r.batch_used);
    r.pos = r.count;
    r.mode = Mode::kAppend;
    r.cur = slot;
    cursor_.record = slot;
    cursor_.writable = true;
    cursor_.blank_text = r.text_fields;
    return Status::OK();
  }
  if (r.closed) return r.Closed();
  if (r.foreign_index) return r.ForeignIndex();
  PONTEVIA_RETURN_IF_ERROR(r.PostPending());
  if (r.storage == Storage::kWindow) PONTEVIA_RETURN_IF_ERROR(r.Materialize());
  if (r.storage == Storage::kStream) {
    if (r.batch_used == r.batch_records) {
      Status s = r.WriteBatch();
      if (!s.ok()) {
        r.pos = r.count;
        r.UpdateCurrent();
        return s.WithPrefix("No se puede guardar la tabla " + r.name + ": ");
      }
    }
    r.BlankAhead();
  } else {
    r.image.append(r.blank);
  }
  r.pos = r.count;
  r.mode = Mode::kAppend;
  r.UpdateCurrent();
  cursor_.blank_text = r.text_fields;
  return Status::OK();
}

Status Table::Edit() {
  Rep& r = *rep_;
  if (r.closed) return r.Closed();
  if (r.foreign_index) return r.ForeignIndex();
  if (r.mode != Mode::kBrowse) return Status::OK();  // already pending
  if (r.pos >= r.count) return r.NoCurrentRecord();
  PONTEVIA_RETURN_IF_ERROR(r.Materialize());
  r.mode = Mode::kEdit;
  r.UpdateCurrent();
  return Status::OK();
}

Status Table::Post() {
  Rep& r = *rep_;
  // A record appended to a table being created stays where it is, in the
  // batch; it only has to be counted (and its keys taken, below).
  if (r.storage == Storage::kStream && r.mode == Mode::kAppend && r.indexes.empty()) {
    ++r.batch_used;
    ++r.count;
    if (r.live >= 0) ++r.live;
    r.dirty = true;
    r.mode = Mode::kBrowse;
    cursor_.writable = false;
    cursor_.blank_text = 0;
    return Status::OK();
  }
  if (r.closed) return r.Closed();
  return r.PostPending();
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

Status Table::SetTextSlow(int f, std::string_view value) {
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
  Rep& r = *rep_;
  // The common case first, without building a Status for the checks.
  if (cursor_.writable && static_cast<size_t>(f) < r.fields.size() && IsNumeric(r.fields[f]) &&
      FormatDbfNumber(value, r.fields[f].width, r.fields[f].decimals, r.Writable(f))) {
    return Status::OK();
  }
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
  // A character field, the common case, without building a Status first.
  if (cursor_.record != nullptr && static_cast<size_t>(f) < cursor_.field_count &&
      cursor_.slots[f].type == dbf::kTypeCharacter) {
    return std::string(TextView(f));
  }
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

Status Table::Close() {
  Rep& r = *rep_;
  if (r.closed) return Status::OK();
  Status s = r.PostPending();
  r.closed = true;
  r.SyncCursor();
  // Released before the rename: on Windows a file held open cannot be replaced.
  r.lock.reset();
  if (!s.ok() || !r.dirty) return s;

  const std::string prefix = "No se puede guardar la tabla " + r.name + ": ";
  // The records go first: a table that could not be written needs no index.
  if (r.storage == Storage::kStream) {
    s = r.WriteBatch();
    if (!s.ok()) return s.WithPrefix(prefix);
  }
  if (!r.indexes.empty()) {
    std::vector<MdxTag> tags;
    for (size_t k = 0; k < r.indexes.size(); ++k) {
      const dbf::Field& f = r.fields[r.index_fields[k]];
      MdxTag tag;
      tag.name = r.indexes[k].tag;
      tag.expression = f.name;
      tag.key_length = f.width;
      if (r.storage == Storage::kStream) {
        tag.keys = std::move(r.keys[k]);
      } else {
        tag.keys.reserve(r.count);
        for (uint32_t i = 0; i < r.count; ++i) {
          tag.keys.emplace_back(std::string(r.RecordAt(i) + f.offset, static_cast<size_t>(f.width)), i + 1);
        }
      }
      tags.push_back(std::move(tag));
    }
    s = WriteMdx(r.env, r.mdx_path, r.name, tags);
    if (!s.ok()) return s.WithPrefix(prefix);
  }
  if (r.storage == Storage::kStream) {
    StampDbfHeader(r.count, &r.header);
    const char eof = static_cast<char>(dbf::kEndOfFile);
    s = r.out->Append(std::string_view(&eof, 1));
    if (s.ok()) s = r.out->WriteAt(0, r.header);
    if (s.ok()) s = r.out->Close();
    r.out.reset();
    if (s.ok()) s = r.env->RenameFile(r.temp_path, r.path);
  } else {
    s = WriteDbfImage(r.env, r.path, r.count, &r.image);
  }
  // Either way the temporary file is the table now (a table created, then
  // brought into memory, was written afresh under the same temporary name).
  if (s.ok()) r.temp_written = false;
  if (!s.ok()) {
    // A new index without its table would only mislead the next reader.
    if (!r.indexes.empty()) r.env->RemoveFile(r.mdx_path).ok();
    return s.WithPrefix(prefix);
  }
  std::string().swap(r.image);
  return Status::OK();
}

}  // namespace pontevia::access
