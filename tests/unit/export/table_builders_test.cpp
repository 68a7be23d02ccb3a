// Each table builder on a small school written inline, read back field by
// field. Expected values are worked by hand from the tables' rules.
#include "export/table_builders.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "access/dbf_table.h"
#include "access/xml_document.h"
#include "export/assignment_lines.h"
#include "export/warning_log.h"
#include "unit/export/export_fixture.h"
#include "unit/testutil/temp_folder.h"

namespace pontevia::exporter {
namespace {

using testing::ReadTableText;
using testing::ScriptedUser;
using testing::Showing;
using Rows = std::vector<std::vector<std::string>>;

class BuilderTest : public ::testing::Test {
 protected:
  BuilderTest() : warnings_(&user_) {
    ctx_.env = access::Env::Default();
    ctx_.folder = dir_.path();
    ctx_.ui = &user_;
    ctx_.warnings = &warnings_;
    ctx_.counts = &counts_;
  }

  std::unique_ptr<access::XmlDocument> Load(const std::string& body) {
    return testing::LoadXmlText(dir_.path(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<CENTRE>" +
                                                 body + "</CENTRE>");
  }

  testing::TempFolder dir_;
  ScriptedUser user_;
  WarningLog warnings_;
  std::vector<TableCount> counts_;
  BuildContext ctx_;
};

TEST_F(BuilderTest, SubjectsThenActivitiesWithTheirCodesAndCuts) {
  const std::string long_name(90, 'n');
  auto doc = Load(
      "<MATERIES>"
      "<MATERIA codi='1001' curs='C1' descripcio='Matemàtiques' curta='MAT'/>"
      "<MATERIA codi='1002' curs='C1' descripcio='  Llengua\t' curta='ABCDEFGHIJK'/>"
      "<MATERIA codi='1003' curs='C2' descripcio='" + long_name + "' curta='mat'/>"
      "<MATERIA codi='1004' curs='C2' descripcio='Deu' curta='ABCDEFGHIJ'/>"
      "</MATERIES>"
      "<ACTIVITATS>"
      "<ACTIVITAT codi='GUARDIA-DE-PATI' descripcio='Guàrdia' curta='GUARDIAPATI1'/>"
      "<ACTIVITAT codi='MAT' descripcio='Activitat' curta='X'/>"
      "<ACTIVITAT codi='MAT' descripcio='Altra' curta='Y'/>"
      "</ACTIVITATS>");
  ASSERT_TRUE(BuildSubjectsTable(doc.get(), &ctx_).ok());

  auto t = ReadTableText(dir_.path(), "ASIGNOMT");
  EXPECT_EQ(t.fields, (std::vector<std::string>{"COD", "CODLARGO", "NOMBRE", "CODI", "HORAS",
                                                "CODICURS", "ESTAREA", "DENIVEL", "DECURSO"}));
  const Rows want = {
      {"MAT", "MAT", "Matem\xE0tiques", "1001", "4", "C1", "F", "", ""},
      {"ABCDEFGHIK", "ABCDEFGHIK", "Llengua", "1002", "4", "C1", "F", "", ""},
      {"mat1", "mat", std::string(80, 'n'), "1003", "4", "C2", "F", "", ""},
      {"ABCDEFGHIJ", "ABCDEFGHIJ", "Deu", "1004", "4", "C2", "F", "", ""},
      // activities: COD is the identifier cut to 10, never numbered
      {"GUARDIA-DE", "GUARDIAPAT", "Gu\xE0rdia", "GUARDIA-DE-PATI", "4", "", "T", "", ""},
      {"MAT", "X", "Activitat", "MAT", "4", "", "T", "", ""},
      {"MAT", "Y", "Altra", "MAT", "4", "", "T", "", ""},
  };
  EXPECT_EQ(t.rows, want);
  ASSERT_EQ(counts_.size(), 1u);
  EXPECT_EQ(counts_[0].table, "ASIGNOMT");
  EXPECT_EQ(counts_[0].records, 7);
}

TEST_F(BuilderTest, EmptyDocumentGivesEmptyTablesWithAllFields) {
  auto doc = Load("");
  ASSERT_TRUE(BuildSubjectsTable(doc.get(), &ctx_).ok());
  ASSERT_TRUE(BuildTeachersTable(doc.get(), &ctx_).ok());
  ASSERT_TRUE(BuildRoomsTable(doc.get(), &ctx_).ok());
  ASSERT_TRUE(BuildDayHourFrame(&ctx_).ok());
  const struct {
    const char* table;
    std::vector<std::string> fields;
  } kCases[] = {
      {"ASIGNOMT",
       {"COD", "CODLARGO", "NOMBRE", "CODI", "HORAS", "CODICURS", "ESTAREA", "DENIVEL", "DECURSO"}},
      {"PROFT", {"ABREV", "NOMBRE", "DEPART", "DNI", "CODI"}},
      {"AULAT", {"ABREV", "NOMBRE", "EDIFICIO", "MAXALUM", "CODI"}},
      {"DIASHORAST",
       {"DIHO", "CODDIHO", "DIA", "TEXTODIA", "HORA", "TEXTOHOR", "HORADESDE", "HORAHASTA",
        "MINUTOS", "MARCO", "MARCOXML"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.table);
    auto t = ReadTableText(dir_.path(), c.table);
    EXPECT_EQ(t.fields, c.fields);
    EXPECT_TRUE(t.rows.empty());
  }
  EXPECT_FALSE(access::Env::Default()->FileExists(dir_.File("DIASHORAST.MDX")));
}

TEST_F(BuilderTest, FieldWidthsAndTypesAsHoraliaExpects) {
  auto doc = Load("");
  ASSERT_TRUE(BuildSubjectsTable(doc.get(), &ctx_).ok());
  ASSERT_TRUE(BuildDayHourFrame(&ctx_).ok());
  std::unique_ptr<access::Table> table;
  ASSERT_TRUE(access::Table::Open(access::Env::Default(), dir_.path(), "ASIGNOMT",
                                  access::ShareMode::kShared, &table)
                  .ok());
  std::vector<int> widths;
  for (const auto& f : table->fields()) {
    if (f.type == access::FieldType::kCharacter) widths.push_back(f.width);
  }
  EXPECT_EQ(widths, (std::vector<int>{10, 10, 80, 20, 8, 20, 5, 3}));
  EXPECT_EQ(table->fields()[6].type, access::FieldType::kLogical);
  ASSERT_TRUE(table->Close().ok());

  ASSERT_TRUE(access::Table::Open(access::Env::Default(), dir_.path(), "DIASHORAST",
                                  access::ShareMode::kShared, &table)
                  .ok());
  widths.clear();
  for (const auto& f : table->fields()) widths.push_back(f.width);
  EXPECT_EQ(widths, (std::vector<int>{10, 10, 20, 20, 8, 8, 8, 8, 8, 1, 10}));
  ASSERT_TRUE(table->Close().ok());
}

TEST_F(BuilderTest, TeachersNamesCodesAndCuts) {
  const std::string name81 = std::string(76, 'N') + "12345";
  const std::string codi45(45, '7');
  auto doc = Load(
      "<PLACES>"
      "<PLACA codi='P1' descripcio='" + name81 + "' curta='ABCDEFGHIJ'/>"
      "<PLACA codi='P2' descripcio='" + std::string(80, 'e') + "' curta='ABCDEFGHIJ'/>"
      "<PLACA codi='P3' descripcio='Tres' curta='ABCDEFGHIJ'/>"
      "<PLACA codi='" + codi45 + "' descripcio='Quatre' curta=''/>"
      "<PLACA codi='P5' descripcio='Cinc' curta=' '/>"
      "<PLACA codi='P6' descripcio='Sis' curta='ABCDEFGHIJKL'/>"
      "</PLACES>");
  ASSERT_TRUE(BuildTeachersTable(doc.get(), &ctx_).ok());
  auto t = ReadTableText(dir_.path(), "PROFT");
  const Rows want = {
      {"ABCDEFGHIJ", std::string(75, 'N') + "12345", std::string(40, 'N'), "", "P1"},
      {"ABCDEFGHJ1", std::string(80, 'e'), std::string(40, 'e'), "", "P2"},
      // the plain shortening would repeat 'ABCDEFGHJ1'
      {"ABCDEFGHJ2", "Tres", "Tres", "", "P3"},
      {"", "Quatre", "Quatre", "", std::string(40, '7')},
      {"P1", "Cinc", "Cinc", "", "P5"},
      {"ABCDEFGHI", "Sis", "Sis", "", "P6"},
  };
  EXPECT_EQ(t.rows, want);
}

TEST_F(BuilderTest, RoomsNamesAndCodes) {
  const std::string long_codi(75, 'X');
  auto doc = Load(
      "<AULES>"
      "<AULA codi='A12' descripcio='Aula 12'/>"
      "<AULA codi='L1' descripcio='Laboratorio de Ciencias'/>"
      "<AULA codi='L2' descripcio='Laboratorio de Ciencias'/>"
      "<AULA codi='R9' descripcio=''/>"
      "<AULA codi='R10' descripcio=''/>"
      "<AULA codi='" + long_codi + "' descripcio='Gimnàs'/>"
      "</AULES>");
  ASSERT_TRUE(BuildRoomsTable(doc.get(), &ctx_).ok());
  auto t = ReadTableText(dir_.path(), "AULAT");
  const Rows want = {
      {"Aula 12", "(A12) Aula 12", "", "", "A12"},
      {"Laboratori", "(L1) Laboratorio de Ciencias", "", "", "L1"},
      {"Laborator1", "(L2) Laboratorio de Ciencias", "", "", "L2"},
      {"", "(R9)", "", "", "R9"},  // '(R9) ' reads back without its blank
      {"1", "(R10)", "", "", "R10"},
      {"Gimn\xE0s", ("(" + long_codi + ") Gimn\xE0s").substr(0, 80), "", "", std::string(60, 'X')},
  };
  EXPECT_EQ(t.rows, want);
}

TEST_F(BuilderTest, MissingAttributeReadsEmptyAndIsReported) {
  auto doc = Load(
      "<PLACES>\n"
      "<PLACA codi='P1' descripcio='Una'/>\n"
      "</PLACES>");
  ASSERT_TRUE(BuildTeachersTable(doc.get(), &ctx_).ok());
  auto t = ReadTableText(dir_.path(), "PROFT");
  EXPECT_EQ(t.rows, (Rows{{"", "Una", "Una", "", "P1"}}));
  ASSERT_EQ(user_.warnings.size(), 1u);
  EXPECT_NE(user_.warnings[0].find("PLACA"), std::string::npos) << user_.warnings[0];
  EXPECT_NE(user_.warnings[0].find("\"curta\""), std::string::npos) << user_.warnings[0];
  if (testing::XmlBackendReportsLines(dir_.path())) {
    EXPECT_NE(user_.warnings[0].find("línea 3"), std::string::npos) << user_.warnings[0];
  }
}

TEST_F(BuilderTest, CharacterOutside1252IsReplacedAndReported) {
  auto doc = Load("<AULES><AULA codi='A1' descripcio='Aula &#x4E2D;'/></AULES>");
  ASSERT_TRUE(BuildRoomsTable(doc.get(), &ctx_).ok());
  EXPECT_EQ(ReadTableText(dir_.path(), "AULAT").Column("ABREV"), (std::vector<std::string>{"Aula ?"}));
  ASSERT_EQ(user_.warnings.size(), 1u);
  EXPECT_NE(user_.warnings[0].find("\"descripcio\""), std::string::npos) << user_.warnings[0];
  EXPECT_NE(user_.warnings[0].find("AULA"), std::string::npos) << user_.warnings[0];
}

TEST_F(BuilderTest, ManyMissingAttributesAreCountedNotListed) {
  std::string rooms;
  for (int i = 0; i < 50; ++i) rooms += "<AULA codi='A" + std::to_string(i) + "'/>";
  auto doc = Load("<AULES>" + rooms + "</AULES>");
  ASSERT_TRUE(BuildRoomsTable(doc.get(), &ctx_).ok());
  warnings_.Finish();
  ASSERT_EQ(warnings_.messages().size(), static_cast<size_t>(WarningLog::kFullPerKind) + 1);
  EXPECT_NE(warnings_.messages().back().find("30"), std::string::npos) << warnings_.messages().back();
}

// The completion loop of the level and course dialog, one row per script.
TEST_F(BuilderTest, CoursesDialogLoop) {
  using End = Showing::End;
  const std::map<std::string, std::pair<std::string, std::string>> all = {
      {"C1", {"ESO", "1"}}, {"C2", {"BATX", "2"}}};
  const std::map<std::string, std::pair<std::string, std::string>> half = {{"C1", {"ESO", "1"}},
                                                                            {"C2", {"BATX", "  "}}};
  const struct {
    const char* why;
    std::vector<Showing> script;
    std::vector<bool> offered;
    bool forced_exit;
    std::vector<std::string> nivel, curso;
  } kCases[] = {
      {"complete at once", {{all, nullptr, End::kOk}}, {false}, false, {"ESO", "BATX"}, {"1", "2"}},
      {"missing, then complete",
       {{half, nullptr, End::kOk}, {all, nullptr, End::kOk}},
       {false, true}, false, {"ESO", "BATX"}, {"1", "2"}},
      {"missing twice, then forced exit",
       {{half, nullptr, End::kOk}, {{}, nullptr, End::kOk}, {{}, nullptr, End::kForcedExit}},
       {false, true, true}, true, {"ESO", "BATX"}, {"1", ""}},
      {"closed from the title bar with data missing",
       {{half, nullptr, End::kTitleBar}}, {false}, false, {"ESO", "BATX"}, {"1", ""}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    testing::TempFolder dir;
    ScriptedUser user(c.script);
    BuildContext ctx = ctx_;
    ctx.folder = dir.path();
    ctx.ui = &user;
    std::vector<TableCount> counts;
    ctx.counts = &counts;
    auto doc = testing::LoadXmlText(dir.path(),
                                    "<CENTRE><CURSOS><CURS codi='C1' descripcio='1r ESO'/>"
                                    "<CURS codi='C2' descripcio='2n Batxillerat'/></CURSOS></CENTRE>");
    bool offered = false, forced = false;
    ASSERT_TRUE(BuildCoursesTable(doc.get(), &ctx, &offered, &forced).ok());
    EXPECT_EQ(user.force_exit_offered, c.offered);
    EXPECT_TRUE(user.showings_.empty()) << "fewer showings than scripted";
    EXPECT_EQ(forced, c.forced_exit);
    auto t = ReadTableText(dir.path(), "CURSOST");
    EXPECT_EQ(t.fields, (std::vector<std::string>{"CODI", "DESCRIPCIO", "NIVEL", "CURSO"}));
    EXPECT_EQ(t.Column("CODI"), (std::vector<std::string>{"C1", "C2"}));
    EXPECT_EQ(t.Column("NIVEL"), c.nivel);
    EXPECT_EQ(t.Column("CURSO"), c.curso);
  }
}

TEST_F(BuilderTest, CoursesDialogShownOnceForASchoolWithoutCourses) {
  ScriptedUser user({Showing{}});
  ctx_.ui = &user;
  auto doc = Load("");
  bool offered = false, forced = false;
  ASSERT_TRUE(BuildCoursesTable(doc.get(), &ctx_, &offered, &forced).ok());
  EXPECT_EQ(user.force_exit_offered, std::vector<bool>{false});
  EXPECT_TRUE(ReadTableText(dir_.path(), "CURSOST").rows.empty());
}

TEST_F(BuilderTest, DialogFailureStopsTheStep) {
  struct BrokenDialog : ScriptedUser {
    Status ShowCoursesDialog(const std::string&, bool, CoursesDialogOutcome*) override {
      return Status::IoError("la tabla no se puede leer");
    }
  } user;
  ctx_.ui = &user;
  auto doc = Load("<CURSOS><CURS codi='C1' descripcio='x'/></CURSOS>");
  bool offered = false, forced = false;
  EXPECT_EQ(BuildCoursesTable(doc.get(), &ctx_, &offered, &forced).code(), StatusCode::kIoError);
}

// Groups take their course's level and course from CURSOST as the user left
// it; subjects take the level and course of their course's first group.
TEST_F(BuilderTest, GroupsSubjectsByLevelAndAssignmentLines) {
  const std::string long_code = "ABCDEFGHIJKLMNOPQRSTUVWXY";  // 25: stored cut, never found
  auto doc = Load(
      "<MATERIES>"
      "<MATERIA codi='1001' curs='C1' descripcio='Matemàtiques' curta='MAT'/>"
      "<MATERIA codi='1002' curs='C9' descripcio='Sense grups' curta='SG'/>"
      "<MATERIA codi='1003' curs='c1' descripcio='Una altra lletra' curta='AL'/>"
      "<MATERIA codi='1004' curs='C2' descripcio='Matemàtiques II' curta='MAT'/>"
      "<MATERIA codi='1005' curs='C4' descripcio='Curs sense grups' curta='CSG'/>"
      "</MATERIES>"
      "<ACTIVITATS><ACTIVITAT codi='GUARD' descripcio='Guàrdia' curta='GUARDIA'/></ACTIVITATS>"
      "<CURSOS>"
      "<CURS codi='C1' descripcio='1r ESO'><GRUP codi='101' nom='A'/><GRUP codi='102' nom='B'/>"
      "<GRUP codi='103' nom='C'/></CURS>"
      "<CURS codi='C2' descripcio='2n Batxillerat'><GRUP codi='901' nom='A'/>"
      "<GRUP codi='902' nom='Ciencias'/></CURS>"
      "<CURS codi='C3' descripcio='2n Batxillerat B'><GRUP codi='903' nom='A'/></CURS>"
      "<CURS codi='C1' descripcio='Repetit'><GRUP codi='104' nom='D'/></CURS>"
      "<CURS codi='C4' descripcio='Sense grups'/>"
      "<CURS codi='" + long_code + "' descripcio='Llarg'><GRUP codi='990' nom='Z'/></CURS>"
      "<CURS codi=' ' descripcio='Sense codi'><GRUP codi='991' nom='Q'/></CURS>"
      "</CURSOS>");
  Showing showing;
  showing.edit = [](std::vector<CourseRow>* rows) {
    const std::pair<const char*, const char*> levels[] = {
        {"ESO", "1"}, {"BATX", "2"}, {"BATX", "2"}, {"XXX", "9"}, {"ESO", "4"}, {"LLARG", "1"},
        {"TAL", "1"}};
    ASSERT_EQ(rows->size(), 7u);
    for (size_t i = 0; i < rows->size(); ++i) {
      (*rows)[i].nivel = levels[i].first;
      (*rows)[i].curso = levels[i].second;
    }
  };
  ScriptedUser user({showing});
  ctx_.ui = &user;
  bool offered = false, forced = false;
  ASSERT_TRUE(BuildSubjectsTable(doc.get(), &ctx_).ok());
  ASSERT_TRUE(BuildCoursesTable(doc.get(), &ctx_, &offered, &forced).ok());
  ASSERT_TRUE(BuildGroupsTables(doc.get(), &ctx_).ok());
  ASSERT_TRUE(BuildAssignmentLines(&ctx_).ok());

  auto groups = ReadTableText(dir_.path(), "GRUPOST");
  EXPECT_EQ(groups.fields, (std::vector<std::string>{"ABREV", "TURNO", "NIVEL", "CURSO", "GRUPO",
                                                     "DESCRIP", "MARCO", "CODI", "CODICURS"}));
  const Rows want_groups = {
      {"ESO1A", "", "ESO", "1", "A", "(101) 1r ESO - A", "0", "101", "C1"},
      {"ESO1B", "", "ESO", "1", "B", "(102) 1r ESO - B", "0", "102", "C1"},
      {"ESO1C", "", "ESO", "1", "C", "(103) 1r ESO - C", "0", "103", "C1"},
      {"BATX2A", "", "BATX", "2", "A", "(901) 2n Batxillerat - A", "0", "901", "C2"},
      {"BATX2Cieas", "", "BATX", "2", "Ci", "(902) 2n Batxillerat - Ciencias", "0", "902", "C2"},
      {"BATX2A1", "", "BATX", "2", "A", "(903) 2n Batxillerat B - A", "0", "903", "C3"},
      // a repeated course code takes the first record's level and description
      {"ESO1D", "", "ESO", "1", "D", "(104) 1r ESO - D", "0", "104", "C1"},
      {"Z", "", "", "", "Z", "(990)  - Z", "0", "990", long_code.substr(0, 20)},
      {"TAL1Q", "", "TAL", "1", "Q", "(991) Sense codi - Q", "0", "991", ""},
  };
  EXPECT_EQ(groups.rows, want_groups);

  auto matib = ReadTableText(dir_.path(), "MATIB");
  EXPECT_EQ(matib.fields, (std::vector<std::string>{"ABREV", "ABREV8", "NOMBRE", "NIVEL", "CURSO"}));
  const Rows want_matib = {
      {"MAT", "MAT", "Matem\xE0tiques", "ESO", "1"},
      {"MAT1", "MAT", "Matem\xE0tiques II", "BATX", "2"},
      {"GUARD", "GUARDIA", "Gu\xE0rdia", "TAL", "1"},  // empty CODICURS meets the empty course code
  };
  EXPECT_EQ(matib.rows, want_matib);
  EXPECT_TRUE(access::Env::Default()->FileExists(dir_.File("MATIB.MDX")));

  auto subjects = ReadTableText(dir_.path(), "ASIGNOMT");
  EXPECT_EQ(subjects.Column("DENIVEL"), (std::vector<std::string>{"ESO", "", "", "BATX", "", "TAL"}));
  EXPECT_EQ(subjects.Column("DECURSO"), (std::vector<std::string>{"1", "", "", "2", "", "1"}));

  auto lines = ReadTableText(dir_.path(), "ASIGT");
  EXPECT_EQ(lines.fields,
            (std::vector<std::string>{"CASIG", "CPROF", "CGRUP", "CAULA", "TURNO", "NIVEL", "CURSO",
                                      "GRUPO", "HORAS", "SESIONES", "NCONEX", "CTAREA"}));
  EXPECT_EQ(lines.Column("CASIG"),
            (std::vector<std::string>{"MAT", "MAT", "MAT", "MAT1", "MAT1", "MAT", "GUARD"}));
  EXPECT_EQ(lines.Column("CGRUP"), (std::vector<std::string>{"ESO1A", "ESO1B", "ESO1C", "BATX2A",
                                                             "BATX2Cieas", "ESO1D", "TAL1Q"}));
  EXPECT_EQ(lines.Column("GRUPO"), (std::vector<std::string>{"A", "B", "C", "A", "Ci", "D", "Q"}));
  EXPECT_EQ(lines.Column("SESIONES"), std::vector<std::string>(7, "1111"));
  for (const char* empty : {"CPROF", "CAULA", "TURNO", "NCONEX", "CTAREA"}) {
    EXPECT_EQ(lines.Column(empty), std::vector<std::string>(7, "")) << empty;
  }
  EXPECT_EQ(user.questions, 1);

  std::vector<std::string> order;
  for (const TableCount& c : counts_) order.push_back(c.table + "=" + std::to_string(c.records));
  EXPECT_EQ(order, (std::vector<std::string>{"ASIGNOMT=6", "CURSOST=7", "GRUPOST=9", "MATIB=3",
                                             "ASIGT=7"}));
}

TEST_F(BuilderTest, DecliningTheQuestionLeavesAssignmentLinesEmpty) {
  auto doc = Load(
      "<MATERIES><MATERIA codi='1' curs='C1' descripcio='M' curta='M'/></MATERIES>"
      "<CURSOS><CURS codi='C1' descripcio='x'><GRUP codi='1' nom='A'/></CURS></CURSOS>");
  ScriptedUser user({Showing{{{"C1", {"ESO", "1"}}}, nullptr, Showing::End::kOk}});
  user.confirm_lines = false;
  ctx_.ui = &user;
  bool offered = false, forced = false;
  ASSERT_TRUE(BuildSubjectsTable(doc.get(), &ctx_).ok());
  ASSERT_TRUE(BuildCoursesTable(doc.get(), &ctx_, &offered, &forced).ok());
  ASSERT_TRUE(BuildGroupsTables(doc.get(), &ctx_).ok());
  ASSERT_TRUE(BuildAssignmentLines(&ctx_).ok());
  EXPECT_EQ(user.questions, 1);
  auto lines = ReadTableText(dir_.path(), "ASIGT");
  EXPECT_EQ(lines.fields.size(), 12u);
  EXPECT_TRUE(lines.rows.empty());
}

// Hours and sessions of a line from ASIGNOMT's HORAS text, through the table.
TEST_F(BuilderTest, AssignmentLineHoursAndSessions) {
  const struct {
    const char* horas;
    bool set;
    double hours;
    const char* sessions;
  } kCases[] = {
      {"4", true, 4, "1111"},
      {"2.5", true, 2.5, "111"},
      {"1,5", true, 1.5, "11"},
      {"0", true, 0, ""},
      {"", false, 0, ""},
      {"tres", true, 1, "1"},
      {"13", true, 13, "1111111111111"},
      {"14", true, 14, "11111111111111"},
      {"15", true, 15, "21111111111111"},
      {"30", true, 30, "171111111111111"},
  };
  // ASIGNOMT and GRUPOST as earlier steps would leave them, one subject per case.
  access::Env* env = access::Env::Default();
  std::unique_ptr<access::Table> t;
  ASSERT_TRUE(access::Table::Create(env, dir_.path(), "ASIGNOMT",
                                    {{{"COD", access::FieldType::kCharacter, 10},
                                      {"HORAS", access::FieldType::kCharacter, 8},
                                      {"CODICURS", access::FieldType::kCharacter, 20}},
                                     {}},
                                    &t)
                  .ok());
  for (const auto& c : kCases) {
    ASSERT_TRUE(t->Append().ok());
    ASSERT_TRUE(t->SetText("COD", c.horas).ok());
    ASSERT_TRUE(t->SetText("HORAS", c.horas).ok());
    ASSERT_TRUE(t->SetText("CODICURS", "C1").ok());
    ASSERT_TRUE(t->Post().ok());
  }
  ASSERT_TRUE(t->Close().ok());
  ASSERT_TRUE(access::Table::Create(env, dir_.path(), "GRUPOST",
                                    {{{"ABREV", access::FieldType::kCharacter, 10},
                                      {"TURNO", access::FieldType::kCharacter, 1},
                                      {"NIVEL", access::FieldType::kCharacter, 5},
                                      {"CURSO", access::FieldType::kCharacter, 3},
                                      {"GRUPO", access::FieldType::kCharacter, 2},
                                      {"CODICURS", access::FieldType::kCharacter, 20}},
                                     {}},
                                    &t)
                  .ok());
  ASSERT_TRUE(t->Append().ok());
  ASSERT_TRUE(t->SetText("ABREV", "G").ok());
  ASSERT_TRUE(t->SetText("CODICURS", "C1").ok());
  ASSERT_TRUE(t->Post().ok());
  ASSERT_TRUE(t->Close().ok());

  ASSERT_TRUE(BuildAssignmentLines(&ctx_).ok());
  ASSERT_TRUE(access::Table::Open(env, dir_.path(), "ASIGT", access::ShareMode::kShared, &t).ok());
  ASSERT_TRUE(t->First().ok());
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string("HORAS '") + c.horas + "'");
    ASSERT_FALSE(t->Eof());
    Result<std::string> text = t->GetText("HORAS");
    ASSERT_TRUE(text.ok());
    EXPECT_EQ(!text->empty(), c.set) << *text;
    Result<double> hours = t->GetFloat("HORAS");
    ASSERT_TRUE(hours.ok());
    EXPECT_DOUBLE_EQ(*hours, c.hours);
    Result<std::string> sessions = t->GetText("SESIONES");
    ASSERT_TRUE(sessions.ok());
    EXPECT_EQ(*sessions, c.sessions);
    ASSERT_TRUE(t->Next().ok());
  }
  EXPECT_TRUE(t->Eof());
  ASSERT_TRUE(t->Close().ok());
}

TEST(LineHours, ReadsTheCommaAsDecimalSeparator) {
  const struct {
    const char* text;
    std::optional<double> want;
  } kCases[] = {
      {"4", 4.0},       {"2.5", 2.5},   {"1,5", 1.5},   {"", std::nullopt}, {"tres", 1.0},
      {" 3 ", 3.0},     {"-2", -2.0},   {"1.000,5", 1.0}, {",5", 0.5},      {"1e1", 10.0},
      {"1e999", 1.0},   {"4h", 1.0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(LineHours(c.text), c.want);
  }
  EXPECT_EQ(SessionPattern(-3), "");
  EXPECT_EQ(SessionPattern(0.01), "1");
}

}  // namespace
}  // namespace pontevia::exporter
