#include "access/dbf_table.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <limits>
#include <set>

#include "text/ansi.h"
#include "unit/access/two_record_table.h"
#include "unit/testutil/fault_env.h"
#include "unit/testutil/temp_folder.h"

namespace pontevia::access {
namespace {

using ::testing::HasSubstr;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

Env* env() { return Env::Default(); }

#define ASSERT_OK(expr)                           \
  do {                                            \
    ::pontevia::Status _s = (expr);               \
    ASSERT_TRUE(_s.ok()) << _s.message();         \
  } while (0)

// The table of the worked example in doc/dbf_format.md.
TableDef ExampleDef() {
  return TableDef{{{"COD", FieldType::kCharacter, 3}, {"DIA", FieldType::kInteger}, {"ACT", FieldType::kLogical}},
                  {}};
}

TEST(Table, WritesTheWorkedExampleOfTheFormatDoc) {
  TempFolder dir;
  std::unique_ptr<Table> t;
  ASSERT_OK(Table::Create(env(), dir.path(), "PRUEBA", ExampleDef(), &t));
  ASSERT_OK(t->Append());
  ASSERT_OK(t->SetText("COD", "MAT"));
  ASSERT_OK(t->SetInteger("DIA", 3));
  ASSERT_OK(t->SetBool("ACT", true));
  ASSERT_OK(t->Post());
  ASSERT_OK(t->Append());
  ASSERT_OK(t->SetText("cod", "FIS"));  // names compare without regard to case
  ASSERT_OK(t->SetFloat("DIA", -12));
  ASSERT_OK(t->SetBool("ACT", false));
  ASSERT_OK(t->Close());

  std::string got = ReadBytes(dir.File("PRUEBA.DBF"));
  std::string want = TwoRecordTable();
  ASSERT_EQ(got.size(), want.size());
  // Bytes 1..3 hold today's date: plausible, then masked.
  EXPECT_GE(static_cast<unsigned char>(got[1]), 124);
  EXPECT_GE(got[2], 1);
  EXPECT_LE(got[2], 12);
  EXPECT_GE(got[3], 1);
  EXPECT_LE(got[3], 31);
  got.replace(1, 3, want.substr(1, 3));
  EXPECT_EQ(got, want);
  EXPECT_FALSE(env()->FileExists(dir.File("PRUEBA.DBF.tmp")));
  EXPECT_FALSE(env()->FileExists(dir.File("PRUEBA.MDX"))) << "no index, no MDX";
}

TEST(Table, ReadsTheWorkedExampleBack) {
  TempFolder dir;
  WriteBytes(dir.File("PRUEBA.DBF"), TwoRecordTable());
  std::unique_ptr<Table> t;
  ASSERT_OK(Table::Open(env(), dir.path(), "PRUEBA", ShareMode::kShared, &t));
  EXPECT_EQ(t->RecordCount(), 2);
  ASSERT_EQ(t->fields().size(), 3u);
  EXPECT_EQ(t->fields()[1].type, FieldType::kInteger);
  EXPECT_EQ(t->fields()[2].type, FieldType::kLogical);
  std::vector<std::string> seen;
  for (Status s = t->First(); !t->Eof(); s = t->Next()) {
    ASSERT_OK(s);
    seen.push_back(*t->GetText("COD") + "|" + *t->GetNumberText("DIA") + "|" +
                   std::to_string(*t->GetInteger("DIA")) + "|" + (*t->GetBool("ACT") ? "T" : "F"));
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"MAT|3|3|T", "FIS|-12|-12|F"}));
  ASSERT_OK(t->Close());
  EXPECT_EQ(ReadBytes(dir.File("PRUEBA.DBF")), TwoRecordTable()) << "nothing changed, nothing written";
}

