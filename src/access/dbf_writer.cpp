#include "access/dbf_writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>

#include "access/dbf_record.h"
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
  dbf::FillBlanks(out, static_cast<size_t>(width) - n);
  dbf::CopyBytes(out + (width - n), digits, n);
  return true;
}

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes u / 10^decimals in fixed notation so that it ends just before `end`,
// and returns where it starts. Digits go two at a time, halving the chain of
// divisions; a narrow U makes each of them cheaper still.
template <typename U>
char* WriteFixed(U u, int decimals, char* end) {
  char* p = end;
  int d = decimals;
  if (d & 1) {
    *--p = static_cast<char>('0' + u % 10);
    u /= 10;
    --d;
  }
  for (; d > 0; d -= 2) {
    p -= 2;
    std::memcpy(p, kDigitPairs + 2 * (u % 100), 2);
    u /= 100;
  }
  if (decimals > 0) *--p = '.';
  while (u >= 100) {
    p -= 2;
    std::memcpy(p, kDigitPairs + 2 * (u % 100), 2);
    u /= 100;
  }
  if (u >= 10) {
    p -= 2;
    std::memcpy(p, kDigitPairs + 2 * u, 2);
  } else {
    *--p = static_cast<char>('0' + u);
  }
  return p;
}

// `scaled` / 10^decimals in fixed notation, right-aligned. Written in place,
// right to left: building it aside and copying it over would read back bytes
// just stored one or two at a time, which stalls the processor.
bool PlaceFixed(int64_t scaled, int decimals, int width, char* out) {
  const bool negative = scaled < 0;
  const uint64_t u = negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  // Callers pass less than 2^52 and at most 9 decimals: 16 digits, a point
  // and a sign at most, so a field that wide needs no check.
  if (width < 18) {
    int digits = 1;
    for (uint64_t limit = 10; digits < 19 && u >= limit; limit *= 10) ++digits;
    const int length = std::max(digits, decimals + 1) + (decimals > 0 ? 1 : 0) + (negative ? 1 : 0);
    if (length > width) return false;
  }
  char* end = out + width;
  char* p = u <= UINT32_MAX ? WriteFixed(static_cast<uint32_t>(u), decimals, end) : WriteFixed(u, decimals, end);
  if (negative) *--p = '-';
  dbf::FillBlanks(out, static_cast<size_t>(p - out));
  return true;
}

// Any finite value, through to_chars; kept out of line so that the common
// case above does not pay for its large buffer.
[[gnu::noinline]] bool FormatDbfNumberExactly(double value, int width, int decimals, char* out) {
  if (!std::isfinite(value)) return false;
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
  // Common case without to_chars, which is exact but slow: round
  // value * 10^decimals to a whole number. 10^decimals is exact, so the
  // product is off the true one by at most |product| * 2^-53. Below 2^52 a
  // product that comes out whole is within a quarter of the true one, which
  // therefore rounds to it; below 2^32 any product further than 2^-20 from a
  // half lies on the same side of that half as the true one. Only products
  // next to a half (ties and near ties) go the exact way. NaN fails every
  // comparison and goes that way too.
  static constexpr double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
  if (decimals >= 0 && decimals <= 9) {
    const double scaled = value * kPow10[decimals];
    const double magnitude = std::fabs(scaled);
    if (magnitude < 4503599627370496.0) {  // 2^52
      // Truncation and the subtraction are exact at this size; std::floor
      // would be a call into the maths library on plain x86-64.
      int64_t whole = static_cast<int64_t>(scaled);
      double fraction = scaled - static_cast<double>(whole);
      if (fraction < 0) {
        --whole;
        fraction += 1;
      }
      if (fraction == 0 || (magnitude < 4294967296.0 && std::fabs(fraction - 0.5) > 0x1p-20)) {
        // -0.00001 becomes 0, not "-0.0000": dBase has no negative zero.
        if (fraction > 0.5) ++whole;
        return PlaceFixed(whole, decimals, width, out);
      }
    }
  }
  return FormatDbfNumberExactly(value, width, decimals, out);
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
