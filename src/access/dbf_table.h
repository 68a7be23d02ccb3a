// A dBase table of the working folder, as the builders, the courses dialog
// and the import use it: create afresh, open shared or exclusive, walk,
// append, edit, read and write fields by name, close. The file format is
// written down in doc/dbf_format.md and doc/mdx_format.md.
//
// Text in and out is Windows-1252 bytes, exactly as stored. A text longer
// than its field is cut to the field's width without error; a character field
// reads back without trailing blanks. Deleted records ('*') are skipped by the
// walk. Nothing reaches the real NAME.DBF/NAME.MDX until Close(): the new
// contents are written under a temporary name (NAME.DBF.tmp) and renamed into
// place, so a crash never leaves a half-written table under the real name.
//
// Costs: an opened table that is only read is walked through a 1 MiB window;
// a created table that is only appended to fills its records in place in a
// 1 MiB batch that is written to the temporary file in one go. Anything else
// (an edit, an append to an opened table, walking back over a table being
// created) first brings the whole table into memory. A field name given as stored (upper case) is found by hashing; in
// another letter case it costs a walk over the names. FieldIndex plus the
// by-position calls and TextView skip the lookup altogether, and the common
// case of SetText(int) and TextView is inline.
//
// Not thread-safe; one Table is used by one thread (the last-update date is
// taken with std::localtime).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "access/dbf_record.h"
#include "access/env.h"
#include "base/status.h"

namespace pontevia::access {

enum class FieldType {
  kCharacter,  // 'C', width 1..254
  kLogical,    // 'L', width 1
  kInteger,    // 32-bit integer, stored as 'N' width 11, no decimals
  kFloat,      // floating-point, a numeric column that keeps fractions
  kOther,      // only in tables others wrote (date, memo...): read as raw text
};

struct FieldDef {
  std::string name;  // upper case, at most 10 characters, as on disk
  FieldType type = FieldType::kCharacter;
  int width = 0;  // character fields only; ignored for the others
  // Filled in for opened tables: the width and decimals on disk, and the
  // type letter ('C', 'N', 'F', 'L', 'D'...).
  int decimals = 0;
  char disk_type = 0;
};

// An index tag of the production index NAME.MDX: ascending, duplicates
// allowed, over one character field.
struct IndexDef {
  std::string tag;    // e.g. "ABREV"
  std::string field;  // e.g. "ABREV"
};

struct TableDef {
  std::vector<FieldDef> fields;
  std::vector<IndexDef> indexes;  // empty: no MDX is written
};

class Table {
 public:
  // Deletes folder/NAME.DBF and folder/NAME.MDX when present (a file that
  // cannot be deleted, e.g. held by Horalia, fails with kLocked before
  // anything else is touched), then creates the table empty with `def` and
  // returns it ready for appending. `name` is the table name, e.g.
  // "ASIGNOMT" (a trailing ".DBF" is ignored). A bad `def` is
  // kInvalidArgument and deletes nothing. Fields: character 1..254 ('C'),
  // logical ('L'), integer N(11,0), float N(20,4); see doc/dbf_format.md.
  static Status Create(Env* env, const std::string& folder, const std::string& name,
                       const TableDef& def, std::unique_ptr<Table>* out);

  // Opens folder/NAME.DBF (found whatever the case of its file name) and
  // keeps it held with `mode` until Close(); the table stands on its first
  // record. Fails with kNotFound when missing, kLocked when another program
  // holds it against `mode`, kCorrupt when the bytes do not describe a table
  // (the message names the file and what is wrong). A table whose
  // production-index flag is set can be read but not changed (Edit and
  // Append fail), as its index could not be kept up to date.
  static Status Open(Env* env, const std::string& folder, const std::string& name,
                     ShareMode mode, std::unique_ptr<Table>* out);

  ~Table();  // abandons unsaved changes; call Close() to keep them
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;

  const std::string& name() const;
  const std::vector<FieldDef>& fields() const;
  // Records not marked deleted. For a table being walked through its window
  // the first call reads the deletion flags of the whole file once.
  int64_t RecordCount() const;

  // Walk. Moving (First/Next) posts a pending edit or append first, as the
  // BDE does; a failure of that post is returned, and so is a read failure
  // (kCorrupt when the file was cut short meanwhile). At the end (Eof) every
  // field reads blank.
  Status First();
  Status Next();
  bool Eof() const;

  // Starts a new blank record at the end; it becomes current. Post() stores it.
  Status Append();
  // Puts the current record into editing. Post() or a move stores the change.
  Status Edit();
  // Stores a pending append or edit. Without one it does nothing.
  Status Post();

  // The position of a field; kInvalidArgument naming table and field when
  // the table has no such field. Names compare case-insensitively.
  Result<int> FieldIndex(std::string_view field) const;