TEST(Table, ValuesOfEveryKindSurviveARoundTrip) {
  TempFolder dir;
  const TableDef def{{{"NOMBRE", FieldType::kCharacter, 10},
                      {"ANCHO", FieldType::kCharacter, 254},
                      {"HORAS", FieldType::kFloat},
                      {"DNI", FieldType::kInteger},
                      {"ESTAREA", FieldType::kLogical}},
                     {}};
  const std::string long_text(300, 'x');
  const std::string accented = "Matem\xE0tiques i m\xFAsica";  // 1252 bytes
  std::unique_ptr<Table> t;
  ASSERT_OK(Table::Create(env(), dir.path(), "VALORES", def, &t));
  ASSERT_OK(t->Append());
  ASSERT_OK(t->SetText("NOMBRE", accented));  // cut to 10 bytes, no error
  ASSERT_OK(t->SetText("ANCHO", long_text));
  ASSERT_OK(t->SetFloat("HORAS", 2.5));
  ASSERT_OK(t->SetInteger("DNI", -2147483648LL));
  ASSERT_OK(t->SetBool("ESTAREA", true));
  ASSERT_OK(t->Append());  // posts the first; the second stays blank
  ASSERT_OK(t->SetText("NOMBRE", "  a  "));
  ASSERT_OK(t->Append());
  ASSERT_OK(t->SetText("HORAS", "1,25"));  // number given as text, comma decimal
  ASSERT_OK(t->SetText("DNI", "7"));
  ASSERT_OK(t->SetText("ESTAREA", "F"));
  ASSERT_OK(t->Close());

  ASSERT_OK(Table::Open(env(), dir.path(), "VALORES", ShareMode::kExclusive, &t));
  ASSERT_EQ(t->RecordCount(), 3);
  EXPECT_EQ(t->fields()[2].type, FieldType::kFloat);
  EXPECT_EQ(t->fields()[2].decimals, 4);
  EXPECT_EQ(*t->GetText("NOMBRE"), accented.substr(0, 10));
  EXPECT_EQ(*t->GetText("ANCHO"), long_text.substr(0, 254));
  EXPECT_EQ(*t->GetFloat("HORAS"), 2.5);
  EXPECT_EQ(*t->GetText("HORAS"), "2,5");
  EXPECT_EQ(*t->GetInteger("DNI"), -2147483648LL);
  EXPECT_TRUE(*t->GetBool("ESTAREA"));
  ASSERT_OK(t->Next());
  EXPECT_EQ(*t->GetText("NOMBRE"), "  a") << "leading blanks stay, trailing go";
  EXPECT_EQ(*t->GetText("HORAS"), "") << "blank numeric reads as empty text";
  EXPECT_EQ(*t->GetFloat("HORAS"), 0);
  EXPECT_EQ(*t->GetInteger("DNI"), 0);
  EXPECT_FALSE(*t->GetBool("ESTAREA")) << "never set reads false";
  EXPECT_EQ(*t->GetText("ESTAREA"), "");
  ASSERT_OK(t->Next());
  EXPECT_EQ(*t->GetFloat("HORAS"), 1.25);
  EXPECT_EQ(*t->GetNumberText("DNI"), "7");
  EXPECT_FALSE(*t->GetBool("ESTAREA"));
  ASSERT_OK(t->Next());
  EXPECT_TRUE(t->Eof());
}

TEST(Table, IntegerReadsRoundHalvesToEven) {
  const struct {
    double stored;
    int64_t want;
  } kCases[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2}, {2.4999, 2}, {2.5001, 3}, {-2.6, -3}};
  TempFolder dir;
  std::unique_ptr<Table> t;
  ASSERT_OK(Table::Create(env(), dir.path(), "SOLUC", TableDef{{{"HORA", FieldType::kFloat}}, {}}, &t));
  for (const auto& c : kCases) {
    ASSERT_OK(t->Append());
    ASSERT_OK(t->SetFloat("HORA", c.stored));
  }
  ASSERT_OK(t->First());
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.stored);
    EXPECT_EQ(*t->GetInteger("HORA"), c.want);
    ASSERT_OK(t->Next());
  }
}

TEST(Table, WalkSkipsDeletedRecordsAndRewriteKeepsThem) {
  TempFolder dir;
  std::string bytes = TwoRecordTable();
  bytes[129] = '*';  // first record deleted
  WriteBytes(dir.File("PRUEBA.DBF"), bytes);
  std::unique_ptr<Table> t;
  ASSERT_OK(Table::Open(env(), dir.path(), "PRUEBA", ShareMode::kExclusive, &t));
  EXPECT_EQ(t->RecordCount(), 1);
  EXPECT_EQ(*t->GetText("COD"), "FIS") << "opening lands on the first live record";
  ASSERT_OK(t->First());
  EXPECT_EQ(*t->GetText("COD"), "FIS");
  ASSERT_OK(t->Edit());
  ASSERT_OK(t->SetText("COD", "QUI"));
  ASSERT_OK(t->Next());  // posts the edit
  EXPECT_TRUE(t->Eof());
  ASSERT_OK(t->Close());
  std::string after = ReadBytes(dir.File("PRUEBA.DBF"));
  ASSERT_EQ(after.size(), bytes.size());
  EXPECT_EQ(after.substr(129, 16), bytes.substr(129, 16)) << "deleted record kept as it was";
  EXPECT_EQ(after.substr(145, 4), " QUI");
}

