#include "access/dbf_reader.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <cstdio>

#include "access/dbf_record.h"
#include "text/ansi.h"

namespace pontevia::access {
namespace {

uint16_t U16(std::string_view b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | (static_cast<uint8_t>(b[at + 1]) << 8));
}

uint32_t U32(std::string_view b, size_t at) {
  return static_cast<uint32_t>(U16(b, at)) | (static_cast<uint32_t>(U16(b, at + 2)) << 16);
}

// Version bytes of the dBase III+/IV/5, FoxPro and Visual FoxPro families,
// which share the 32-byte descriptor layout. Memo files are never opened, so
// the memo variants read like the rest.
bool KnownVersion(uint8_t v) {
  switch (v) {
    case 0x03: case 0x04: case 0x05: case 0x30: case 0x31: case 0x32: case 0x43: case 0x63:
    case 0x7B: case 0x83: case 0x8B: case 0x8C: case 0xCB: case 0xE5: case 0xF5: case 0xFB:
      return true;
    default:
      return false;
  }
}

std::string Hex(uint8_t v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "0x%02X", v);
  return buf;
}

struct DescriptorShape {
  size_t first;       // offset of the first descriptor
  size_t size;        // bytes per descriptor
  size_t name_size;
  size_t type_at, width_at, decimals_at;
  size_t index_flag_at;  // == size when the layout has none
};

constexpr DescriptorShape kDbase4Shape = {dbf::kHeaderSize,       dbf::kDescriptorSize,
                                          dbf::kFieldNameSize,    dbf::kFieldTypeOffset,
                                          dbf::kFieldWidthOffset, dbf::kFieldDecimalsOffset,
                                          dbf::kFieldIndexFlagOffset};
constexpr DescriptorShape kDbase7Shape = {dbf::kDbase7HeaderSize,       dbf::kDbase7DescriptorSize,
                                          dbf::kDbase7FieldNameSize,    dbf::kDbase7FieldTypeOffset,
                                          dbf::kDbase7FieldWidthOffset, dbf::kDbase7FieldDecimalsOffset,
                                          dbf::kDbase7DescriptorSize};

// Parses the descriptors between shape.first and the header length. Returns
// "" on success, else what is wrong (Spanish, for the message).
std::string ParseDescriptors(std::string_view bytes, size_t header_length, const DescriptorShape& shape,
                             std::vector<dbf::Field>* fields) {
  fields->clear();
  size_t pos = shape.first;
  size_t offset = 1;  // after the deletion flag
  while (true) {
    if (pos >= header_length) return "falta el byte 0x0D que cierra la lista de campos";
    if (static_cast<uint8_t>(bytes[pos]) == dbf::kHeaderTerminator) return "";
    const int number = static_cast<int>(fields->size()) + 1;
    if (pos + shape.size > header_length) {
      return "la descripción del campo " + std::to_string(number) + " pasa del final de la cabecera";
    }
    std::string_view d = bytes.substr(pos, shape.size);
    dbf::Field f;
    std::string_view name = d.substr(0, shape.name_size);
    name = name.substr(0, std::min(name.find('\0'), name.size()));
    if (name.empty()) return "el campo " + std::to_string(number) + " no tiene nombre";
    f.name = std::string(name);
    f.type = d[shape.type_at];
    const uint8_t type = static_cast<uint8_t>(f.type);
    if (type <= 0x20 || type >= 0x7F) {
      return "el campo " + text::AnsiToUtf8(f.name) + " es de un tipo desconocido (" + Hex(type) + ")";
    }
    f.width = static_cast<uint8_t>(d[shape.width_at]);
    f.decimals = static_cast<uint8_t>(d[shape.decimals_at]);
    if (f.width == 0) return "el campo " + text::AnsiToUtf8(f.name) + " tiene ancho 0";
    f.indexed = shape.index_flag_at < shape.size && d[shape.index_flag_at] != 0;
    f.offset = offset;
    offset += static_cast<size_t>(f.width);
    fields->push_back(std::move(f));
    pos += shape.size;
  }
}

// Field bytes without surrounding blanks and 0x00 padding. Numbers are
// right-aligned, so leading blanks go eight at a time.
std::string_view TrimNumber(std::string_view b) {
  size_t s = 0, e = b.size();
  while (e - s >= 8 && dbf::Load64(b.data() + s) == dbf::kBlanks8) s += 8;
  while (s < e && (b[s] == ' ' || b[s] == '\0')) ++s;
  while (e > s && (b[e - 1] == ' ' || b[e - 1] == '\0')) --e;
  return b.substr(s, e - s);
}

}  // namespace

