// The import run on small working folders built for each case: the lookup
// tables with the project's engine, SOLUC byte by byte (so that its numeric
// columns can take the types and widths Horalia or other writers use, and
// hold damaged values).
#include "import/import_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "access/dbf_table.h"
#include "access/env.h"
#include "access/xml_document.h"

namespace pontevia::importer {
namespace {

using access::Env;
using access::FieldType;
using access::Table;
using access::TableDef;
using ::testing::HasSubstr;

namespace fs = std::filesystem;

// ---- building the working folder ------------------------------------------

using Rows = std::vector<std::vector<std::string>>;

void WriteTable(const std::string& folder, const std::string& name,
                const std::vector<std::pair<std::string, int>>& fields, const Rows& rows) {
  TableDef def;
  for (const auto& [field, width] : fields) def.fields.push_back({field, FieldType::kCharacter, width});
  std::unique_ptr<Table> table;
  ASSERT_TRUE(Table::Create(Env::Default(), folder, name, def, &table).ok());
  for (const auto& row : rows) {
    ASSERT_TRUE(table->Append().ok());
    for (size_t i = 0; i < row.size(); ++i) {
      ASSERT_TRUE(table->SetText(fields[i].first, row[i]).ok());
    }
    ASSERT_TRUE(table->Post().ok());
  }
  ASSERT_TRUE(table->Close().ok());
}

struct DbfField {
  std::string name;
  char type;
  int width;
  int decimals;
};

struct DbfRecord {
  bool deleted;
  std::vector<std::string> values;  // character values left-aligned, others right-aligned
};

// A dBase III/IV table, written from the published layout: 32-byte header,
// 32-byte field descriptors, 0x0D, fixed-length records behind a flag byte,
// 0x1A.
std::string DbfBytes(const std::vector<DbfField>& fields, const std::vector<DbfRecord>& records) {
  size_t record_length = 1;
  for (const auto& f : fields) record_length += f.width;
  const size_t header_length = 32 + 32 * fields.size() + 1;
  std::string out(32, '\0');
  out[0] = 0x03;
  out[1] = 124, out[2] = 5, out[3] = 14;
  for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<char>((records.size() >> (8 * i)) & 0xFF);
  out[8] = static_cast<char>(header_length & 0xFF), out[9] = static_cast<char>(header_length >> 8);
  out[10] = static_cast<char>(record_length & 0xFF), out[11] = static_cast<char>(record_length >> 8);
  out[29] = 0x57;
  for (const auto& f : fields) {
    std::string d(32, '\0');
    d.replace(0, f.name.size(), f.name);
    d[11] = f.type;
    d[16] = static_cast<char>(f.width);
    d[17] = static_cast<char>(f.decimals);
    out += d;
  }
  out += '\x0D';
  for (const auto& r : records) {
    out += r.deleted ? '*' : ' ';
    for (size_t i = 0; i < fields.size(); ++i) {
      std::string v = i < r.values.size() ? r.values[i] : "";
      v.resize(std::min<size_t>(v.size(), fields[i].width));
      const std::string pad(fields[i].width - v.size(), ' ');
      out += fields[i].type == 'C' ? v + pad : pad + v;
    }
  }
  out += '\x1A';
  return out;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary);
  f << bytes;
  ASSERT_TRUE(f.good());
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// SOLUC with DIA and HORA as Horalia writes them by default, N(2,0) and
// N(5,2), and the five codes.
struct Soluc {
  std::string dia, hora, prof, grupo, aula, asig, tarea;
};

const std::vector<DbfField> kSolucFields = {
    {"DIA", 'N', 2, 0},       {"HORA", 'N', 5, 2},  {"PROF", 'C', 10, 0}, {"CODGRUPO", 'C', 10, 0},
    {"AULA", 'C', 10, 0},     {"ASIG", 'C', 10, 0}, {"TAREA", 'C', 10, 0}, {"SESION", 'N', 3, 0}};

std::string SolucBytes(const std::vector<Soluc>& rows) {
  std::vector<DbfRecord> records;
  for (const auto& r : rows) {
    records.push_back({false, {r.dia, r.hora, r.prof, r.grupo, r.aula, r.asig, r.tarea, "1"}});
  }
  return DbfBytes(kSolucFields, records);
}

// ---- reading the document back --------------------------------------------

using Attributes = std::vector<std::pair<std::string, std::string>>;

std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '&') {
      out += s[i];
      continue;
    }
    const size_t end = s.find(';', i);
    const std::string entity = s.substr(i + 1, end - i - 1);
    if (entity == "amp") out += '&';
    else if (entity == "lt") out += '<';
    else if (entity == "gt") out += '>';
    else if (entity == "quot") out += '"';
    else if (entity == "apos") out += '\'';
    else if (entity.size() > 1 && entity[0] == '#') {
      const long code = entity[1] == 'x' ? std::stol(entity.substr(2), nullptr, 16) : std::stol(entity.substr(1));
      EXPECT_LT(code, 0x80) << "only ASCII is escaped by number in these fixtures";
      out += static_cast<char>(code);
    } else {
      ADD_FAILURE() << "unexpected entity " << entity;
    }
    i = end;
  }
  return out;
}