// Part of the export relies on this: a pending edit is stored when the walk
// moves on, without an explicit Post.
TEST(Table, PendingEditIsPostedByMovingAndKeptByClose) {
  TempFolder dir;
  WriteBytes(dir.File("ASIGNOMT.DBF"), TwoRecordTable());
  std::unique_ptr<Table> t;
  ASSERT_OK(Table::Open(env(), dir.path(), "ASIGNOMT", ShareMode::kExclusive, &t));
  for (Status s = t->First(); !t->Eof(); s = t->Next()) {
    ASSERT_OK(s);
    ASSERT_OK(t->Edit());
    ASSERT_OK(t->SetText("COD", *t->GetText("COD") + "X"));  // cut to 3: "MAT" stays
    ASSERT_OK(t->SetBool("ACT", !*t->GetBool("ACT")));
  }
  ASSERT_OK(t->First());
  ASSERT_OK(t->Edit());
  ASSERT_OK(t->SetText("COD", "Z"));
  ASSERT_OK(t->Close());  // the last edit is posted by Close

  ASSERT_OK(Table::Open(env(), dir.path(), "ASIGNOMT", ShareMode::kShared, &t));
  EXPECT_EQ(*t->GetText("COD"), "Z");
  EXPECT_FALSE(*t->GetBool("ACT"));
  ASSERT_OK(t->Next());
  EXPECT_EQ(*t->GetText("COD"), "FIS");
  EXPECT_TRUE(*t->GetBool("ACT"));
}

// Text put into a field of a new record takes a short cut while the field is
// still blank; writing the field again, in any way, must leave nothing of the
// earlier value behind.
TEST(Table, RewritingAFieldLeavesNothingOfTheOldValue) {
  const struct {
    const char* why;
    std::function<Status(Table*, int)> write;  // gets the position of TEXTO
    const char* want;
  } kCases[] = {
      {"shorter text", [](Table* t, int f) { return t->SetText(f, "AB"); }, "AB"},
      {"empty text", [](Table* t, int f) { return t->SetText(f, ""); }, ""},
      {"text over the width", [](Table* t, int f) { return t->SetText(f, std::string(40, 'y')); },
       "yyyyyyyyyyyyyyyyyyyyyyyyy"},
      {"a number", [](Table* t, int f) { return t->SetFloat(f, 2.5); }, "2,5"},
      {"a logical", [](Table* t, int f) { return t->SetBool(f, true); }, "T"},
      {"by name", [](Table* t, int) { return t->SetText("texto", "xy"); }, "xy"},
      {"its own bytes", [](Table* t, int f) { return t->SetText(f, t->TextView(f)); },
       "ABCDEFGHIJKLMNOPQRSTUVW"},
  };
  const TableDef def{{{"TEXTO", FieldType::kCharacter, 25}, {"OTRO", FieldType::kCharacter, 3}}, {}};
  for (bool appending : {true, false}) {
    for (const auto& c : kCases) {
      SCOPED_TRACE(std::string(c.why) + (appending ? ", new record" : ", edited record"));
      TempFolder dir;
      std::unique_ptr<Table> t;
      ASSERT_OK(Table::Create(env(), dir.path(), "PRUEBA", def, &t));
      const int f = *t->FieldIndex("TEXTO");
      ASSERT_OK(t->Append());
      ASSERT_OK(t->SetText(1, "ZZZ"));
      if (!appending) {
        ASSERT_OK(t->SetText(f, "?"));
        ASSERT_OK(t->First());
        ASSERT_OK(t->Edit());
      }
      ASSERT_OK(t->SetText(f, "ABCDEFGHIJKLMNOPQRSTUVW"));
      ASSERT_OK(c.write(t.get(), f));
      ASSERT_OK(t->Close());
      ASSERT_OK(Table::Open(env(), dir.path(), "PRUEBA", ShareMode::kShared, &t));
      EXPECT_EQ(*t->GetText("TEXTO"), c.want);
      EXPECT_EQ(*t->GetText("OTRO"), "ZZZ");
    }
  }
}