Status ReadDbfLayout(const std::string& path, std::string_view bytes, DbfLayout* layout) {
  return ReadDbfLayout(path, bytes, bytes.size(), layout);
}

Status ReadDbfLayout(const std::string& path, std::string_view head, uint64_t file_size, DbfLayout* layout) {
  std::string_view bytes = head.substr(0, std::min<uint64_t>(head.size(), file_size));
  auto corrupt = [&path](const std::string& what) {
    return Status::Corrupt("El archivo \"" + path + "\" no es una tabla dBase válida o está dañado: " + what +
                           ".");
  };
  if (bytes.size() < dbf::kHeaderSize) {
    return corrupt("es más corto que la cabecera (" + std::to_string(bytes.size()) + " bytes)");
  }
  DbfLayout l;
  l.version = static_cast<uint8_t>(bytes[dbf::kVersionOffset]);
  if (!KnownVersion(l.version)) return corrupt("la versión " + Hex(l.version) + " no es de dBase");
  l.record_count = U32(bytes, dbf::kRecordCountOffset);
  l.header_length = U16(bytes, dbf::kHeaderLengthOffset);
  l.record_length = U16(bytes, dbf::kRecordLengthOffset);
  l.production_index = bytes[dbf::kProductionIndexOffset] != 0;
  if (l.header_length < dbf::kHeaderSize + 1 || l.header_length > bytes.size()) {
    return corrupt("la longitud de la cabecera (" + std::to_string(l.header_length) +
                   " bytes) no cabe en el archivo (" + std::to_string(file_size) + " bytes)");
  }
  if (l.record_length < 2) {
    return corrupt("la longitud de registro (" + std::to_string(l.record_length) + ") es imposible");
  }
  std::string problem = ParseDescriptors(bytes, l.header_length, kDbase4Shape, &l.fields);
  if (!problem.empty() && (l.version == 0x04 || l.version == 0x8C)) {
    std::vector<dbf::Field> fields7;
    if (ParseDescriptors(bytes, l.header_length, kDbase7Shape, &fields7).empty()) {
      problem.clear();
      l.fields = std::move(fields7);
      l.dbase7 = true;
    }
  }
  if (!problem.empty()) return corrupt(problem);
  if (l.fields.empty()) return corrupt("no define ningún campo");
  for (const dbf::Field& f : l.fields) {
    if (f.offset + static_cast<size_t>(f.width) > l.record_length) {
      return corrupt("el campo " + text::AnsiToUtf8(f.name) + " pasa del final del registro (longitud " +
                     std::to_string(l.record_length) + ")");
    }
  }
  const uint64_t end = static_cast<uint64_t>(l.header_length) +
                       static_cast<uint64_t>(l.record_count) * static_cast<uint64_t>(l.record_length);
  if (end > file_size) {
    const uint64_t present = (file_size - l.header_length) / l.record_length;
    return corrupt("dice tener " + std::to_string(l.record_count) + " registros, pero solo hay " +
                   std::to_string(present) + " en el archivo (¿está cortado?)");
  }
  *layout = std::move(l);
  return Status::OK();
}

// The common case, "[-]digits[.digits]" with at most 15 digits, without
// from_chars: the digits make an exact integer and dividing it by an exact
// power of ten rounds correctly, so the result is the same. False when the
// text is of another shape.
bool ParseSimpleDecimal(std::string_view t, double* value) {
  static constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  size_t i = 0;
  const bool negative = t[0] == '-';
  if (negative) i = 1;
  int64_t m = 0;
  int digits = 0, fraction = -1;
  for (; i < t.size(); ++i) {
    const char c = t[i];
    if (c >= '0' && c <= '9') {
      m = m * 10 + (c - '0');
      if (++digits > 15) return false;
      if (fraction >= 0) ++fraction;
    } else if (c == '.' && fraction < 0) {
      fraction = 0;
    } else {
      return false;
    }
  }
  if (digits == 0) return false;
  double v = static_cast<double>(m);
  if (fraction > 0) v /= kPow10[fraction];
  *value = negative ? -v : v;
  return true;
}

