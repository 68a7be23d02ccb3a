// Short codes: the texts of at most 10 characters by which Horalia knows a
// subject, a teacher, a room or a group. Each table builder makes one code per
// record, in the order it writes the records, from a readable text of the
// record; a code already given in the same table is numbered.
//
// The rules (first cut, stem, what the used-code list remembers) differ by
// variant; see MakeShortCode. Codes are compared without regard to letter
// case over Windows-1252, so 'mat' is taken by 'MAT' and 'ñ' by 'Ñ'.
//
// No two records of one table ever get the same code (compared ignoring case):
// where the plain final shortening to 10 characters would hand out a code
// already given, numbering goes on until the code is free. Not thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace pontevia::exporter {

enum class ShortCodeVariant {
  kSubject,  // ASIGNOMT COD, from MATERIA curta
  kTeacher,  // PROFT ABREV, from PLACA curta
  kRoom,     // AULAT ABREV, from AULA descripcio
  kGroup,    // GRUPOST ABREV, from level, course and GRUP nom (GroupCodeBase)
};

// The codes one table builder has handed out so far. Start one empty per
// table; never share it between tables.
class UsedCodeList {
 public:
  UsedCodeList() = default;
  UsedCodeList(const UsedCodeList&) = delete;
  UsedCodeList& operator=(const UsedCodeList&) = delete;

  // How many records have been given a code.
  int64_t size() const { return size_; }

 private:
  friend std::string MakeShortCode(std::string_view, ShortCodeVariant, UsedCodeList*);

  bool EntryTaken(const std::string& folded) const { return entries_.count(folded) != 0; }
  bool CodeGiven(const std::string& folded) const { return codes_.count(folded) != 0; }

  // Folded (case-insensitive) forms of: the list entries (rooms and groups
  // remember the code before its final shortening, so these may be longer
  // than 10 characters; subjects and teachers remember the final code), the
  // final codes given, and for each stem the first number still worth trying
  // (every lower one was found taken before, and a taken text stays taken).
  std::unordered_set<std::string> entries_;
  std::unordered_set<std::string> codes_;
  std::unordered_map<std::string, int64_t> next_number_;
  int64_t size_ = 0;
};

// The short code for one record: `base` is the variant's base text (already
// trimmed, 1252). Adds one entry to `used` and returns the final code, at most
// 10 characters; empty only for the first record of the table whose base is
// empty.
std::string MakeShortCode(std::string_view base, ShortCodeVariant variant, UsedCodeList* used);

// The subject variant's first cut, which ASIGNOMT also stores in CODLARGO: a
// text longer than 10 characters becomes its first 9 followed by its last.
std::string SubjectFirstCut(std::string_view curta);

// The group variant's base: the first 5 characters of the level, the first 2
// of the course, then the group's name ('BATX', '2', 'Ciencias' give
// 'BATX2Ciencias').
std::string GroupCodeBase(std::string_view level, std::string_view course, std::string_view name);

}  // namespace pontevia::exporter