// A table being created keeps its records in a write batch of about 1 MiB;
// records on both sides of a batch's edge must read back, while the table is
// created and after.
TEST(Table, ATableBeingCreatedPastItsWriteBatchReadsBackEveryRecord) {
  TempFolder dir;
  const int kRecords = 9000;  // 9000 x 255 bytes: two full batches and part of a third
  const TableDef def{{{"N", FieldType::kInteger}, {"TEXTO", FieldType::kCharacter, 243}}, {}};
  std::unique_ptr<Table> t;
  ASSERT_OK(Table::Create(env(), dir.path(), "SOLUC", def, &t));
  for (int i = 0; i < kRecords; ++i) {
    ASSERT_OK(t->Append());
    ASSERT_OK(t->SetInteger(0, i));
    ASSERT_OK(t->SetText(1, "T" + std::to_string(i)));
    ASSERT_OK(t->Post());
    ASSERT_EQ(*t->GetInteger("N"), i) << "the posted record stays current";
  }
  int expected = 0;
  for (Status s = t->First(); !t->Eof(); s = t->Next(), ++expected) {
    ASSERT_OK(s);
    ASSERT_EQ(*t->GetInteger("N"), expected);
    ASSERT_EQ(t->TextView(1), "T" + std::to_string(expected));
    if (expected == 4500) {
      ASSERT_OK(t->Edit());
      ASSERT_OK(t->SetText(1, "EDITADO"));
    }
  }
  EXPECT_EQ(expected, kRecords);
  ASSERT_OK(t->Close());

  ASSERT_OK(Table::Open(env(), dir.path(), "SOLUC", ShareMode::kShared, &t));
  EXPECT_EQ(t->RecordCount(), kRecords);
  expected = 0;
  for (Status s = t->First(); !t->Eof(); s = t->Next(), ++expected) {
    ASSERT_OK(s);
    ASSERT_EQ(*t->GetInteger("N"), expected);
    ASSERT_EQ(t->TextView(1), expected == 4500 ? "EDITADO" : "T" + std::to_string(expected));
  }
  EXPECT_EQ(expected, kRecords);
}

TEST(Table, NothingReachesTheRealFileBeforeClose) {
  TempFolder dir;
  WriteBytes(dir.File("PROFT.DBF"), TwoRecordTable());
  {
    std::unique_ptr<Table> t;
    ASSERT_OK(Table::Open(env(), dir.path(), "PROFT", ShareMode::kExclusive, &t));
    ASSERT_OK(t->Append());
    ASSERT_OK(t->SetText("COD", "NEW"));
    ASSERT_OK(t->Post());
  }  // destroyed without Close: abandoned
  EXPECT_EQ(ReadBytes(dir.File("PROFT.DBF")), TwoRecordTable());
  {
    std::unique_ptr<Table> t;
    ASSERT_OK(Table::Create(env(), dir.path(), "AULAT", ExampleDef(), &t));
    ASSERT_OK(t->Append());
    ASSERT_OK(t->Post());
    EXPECT_FALSE(env()->FileExists(dir.File("AULAT.DBF")));
  }
  EXPECT_FALSE(env()->FileExists(dir.File("AULAT.DBF")));
  EXPECT_FALSE(env()->FileExists(dir.File("AULAT.DBF.tmp"))) << "an abandoned table leaves nothing behind";
}

// A table being created streams its records to disk; walking back over it or
// editing one of them must still see every record.
TEST(Table, ATableBeingCreatedCanBeWalkedAndEditedBeforeClose) {
  TempFolder dir;
  std::unique_ptr<Table> t;
  ASSERT_OK(Table::Create(env(), dir.path(), "CURSOST", ExampleDef(), &t));
  for (const char* cod : {"C1", "C2", "C3"}) {
    ASSERT_OK(t->Append());
    ASSERT_OK(t->SetText("COD", cod));
    ASSERT_OK(t->Post());
    EXPECT_EQ(*t->GetText("COD"), cod) << "the posted record stays current";
  }
  ASSERT_OK(t->Next());
  EXPECT_TRUE(t->Eof());
  std::vector<std::string> seen;
  for (Status s = t->First(); !t->Eof(); s = t->Next()) {
    ASSERT_OK(s);
    seen.push_back(*t->GetText("COD"));
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"C1", "C2", "C3"}));
  ASSERT_OK(t->First());
  ASSERT_OK(t->Edit());
  ASSERT_OK(t->SetInteger("DIA", 5));
  ASSERT_OK(t->Append());
  ASSERT_OK(t->SetText("COD", "C4"));
  ASSERT_OK(t->Close());

  ASSERT_OK(Table::Open(env(), dir.path(), "CURSOST", ShareMode::kShared, &t));
  EXPECT_EQ(t->RecordCount(), 4);
  EXPECT_EQ(*t->GetInteger("DIA"), 5);
  EXPECT_FALSE(env()->FileExists(dir.File("CURSOST.DBF.tmp")));
}