DbfNumber ParseDbfNumber(std::string_view bytes, double* value) {
  *value = 0;
  std::string_view t = TrimNumber(bytes);
  if (t.empty()) return DbfNumber::kBlank;
  if (ParseSimpleDecimal(t, value)) return DbfNumber::kValue;
  char buf[260];
  if (t.size() >= sizeof buf) return DbfNumber::kBad;
  size_t n = 0;
  size_t i = 0;
  if (t[0] == '+') {
    i = 1;  // from_chars takes no '+'
  } else if (t[0] == '-') {
    buf[n++] = '-';
    i = 1;
  }
  // A digit or a point must follow the sign: from_chars would also take
  // "inf" and "nan", which no dBase program writes.
  if (i >= t.size() || !((t[i] >= '0' && t[i] <= '9') || t[i] == '.' || t[i] == ',')) return DbfNumber::kBad;
  for (; i < t.size(); ++i) buf[n++] = t[i] == ',' ? '.' : t[i];
  double v = 0;
  auto [end, ec] = std::from_chars(buf, buf + n, v, std::chars_format::general);
  if (ec != std::errc() || end != buf + n || !std::isfinite(v)) return DbfNumber::kBad;
  *value = v;
  return DbfNumber::kValue;
}

bool DbfNumberText(std::string_view bytes, std::string* text) {
  double value;
  const DbfNumber kind = ParseDbfNumber(bytes, &value);
  text->clear();
  if (kind == DbfNumber::kBad) return false;
  if (kind == DbfNumber::kBlank) return true;
  std::string_view t = TrimNumber(bytes);
  if (t.find_first_of("eE") != std::string_view::npos) {
    // Exponent notation (F fields): go through the value, shortest form.
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    if (ec != std::errc()) return false;
    return DbfNumberText(std::string_view(buf, static_cast<size_t>(end - buf)), text);
  }
  bool negative = false;
  if (t[0] == '+' || t[0] == '-') {
    negative = t[0] == '-';
    t.remove_prefix(1);
  }
  const size_t point = t.find_first_of(".,");
  std::string_view whole = t.substr(0, point);
  std::string_view fraction = point == std::string_view::npos ? std::string_view() : t.substr(point + 1);
  while (!whole.empty() && whole[0] == '0') whole.remove_prefix(1);
  while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);
  if (whole.empty() && fraction.empty()) {
    *text = "0";  // also "-0" and "-0.00"
    return true;
  }
  if (negative) text->push_back('-');
  if (whole.empty()) {
    text->push_back('0');
  } else {
    text->append(whole);
  }
  if (!fraction.empty()) {
    text->push_back(',');
    text->append(fraction);
  }
  return true;
}

int ParseDbfLogical(char byte) {
  switch (byte) {
    case 'T': case 't': case 'Y': case 'y':
      return 1;
    case 'F': case 'f': case 'N': case 'n': case ' ': case '?': case '\0':
      return 0;
    default:
      return -1;
  }
}

bool ParseDbfBinaryNumber(char type, bool dbase7, std::string_view bytes, double* value) {
  auto big_endian = [&bytes] {
    uint64_t u = 0;
    for (char c : bytes) u = u << 8 | static_cast<uint8_t>(c);
    return u;
  };
  auto little_endian = [&bytes] {
    uint64_t u = 0;
    for (size_t i = bytes.size(); i > 0; --i) u = u << 8 | static_cast<uint8_t>(bytes[i - 1]);
    return u;
  };
  const bool never_set = dbase7 && bytes.find_first_not_of('\0') == std::string_view::npos;
  if ((type == 'I' || type == '+') && bytes.size() == 4) {
    const uint32_t u = static_cast<uint32_t>(dbase7 ? big_endian() ^ 0x80000000u : little_endian());
    *value = never_set ? 0 : static_cast<int32_t>(u);
    return true;
  }
  if ((type == 'O' && dbase7 && bytes.size() == 8) || (type == 'B' && !dbase7 && bytes.size() == 8)) {
    uint64_t u = little_endian();
    if (type == 'O') {
      // Positive values are stored with the sign bit set, negative ones with
      // every bit inverted, so that the bytes sort as the numbers do.
      u = big_endian();
      u = (u >> 63) ? u ^ (uint64_t{1} << 63) : ~u;
    }
    double d = 0;
    std::memcpy(&d, &u, sizeof d);
    *value = never_set ? 0 : d;
    return true;
  }
  return false;
}

}  // namespace pontevia::access