// The attributes of every SESSIO element, in the order the file holds them.
// Read from the bytes, since the order is part of what GestIB gets.
std::vector<Attributes> ReadSessions(const std::string& path) {
  const std::string xml = ReadFileBytes(path);
  std::vector<Attributes> sessions;
  for (size_t at = xml.find("<SESSIO"); at != std::string::npos; at = xml.find("<SESSIO", at + 1)) {
    const char next = xml[at + 7];
    if (next != ' ' && next != '/' && next != '>') continue;  // <SESSIONS>
    const size_t end = xml.find('>', at);
    Attributes attributes;
    size_t i = at + 7;
    while (true) {
      const size_t eq = xml.find('=', i);
      if (eq == std::string::npos || eq > end) break;
      size_t name_start = xml.find_first_not_of(" \t\r\n", i);
      std::string name = xml.substr(name_start, eq - name_start);
      const char quote = xml[eq + 1];
      const size_t close = xml.find(quote, eq + 2);
      attributes.push_back({name, Unescape(xml.substr(eq + 2, close - eq - 2))});
      i = close + 1;
    }
    sessions.push_back(std::move(attributes));
  }
  return sessions;
}

Attributes Session(const std::string& placa, const std::string& curs, const std::string& grup,
                   const std::string& dia, const std::string& hora, const std::string& durada,
                   const std::string& aula, const std::string& materia,
                   const std::string& activitat) {
  return {{"placa", placa}, {"curs", curs},     {"grup", grup},       {"dia", dia},
          {"hora", hora},   {"durada", durada}, {"aula", aula},       {"materia", materia},
          {"activitat", activitat}};
}

// ---- the fixture ----------------------------------------------------------

class ImportRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int counter = 0;
    std::random_device rd;
    root_ = (fs::temp_directory_path() /
             ("pontevia_import_" + std::to_string(rd()) + "_" + std::to_string(++counter)))
                .string();
    work_ = (fs::path(root_) / "htemp").string();
    out_ = (fs::path(root_) / "saga").string();
    fs::create_directories(work_);
    fs::create_directories(out_);
    chosen_ = (fs::path(out_) / "cualquier cosa.txt").string();
    WriteFile(chosen_, "no es XML");
    output_ = (fs::path(out_) / "SolucioHorari.xml").string();
    WriteSchool();
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  // One teacher, group, room and subject, one activity, and a frame of day
  // 3 with periods 1 to 5. Accented texts are Windows-1252 bytes.
  void WriteSchool() {
    WriteTable(work_, "PROFT", {{"ABREV", 10}, {"CODI", 40}},
               {{"MAT1", "7101"}, {"CAT1", "7102"}, {"", "7199"}});
    WriteTable(work_, "GRUPOST", {{"ABREV", 10}, {"CODI", 20}, {"CODICURS", 20}},
               {{"ESO1A", "340101", "3401"}, {"ESO1B", "340102", "3401"}});
    WriteTable(work_, "AULAT", {{"ABREV", 10}, {"CODI", 60}},
               {{"Aula 1.01", "A101"}, {"Laboratori", "LCN"}});
    WriteTable(work_, "ASIGNOMT", {{"COD", 10}, {"CODI", 20}},
               {{"MAT", "60104"}, {"CAT", "60101"}, {"52001", "52001"}});
    WriteFrame({{"31", "3", "08:00", "55"},
                {"32", "3", "08:55", "55"},
                {"33", "3", "09:50", "55"},
                {"34", "3", "11:15", "55"},
                {"35", "3", "12:10", "55"}});
  }
  void WriteFrame(const Rows& rows) {
    WriteTable(work_, "DIASHORAST", {{"DIHO", 10}, {"DIA", 20}, {"HORADESDE", 8}, {"MINUTOS", 8}},
               rows);
  }
  void WriteSoluc(const std::vector<Soluc>& rows) {
    WriteFile((fs::path(work_) / "SOLUC.DBF").string(), SolucBytes(rows));
  }

  Status Run() { return RunImport(Env::Default(), {chosen_, work_}, &summary_); }

  std::string root_, work_, out_, chosen_, output_;
  ImportSummary summary_;
};