// Tables bigger than the read window, with deleted records on both sides of
// the window's edges, walk in order and count right.
TEST(Table, BigTablesWalkThroughTheReadWindow) {
  TempFolder dir;
  const int kRecords = 9000;  // 9000 x 255 bytes: a little over two windows
  std::unique_ptr<Table> t;
  ASSERT_OK(Table::Create(env(), dir.path(), "SOLUC",
                          TableDef{{{"N", FieldType::kInteger}, {"RELLENO", FieldType::kCharacter, 243}}, {}},
                          &t));
  for (int i = 0; i < kRecords; ++i) {
    ASSERT_OK(t->Append());
    ASSERT_OK(t->SetInteger("N", i));
  }
  ASSERT_OK(t->Close());
  std::string bytes = ReadBytes(dir.File("SOLUC.DBF"));
  const size_t header = 32 + 2 * 32 + 1, length = 255;
  ASSERT_EQ(bytes.size(), header + kRecords * length + 1);
  std::set<int> deleted = {0, 4111, 4112, 4113, 8223, 8224, kRecords - 1};  // window holds 4112 records
  for (int d : deleted) bytes[header + d * length] = '*';
  WriteBytes(dir.File("SOLUC.DBF"), bytes);

  ASSERT_OK(Table::Open(env(), dir.path(), "SOLUC", ShareMode::kShared, &t));
  EXPECT_EQ(t->RecordCount(), kRecords - static_cast<int64_t>(deleted.size()));
  int expected = 0, walked = 0;
  for (Status s = t->First(); !t->Eof(); s = t->Next()) {
    ASSERT_OK(s);
    while (deleted.count(expected)) ++expected;
    ASSERT_EQ(*t->GetInteger("N"), expected);
    ++expected;
    ++walked;
  }
  EXPECT_EQ(walked, kRecords - static_cast<int>(deleted.size()));
}

TEST(Table, CreateDeletesTheOldTableAndALeftoverIndex) {
  TempFolder dir;
  WriteBytes(dir.File("DIASHORAST.DBF"), TwoRecordTable());
  WriteBytes(dir.File("DIASHORAST.MDX"), "viejo");
  WriteBytes(dir.File("MATIB.MDX"), "huerfano");  // an index without its table
  std::unique_ptr<Table> t;
  ASSERT_OK(Table::Create(env(), dir.path(), "DIASHORAST", ExampleDef(), &t));
  EXPECT_FALSE(env()->FileExists(dir.File("DIASHORAST.MDX")));
  ASSERT_OK(t->Close());
  std::unique_ptr<Table> empty;
  ASSERT_OK(Table::Open(env(), dir.path(), "DIASHORAST", ShareMode::kShared, &empty));
  EXPECT_EQ(empty->RecordCount(), 0);
  EXPECT_TRUE(empty->Eof());
  EXPECT_EQ(*empty->GetText("COD"), "") << "at the end fields read blank";

  ASSERT_OK(Table::Create(env(), dir.path(), "MATIB.DBF", ExampleDef(), &t));
  EXPECT_FALSE(env()->FileExists(dir.File("MATIB.MDX")));
  EXPECT_EQ(t->name(), "MATIB");
}

TEST(Table, IndexTagSetsTheProductionIndexFlags) {
  TempFolder dir;
  TableDef def{{{"ABREV", FieldType::kCharacter, 10}, {"NOMBRE", FieldType::kCharacter, 80}},
               {{"ABREV", "ABREV"}}};
  std::unique_ptr<Table> t;
  ASSERT_OK(Table::Create(env(), dir.path(), "MATIB", def, &t));
  ASSERT_OK(t->Append());
  ASSERT_OK(t->SetText("ABREV", "MAT"));
  ASSERT_OK(t->Close());
  const std::string bytes = ReadBytes(dir.File("MATIB.DBF"));
  ASSERT_GT(bytes.size(), 96u);
  EXPECT_EQ(bytes[28], 1) << "production index flag";
  EXPECT_EQ(bytes[32 + 31], 1) << "ABREV has a tag";
  EXPECT_EQ(bytes[64 + 31], 0) << "NOMBRE has none";

  ASSERT_OK(Table::Open(env(), dir.path(), "MATIB", ShareMode::kExclusive, &t));
  EXPECT_EQ(*t->GetText("ABREV"), "MAT") << "readable";
  Status s = t->Edit();
  EXPECT_EQ(s.code(), StatusCode::kInvalidArgument) << "an index we did not define is never left stale";
  EXPECT_THAT(s.message(), HasSubstr("MATIB"));
}

