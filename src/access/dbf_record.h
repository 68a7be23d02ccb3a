// Moving a character value in and out of its place in a record: a value cut
// to the field's width and padded with blanks on the way in, trailing blanks
// dropped on the way out. The table's by-position calls use these once per
// field and record, so they are inline and avoid the C library: for the few
// bytes a field holds (widths are 1 to 20 in nearly every table) a call to
// memcpy or memset costs more than the move itself. Pairs of word moves that
// may overlap cover any length up to 32 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace pontevia::access::dbf {

inline uint64_t Load64(const char* p) {
  uint64_t w;
  std::memcpy(&w, p, 8);
  return w;
}
inline void Store64(char* p, uint64_t w) { std::memcpy(p, &w, 8); }
inline uint32_t Load32(const char* p) {
  uint32_t w;
  std::memcpy(&w, p, 4);
  return w;
}
inline void Store32(char* p, uint32_t w) { std::memcpy(p, &w, 4); }

constexpr uint64_t kBlanks8 = 0x2020202020202020ull;

// Copies n <= 16 bytes, the common case, in a few instructions. Forced
// inline like the table calls that use it.
[[gnu::always_inline]] inline void CopyShort(char* dst, const char* src, size_t n) {
  if (n >= 8) {
    const uint64_t a = Load64(src), b = Load64(src + n - 8);
    Store64(dst, a);
    Store64(dst + n - 8, b);
  } else if (n >= 4) {
    const uint32_t a = Load32(src), b = Load32(src + n - 4);
    Store32(dst, a);
    Store32(dst + n - 4, b);
  } else if (n > 0) {
    const char a = src[0], b = src[n / 2], c = src[n - 1];
    dst[0] = a;
    dst[n / 2] = b;
    dst[n - 1] = c;
  }
}

// Copies n bytes. Every load comes before the stores, so src == dst (a field
// set to its own contents) is harmless; other overlaps are not allowed.
inline void CopyBytes(char* dst, const char* src, size_t n) {
  if (n >= 8 && n <= 16) {
    const uint64_t a = Load64(src), b = Load64(src + n - 8);
    Store64(dst, a);
    Store64(dst + n - 8, b);
  } else if (n > 16 && n <= 32) {
    const uint64_t a = Load64(src), b = Load64(src + 8), c = Load64(src + n - 16), d = Load64(src + n - 8);
    Store64(dst, a);
    Store64(dst + 8, b);
    Store64(dst + n - 16, c);
    Store64(dst + n - 8, d);
  } else if (n >= 4 && n < 8) {
    const uint32_t a = Load32(src), b = Load32(src + n - 4);
    Store32(dst, a);
    Store32(dst + n - 4, b);
  } else if (n > 0 && n < 4) {
    const char a = src[0], b = src[n / 2], c = src[n - 1];
    dst[0] = a;
    dst[n / 2] = b;
    dst[n - 1] = c;
  } else if (n > 32) {
    std::memmove(dst, src, n);
  }
}

inline void FillBlanks(char* p, size_t n) {
  if (n >= 8 && n <= 16) {
    Store64(p, kBlanks8);
    Store64(p + n - 8, kBlanks8);
  } else if (n > 16 && n <= 32) {
    Store64(p, kBlanks8);
    Store64(p + 8, kBlanks8);
    Store64(p + n - 16, kBlanks8);
    Store64(p + n - 8, kBlanks8);
  } else if (n >= 4 && n < 8) {
    Store32(p, static_cast<uint32_t>(kBlanks8));
    Store32(p + n - 4, static_cast<uint32_t>(kBlanks8));
  } else if (n > 0 && n < 4) {
    p[0] = p[n / 2] = p[n - 1] = ' ';
  } else if (n > 32) {
    std::memset(p, ' ', n);
  }
}

// Writes `value` left-aligned over the `width` bytes at `out`, cut to the
// width (as the BDE cuts, without error) and padded with blanks.
inline void PutText(std::string_view value, size_t width, char* out) {
  const size_t n = value.size() < width ? value.size() : width;
  CopyBytes(out, value.data(), n);
  FillBlanks(out + n, width - n);
}

// The `width` bytes at `p` without trailing blanks and 0x00 bytes (some
// programs pad with 0x00). Fields are mostly padding, so blanks go eight at
// a time.
[[gnu::always_inline]] inline std::string_view TrimmedText(const char* p, size_t width) {
  size_t n = width;
  while (n >= 8 && Load64(p + n - 8) == kBlanks8) n -= 8;
  while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\0')) --n;
  return std::string_view(p, n);
}

}  // namespace pontevia::access::dbf
