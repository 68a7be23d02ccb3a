// Windows-1252 <-> Unicode, trimming and case folding.
//
// 1252 agrees with Latin-1 (and so with the first 256 code points) everywhere
// except 0x80..0x9F, where Microsoft placed the euro sign, curly quotes, dashes
// and a few letters. Of those 32 bytes, five (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// are undefined; Windows maps them to the C1 control with the same number, and
// so do we, so that every byte survives a round trip through Unicode.
#include "text/ansi.h"

#include <array>
#include <cstdint>

namespace pontevia::text {
namespace {

// Code point of each byte 0x80..0x9F.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

char32_t ByteToCodePoint(unsigned char b) {
  if (b >= 0x80 && b <= 0x9F) return kHighControls[b - 0x80];
  return b;
}

// The 1252 byte of a code point, or -1 when 1252 has none.
int CodePointToByte(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (int i = 0; i < 32; ++i) {
    if (kHighControls[i] == cp) return 0x80 + i;
  }
  return -1;
}

constexpr char32_t kInvalid = 0xFFFFFFFF;

// Decodes one UTF-8 sequence starting at s[*i] and advances *i. A malformed
// sequence yields kInvalid and skips its maximal valid prefix (at least one
// byte), as Unicode recommends, so one broken character gives one '?'.
char32_t DecodeUtf8(std::string_view s, size_t* i) {
  const unsigned char lead = static_cast<unsigned char>(s[*i]);
  ++*i;
  if (lead < 0x80) return lead;
  int extra;
  char32_t cp;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2;
    cp = lead & 0x0F;
    if (lead == 0xE0) lo = 0xA0;  // no overlong forms
    if (lead == 0xED) hi = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3;
    cp = lead & 0x07;
    if (lead == 0xF0) lo = 0x90;
    if (lead == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
  } else {
    return kInvalid;
  }
  for (int k = 0; k < extra; ++k) {
    if (*i >= s.size()) return kInvalid;
    const unsigned char c = static_cast<unsigned char>(s[*i]);
    const unsigned char min = k == 0 ? lo : 0x80;
    const unsigned char max = k == 0 ? hi : 0xBF;
    if (c < min || c > max) return kInvalid;
    cp = (cp << 6) | (c & 0x3F);
    ++*i;
  }
  return cp;
}

// Decodes one UTF-16 unit or surrogate pair; an unpaired surrogate is kInvalid.
char32_t DecodeUtf16(std::u16string_view s, size_t* i) {
  const char16_t u = s[(*i)++];
  if (u < 0xD800 || u > 0xDFFF) return u;
  if (u <= 0xDBFF && *i < s.size()) {
    const char16_t v = s[*i];
    if (v >= 0xDC00 && v <= 0xDFFF) {
      ++*i;
      return 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (v - 0xDC00);
    }
  }
  return kInvalid;
}

void AppendUtf8(char32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

void AppendUtf16(char32_t cp, std::u16string* out) {
  if (cp < 0x10000) {
    out->push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out->push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out->push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

void AppendAnsi(char32_t cp, std::string* out, bool* lossy) {
  const int b = cp == kInvalid ? -1 : CodePointToByte(cp);
  if (b < 0) {
    out->push_back('?');
    if (lossy) *lossy = true;
  } else {
    out->push_back(static_cast<char>(b));
  }
}

constexpr std::array<unsigned char, 256> MakeFoldTable() {
  std::array<unsigned char, 256> t{};
  for (int i = 0; i < 256; ++i) t[i] = static_cast<unsigned char>(i);
  for (int c = 'A'; c <= 'Z'; ++c) t[c] = static_cast<unsigned char>(c + 0x20);
  // À..Þ fold to à..þ, except the multiplication sign.
  for (int c = 0xC0; c <= 0xDE; ++c) {
    if (c != 0xD7) t[c] = static_cast<unsigned char>(c + 0x20);
  }
  t[0x8A] = 0x9A;  // Š š
  t[0x8C] = 0x9C;  // Œ œ
  t[0x8E] = 0x9E;  // Ž ž
  t[0x9F] = 0xFF;  // Ÿ ÿ
  return t;
}

constexpr std::array<unsigned char, 256> kFold = MakeFoldTable();

}  // namespace

std::string Utf8ToAnsi(std::string_view utf8, bool* lossy) {
  std::string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) AppendAnsi(DecodeUtf8(utf8, &i), &out, lossy);
  return out;
}

std::string AnsiToUtf8(std::string_view ansi) {
  std::string out;
  out.reserve(ansi.size() + ansi.size() / 4);
  for (char c : ansi) AppendUtf8(ByteToCodePoint(static_cast<unsigned char>(c)), &out);
  return out;
}

std::string Utf16ToAnsi(std::u16string_view utf16, bool* lossy) {
  std::string out;
  out.reserve(utf16.size());
  size_t i = 0;
  while (i < utf16.size()) AppendAnsi(DecodeUtf16(utf16, &i), &out, lossy);
  return out;
}

std::u16string AnsiToUtf16(std::string_view ansi) {
  std::u16string out;
  out.reserve(ansi.size());
  for (char c : ansi) out.push_back(static_cast<char16_t>(ByteToCodePoint(static_cast<unsigned char>(c))));
  return out;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const char32_t cp = DecodeUtf8(utf8, &i);
    AppendUtf16(cp == kInvalid ? 0xFFFD : cp, &out);
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  size_t i = 0;
  while (i < utf16.size()) {
    const char32_t cp = DecodeUtf16(utf16, &i);
    AppendUtf8(cp == kInvalid ? 0xFFFD : cp, &out);
  }
  return out;
}

std::string_view Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
  return s.substr(b, e - b);
}

std::string_view TrimRightBlanks(std::string_view s) {
  size_t e = s.size();
  while (e > 0 && s[e - 1] == ' ') --e;
  return s.substr(0, e);
}

char FoldCase(char c) { return static_cast<char>(kFold[static_cast<unsigned char>(c)]); }

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (kFold[static_cast<unsigned char>(a[i])] != kFold[static_cast<unsigned char>(b[i])]) return false;
  }
  return true;
}

std::string FoldCaseCopy(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = FoldCase(c);
  return out;
}

}  // namespace pontevia::text
