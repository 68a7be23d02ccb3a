// Windows share modes as the BDE uses them: what another program sees while
// a table is held, and what creating a table does while another holds it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "access/dbf_table.h"
#include "unit/access/two_record_table.h"
#include "unit/testutil/temp_folder.h"

namespace pontevia::access {
namespace {

using ::testing::HasSubstr;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

TEST(TableWin, AnExclusiveTableCannotBeReadByAnyoneElse) {
  TempFolder dir;
  WriteBytes(dir.File("PROFT.DBF"), TwoRecordTable());
  std::unique_ptr<Table> t;
  ASSERT_TRUE(Table::Open(Env::Default(), dir.path(), "PROFT", ShareMode::kExclusive, &t).ok());
  std::string bytes;
  Status s = Env::Default()->ReadFile(dir.File("PROFT.DBF"), &bytes);
  EXPECT_EQ(s.code(), StatusCode::kLocked);
  EXPECT_THAT(s.message(), HasSubstr("PROFT.DBF"));
}

TEST(TableWin, CreatingATableHeldByAnotherProgramFailsAndKeepsIt) {
  TempFolder dir;
  WriteBytes(dir.File("AULAT.DBF"), TwoRecordTable());
  std::unique_ptr<FileLock> horalia;
  ASSERT_TRUE(Env::Default()->LockFile(dir.File("AULAT.DBF"), ShareMode::kShared, &horalia).ok());
  std::unique_ptr<Table> t;
  TableDef def{{{"ABREV", FieldType::kCharacter, 10}}, {}};
  Status s = Table::Create(Env::Default(), dir.path(), "AULAT", def, &t);
  EXPECT_EQ(s.code(), StatusCode::kLocked);
  EXPECT_THAT(s.message(), HasSubstr("AULAT"));
  horalia.reset();
  EXPECT_EQ(ReadBytes(dir.File("AULAT.DBF")), TwoRecordTable());
}

}  // namespace
}  // namespace pontevia::access
