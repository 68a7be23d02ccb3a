// Windows-1252, the ANSI code page of Spanish Windows, is the one internal
// form of text: tables store it, builders cut it by bytes. These converters
// are used only at the edges (XML in and out, Win32 calls, the terminal).
// Characters that 1252 cannot hold become '?', and the converter says so
// through `lossy`, so callers can warn the user.
#pragma once

#include <string>
#include <string_view>

namespace pontevia::text {

// UTF-8 -> 1252. Invalid UTF-8 sequences and characters outside 1252 become
// '?' and set *lossy (when given) to true; it is never reset to false.
std::string Utf8ToAnsi(std::string_view utf8, bool* lossy = nullptr);
// 1252 -> UTF-8. The five bytes 1252 leaves undefined (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) map to U+0081 etc., as Windows does, so nothing is lost.
std::string AnsiToUtf8(std::string_view ansi);
// UTF-16 (host order, unpaired surrogates become '?') <-> 1252.
std::string Utf16ToAnsi(std::u16string_view utf16, bool* lossy = nullptr);
std::u16string AnsiToUtf16(std::string_view ansi);
// UTF-8 <-> UTF-16 for file names and messages at Win32 calls.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Removes leading and trailing bytes with codes 0..32 (blanks, control chars).
std::string_view Trim(std::string_view s);
// Removes trailing blanks (' ') only: how a character field reads back.
std::string_view TrimRightBlanks(std::string_view s);

// Case folding of the 1252 letters (A-Z, À-Þ except ×, Š Œ Ž Ÿ) to lower case.
char FoldCase(char c);
// True when a and b are equal after FoldCase of every byte ('mat' == 'MAT',
// 'ñ' == 'Ñ').
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
// The folded copy, for hashing in case-insensitive lookups.
std::string FoldCaseCopy(std::string_view s);

}  // namespace pontevia::text
