#include "access/dbf_writer.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>

#include "access/env.h"

namespace pontevia::access {
namespace {

void PutU16(std::string* b, size_t at, uint16_t v) {
  (*b)[at] = static_cast<char>(v & 0xFF);
  (*b)[at + 1] = static_cast<char>(v >> 8);
}

void PutU32(std::string* b, size_t at, uint32_t v) {
  PutU16(b, at, static_cast<uint16_t>(v & 0xFFFF));
  PutU16(b, at + 2, static_cast<uint16_t>(v >> 16));
}

// Right-aligns digits[0..n) in a field of `width` bytes.
bool PlaceRight(const char* digits, size_t n, int width, char* out) {
  if (n > static_cast<size_t>(width)) return false;
  std::memset(out, ' ', static_cast<size_t>(width) - n);
  std::memcpy(out + (width - n), digits, n);
  return true;
}

}  // namespace

std::string BuildDbfHeader(const std::vector<dbf::Field>& fields, bool production_index) {
  const size_t header_length = dbf::kHeaderSize + dbf::kDescriptorSize * fields.size() + 1;
  size_t record_length = 1;
  for (const dbf::Field& f : fields) record_length += static_cast<size_t>(f.width);
  std::string h(header_length, '\0');
  h[dbf::kVersionOffset] = static_cast<char>(dbf::kVersionDbase4);
  PutU16(&h, dbf::kHeaderLengthOffset, static_cast<uint16_t>(header_length));
  PutU16(&h, dbf::kRecordLengthOffset, static_cast<uint16_t>(record_length));
  h[dbf::kProductionIndexOffset] = production_index ? 1 : 0;
  h[dbf::kLanguageDriverOffset] = static_cast<char>(dbf::kLanguageDriverAnsi1252);
  size_t pos = dbf::kHeaderSize;
  for (const dbf::Field& f : fields) {
    std::memcpy(&h[pos], f.name.data(), std::min(f.name.size(), dbf::kMaxFieldNameLength));
    h[pos + dbf::kFieldTypeOffset] = f.type;
    h[pos + dbf::kFieldWidthOffset] = static_cast<char>(f.width);
    h[pos + dbf::kFieldDecimalsOffset] = static_cast<char>(f.decimals);
    h[pos + dbf::kFieldIndexFlagOffset] = f.indexed ? 1 : 0;
    pos += dbf::kDescriptorSize;
  }
  h[pos] = static_cast<char>(dbf::kHeaderTerminator);
  return h;
}

bool FormatDbfNumber(double value, int width, int decimals, char* out) {
  if (!std::isfinite(value)) return false;
  // Common case without to_chars: when value * 10^decimals comes out as a
  // whole number below 2^52, the exact product lies within half a unit of
  // it, so that whole number is also what correct rounding gives.
  static constexpr double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
  if (decimals >= 0 && decimals <= 9) {
    const double scaled = value * kPow10[decimals];
    if (std::fabs(scaled) < 4503599627370496.0 && std::floor(scaled) == scaled) {
      int64_t n = static_cast<int64_t>(scaled);
      const bool negative = n < 0;
      uint64_t u = negative ? static_cast<uint64_t>(-n) : static_cast<uint64_t>(n);
      char buf[32];
      char* p = buf + sizeof buf;
      for (int d = 0; d < decimals; ++d) {
        *--p = static_cast<char>('0' + u % 10);
        u /= 10;
      }
      if (decimals > 0) *--p = '.';
      do {
        *--p = static_cast<char>('0' + u % 10);
        u /= 10;
      } while (u != 0);
      if (negative) *--p = '-';
      return PlaceRight(p, static_cast<size_t>(buf + sizeof buf - p), width, out);
    }
  }
  char buf[400];  // the longest fixed form of a double (about 310 digits) and decimals
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf - 1, value, std::chars_format::fixed, decimals);
  if (ec != std::errc()) return false;
  size_t n = static_cast<size_t>(end - buf);
  buf[n] = '\0';
  // A tiny negative value rounds to "-0.0000"; dBase has no negative zero.
  if (buf[0] == '-' && std::strspn(buf + 1, "0.") == n - 1) {
    std::memmove(buf, buf + 1, --n);
  }
  return PlaceRight(buf, n, width, out);
}

bool FormatDbfInteger(int64_t value, int width, int decimals, char* out) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + 24, value);
  size_t n = static_cast<size_t>(end - buf);
  if (decimals > 0) {
    if (decimals > 30) return false;
    buf[n++] = '.';
    std::memset(buf + n, '0', static_cast<size_t>(decimals));
    n += static_cast<size_t>(decimals);
  }
  return PlaceRight(buf, n, width, out);
}

void StampDbfHeader(uint32_t record_count, std::string* bytes) {
  std::time_t now = std::time(nullptr);
  const std::tm* today = std::localtime(&now);  // single-threaded core; see dbf_table.h
  const int years = today ? today->tm_year : 0;
  (*bytes)[dbf::kDateOffset] = static_cast<char>(years < 0 ? 0 : years > 255 ? 255 : years);
  (*bytes)[dbf::kDateOffset + 1] = static_cast<char>(today ? today->tm_mon + 1 : 1);
  (*bytes)[dbf::kDateOffset + 2] = static_cast<char>(today ? today->tm_mday : 1);
  PutU32(bytes, dbf::kRecordCountOffset, record_count);
}

Status WriteDbfImage(Env* env, const std::string& path, uint32_t record_count, std::string* image) {
  StampDbfHeader(record_count, image);
  return ReplaceFileContents(env, path, [image](WritableFile* file) {
    PONTEVIA_RETURN_IF_ERROR(file->Append(*image));
    const char eof = static_cast<char>(dbf::kEndOfFile);
    return file->Append(std::string_view(&eof, 1));
  });
}

}  // namespace pontevia::access