TEST_F(ImportRunTest, WritesOneSessionPerRecordWithNineAttributesInOrder) {
  WriteTable(work_, "PROFT", {{"ABREV", 10}, {"CODI", 40}}, {{"MAT1", "Pla\xE7" "a 7101"}});
  WriteSoluc({{"3", "1", "MAT1", "ESO1A", "Aula 1.01", "MAT", ""},
              {"3", "4", "CAT1", "ESO1B", "Laboratori", "CAT", ""}});
  ASSERT_TRUE(Run().ok());

  EXPECT_EQ(summary_.output_path, output_);
  EXPECT_EQ(summary_.sessions, 2);
  EXPECT_FALSE(summary_.half_hours);
  const auto sessions = ReadSessions(output_);
  ASSERT_EQ(sessions.size(), 2u);
  EXPECT_EQ(sessions[0], Session("Pla\xC3\xA7" "a 7101", "3401", "340101", "3", "08:00", "55",
                                 "A101", "60104", ""));
  // CAT1 is not in the PROFT written for this case: an empty placa, still present.
  EXPECT_EQ(sessions[1], Session("", "3401", "340102", "3", "11:15", "55", "LCN", "60101", ""));
  EXPECT_EQ(summary_.unresolved_teachers, 1);

  // The tree is HORARI / SESSIONS / SESSIO, read back through the backend.
  std::unique_ptr<access::XmlDocument> doc;
  ASSERT_TRUE(access::XmlDocument::Load(output_, &doc).ok());
  EXPECT_EQ(doc->DocumentElement().Name(), "HORARI");
  EXPECT_EQ(doc->SelectNodes("/HORARI/SESSIONS").size(), 1u);
  EXPECT_EQ(doc->SelectNodes("/HORARI/SESSIONS/SESSIO").size(), 2u);
  // The chosen file only names the folder.
  EXPECT_EQ(ReadFileBytes(chosen_), "no es XML");
}

