#include "export/short_code.h"

#include <algorithm>

#include "text/ansi.h"

namespace pontevia::exporter {

namespace {

constexpr size_t kCodeWidth = 10;

std::string FirstCut(std::string_view base, ShortCodeVariant variant) {
  switch (variant) {
    case ShortCodeVariant::kSubject:
      return SubjectFirstCut(base);
    case ShortCodeVariant::kTeacher:
      return std::string(base.substr(0, base.size() > kCodeWidth ? 9 : base.size()));
    case ShortCodeVariant::kRoom:
      return std::string(base.substr(0, kCodeWidth));
    case ShortCodeVariant::kGroup:
      break;
  }
  return std::string(base);
}

std::string Stem(const std::string& code, ShortCodeVariant variant) {
  if (variant == ShortCodeVariant::kTeacher) return code.empty() ? std::string("P") : code;
  return code.substr(0, 9);
}

// The final shortening: a code longer than 10 characters keeps its first 8
// and its last 2 ('ABCDEFGHI10' -> 'ABCDEFGH10').
std::string Shorten(const std::string& code) {
  if (code.size() <= kCodeWidth) return code;
  return code.substr(0, 8) + code.substr(code.size() - 2);
}

// The last number whose plainly shortened code is new within the numbering
// of one stem. A stem of 8 or more characters yields its 10-character codes
// up to 99 and then, shortened, the endings 00 to 09 (numbers 100 to 109);
// 110 would give the ending 10 again. A shorter stem fits every number up to
// the one that fills 10 characters, and the first longer one repeats a code.
int64_t LastPlainNumber(size_t stem_size) {
  if (stem_size >= 8) return 109;
  int64_t limit = 1;
  for (size_t i = stem_size; i < kCodeWidth; ++i) limit *= 10;
  return limit - 1;
}

// Numbered candidate `n` of `stem`: the text the used-code list compares and
// remembers, and the code it yields. Past the plain range the stem gives up
// characters to the number, one more for each further digit, so the codes
// keep coming new and the numbering always ends.
void Numbered(const std::string& stem, int64_t n, std::string* entry, std::string* code) {
  const std::string digits = std::to_string(n);
  *entry = stem + digits;
  if (n <= LastPlainNumber(stem.size())) {
    *code = Shorten(*entry);
    return;
  }
  const size_t keep = digits.size() < kCodeWidth ? kCodeWidth - digits.size() : 0;
  *code = stem.substr(0, std::min(stem.size(), keep)) + digits;
  if (code->size() > kCodeWidth) *code = code->substr(code->size() - kCodeWidth);
}

}  // namespace

std::string SubjectFirstCut(std::string_view curta) {
  if (curta.size() <= kCodeWidth) return std::string(curta);
  std::string cut(curta.substr(0, 9));
  cut.push_back(curta.back());
  return cut;
}

std::string GroupCodeBase(std::string_view level, std::string_view course, std::string_view name) {
  std::string base(level.substr(0, 5));
  base.append(course.substr(0, 2));
  base.append(name);
  return base;
}

std::string MakeShortCode(std::string_view base, ShortCodeVariant variant, UsedCodeList* used) {
  // Subjects and teachers remember their final code, rooms and groups the
  // code before the final shortening; both kinds are looked up by the text
  // before shortening, as the list has always been consulted.
  const bool remembers_final =
      variant == ShortCodeVariant::kSubject || variant == ShortCodeVariant::kTeacher;

  std::string entry = FirstCut(base, variant);
  std::string code = Shorten(entry);
  std::string folded_entry = text::FoldCaseCopy(entry);
  std::string folded_code = text::FoldCaseCopy(code);

  if (used->EntryTaken(folded_entry) || used->CodeGiven(folded_code)) {
    const std::string stem = Stem(entry, variant);
    const std::string folded_stem = text::FoldCaseCopy(stem);
    auto hint = used->next_number_.find(folded_stem);
    int64_t n = hint == used->next_number_.end() ? 1 : hint->second;
    for (;; ++n) {
      Numbered(stem, n, &entry, &code);
      folded_entry = text::FoldCaseCopy(entry);
      folded_code = text::FoldCaseCopy(code);
      if (!used->EntryTaken(folded_entry) && !used->CodeGiven(folded_code)) break;
    }
    used->next_number_[folded_stem] = n + 1;
  }

  used->entries_.insert(remembers_final ? folded_code : std::move(folded_entry));
  used->codes_.insert(std::move(folded_code));
  ++used->size_;
  return code;
}

}  // namespace pontevia::exporter