TEST(Table, RefusesBadDefinitionsWithoutTouchingTheOldTable) {
  TempFolder dir;
  WriteBytes(dir.File("T.DBF"), TwoRecordTable());
  const struct {
    const char* why;
    TableDef def;
  } kCases[] = {
      {"no fields", TableDef{}},
      {"width 0", TableDef{{{"A", FieldType::kCharacter, 0}}, {}}},
      {"width 255", TableDef{{{"A", FieldType::kCharacter, 255}}, {}}},
      {"name too long", TableDef{{{"ABCDEFGHIJK", FieldType::kCharacter, 1}}, {}}},
      {"name with a blank", TableDef{{{"A B", FieldType::kCharacter, 1}}, {}}},
      {"repeated name", TableDef{{{"A", FieldType::kLogical}, {"a", FieldType::kLogical}}, {}}},
      {"index on a missing field", TableDef{{{"A", FieldType::kCharacter, 1}}, {{"B", "B"}}}},
      {"index on a number", TableDef{{{"A", FieldType::kInteger}}, {{"A", "A"}}}},
      {"index key longer than dBase allows", TableDef{{{"A", FieldType::kCharacter, 101}}, {{"A", "A"}}}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    std::unique_ptr<Table> t;
    Status s = Table::Create(env(), dir.path(), "T", c.def, &t);
    EXPECT_EQ(s.code(), StatusCode::kInvalidArgument);
    EXPECT_THAT(s.message(), HasSubstr("T"));
  }
  EXPECT_EQ(ReadBytes(dir.File("T.DBF")), TwoRecordTable());
}

TEST(Table, ErrorsNameTheTableFieldAndRecord) {
  TempFolder dir;
  std::string bytes = TwoRecordTable();
  bytes.replace(145 + 4, 11, "      12a  ");  // DIA of record 2 is not a number
  WriteBytes(dir.File("SOLUC.DBF"), bytes);
  std::unique_ptr<Table> t;
  ASSERT_OK(Table::Open(env(), dir.path(), "SOLUC", ShareMode::kShared, &t));

  Result<std::string> missing = t->GetText("TAREA");
  EXPECT_EQ(missing.status().code(), StatusCode::kInvalidArgument);
  EXPECT_THAT(missing.status().message(), HasSubstr("SOLUC"));
  EXPECT_THAT(missing.status().message(), HasSubstr("TAREA"));
  EXPECT_EQ(t->SetText("COD", "x").code(), StatusCode::kInvalidArgument) << "not in edit";
  EXPECT_EQ(t->FieldIndex("NADA").status().code(), StatusCode::kInvalidArgument);
  EXPECT_EQ(*t->FieldIndex("act"), 2);

  ASSERT_OK(t->Next());
  for (const Status& s : {t->GetFloat("DIA").status(), t->GetInteger("DIA").status(),
                          t->GetNumberText("DIA").status(), t->GetText("DIA").status()}) {
    EXPECT_EQ(s.code(), StatusCode::kCorrupt);
    EXPECT_THAT(s.message(), HasSubstr("SOLUC"));
    EXPECT_THAT(s.message(), HasSubstr("DIA"));
    EXPECT_THAT(s.message(), HasSubstr("registro 2"));
  }
}

TEST(Table, NumbersThatDoNotFitAreRefusedNotMangled) {
  TempFolder dir;
  std::unique_ptr<Table> t;
  ASSERT_OK(Table::Create(env(), dir.path(), "ASIGT",
                          TableDef{{{"HORAS", FieldType::kFloat}, {"DNI", FieldType::kInteger}}, {}}, &t));
  ASSERT_OK(t->Append());
  EXPECT_EQ(t->SetFloat("HORAS", 1e20).code(), StatusCode::kInvalidArgument);
  EXPECT_EQ(t->SetFloat("HORAS", std::numeric_limits<double>::quiet_NaN()).code(),
            StatusCode::kInvalidArgument);
  EXPECT_EQ(t->SetInteger("DNI", 100000000000LL).code(), StatusCode::kInvalidArgument);
  EXPECT_EQ(t->SetText("DNI", "doce").code(), StatusCode::kInvalidArgument);
  EXPECT_TRUE(t->SetFloat("HORAS", 999999999999999.0).ok()) << "15 integer digits fit";
  EXPECT_TRUE(t->SetInteger("DNI", 9999999999LL).ok());
  EXPECT_EQ(*t->GetText("DNI"), "9999999999");
  ASSERT_OK(t->SetFloat("HORAS", -0.00001));
  EXPECT_EQ(*t->GetNumberText("HORAS"), "0") << "no negative zero";
}

TEST(Table, FieldLookupTellsApartNamesThatShareMostBytes) {
  const std::vector<std::string> names = {"A",        "AB",         "ABC",        "ABCD",       "ABCE",
                                          "ABCDEFGH", "ABCDEFGHIJ", "ABCDEFGHIK", "XBCDEFGHIJ", "ABCDXFGHIJ"};
  TableDef def;
  for (const std::string& n : names) def.fields.push_back({n, FieldType::kLogical});
  TempFolder dir;
  std::unique_ptr<Table> t;
  ASSERT_OK(Table::Create(env(), dir.path(), "NOMBRES", def, &t));
  for (int round = 0; round < 2; ++round) {  // asked again after every other name
    for (size_t i = 0; i < names.size(); ++i) {
      SCOPED_TRACE(names[i]);
      EXPECT_EQ(*t->FieldIndex(names[i]), static_cast<int>(i));
      EXPECT_EQ(*t->FieldIndex(text::FoldCaseCopy(names[i])), static_cast<int>(i));
    }
  }
  EXPECT_FALSE(t->FieldIndex("ABCDEFGHIJKLMNOPQ").ok());
  EXPECT_FALSE(t->FieldIndex("").ok());

  // As many fields as a table can hold, asked from the last.
  def.fields.clear();
  for (int i = 0; i < 255; ++i) def.fields.push_back({"F" + std::to_string(i), FieldType::kLogical});
  ASSERT_OK(Table::Create(env(), dir.path(), "MUCHOS", def, &t));
  for (int i = 254; i >= 0; --i) {
    EXPECT_EQ(*t->FieldIndex("F" + std::to_string(i)), i);
    EXPECT_EQ(*t->FieldIndex("f" + std::to_string(i)), i);
  }
  EXPECT_FALSE(t->FieldIndex("F255").ok());
}

TEST(Table, OpenFailuresNameTheTable) {
  TempFolder dir;
  std::unique_ptr<Table> t;
  Status s = Table::Open(env(), dir.path(), "SOLUC", ShareMode::kShared, &t);
  EXPECT_EQ(s.code(), StatusCode::kNotFound);
  EXPECT_THAT(s.message(), HasSubstr("SOLUC"));

  std::string bytes = TwoRecordTable();
  bytes[4] = 9;  // nine records claimed, two present
  WriteBytes(dir.File("GRUPOST.DBF"), bytes);
  s = Table::Open(env(), dir.path(), "GRUPOST", ShareMode::kShared, &t);
  EXPECT_EQ(s.code(), StatusCode::kCorrupt);
  EXPECT_THAT(s.message(), HasSubstr(dir.File("GRUPOST.DBF")));
}

// A second exclusive open of a table fails while the first holds it, on
// Windows (share mode) and elsewhere (flock), and succeeds once it is closed.
TEST(Table, ExclusiveOpenFailsWhileAnotherHolderHasTheTable) {
  TempFolder dir;
  WriteBytes(dir.File("PROFT.DBF"), TwoRecordTable());
  std::unique_ptr<Table> first, second;
  ASSERT_OK(Table::Open(env(), dir.path(), "PROFT", ShareMode::kExclusive, &first));
  Status s = Table::Open(env(), dir.path(), "PROFT", ShareMode::kExclusive, &second);
  EXPECT_EQ(s.code(), StatusCode::kLocked);
  EXPECT_THAT(s.message(), HasSubstr("PROFT"));
  EXPECT_EQ(Table::Open(env(), dir.path(), "PROFT", ShareMode::kShared, &second).code(), StatusCode::kLocked);
  ASSERT_OK(first->Edit());
  ASSERT_OK(first->SetText("COD", "ABC"));
  ASSERT_OK(first->Close());
  ASSERT_OK(Table::Open(env(), dir.path(), "PROFT", ShareMode::kExclusive, &second));
  EXPECT_EQ(*second->GetText("COD"), "ABC");
}

#ifndef _WIN32
// Horalia under Wine may save a table in lower case; a table is found
// whatever the case of its file name, and Create leaves no stale variant.
TEST(Table, FileNamesMatchWithoutRegardToCase) {
  TempFolder dir;
  WriteBytes(dir.File("soluc.dbf"), TwoRecordTable());
  std::unique_ptr<Table> t;
  ASSERT_OK(Table::Open(env(), dir.path(), "SOLUC", ShareMode::kShared, &t));
  EXPECT_EQ(t->RecordCount(), 2);
  ASSERT_OK(Table::Create(env(), dir.path(), "SOLUC", ExampleDef(), &t));
  EXPECT_FALSE(env()->FileExists(dir.File("soluc.dbf")));
}
#endif

#ifndef _WIN32
// Another program may cut a table that is held shared while it is walked:
// the walk reports it by name instead of reading past the end.
TEST(Table, ATableCutShortWhileWalkedIsReported) {
  TempFolder dir;
  std::unique_ptr<Table> t;
  ASSERT_OK(Table::Create(env(), dir.path(), "GRUPOST",
                          TableDef{{{"RELLENO", FieldType::kCharacter, 250}}, {}}, &t));
  for (int i = 0; i < 9000; ++i) ASSERT_OK(t->Append());
  ASSERT_OK(t->Close());
  ASSERT_OK(Table::Open(env(), dir.path(), "GRUPOST", ShareMode::kShared, &t));
  std::filesystem::resize_file(dir.File("GRUPOST.DBF"), 100000);
  Status s;
  while (s.ok() && !t->Eof()) s = t->Next();
  EXPECT_EQ(s.code(), StatusCode::kCorrupt);
  EXPECT_THAT(s.message(), HasSubstr("GRUPOST"));
}
#endif

// Fail every write step of creating a table in turn: each failure is
// reported, and neither the table nor its temporary file is left behind.
TEST(Table, EveryFailedStepOfCreatingLeavesNoTable) {
  TempFolder dir;
  TableDef def = ExampleDef();
  def.indexes = {{"COD", "COD"}};
  for (int k = 0;; ++k) {
    SCOPED_TRACE(k);
    testing::FaultEnv faults;
    faults.FailAt(k);
    std::unique_ptr<Table> t;
    Status s = Table::Create(&faults, dir.path(), "MATIB", def, &t);
    for (int i = 0; s.ok() && i < 3; ++i) {
      s = t->Append();
      if (s.ok()) s = t->SetText("COD", "M" + std::to_string(i));
      if (s.ok()) s = t->Post();
    }
    if (s.ok()) s = t->Close();
    t.reset();
    if (!faults.failed()) {
      ASSERT_OK(s);
      EXPECT_TRUE(env()->FileExists(dir.File("MATIB.DBF")));
      EXPECT_TRUE(env()->FileExists(dir.File("MATIB.MDX")));
      break;
    }
    EXPECT_FALSE(s.ok());
    EXPECT_THAT(s.message(), HasSubstr("MATIB"));
    EXPECT_FALSE(env()->FileExists(dir.File("MATIB.DBF")));
    EXPECT_FALSE(env()->FileExists(dir.File("MATIB.MDX")));
    EXPECT_FALSE(env()->FileExists(dir.File("MATIB.DBF.tmp")));
  }
}

// A builder that goes on after a failed write must not end with a table that
// silently lacks the records of that write: Close reports the failure and
// leaves no table. Enough records for a write of the batch before the walk
// back to the first record brings the table into memory, and more after.
TEST(Table, AFailedWriteIsReportedByCloseEvenIfIgnored) {
  TempFolder dir;
  const TableDef def{{{"TEXTO", FieldType::kCharacter, 254}}, {}};
  for (int k = 0;; ++k) {
    SCOPED_TRACE(k);
    testing::FaultEnv faults;
    faults.FailAt(k);
    std::unique_ptr<Table> t;
    Status s = Table::Create(&faults, dir.path(), "GRUPOST", def, &t);
    if (s.ok()) {
      for (int i = 0; i < 10000; ++i) {  // every error ignored
        if (i == 5000) t->First().ok();
        t->Append().ok();
        t->SetText(0, "G" + std::to_string(i)).ok();
        t->Post().ok();
      }
      s = t->Close();
    }
    t.reset();
    if (!faults.failed()) {
      ASSERT_OK(s);
      EXPECT_FALSE(env()->FileExists(dir.File("GRUPOST.DBF.tmp")));
      ASSERT_OK(Table::Open(env(), dir.path(), "GRUPOST", ShareMode::kShared, &t));
      EXPECT_EQ(t->RecordCount(), 10000);
      break;
    }
    EXPECT_FALSE(s.ok());
    EXPECT_THAT(s.message(), HasSubstr("GRUPOST"));
    EXPECT_FALSE(env()->FileExists(dir.File("GRUPOST.DBF")));
    EXPECT_FALSE(env()->FileExists(dir.File("GRUPOST.DBF.tmp")));
  }
}

// Fail every write step of Close in turn: each failure is reported and the
// table on disk stays exactly as it was, with no temporary file left over.
TEST(Table, EveryFailedWriteStepLeavesTheOldTable) {
  TempFolder dir;
  const std::string original = TwoRecordTable();
  for (int k = 0;; ++k) {
    SCOPED_TRACE(k);
    WriteBytes(dir.File("CURSOST.DBF"), original);
    testing::FaultEnv faults;
    std::unique_ptr<Table> t;
    ASSERT_OK(Table::Open(&faults, dir.path(), "CURSOST", ShareMode::kExclusive, &t));
    ASSERT_OK(t->Append());
    ASSERT_OK(t->SetText("COD", "NEW"));
    faults.FailAt(k);
    Status s = t->Close();
    if (!faults.failed()) {
      ASSERT_OK(s);
      EXPECT_GT(k, 2) << "create, append, close and rename were all tried";
      break;
    }
    EXPECT_FALSE(s.ok());
    EXPECT_THAT(s.message(), HasSubstr("CURSOST"));
    EXPECT_EQ(ReadBytes(dir.File("CURSOST.DBF")), original);
    EXPECT_FALSE(env()->FileExists(dir.File("CURSOST.DBF.tmp")));
  }
}

}  // namespace
}  // namespace pontevia::access
