// Binary numeric columns of tables other programs write (TDbf's integers at
// table level 7, Visual FoxPro), decoded from bytes worked by hand.
#include <gtest/gtest.h>

#include <string>

#include "access/dbf_reader.h"

namespace pontevia::access {
namespace {

TEST(DbfBinaryNumber, DecodesIntegersAndDoublesOfBothLayouts) {
  const struct {
    const char* why;
    char type;
    bool dbase7;
    std::string bytes;
    double value;
  } kCases[] = {
      {"dBase 7 I: 3 with the sign bit flipped", 'I', true, std::string("\x80\x00\x00\x03", 4), 3},
      {"dBase 7 I: -2", 'I', true, std::string("\x7F\xFF\xFF\xFE", 4), -2},
      {"dBase 7 I: never set", 'I', true, std::string(4, '\0'), 0},
      {"dBase 7 autoincrement: 12", '+', true, std::string("\x80\x00\x00\x0C", 4), 12},
      {"FoxPro I: 3 little-endian", 'I', false, std::string("\x03\x00\x00\x00", 4), 3},
      {"FoxPro I: -2", 'I', false, std::string("\xFE\xFF\xFF\xFF", 4), -2},
      {"dBase 7 O: 1.5 (0x3FF8... with the sign bit set)", 'O', true,
       std::string("\xBF\xF8\x00\x00\x00\x00\x00\x00", 8), 1.5},
      {"dBase 7 O: -1.5 (every bit of 0xBFF8... inverted)", 'O', true,
       std::string("\x40\x07\xFF\xFF\xFF\xFF\xFF\xFF", 8), -1.5},
      {"FoxPro B: 2.5 little-endian", 'B', false, std::string("\x00\x00\x00\x00\x00\x00\x04\x40", 8), 2.5},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    double value = -99;
    ASSERT_TRUE(ParseDbfBinaryNumber(c.type, c.dbase7, c.bytes, &value));
    EXPECT_EQ(value, c.value);
  }
}

TEST(DbfBinaryNumber, RefusesOtherTypesAndWidths) {
  double value = 0;
  EXPECT_FALSE(ParseDbfBinaryNumber('D', true, "20240101", &value));
  EXPECT_FALSE(ParseDbfBinaryNumber('I', true, std::string(8, '\0'), &value));
  // 'B' of dBase III/IV is a memo block number, not a double.
  EXPECT_FALSE(ParseDbfBinaryNumber('B', false, std::string(10, ' '), &value));
  EXPECT_FALSE(ParseDbfBinaryNumber('O', false, std::string(8, '\0'), &value));
}

}  // namespace
}  // namespace pontevia::access
