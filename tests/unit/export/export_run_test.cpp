// The export run as a whole: the fixed order, the staging of the eight tables,
// the backup of the tables replaced, and that every failure leaves the
// working folder byte for byte as it was.
#include "export/export_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "access/env.h"
#include "unit/export/export_fixture.h"
#include "unit/testutil/fault_env.h"
#include "unit/testutil/temp_folder.h"

namespace pontevia::exporter {
namespace {

using testing::FolderBytes;
using testing::ReadTableText;
using testing::ScriptedUser;
using testing::Showing;
using Levels = std::map<std::string, std::pair<std::string, std::string>>;

constexpr char kSchool[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<CENTRE codi='07000001'>\n"
    " <MATERIES>\n"
    "  <MATERIA codi='1001' curs='C1' descripcio='Matemàtiques' curta='MAT'/>\n"
    "  <MATERIA codi='1002' curs='C2' descripcio='Matemàtiques II' curta='MAT'/>\n"
    " </MATERIES>\n"
    " <ACTIVITATS><ACTIVITAT codi='GUARD' descripcio='Guàrdia' curta='GUARDIA'/></ACTIVITATS>\n"
    " <PLACES><PLACA codi='P1' descripcio='Plaça 1' curta='JMR'/></PLACES>\n"
    " <AULES><AULA codi='A1' descripcio='Aula 1'/></AULES>\n"
    " <CURSOS>\n"
    "  <CURS codi='C1' descripcio='1r ESO'><GRUP codi='101' nom='A'/><GRUP codi='102' nom='B'/></CURS>\n"
    "  <CURS codi='C2' descripcio='2n Batxillerat'><GRUP codi='901' nom='A'/></CURS>\n"
    " </CURSOS>\n"
    "</CENTRE>\n";

const Levels kLevels = {{"C1", {"ESO", "1"}}, {"C2", {"BATX", "2"}}};

constexpr const char* kTables[] = {"ASIGNOMT", "PROFT", "AULAT", "CURSOST",
                                   "GRUPOST",  "MATIB", "ASIGT", "DIASHORAST"};

class ExportRunTest : public ::testing::Test {
 protected:
  ExportRunTest() {
    workdir_ = dir_.File("HTEMP");
    source_ = dir_.File("centre.xml");
    EXPECT_TRUE(env_->CreateDirectories(workdir_).ok());
    testing::WriteBytes(source_, kSchool);
  }

  Status Run(UserInteraction* ui, ExportSummary* summary = nullptr, access::Env* env = nullptr) {
    ExportSummary local;
    return RunExport(env ? env : env_, {source_, workdir_}, ui, summary ? summary : &local);
  }

  // An earlier export, so there are tables to replace.
  void ExportOnce(const std::string& xml = kSchool) {
    testing::WriteBytes(source_, xml);
    auto user = testing::CompletingUser(kLevels);
    Status s = Run(user.get());
    ASSERT_TRUE(s.ok()) << s.message();
    testing::WriteBytes(source_, kSchool);
  }

  access::Env* env_ = access::Env::Default();
  testing::TempFolder dir_;
  std::string workdir_;
  std::string source_;
};

TEST_F(ExportRunTest, WritesTheEightTablesInOrderAndNothingElse) {
  auto user = testing::CompletingUser(kLevels);
  ExportSummary summary;
  Status s = Run(user.get(), &summary);
  ASSERT_TRUE(s.ok()) << s.message();

  std::vector<std::string> counts;
  for (const TableCount& c : summary.tables) counts.push_back(c.table + "=" + std::to_string(c.records));
  EXPECT_EQ(counts, (std::vector<std::string>{"ASIGNOMT=3", "PROFT=1", "AULAT=1", "CURSOST=2",
                                              "GRUPOST=3", "MATIB=2", "ASIGT=3", "DIASHORAST=0"}));
  EXPECT_TRUE(summary.warnings.empty());
  EXPECT_FALSE(summary.forced_exit);
  EXPECT_TRUE(summary.backup_folder.empty());  // nothing was replaced

  std::vector<std::string> files;
  for (const auto& [name, bytes] : FolderBytes(workdir_)) files.push_back(name);
  EXPECT_EQ(files, (std::vector<std::string>{"ASIGNOMT.DBF", "ASIGT.DBF", "AULAT.DBF", "CURSOST.DBF",
                                             "DIASHORAST.DBF", "GRUPOST.DBF", "MATIB.DBF",
                                             "MATIB.MDX", "PROFT.DBF"}));
  EXPECT_EQ(ReadTableText(workdir_, "GRUPOST").Column("ABREV"),
            (std::vector<std::string>{"ESO1A", "ESO1B", "BATX2A"}));
  EXPECT_EQ(ReadTableText(workdir_, "CURSOST").Column("NIVEL"),
            (std::vector<std::string>{"ESO", "BATX"}));
}

// The dialog edits the courses table of this run, and the groups are coded
// from what it holds, not from any other courses table (an older one in the
// working folder, or one on another drive).
TEST_F(ExportRunTest, GroupsReadTheCoursesTableTheDialogEdited) {
  ExportOnce();
  auto user = testing::CompletingUser({{"C1", {"CFGM", "2"}}, {"C2", {"FPB", "1"}}});
  ASSERT_TRUE(Run(user.get()).ok());
  ASSERT_EQ(user->folders.size(), 1u);
  EXPECT_NE(user->folders[0], workdir_);
  EXPECT_EQ(ReadTableText(workdir_, "GRUPOST").Column("ABREV"),
            (std::vector<std::string>{"CFGM2A", "CFGM2B", "FPB1A"}));
}

TEST_F(ExportRunTest, ReplacedTablesAreBackedUpAndStaleIndexesRemoved) {
  ExportOnce();
  testing::WriteBytes(access::JoinPath(workdir_, "PROFT.MDX"), "un indice viejo");
  testing::WriteBytes(access::JoinPath(workdir_, "Notas.txt"), "de Horalia");
  const auto before = FolderBytes(workdir_);

  auto user = testing::CompletingUser(kLevels);
  ExportSummary summary;
  ASSERT_TRUE(Run(user.get(), &summary).ok());
  ASSERT_FALSE(summary.backup_folder.empty());
  const auto after = FolderBytes(workdir_);
  EXPECT_EQ(after.count("PROFT.MDX"), 0u);
  EXPECT_EQ(after.at("Notas.txt"), "de Horalia");
  EXPECT_EQ(after.count("Pontevia.tmp/"), 0u);

  const auto backup = FolderBytes(summary.backup_folder);
  std::vector<std::string> backed_up;
  for (const auto& [name, bytes] : backup) {
    backed_up.push_back(name);
    EXPECT_EQ(bytes, before.at(name)) << name;
  }
  EXPECT_EQ(backed_up.size(), 10u);  // eight tables, MATIB.MDX and the stale PROFT.MDX
  EXPECT_EQ(backup.count("Notas.txt"), 0u);
}

// A table written by a program that names its files in lower case is still
// the one replaced: afterwards one file of that name is left, and it is new.
TEST_F(ExportRunTest, ReplacesTablesWhateverTheLetterCaseOfTheirNames) {
  testing::WriteBytes(access::JoinPath(workdir_, "asignomt.dbf"), "tabla vieja");
  auto user = testing::CompletingUser(kLevels);
  ExportSummary summary;
  ASSERT_TRUE(Run(user.get(), &summary).ok());
  std::vector<std::string> names;
  ASSERT_TRUE(env_->ListDirectory(workdir_, &names).ok());
  int subjects_files = 0;
  for (const std::string& name : names) {
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    subjects_files += upper == "ASIGNOMT.DBF";
  }
  EXPECT_EQ(subjects_files, 1);
  EXPECT_EQ(ReadTableText(workdir_, "ASIGNOMT").rows.size(), 3u);
  EXPECT_EQ(testing::ReadBytes(access::JoinPath(summary.backup_folder, "asignomt.dbf")), "tabla vieja");
}

TEST_F(ExportRunTest, KeepsTheNewestTenBackups) {
  ExportOnce();
  for (int i = 10; i < 22; ++i) {
    ASSERT_TRUE(env_->CreateDirectories(access::JoinPath(
                        workdir_, "Copias/200001" + std::to_string(i) + "-120000"))
                    .ok());
  }
  ASSERT_TRUE(env_->CreateDirectories(access::JoinPath(workdir_, "Copias/mis copias")).ok());
  auto user = testing::CompletingUser(kLevels);
  ExportSummary summary;
  ASSERT_TRUE(Run(user.get(), &summary).ok());
  std::vector<std::string> names;
  ASSERT_TRUE(env_->ListDirectory(access::JoinPath(workdir_, "Copias"), &names).ok());
  std::sort(names.begin(), names.end());
  ASSERT_EQ(names.size(), 11u);
  EXPECT_EQ(names.front(), "20000113-120000");  // 10..12 pruned
  EXPECT_EQ(names[8], "20000121-120000");
  EXPECT_NE(summary.backup_folder.find(names[9]), std::string::npos);
  EXPECT_EQ(names.back(), "mis copias");
}

// A document that is not what the export needs must not replace Horalia's
// tables with empty ones.
TEST_F(ExportRunTest, RejectsBrokenOrForeignDocumentsTouchingNothing) {
  ExportOnce();
  const auto before = FolderBytes(workdir_);
  const struct {
    const char* why;
    const char* xml;
    std::vector<const char*> in_message;
  } kCases[] = {
      {"not well-formed", "<?xml version='1.0'?>\n<CENTRE>\n <MATERIES>\n</CENTRE>\n",
       {"centre.xml"}},
      {"empty file", "", {"centre.xml"}},
      {"another root element", "<?xml version='1.0'?><HORARI><SESSIONS/></HORARI>",
       {"centre.xml", "HORARI", "CENTRE"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    testing::WriteBytes(source_, c.xml);
    ScriptedUser user;
    Status s = Run(&user);
    EXPECT_EQ(s.code(), StatusCode::kBadInput);
    for (const char* part : c.in_message) EXPECT_NE(s.message().find(part), std::string::npos) << s.message();
    if (std::string(c.why) == "not well-formed" && testing::XmlBackendReportsLines(dir_.path())) {
      EXPECT_NE(s.message().find("línea"), std::string::npos) << s.message();
    }
    EXPECT_TRUE(user.force_exit_offered.empty()) << "the dialog was shown";
    EXPECT_EQ(testing::FolderDifference(before, FolderBytes(workdir_)), "");
  }
}

TEST_F(ExportRunTest, CentreWithoutExpectedElementsGivesEmptyTables) {
  ExportOnce();
  testing::WriteBytes(source_, "<?xml version='1.0'?><CENTRE><ALTRES/></CENTRE>");
  ScriptedUser user({Showing{}});
  ExportSummary summary;
  ASSERT_TRUE(Run(&user, &summary).ok());
  EXPECT_EQ(user.force_exit_offered, std::vector<bool>{false});
  ASSERT_EQ(summary.tables.size(), 8u);
  for (size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(summary.tables[i].table, kTables[i]);
    EXPECT_EQ(summary.tables[i].records, 0);
    EXPECT_TRUE(ReadTableText(workdir_, kTables[i]).rows.empty()) << kTables[i];
  }
}

TEST_F(ExportRunTest, MissingSourceOrWorkingFolder) {
  ScriptedUser user;
  ExportSummary summary;
  Status s = RunExport(env_, {dir_.File("no-hay.xml"), workdir_}, &user, &summary);
  EXPECT_EQ(s.code(), StatusCode::kNotFound);
  EXPECT_EQ(s.message(), "No existe archivo");
  s = RunExport(env_, {"", workdir_}, &user, &summary);
  EXPECT_EQ(s.message(), "No existe archivo");
  s = RunExport(env_, {source_, dir_.File("NOHTEMP")}, &user, &summary);
  EXPECT_EQ(s.code(), StatusCode::kNotFound);
  EXPECT_NE(s.message().find("NOHTEMP"), std::string::npos);
  EXPECT_FALSE(env_->DirectoryExists(dir_.File("NOHTEMP")));
}

TEST_F(ExportRunTest, TableHeldByAnotherProgramIsNamedAndNothingChanges) {
  ExportOnce();
  const auto before = FolderBytes(workdir_);
  std::unique_ptr<access::FileLock> held;
  ASSERT_TRUE(env_->LockFile(access::JoinPath(workdir_, "GRUPOST.DBF"), access::ShareMode::kExclusive,
                             &held)
                  .ok());
  auto user = testing::CompletingUser(kLevels);
  Status s = Run(user.get());
  EXPECT_EQ(s.code(), StatusCode::kLocked);
  EXPECT_NE(s.message().find("GRUPOST.DBF"), std::string::npos) << s.message();
  held.reset();
  EXPECT_EQ(testing::FolderDifference(before, FolderBytes(workdir_)), "");
}

TEST_F(ExportRunTest, StoppingAtTheDialogChangesNothing) {
  ExportOnce();
  const auto before = FolderBytes(workdir_);
  struct Stopping : ScriptedUser {
    Status ShowCoursesDialog(const std::string&, bool, CoursesDialogOutcome*) override {
      return Status::Incomplete("Falta el NIVEL o el CURSO de 2 cursos.");
    }
  } user;
  Status s = Run(&user);
  EXPECT_EQ(s.code(), StatusCode::kIncomplete);
  EXPECT_EQ(s.message(), "Falta el NIVEL o el CURSO de 2 cursos.");
  EXPECT_EQ(testing::FolderDifference(before, FolderBytes(workdir_)), "");
}

TEST_F(ExportRunTest, ForcedExitStillCompletesTheRun) {
  ScriptedUser user({Showing{{{"C1", {"ESO", "1"}}}, nullptr, Showing::End::kOk},
                     Showing{{}, nullptr, Showing::End::kForcedExit}});
  ExportSummary summary;
  ASSERT_TRUE(Run(&user, &summary).ok());
  EXPECT_TRUE(summary.forced_exit);
  EXPECT_EQ(user.questions, 1);
  EXPECT_EQ(ReadTableText(workdir_, "GRUPOST").Column("ABREV"),
            (std::vector<std::string>{"ESO1A", "ESO1B", "A"}));
}

// Fails every write, rename, copy, remove and folder creation of the run in
// turn: each failure must leave the working folder byte for byte as it was,
// and the run must report it.
TEST_F(ExportRunTest, AnyFailedFileOperationLeavesTheWorkingFolderAsItWas) {
  ExportOnce(
      "<CENTRE><PLACES><PLACA codi='X' descripcio='Antiga' curta='ANT'/></PLACES>"
      "<CURSOS><CURS codi='C1' descripcio='Antic'><GRUP codi='1' nom='Z'/></CURS></CURSOS></CENTRE>");
  testing::WriteBytes(access::JoinPath(workdir_, "ASIGNOMT.MDX"), "indice viejo");
  const auto before = FolderBytes(workdir_);

  int k = 0;
  for (;; ++k) {
    SCOPED_TRACE("failing operation " + std::to_string(k));
    testing::FaultEnv env;
    env.FailAt(k);
    auto user = testing::CompletingUser(kLevels);
    ExportSummary summary;
    Status s = Run(user.get(), &summary, &env);
    if (!env.failed()) {
      ASSERT_TRUE(s.ok()) << s.message();
      break;
    }
    ASSERT_FALSE(s.ok()) << "an injected failure was reported as success";
    EXPECT_FALSE(s.message().empty());
    ASSERT_EQ(testing::FolderDifference(before, FolderBytes(workdir_)), "") << s.message();
  }
  EXPECT_GT(k, 20) << "the run did fewer file operations than expected";
  EXPECT_EQ(ReadTableText(workdir_, "GRUPOST").Column("ABREV"),
            (std::vector<std::string>{"ESO1A", "ESO1B", "BATX2A"}));
}

}  // namespace
}  // namespace pontevia::exporter