  // Writes require a pending Append() or Edit(); otherwise, and for a field
  // of another kind or a value that does not fit, kInvalidArgument naming the
  // table and field. SetText on a numeric field takes a number written with
  // ',' or '.' (blank clears it); on a logical field "T"/"S"/"Y" or
  // "F"/"N" (blank clears it). SetFloat and SetInteger on a character field
  // store the number as text with a comma. SetBool on a character field
  // stores "T" or "F".
  Status SetText(std::string_view field, std::string_view value);
  Status SetBool(std::string_view field, bool value);
  Status SetFloat(std::string_view field, double value);
  Status SetInteger(std::string_view field, int64_t value);
  // The same by position (from FieldIndex), for hot loops.
  // Inline, below; forced, as a compiler left to itself may keep a call per
  // field, which costs more than the work.
  [[gnu::always_inline]] Status SetText(int field, std::string_view value);
  Status SetBool(int field, bool value);
  Status SetFloat(int field, double value);
  Status SetInteger(int field, int64_t value);

  // Reads of the current record. A character field comes without trailing
  // blanks. A blank numeric field reads as 0 (float, integer) and as the
  // empty text. A numeric field whose bytes are not a number is kCorrupt
  // naming the table, field and record. GetText of a numeric field is its
  // text value (below); of a logical field "T", "F" or "" when never set.
  // GetFloat and GetInteger of a character field read the number it holds
  // (',' or '.' as decimal point, blank as 0).
  Result<std::string> GetText(std::string_view field) const;
  Result<double> GetFloat(std::string_view field) const;
  // The value rounded to the nearest whole number, halves to even.
  Result<int64_t> GetInteger(std::string_view field) const;
  // Text value of a numeric field: a whole number as its decimal digits with
  // a minus sign when negative, no separator, no leading zeros ("3"); a value
  // with a fraction with a comma and no trailing zeros ("2,5"), as numbers
  // held as text are written in the working tables; blank as "". Of a
  // character field, its text.
  Result<std::string> GetNumberText(std::string_view field) const;
  Result<bool> GetBool(std::string_view field) const;

  // The same by position (from FieldIndex), for hot loops.
  Result<std::string> GetText(int field) const;
  Result<double> GetFloat(int field) const;
  Result<int64_t> GetInteger(int field) const;
  Result<std::string> GetNumberText(int field) const;
  Result<bool> GetBool(int field) const;
  // A view into the record buffer of a character field (trailing blanks and
  // 0x00 bytes removed), valid until the next move, write or Close(). Empty
  // for a bad position. Inline, below.
  [[gnu::always_inline]] std::string_view TextView(int field) const;

  // Stores pending changes (post), writes the table and, when it has index
  // tags, rebuilds NAME.MDX; releases the file. Nothing is written when
  // nothing changed. After Close() the object may only be destroyed.
  Status Close();

 private:
  struct Rep;

  // What the inline calls need to reach a field of the current record
  // without going through Rep, which keeps it up to date.
  struct Slot {
    uint32_t offset;  // from the start of the record
    uint32_t width;
    char type;  // as on disk ('C', 'N'...)
  };
  struct Cursor {
    const Slot* slots = nullptr;  // one per field, owned by Rep
    size_t field_count = 0;
    const char* record = nullptr;  // the current record (blanks at the end); null once closed
    bool writable = false;         // an Append or Edit is pending
    // Bit f set: field f (of the first 64) is a character field of a
    // pending Append and still all blanks, so text put there needs no
    // padding. Every write of the field clears it.
    uint64_t blank_text = 0;
  };

  explicit Table(std::unique_ptr<Rep> rep);
  // SetText(int) but for its inline case.
  Status SetTextSlow(int field, std::string_view value);

  Cursor cursor_;
  std::unique_ptr<Rep> rep_;
};

// Text into a field of a record just appended, field by field, is how every
// table is built; that case, for the short texts most fields hold, is a few
// instructions here. Longer text and every other case go out of line.
inline Status Table::SetText(int field, std::string_view value) {
  const uint64_t bit = static_cast<unsigned>(field) < 64 ? uint64_t{1} << field : 0;
  if ((cursor_.blank_text & bit) && value.size() <= 16) {
    cursor_.blank_text &= ~bit;
    const Slot& s = cursor_.slots[field];
    dbf::CopyShort(const_cast<char*>(cursor_.record) + s.offset, value.data(),
                   value.size() < s.width ? value.size() : s.width);  // longer text is cut, as the BDE does
    return Status::OK();
  }
  return SetTextSlow(field, value);
}

inline std::string_view Table::TextView(int field) const {
  if (cursor_.record == nullptr || static_cast<size_t>(field) >= cursor_.field_count) return std::string_view();
  const Slot& s = cursor_.slots[field];
  return dbf::TrimmedText(cursor_.record + s.offset, s.width);
}

}  // namespace pontevia::access
