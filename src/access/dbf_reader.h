// Reading a dBase table from its bytes without trusting them: the header is
// checked against the size of the file before any record is touched, so a
// damaged or hostile file gives kCorrupt naming it, never an over-read. The
// field-value decoders take a field's raw bytes. See ../../doc/dbf_format.md.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "access/dbf_format.h"
#include "base/status.h"

namespace pontevia::access {

struct DbfLayout {
  uint8_t version = 0;
  uint32_t record_count = 0;  // deleted records included
  size_t header_length = 0;   // records start here
  size_t record_length = 0;   // flag byte included
  bool production_index = false;
  bool dbase7 = false;  // 68-byte header and 48-byte field descriptors
  std::vector<dbf::Field> fields;
};

// The most a header can span (its length is 16 bits): reading this much of
// the start of a file is always enough for ReadDbfLayout.
constexpr size_t kMaxDbfHeadBytes = 65536;

// Checks the start of a file of `file_size` bytes (`head`: its first
// min(file_size, kMaxDbfHeadBytes) bytes or more; `path` names it in
// messages) and fills *layout. On success the header lies inside `head`,
// every record 0..record_count-1 inside the file and every field inside its
// record.
Status ReadDbfLayout(const std::string& path, std::string_view head, uint64_t file_size, DbfLayout* layout);
// The same for a whole file in memory.
Status ReadDbfLayout(const std::string& path, std::string_view bytes, DbfLayout* layout);

enum class DbfNumber { kBlank, kValue, kBad };

// Decodes the bytes of an N or F field: blanks or 0x00 only is kBlank (with
// *value 0); a number with '.' or ',' as decimal point is kValue; anything
// else is kBad.
DbfNumber ParseDbfNumber(std::string_view bytes, double* value);

// The text value of an N or F field: "" when blank; a whole number as its
// digits with '-' when negative and no leading zeros ("3", "-12"); a value
// with a fraction with a comma and no trailing zeros ("2,5"), since numbers
// held as text use the comma in the working tables. False when kBad.
bool DbfNumberText(std::string_view bytes, std::string* text);

// Decodes the binary numbers other writers use (TDbf writes integers as
// 'I' at table level 7): 'I' and '+' (32-bit integer; big-endian with the
// sign bit flipped in the dBase 7 layout, little-endian otherwise), 'O'
// (dBase 7 double, big-endian, bits arranged to sort bytewise) and 'B' of
// width 8 (Visual FoxPro double, little-endian). All-zero bytes in the
// dBase 7 layout are a value never set and read as 0. False for any other
// type or width.
bool ParseDbfBinaryNumber(char type, bool dbase7, std::string_view bytes, double* value);

// Decodes an L field: 1 true (T t Y y), 0 false (F f N n, and blank, '?' or
// 0x00 for a value never set), -1 for any other byte.
int ParseDbfLogical(char byte);

}  // namespace pontevia::access