TEST_F(ImportRunTest, NothingToExportStillWritesAnEmptySessionsElement) {
  const struct {
    const char* why;
    std::vector<Soluc> rows;
  } kCases[] = {
      {"empty SOLUC", {}},
      {"every record of day 0", {{"0", "1", "MAT1", "ESO1A", "", "MAT", ""}, {"0", "2", "", "", "", "", ""}}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    WriteSoluc(c.rows);
    ASSERT_TRUE(Run().ok());
    EXPECT_EQ(summary_.sessions, 0);
    EXPECT_EQ(summary_.skipped_day_zero, static_cast<int64_t>(c.rows.size()));
    std::unique_ptr<access::XmlDocument> doc;
    ASSERT_TRUE(access::XmlDocument::Load(output_, &doc).ok());
    EXPECT_EQ(doc->SelectNodes("/HORARI/SESSIONS").size(), 1u);
    EXPECT_TRUE(ReadSessions(output_).empty());
  }
}

// A record that is not exported still decides the half-hour mode: HORA 2
// is then period 3, not period 2.
TEST_F(ImportRunTest, DayZeroRecordSwitchesHalfHourModeOn) {
  WriteSoluc({{"3", "2", "MAT1", "", "", "", ""}, {"0", "1.50", "", "", "", "", ""}});
  ASSERT_TRUE(Run().ok());
  EXPECT_TRUE(summary_.half_hours);
  const auto sessions = ReadSessions(output_);
  ASSERT_EQ(sessions.size(), 1u);
  EXPECT_EQ(sessions[0][4].second, "09:50");

  WriteSoluc({{"3", "2", "MAT1", "", "", "", ""}, {"0", "1", "", "", "", "", ""}});
  ASSERT_TRUE(Run().ok());
  EXPECT_FALSE(summary_.half_hours);
  EXPECT_EQ(ReadSessions(output_)[0][4].second, "08:55");
}

TEST_F(ImportRunTest, HalfHourStepsMapOntoConsecutivePeriods) {
  WriteSoluc({{"3", "1", "", "", "", "", ""},
              {"3", "1.5", "", "", "", "", ""},
              {"3", "2", "", "", "", "", ""},
              {"3", "2.5", "", "", "", "", ""},
              {"3", "3", "", "", "", "", ""}});
  ASSERT_TRUE(Run().ok());
  const char* kStarts[] = {"08:00", "08:55", "09:50", "11:15", "12:10"};
  const auto sessions = ReadSessions(output_);
  ASSERT_EQ(sessions.size(), 5u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(sessions[i][4].second, kStarts[i]) << "record " << i + 1;
}

TEST_F(ImportRunTest, ActivityEmptiesGroupRoomAndSubjectEvenWhenTheyMatch) {
  WriteSoluc({{"3", "2", "MAT1", "ESO1A", "Aula 1.01", "MAT", "52001"},
              {"3", "3", "MAT1", "ESO1A", "Aula 1.01", "MAT", "\t"},
              {"3", "5", "CAT1", "ESO1B", "Laboratori", "52001", "\t52001"}});
  ASSERT_TRUE(Run().ok());
  const auto sessions = ReadSessions(output_);
  ASSERT_EQ(sessions.size(), 3u);
  EXPECT_EQ(sessions[0], Session("7101", "", "", "3", "08:55", "55", "", "", "52001"));
  // A task of blanks and control characters is no task, yet it is copied as read.
  EXPECT_EQ(sessions[1], Session("7101", "3401", "340101", "3", "09:50", "55", "A101", "60104", "\t"));
  EXPECT_EQ(sessions[2], Session("7102", "", "", "3", "12:10", "55", "", "", "\t52001"));
}

// Codes compare exactly and the first record of a repeated code wins, in
// every lookup table.
TEST_F(ImportRunTest, LookupsTakeTheFirstExactMatch) {
  WriteTable(work_, "PROFT", {{"ABREV", 10}, {"CODI", 40}},
             {{"mat1", "lower"}, {"MAT1", "first"}, {"MAT1", "second"}, {" CAT1", "lead"}});
  WriteTable(work_, "GRUPOST", {{"ABREV", 10}, {"CODI", 20}, {"CODICURS", 20}},
             {{"ESO1A", "g1", "c1"}, {"ESO1A", "g2", "c2"}});
  WriteTable(work_, "AULAT", {{"ABREV", 10}, {"CODI", 60}}, {{"A", "r1"}, {"A", "r2"}});
  // A subject and an activity can share a code; the subject comes first.
  WriteTable(work_, "ASIGNOMT", {{"COD", 10}, {"CODI", 20}}, {{"MAT", "s1"}, {"MAT", "act"}});
  WriteFrame({{"112", "first", "08:00", "55"}, {"112", "second", "09:00", "55"}});
  WriteSoluc({{"1", "12", "MAT1", "ESO1A", "A", "MAT", ""},
              {"11", "2", "CAT1", "eso1a", "a", "mat", ""}});
  ASSERT_TRUE(Run().ok());
  const auto sessions = ReadSessions(output_);
  ASSERT_EQ(sessions.size(), 2u);
  EXPECT_EQ(sessions[0], Session("first", "c1", "g1", "first", "08:00", "55", "r1", "s1", ""));
  // Day 11, period 2 is the key of day 1, period 12 too; letter case and a
  // leading blank keep codes apart.
  EXPECT_EQ(sessions[1], Session("", "", "", "first", "08:00", "55", "", "", ""));
  EXPECT_EQ(summary_.unresolved_teachers, 1);
  EXPECT_EQ(summary_.unresolved_groups, 1);
  EXPECT_EQ(summary_.unresolved_rooms, 1);
  EXPECT_EQ(summary_.unresolved_subjects, 1);
  EXPECT_EQ(summary_.slots_not_found, 0);
}

TEST_F(ImportRunTest, SlotNotInTheFrameLeavesDayHourAndLengthEmpty) {
  WriteFrame({});
  WriteSoluc({{"3", "1", "MAT1", "ESO1A", "Aula 1.01", "MAT", ""}});
  ASSERT_TRUE(Run().ok());
  EXPECT_EQ(ReadSessions(output_)[0],
            Session("7101", "3401", "340101", "", "", "", "A101", "60104", ""));
  EXPECT_EQ(summary_.slots_not_found, 1);
}

// DIA and HORA are read whatever numeric column holds them; deleted records
// are not part of the solution, not even for the half-hour mode.
TEST_F(ImportRunTest, ReadsNumbersOfAnyWidthAndTypeAndSkipsDeletedRecords) {
  const std::vector<DbfField> fields = {
      {"ASIG", 'C', 10, 0}, {"HORA", 'F', 20, 10}, {"TAREA", 'C', 10, 0}, {"DIA", 'N', 10, 4},
      {"PROF", 'C', 10, 0}, {"AULA", 'C', 10, 0},  {"CODGRUPO", 'C', 10, 0}, {"OTRO", 'L', 1, 0}};
  WriteFile((fs::path(work_) / "SOLUC.DBF").string(),
            DbfBytes(fields, {{false, {"MAT", "2.0000000000", "", "3.0000", "MAT1", "", "", "T"}},
                              {true, {"MAT", "1.5000000000", "", "3.0000", "MAT1", "", "", "F"}},
                              {false, {"CAT", "4", "", "   03", "CAT1", "", "", "?"}},
                              {false, {"CAT", "1", "", "0.4000", "CAT1", "", "", " "}}}));
  ASSERT_TRUE(Run().ok());
  EXPECT_FALSE(summary_.half_hours);
  EXPECT_EQ(summary_.skipped_day_zero, 1);  // 0.4 rounds to day 0
  const auto sessions = ReadSessions(output_);
  ASSERT_EQ(sessions.size(), 2u);
  EXPECT_EQ(sessions[0], Session("7101", "", "", "3", "08:55", "55", "", "60104", ""));
  EXPECT_EQ(sessions[1], Session("7102", "", "", "3", "11:15", "55", "", "60101", ""));
}

// Horalia may keep a production index beside SOLUC, or flag one it did not
// write; the import only reads the records and needs neither.
TEST_F(ImportRunTest, ReadsSolucFlaggedWithAProductionIndex) {
  std::string bytes = SolucBytes({{"3", "1", "MAT1", "ESO1A", "Aula 1.01", "MAT", ""}});
  bytes[28] = 0x01;
  WriteFile((fs::path(work_) / "SOLUC.DBF").string(), bytes);
  Status status = Run();
  ASSERT_TRUE(status.ok()) << status.message();
  EXPECT_EQ(ReadSessions(output_).size(), 1u);
}

// While Horalia holds SOLUC the import stops before reading anything.
TEST_F(ImportRunTest, TableHeldByAnotherProgramIsReportedByName) {
  WriteSoluc({{"3", "1", "MAT1", "ESO1A", "Aula 1.01", "MAT", ""}});
  std::unique_ptr<access::FileLock> horalia;
  ASSERT_TRUE(Env::Default()
                  ->LockFile((fs::path(work_) / "SOLUC.DBF").string(), access::ShareMode::kExclusive, &horalia)
                  .ok());
  Status status = Run();
  EXPECT_EQ(status.code(), StatusCode::kLocked);
  EXPECT_THAT(status.message(), HasSubstr("SOLUC"));
  EXPECT_FALSE(fs::exists(output_));
}

TEST_F(ImportRunTest, ReplacesAnExistingDocumentWithoutAsking) {
  WriteFile(output_, "<viejo/>");
  WriteSoluc({{"3", "1", "MAT1", "ESO1A", "Aula 1.01", "MAT", ""}});
  ASSERT_TRUE(Run().ok());
  EXPECT_EQ(ReadSessions(output_).size(), 1u);
  EXPECT_THAT(ReadFileBytes(output_), ::testing::Not(HasSubstr("viejo")));
}

TEST_F(ImportRunTest, MissingChosenFileWritesNothing) {
  WriteSoluc({{"3", "1", "MAT1", "ESO1A", "Aula 1.01", "MAT", ""}});
  for (const std::string& chosen : {std::string(), (fs::path(out_) / "no.xml").string(), out_}) {
    SCOPED_TRACE(chosen);
    Status status = RunImport(Env::Default(), {chosen, work_}, &summary_);
    EXPECT_EQ(status.code(), StatusCode::kNotFound);
    EXPECT_EQ(status.message(), kNoFileMessage);
    EXPECT_FALSE(fs::exists(output_));
  }
}

// Every failure names the table (and the field), writes no document, leaves
// an earlier one as it was, and leaves no table held.
TEST_F(ImportRunTest, BadTablesFailCleanlyNamingTableAndField) {
  const std::string soluc = (fs::path(work_) / "SOLUC.DBF").string();
  const std::string good = SolucBytes({{"3", "1", "MAT1", "ESO1A", "Aula 1.01", "MAT", ""}});
  std::vector<DbfField> no_hora = kSolucFields;
  no_hora.erase(no_hora.begin() + 1);
  const struct {
    const char* why;
    std::string bytes;  // SOLUC.DBF; empty: no file
    const char* missing_table;
    StatusCode code;
    std::vector<std::string> named;
  } kCases[] = {
      {"SOLUC without HORA", DbfBytes(no_hora, {{false, {"3", "MAT1"}}}), nullptr,
       StatusCode::kBadInput, {"SOLUC", "HORA"}},
      {"DIA that is not a number", SolucBytes({{"3", "1", "", "", "", "", ""}, {"x", "1", "", "", "", "", ""}}),
       nullptr, StatusCode::kBadInput, {"SOLUC", "DIA", "registro 2"}},
      {"HORA that is not a number", SolucBytes({{"3", "1:30", "", "", "", "", ""}}), nullptr,
       StatusCode::kBadInput, {"SOLUC", "HORA", "1:30"}},
      {"SOLUC missing", "", nullptr, StatusCode::kNotFound, {"SOLUC"}},
      {"SOLUC cut short", good.substr(0, 40), nullptr, StatusCode::kCorrupt, {"SOLUC"}},
      {"GRUPOST missing", good, "GRUPOST", StatusCode::kNotFound, {"GRUPOST"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    WriteSchool();
    fs::remove(soluc);
    if (!c.bytes.empty()) WriteFile(soluc, c.bytes);
    if (c.missing_table) fs::remove(fs::path(work_) / (std::string(c.missing_table) + ".DBF"));
    WriteFile(output_, "<anterior/>");

    Status status = Run();
    EXPECT_EQ(status.code(), c.code);
    for (const std::string& name : c.named) EXPECT_THAT(status.message(), HasSubstr(name));
    EXPECT_EQ(ReadFileBytes(output_), "<anterior/>");
    for (const auto& entry : fs::directory_iterator(out_)) {
      const std::string name = entry.path().filename().string();
      EXPECT_TRUE(name == "SolucioHorari.xml" || name == "cualquier cosa.txt") << name;
    }
    for (const char* table : {"PROFT", "AULAT", "ASIGNOMT", "DIASHORAST"}) {
      std::unique_ptr<Table> reopened;
      EXPECT_TRUE(Table::Open(Env::Default(), work_, table, access::ShareMode::kExclusive, &reopened).ok())
          << table;
    }
  }

  // A lookup table without its key field.
  WriteSchool();
  WriteFile(soluc, good);
  WriteTable(work_, "AULAT", {{"CODIGO", 10}, {"CODI", 60}}, {});
  Status status = Run();
  EXPECT_EQ(status.code(), StatusCode::kBadInput);
  EXPECT_THAT(status.message(), HasSubstr("AULAT"));
  EXPECT_THAT(status.message(), HasSubstr("ABREV"));
}

// The indexes must answer as walks from the first record would, on tables
// full of repeated codes.
TEST_F(ImportRunTest, IndexedLookupsAgreeWithFirstMatchWalks) {
  std::mt19937 random(7);
  auto code = [&] { return std::string(1, static_cast<char>('A' + random() % 6)); };
  Rows teachers;
  for (int i = 0; i < 30; ++i) teachers.push_back({code(), "T" + std::to_string(i)});
  WriteTable(work_, "PROFT", {{"ABREV", 10}, {"CODI", 40}}, teachers);
  std::vector<Soluc> rows;
  for (int i = 0; i < 50; ++i) {
    rows.push_back({"3", "1", code() + (i % 7 == 0 ? "x" : ""), "", "", "", ""});
  }
  WriteSoluc(rows);
  ASSERT_TRUE(Run().ok());
  const auto sessions = ReadSessions(output_);
  ASSERT_EQ(sessions.size(), rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    std::string expected;
    for (const auto& t : teachers) {
      if (t[0] == rows[i].prof) {
        expected = t[1];
        break;
      }
    }
    EXPECT_EQ(sessions[i][0].second, expected) << "record " << i + 1 << " " << rows[i].prof;
  }
}

}  // namespace
}  // namespace pontevia::importer
