#include "access/dbf_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "unit/access/two_record_table.h"

namespace pontevia::access {
namespace {

using ::testing::HasSubstr;

TEST(DbfReader, ReadsTheWorkedExampleOfTheFormatDoc) {
  DbfLayout l;
  Status s = ReadDbfLayout("prueba.dbf", TwoRecordTable(), &l);
  ASSERT_TRUE(s.ok()) << s.message();
  EXPECT_EQ(l.version, 0x03);
  EXPECT_EQ(l.record_count, 2u);
  EXPECT_EQ(l.header_length, 129u);
  EXPECT_EQ(l.record_length, 16u);
  EXPECT_FALSE(l.production_index);
  ASSERT_EQ(l.fields.size(), 3u);
  const struct {
    const char* name;
    char type;
    int width;
    size_t offset;
  } kWant[] = {{"COD", 'C', 3, 1}, {"DIA", 'N', 11, 4}, {"ACT", 'L', 1, 15}};
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(kWant[i].name);
    EXPECT_EQ(l.fields[i].name, kWant[i].name);
    EXPECT_EQ(l.fields[i].type, kWant[i].type);
    EXPECT_EQ(l.fields[i].width, kWant[i].width);
    EXPECT_EQ(l.fields[i].offset, kWant[i].offset);
  }
}

void Put16(std::string* b, size_t at, int v) {
  (*b)[at] = static_cast<char>(v & 0xFF);
  (*b)[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

TEST(DbfReader, RejectsDamagedHeaderNamingTheFile) {
  const struct {
    const char* why;
    std::function<void(std::string*)> damage;
  } kCases[] = {
      {"shorter than the header", [](std::string* b) { b->resize(31); }},
      {"empty file", [](std::string* b) { b->clear(); }},
      {"not a dBase version", [](std::string* b) { (*b)[0] = 0x02; }},
      {"record count runs past end of file", [](std::string* b) { (*b)[4] = 0x7F; }},
      {"record count just one too many", [](std::string* b) { (*b)[4] = 3; }},
      {"huge record count", [](std::string* b) { (*b)[7] = static_cast<char>(0xFF); }},
      {"header length runs past end of file", [](std::string* b) { Put16(b, 8, 0xFFFF); }},
      {"header length shorter than the header", [](std::string* b) { Put16(b, 8, 20); }},
      {"descriptor runs past the header length", [](std::string* b) { Put16(b, 8, 80); }},
      {"terminator missing", [](std::string* b) { (*b)[128] = 'X'; }},
      {"record length zero", [](std::string* b) { Put16(b, 10, 0); }},
      {"field beyond the record length", [](std::string* b) { Put16(b, 10, 15); }},
      {"field of width zero", [](std::string* b) { (*b)[64 + 16] = 0; }},
      {"field without a name", [](std::string* b) { (*b)[32] = 0; }},
      {"field type is a control byte", [](std::string* b) { (*b)[32 + 11] = 0x01; }},
      {"no fields at all", [](std::string* b) { (*b)[32] = 0x0D; }},
      {"file cut inside the second record", [](std::string* b) { b->resize(150); }},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    std::string bytes = TwoRecordTable();
    c.damage(&bytes);
    DbfLayout l;
    Status s = ReadDbfLayout("C:\\HTEMP\\prueba.dbf", bytes, &l);
    EXPECT_EQ(s.code(), StatusCode::kCorrupt);
    EXPECT_THAT(s.message(), HasSubstr("C:\\HTEMP\\prueba.dbf"));
  }
}

// Whatever the damage, the reader either refuses or describes a table that
// lies wholly inside the bytes (the sanitizer build catches any over-read).
TEST(DbfReader, EveryCutAndEveryByteChangeIsSafe) {
  const std::string good = TwoRecordTable();
  auto check = [](const std::string& bytes) {
    DbfLayout l;
    if (!ReadDbfLayout("x.dbf", bytes, &l).ok()) return;
    EXPECT_LE(l.header_length + uint64_t{l.record_count} * l.record_length, bytes.size());
    for (const dbf::Field& f : l.fields) EXPECT_LE(f.offset + f.width, l.record_length);
  };
  for (size_t n = 0; n <= good.size(); ++n) check(good.substr(0, n));
  for (size_t i = 0; i < 129; ++i) {
    for (int delta : {1, 0x7F, 0xFF}) {
      std::string bytes = good;
      bytes[i] = static_cast<char>(bytes[i] + delta);
      check(bytes);
    }
  }
}

TEST(DbfReader, AcceptsTheVersionsThatShareTheLayout) {
  for (int v : {0x03, 0x04, 0x05, 0x30, 0x31, 0x83, 0x8B, 0xCB, 0xF5}) {
    SCOPED_TRACE(v);
    std::string bytes = TwoRecordTable();
    bytes[0] = static_cast<char>(v);
    DbfLayout l;
    Status s = ReadDbfLayout("x.dbf", bytes, &l);
    EXPECT_TRUE(s.ok()) << s.message();
    EXPECT_EQ(l.fields.size(), 3u);
  }
}

TEST(DbfReader, ReadsTheDbase7Layout) {
  // 68-byte header, 48-byte descriptors: name 0..31, type 32, width 33.
  std::string h(68, '\0');
  h[0] = 0x04;
  h[4] = 1;
  Put16(&h, 8, 68 + 2 * 48 + 1);
  Put16(&h, 10, 1 + 4 + 1);
  h.replace(32, 8, "DBWINUS0");
  auto desc = [](const std::string& name, char type, int width) {
    std::string d(48, '\0');
    d.replace(0, name.size(), name);
    d[32] = type;
    d[33] = static_cast<char>(width);
    return d;
  };
  const std::string bytes = h + desc("NOMBRE_LARGO", 'C', 4) + desc("ACTIVO", 'L', 1) + "\x0D" + " ABCDT";
  DbfLayout l;
  Status s = ReadDbfLayout("x.dbf", bytes, &l);
  ASSERT_TRUE(s.ok()) << s.message();
  ASSERT_EQ(l.fields.size(), 2u);
  EXPECT_EQ(l.fields[0].name, "NOMBRE_LARGO");
  EXPECT_EQ(l.fields[1].offset, 5u);
}

TEST(DbfReader, NumbersAsOtherProgramsWriteThem) {
  const struct {
    std::string bytes;
    DbfNumber kind;
    double value;
    const char* text;
  } kCases[] = {
      {"          3", DbfNumber::kValue, 3, "3"},
      {"        -12", DbfNumber::kValue, -12, "-12"},
      {"     2.5000", DbfNumber::kValue, 2.5, "2,5"},
      {"    -0.2500", DbfNumber::kValue, -0.25, "-0,25"},
      {"     3.0000", DbfNumber::kValue, 3, "3"},
      {"00000000012", DbfNumber::kValue, 12, "12"},
      {"        1,5", DbfNumber::kValue, 1.5, "1,5"},
      {"         .5", DbfNumber::kValue, 0.5, "0,5"},
      {"        +7 ", DbfNumber::kValue, 7, "7"},
      {"     -0.000", DbfNumber::kValue, 0, "0"},
      {" 1.5000E+01", DbfNumber::kValue, 15, "15"},  // F fields may use an exponent
      {"3          ", DbfNumber::kValue, 3, "3"},     // left-aligned
      {"           ", DbfNumber::kBlank, 0, ""},
      {std::string(5, '\0'), DbfNumber::kBlank, 0, ""},
      {"***********", DbfNumber::kBad, 0, nullptr},  // overflow marker
      {"        abc", DbfNumber::kBad, 0, nullptr},
      {"      1 2  ", DbfNumber::kBad, 0, nullptr},
      {"          -", DbfNumber::kBad, 0, nullptr},
      {"        inf", DbfNumber::kBad, 0, nullptr},
      {"        nan", DbfNumber::kBad, 0, nullptr},
      {"       0x10", DbfNumber::kBad, 0, nullptr},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE("[" + c.bytes + "]");
    double v = -1;
    EXPECT_EQ(ParseDbfNumber(c.bytes, &v), c.kind);
    EXPECT_EQ(v, c.value);
    std::string text;
    EXPECT_EQ(DbfNumberText(c.bytes, &text), c.text != nullptr);
    if (c.text) {
      EXPECT_EQ(text, c.text);
    }
  }
}

TEST(DbfReader, LogicalBytes) {
  for (char t : {'T', 't', 'Y', 'y'}) EXPECT_EQ(ParseDbfLogical(t), 1) << t;
  for (char f : {'F', 'f', 'N', 'n', ' ', '?', '\0'}) EXPECT_EQ(ParseDbfLogical(f), 0) << f;
  for (char bad : {'1', 'S', 'x', '*'}) EXPECT_EQ(ParseDbfLogical(bad), -1) << bad;
}

}  // namespace
}  // namespace pontevia::access
