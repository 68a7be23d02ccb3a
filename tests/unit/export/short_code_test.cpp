#include "export/short_code.h"

#include <cctype>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace pontevia::exporter {
namespace {

using V = ShortCodeVariant;

std::vector<std::string> Codes(V variant, const std::vector<std::string>& bases) {
  UsedCodeList used;
  std::vector<std::string> codes;
  for (const std::string& base : bases) codes.push_back(MakeShortCode(base, variant, &used));
  return codes;
}

std::vector<std::string> Repeat(const std::string& text, int times) {
  return std::vector<std::string>(times, text);
}

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Each row starts with an empty list; bases are given in the order the builder
// writes the records. Expected codes are worked by hand from the rules.
TEST(MakeShortCode, WorkedExamplesAndEdgeCases) {
  const struct {
    const char* why;
    V variant;
    std::vector<std::string> bases;
    std::vector<std::string> want;
  } kCases[] = {
      // worked examples: kept exactly
      {"subjects compare ignoring case", V::kSubject, {"MAT", "MAT", "mat"}, {"MAT", "MAT1", "mat2"}},
      {"subject first cut keeps the last character", V::kSubject,
       {"MATEMATICAS1", "MATEMATICAS1", "MATEMATICAS2"},
       {"MATEMATIC1", "MATEMATIC2", "MATEMATIC3"}},
      {"teachers", V::kTeacher, {"TUTOR", "TUTOR", "TUTOR"}, {"TUTOR", "TUTOR1", "TUTOR2"}},
      {"rooms cut to 10 and numbered from 9", V::kRoom,
       {"Laboratorio de Ciencias", "Laboratorio de Ciencias"}, {"Laboratori", "Laborator1"}},
      {"a room cut may end in a blank", V::kRoom, {"Taller de tecnolog\xED" "a"}, {"Taller de "}},
      {"group base is shortened, the list keeps it whole", V::kGroup,
       {"BATX2Ciencias", "BATX2Ciencias"}, {"BATX2Cieas", "BATX2Cien1"}},
      {"groups of two courses with the same level and course", V::kGroup,
       {"BATX2A", "BATX2A"}, {"BATX2A", "BATX2A1"}},
      // edge cases
      {"empty subject bases", V::kSubject, {"", "", "", ""}, {"", "1", "2", "3"}},
      {"empty room bases", V::kRoom, {"", "", ""}, {"", "1", "2"}},
      {"empty teacher bases number from P", V::kTeacher, {"", "", "", ""}, {"", "P1", "P2", "P3"}},
      {"a base equal to an earlier numbered code", V::kSubject, {"MAT", "MAT", "MAT1"},
       {"MAT", "MAT1", "MAT11"}},
      {"subject of exactly 10 characters stays whole", V::kSubject, {"ABCDEFGHIJ"}, {"ABCDEFGHIJ"}},
      {"subject of 11 characters: first 9 and the last", V::kSubject, {"ABCDEFGHIJK"}, {"ABCDEFGHIK"}},
      {"teacher of 11 characters: first 9", V::kTeacher, {"ABCDEFGHIJK"}, {"ABCDEFGHI"}},
      {"case folding covers 1252 letters", V::kSubject, {"\xD1" "ACI", "\xF1" "aci"},
       {"\xD1" "ACI", "\xF1" "aci1"}},
      {"twelve rooms: the list entries keep numbering past 10", V::kRoom,
       Repeat("ABCDEFGHIJ Aula", 12),
       {"ABCDEFGHIJ", "ABCDEFGHI1", "ABCDEFGHI2", "ABCDEFGHI3", "ABCDEFGHI4", "ABCDEFGHI5",
        "ABCDEFGHI6", "ABCDEFGHI7", "ABCDEFGHI8", "ABCDEFGHI9", "ABCDEFGH10", "ABCDEFGH11"}},
      // collisions of the plain final shortening, now numbered on
      {"twelfth subject no longer repeats the eleventh", V::kSubject, Repeat("ABCDEFGHIJ", 12),
       {"ABCDEFGHIJ", "ABCDEFGHI1", "ABCDEFGHI2", "ABCDEFGHI3", "ABCDEFGHI4", "ABCDEFGHI5",
        "ABCDEFGHI6", "ABCDEFGHI7", "ABCDEFGHI8", "ABCDEFGHI9", "ABCDEFGH10", "ABCDEFGH11"}},
      {"third teacher of 10 characters no longer repeats the second", V::kTeacher,
       Repeat("ABCDEFGHIJ", 3), {"ABCDEFGHIJ", "ABCDEFGHJ1", "ABCDEFGHJ2"}},
      {"groups agreeing in first 8 and last 2 characters", V::kGroup,
       {"ESO1AlphaXY12", "ESO1AlphaZW12"}, {"ESO1Alph12", "ESO1Alpha1"}},
      {"a room whose plain code another room got shortened", V::kRoom,
       Concat(Repeat("ABCDEFGHIJ", 11), {"ABCDEFGH10"}),
       {"ABCDEFGHIJ", "ABCDEFGHI1", "ABCDEFGHI2", "ABCDEFGHI3", "ABCDEFGHI4", "ABCDEFGHI5",
        "ABCDEFGHI6", "ABCDEFGHI7", "ABCDEFGHI8", "ABCDEFGHI9", "ABCDEFGH10", "ABCDEFGH11"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(Codes(c.variant, c.bases), c.want);
  }
}

// With a 9-character stem the plain codes end after 'ABCDEFGHI9',
// 'ABCDEFGH10'..'ABCDEFGH99' and the shortened 'ABCDEFGH00'..'ABCDEFGH09'; after
// those 109 the stem gives one more character to the number.
TEST(MakeShortCode, NumberingGivesUpStemCharactersWhenEndingsRunOut) {
  for (V variant : {V::kSubject, V::kRoom, V::kGroup, V::kTeacher}) {
    SCOPED_TRACE(static_cast<int>(variant));
    const std::string base = variant == V::kTeacher ? "ABCDEFGHI" : "ABCDEFGHIJ";
    std::vector<std::string> codes = Codes(variant, Repeat(base, 1200));
    EXPECT_EQ(codes[9], "ABCDEFGHI9");
    EXPECT_EQ(codes[10], "ABCDEFGH10");
    EXPECT_EQ(codes[99], "ABCDEFGH99");
    EXPECT_EQ(codes[100], "ABCDEFGH00");
    EXPECT_EQ(codes[109], "ABCDEFGH09");
    EXPECT_EQ(codes[110], "ABCDEFG110");
    EXPECT_EQ(codes[999], "ABCDEFG999");
    EXPECT_EQ(codes[1000], "ABCDEF1000");
    std::set<std::string> distinct(codes.begin(), codes.end());
    EXPECT_EQ(distinct.size(), codes.size());
    for (const std::string& code : codes) EXPECT_LE(code.size(), 10u) << code;
  }
}

// Codes given by a mix of bases never repeat within a table, compared
// ignoring case, whatever the order of the records.
TEST(MakeShortCode, NeverRepeatsACodeInOneTable) {
  for (V variant : {V::kSubject, V::kTeacher, V::kRoom, V::kGroup}) {
    SCOPED_TRACE(static_cast<int>(variant));
    std::vector<std::string> bases;
    for (int i = 0; i < 400; ++i) {
      switch (i % 5) {
        case 0: bases.push_back("ABCDEFGHIJ"); break;
        case 1: bases.push_back("abcdefgh" + std::to_string(10 + i % 90)); break;
        case 2: bases.push_back("ABCDEFGHI" + std::to_string(i % 13)); break;
        case 3: bases.push_back(""); break;
        default: bases.push_back("ABCDEFGH" + std::string(i % 7, 'x') + std::to_string(i % 100)); break;
      }
    }
    std::set<std::string> seen;
    UsedCodeList used;
    for (const std::string& base : bases) {
      std::string code = MakeShortCode(base, variant, &used);
      std::string folded;
      for (char ch : code) folded.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(ch))));
      EXPECT_TRUE(seen.insert(folded).second) << "repeated code '" << code << "' for '" << base << "'";
      EXPECT_LE(code.size(), 10u);
    }
  }
}

TEST(GroupCodeBase, CutsLevelToFiveAndCourseToTwo) {
  EXPECT_EQ(GroupCodeBase("BATX", "2", "Ciencias"), "BATX2Ciencias");
  EXPECT_EQ(GroupCodeBase("ABCDEFG", "123", "A"), "ABCDE12A");
  EXPECT_EQ(GroupCodeBase("", "", "Ciencias"), "Ciencias");
}

}  // namespace
}  // namespace pontevia::exporter
