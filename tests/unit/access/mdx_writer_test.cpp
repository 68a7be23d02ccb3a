// The production index writer and reader: the bytes of the worked example in
// doc/mdx_format.md, trees of every height walked and searched, several tags,
// refused inputs, a failed write that must leave the old index in place, the
// tag a table writes on Close, and damaged files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <random>

#include "access/dbf_table.h"
#include "access/mdx_reader.h"
#include "access/mdx_writer.h"
#include "unit/testutil/fault_env.h"
#include "unit/testutil/temp_folder.h"

namespace pontevia::access {
namespace {

using ::testing::HasSubstr;
using testing::FaultEnv;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

Env* env() { return Env::Default(); }

std::string Pad(std::string s, int width) {
  s.resize(static_cast<size_t>(width), ' ');
  return s;
}

MdxTag AbrevTag(std::vector<std::pair<std::string, uint32_t>> keys) {
  MdxTag tag{"ABREV", "ABREV", 10, {}};
  for (auto& [k, r] : keys) tag.keys.emplace_back(Pad(k, 10), r);
  return tag;
}

std::unique_ptr<MdxReader> Reopen(const std::string& path) {
  std::unique_ptr<MdxReader> r;
  Status s = MdxReader::Open(env(), path, &r);
  EXPECT_TRUE(s.ok()) << s.message();
  return r;
}

uint32_t U32(const std::string& b, size_t off) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(b[off + i]);
  return v;
}

// Expected bytes typed in from the worked example of doc/mdx_format.md.
TEST(MdxWriter, TwoRecordExampleMatchesTheFormatDocument) {
  TempFolder dir;
  const std::string path = dir.File("MATIB.MDX");
  ASSERT_TRUE(WriteMdx(env(), path, "MATIB", {AbrevTag({{"MAT1", 1}, {"FIS", 2}})}).ok());
  const std::string f = ReadBytes(path);
  ASSERT_EQ(f.size(), 4096u);
  EXPECT_FALSE(env()->FileExists(path + ".tmp"));

  struct Run {
    size_t offset;
    std::vector<uint8_t> bytes;
  };
  const Run kRuns[] = {
      {0x0000, {0x02}},
      {0x0004, {'M', 'A', 'T', 'I', 'B', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {0x0014, {0x02, 0x00, 0x00, 0x04, 0x01, 0x30, 0x20, 0x00, 0x01, 0x00, 0x00, 0x57}},
      {0x0020, {0x08, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {0x0211, {0x01}},
      {0x0220, {0x04, 0, 0, 0, 'A', 'B', 'R', 'E', 'V', 0, 0, 0, 0, 0, 0, 0x10, 0, 0, 0, 0x02, 'C'}},
      {0x0800, {0x06, 0, 0, 0, 0x04, 0, 0, 0, 0x10, 'C', 0, 0, 0x0A, 0, 0x3F, 0, 0, 0, 0x10, 0,
                0x02, 0, 0, 0, 'A', 'B', 'R', 'E', 'V', 0}},
      {0x08F6, {0x01}},
      {0x0C00, {0x02, 0, 0, 0, 0, 0, 0, 0}},
      {0x0C08, {0x02, 0, 0, 0, 'F', 'I', 'S', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 0, 0}},
      {0x0C18, {0x01, 0, 0, 0, 'M', 'A', 'T', '1', ' ', ' ', ' ', ' ', ' ', ' ', 0, 0}},
      {0x0C28, {0, 0, 0, 0}},
  };
  for (const Run& run : kRuns) {
    for (size_t i = 0; i < run.bytes.size(); ++i) {
      SCOPED_TRACE("offset " + std::to_string(run.offset + i));
      EXPECT_EQ(static_cast<uint8_t>(f[run.offset + i]), run.bytes[i]);
    }
  }
  // Both dates are the same, a plausible day.
  EXPECT_EQ(f.substr(1, 3), f.substr(0x2C, 3));
  EXPECT_GE(static_cast<uint8_t>(f[1]), 120);  // 2020 or later
}

// Keys in scrambled order with many duplicates, for trees of one, two and
// three levels and for the shortest, the usual and the longest keys.
TEST(MdxWriter, WalkGivesKeyOrderAndSearchFindsFirstDuplicate) {
  struct Case {
    int key_length;
    size_t count;
    int depth;
  };
  const Case kCases[] = {
      {10, 0, 1},    {10, 1, 1},     {10, 63, 1},  // 63 keys fill one block
      {10, 64, 2},   {10, 4032, 2},  // 64 leaves of 63 under one root
      {10, 4033, 3}, {10, 60000, 3}, {1, 300, 2},  // item 8: 126 keys a block
      {3, 20000, 3}, {7, 900, 2},    {100, 500, 3},  // item 104: 9 keys a block
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE("key length " + std::to_string(c.key_length) + ", " + std::to_string(c.count) +
                 " keys");
    std::mt19937 rng(static_cast<uint32_t>(c.count * 131 + c.key_length));
    MdxTag tag{"K", "CAMPO", c.key_length, {}};
    const int distinct = std::max<int>(1, static_cast<int>(c.count / 3));
    for (size_t i = 0; i < c.count; ++i) {
      std::string key = std::to_string(rng() % distinct);
      // 1252 letters above 0x7F must sort after ASCII, as unsigned bytes.
      if (rng() % 5 == 0) key = "\xD1" + key;
      key.resize(static_cast<size_t>(c.key_length), ' ');
      tag.keys.emplace_back(key, static_cast<uint32_t>(i + 1));
    }
    TempFolder dir;
    ASSERT_TRUE(WriteMdx(env(), dir.File("T.MDX"), "T", {tag}).ok());
    auto r = Reopen(dir.File("T.MDX"));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->page_count() * 512, ReadBytes(dir.File("T.MDX")).size());

    std::vector<MdxEntry> walked;
    ASSERT_TRUE(r->WalkTag("k", &walked).ok());
    auto want = tag.keys;
    std::sort(want.begin(), want.end(), [](const auto& a, const auto& b) {
      int cmp = std::memcmp(a.first.data(), b.first.data(), a.first.size());
      return cmp != 0 ? cmp < 0 : a.second < b.second;
    });
    ASSERT_EQ(walked.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
      ASSERT_EQ(walked[i].key, want[i].first) << i;
      ASSERT_EQ(walked[i].record, want[i].second) << i;
    }
    EXPECT_EQ(r->TagDepth("K").value(), c.depth);

    for (size_t i = 0; i < want.size(); ++i) {
      if (i > 0 && want[i].first == want[i - 1].first) continue;
      Result<MdxEntry> found = r->SeekTag("K", want[i].first);
      ASSERT_TRUE(found.ok()) << i;
      ASSERT_EQ(found->record, want[i].second) << "first of the duplicates of key " << i;
    }
  }
}

TEST(MdxWriter, SeveralTagsAreListedAndThreadedByName) {
  MdxTag nombre{"NOMBRE", "NOMBRE", 80, {{Pad("Física", 80), 1}}};
  MdxTag abrev = AbrevTag({{"FIS", 1}});
  MdxTag curso{"CURSO", "CURSO", 3, {{"1  ", 1}}};
  TempFolder dir;
  ASSERT_TRUE(WriteMdx(env(), dir.File("M.MDX"), "M", {nombre, abrev, curso}).ok());
  auto r = Reopen(dir.File("M.MDX"));
  ASSERT_TRUE(r);
  ASSERT_EQ(r->tags().size(), 3u);
  EXPECT_EQ(r->tags()[0].name, "NOMBRE");
  EXPECT_EQ(r->tags()[1].name, "ABREV");
  EXPECT_EQ(r->tags()[2].name, "CURSO");
  EXPECT_EQ(r->tags()[2].key_length, 3);
  std::vector<MdxEntry> e;
  ASSERT_TRUE(r->WalkTag("NOMBRE", &e).ok());
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0].key, Pad("Física", 80));

  // NOMBRE is the root; ABREV < NOMBRE goes left; CURSO goes left, then
  // right of ABREV. Threads: left at 16, right at 17, parent at 18.
  const std::string f = ReadBytes(dir.File("M.MDX"));
  auto thread = [&f](int tag, int field) { return static_cast<int>(f[544 + 32 * (tag - 1) + field]); };
  EXPECT_EQ(thread(1, 16), 2);
  EXPECT_EQ(thread(2, 18), 1);
  EXPECT_EQ(thread(2, 17), 3);
  EXPECT_EQ(thread(3, 18), 2);
  EXPECT_EQ(thread(1, 17), 0);
}

TEST(MdxWriter, RefusesKeysThatDoNotFitAndWritesNothing) {
  struct Case {
    const char* why;
    std::vector<MdxTag> tags;
  } cases[] = {
      {"key shorter than the field", {MdxTag{"ABREV", "ABREV", 10, {{"MAT", 1}}}}},
      {"record number 0", {MdxTag{"ABREV", "ABREV", 3, {{"MAT", 0}}}}},
      {"tag name of 11 characters", {MdxTag{"ABCDEFGHIJK", "ABREV", 3, {}}}},
      {"key of 101 bytes", {MdxTag{"ABREV", "ABREV", 101, {}}}},
      {"the same tag twice", {MdxTag{"ABREV", "A", 3, {}}, MdxTag{"abrev", "B", 3, {}}}},
      {"48 tags", std::vector<MdxTag>(48, MdxTag{"T", "A", 3, {}})},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.why);
    TempFolder dir;
    Status s = WriteMdx(env(), dir.File("X.MDX"), "X", c.tags);
    EXPECT_EQ(s.code(), StatusCode::kInvalidArgument);
    EXPECT_THAT(s.message(), HasSubstr("X.MDX"));
    std::vector<std::string> names;
    ASSERT_TRUE(env()->ListDirectory(dir.path(), &names).ok());
    EXPECT_TRUE(names.empty());
  }
}

// Fails every file operation of the write in turn.
TEST(MdxWriter, FailedWriteKeepsTheOldIndexAndLeavesNoTemporaryFile) {
  TempFolder dir;
  const std::string path = dir.File("MATIB.MDX");
  for (int k = 0;; ++k) {
    SCOPED_TRACE("failing operation " + std::to_string(k));
    WriteBytes(path, "old");
    FaultEnv faults;
    faults.FailAt(k);
    Status s = WriteMdx(&faults, path, "MATIB", {AbrevTag({{"MAT1", 1}})});
    if (!faults.failed()) {
      ASSERT_TRUE(s.ok()) << s.message();
      EXPECT_GT(k, 2) << "create, append, close and rename were all failed once";
      break;
    }
    EXPECT_FALSE(s.ok());
    EXPECT_TRUE(ReadBytes(path) == "old") << "the old index was replaced";
    EXPECT_FALSE(env()->FileExists(path + ".tmp"));
  }
}

// The table writes its tag on Close: walked, it gives every record of the
// table in key order.
TEST(MdxWriter, TableCloseWritesTheTagOfEveryRecord) {
  TempFolder dir;
  TableDef def{{{"ABREV", FieldType::kCharacter, 10}, {"NOMBRE", FieldType::kCharacter, 80}},
               {{"ABREV", "ABREV"}}};
  const std::vector<std::string> codes = {"MAT1", "FIS", "", "MAT1", "ABCDEFGHIJKL", "fis", "\xD1U"};
  std::unique_ptr<Table> t;
  ASSERT_TRUE(Table::Create(env(), dir.path(), "MATIB", def, &t).ok());
  for (const std::string& code : codes) {
    ASSERT_TRUE(t->Append().ok());
    ASSERT_TRUE(t->SetText("ABREV", code).ok());
  }
  ASSERT_TRUE(t->Close().ok());

  auto r = Reopen(dir.File("MATIB.MDX"));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->table_name(), "MATIB");
  ASSERT_EQ(r->tags().size(), 1u);
  EXPECT_EQ(r->tags()[0].expression, "ABREV");
  std::vector<MdxEntry> e;
  ASSERT_TRUE(r->WalkTag("ABREV", &e).ok());
  const std::vector<std::pair<std::string, uint32_t>> want = {
      {"", 3}, {"ABCDEFGHIJ", 5}, {"FIS", 2}, {"MAT1", 1}, {"MAT1", 4}, {"fis", 6}, {"\xD1U", 7}};
  ASSERT_EQ(e.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(e[i].key, Pad(want[i].first, 10)) << i;
    EXPECT_EQ(e[i].record, want[i].second) << i;
  }
}

// A valid three-level index, then one damage at a time.
TEST(MdxReader, RejectsDamagedFilesNamingTheFile) {
  MdxTag tag{"ABREV", "ABREV", 10, {}};
  for (uint32_t i = 1; i <= 5000; ++i) tag.keys.emplace_back(Pad("K" + std::to_string(i), 10), i);
  TempFolder dir;
  ASSERT_TRUE(WriteMdx(env(), dir.File("DAÑO.MDX"), "DANO", {tag}).ok());
  const std::string good = ReadBytes(dir.File("DAÑO.MDX"));
  const uint32_t root = U32(good, 0x800);
  const size_t root_off = root * 512;
  const uint32_t first_child = U32(good, root_off + 8);

  auto put32 = [](std::string* b, size_t off, uint32_t v) {
    for (int i = 0; i < 4; ++i) (*b)[off + i] = static_cast<char>(v >> (8 * i));
  };
  struct Case {
    const char* why;
    std::function<void(std::string*)> damage;
    bool fails_on_open;
  };
  const Case kCases[] = {
      {"cut inside the header", [](std::string* b) { b->resize(300); }, true},
      {"block size not pages x 512", [&](std::string* b) { (*b)[22] = 0x05; }, true},
      {"48 tags declared", [&](std::string* b) { (*b)[28] = 48; }, true},
      {"tag header beyond the end", [&](std::string* b) { put32(b, 544, 1u << 30); }, true},
      {"tag header at page 0", [&](std::string* b) { put32(b, 544, 0); }, true},
      {"key length 0", [&](std::string* b) { (*b)[0x80C] = 0; }, true},
      {"item shorter than key", [&](std::string* b) { (*b)[0x812] = 8; }, true},
      {"root beyond the end", [&](std::string* b) { put32(b, 0x800, 999999); }, false},
      {"file cut before the root", [&](std::string* b) { b->resize(root_off + 100); }, false},
      {"key count beyond the block", [&](std::string* b) { put32(b, root_off, 200); }, false},
      {"negative key count", [&](std::string* b) { put32(b, root_off, 0xFFFFFFFF); }, false},
      {"child points at the root", [&](std::string* b) { put32(b, root_off + 8, root); }, false},
      {"child points at page 0", [&](std::string* b) { put32(b, root_off + 8, 0); }, false},
      {"a leaf one level up",
       [&](std::string* b) { put32(b, first_child * 512 + 8 + 16 * U32(*b, first_child * 512), 0); },
       false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.why);
    std::string bytes = good;
    c.damage(&bytes);
    std::unique_ptr<MdxReader> r;
    Status s = MdxReader::FromBytes("DAÑO.MDX", bytes, &r);
    if (!c.fails_on_open) {
      ASSERT_TRUE(s.ok()) << s.message();
      std::vector<MdxEntry> e;
      s = r->WalkTag("ABREV", &e);
      EXPECT_EQ(r->SeekTag("ABREV", Pad("K1", 10)).status().code(), StatusCode::kCorrupt);
    }
    EXPECT_EQ(s.code(), StatusCode::kCorrupt);
    EXPECT_THAT(s.message(), HasSubstr("DAÑO.MDX"));
  }

  std::unique_ptr<MdxReader> r;
  ASSERT_TRUE(MdxReader::FromBytes("DAÑO.MDX", good, &r).ok());
  std::vector<MdxEntry> e;
  EXPECT_EQ(r->WalkTag("NOMBRE", &e).code(), StatusCode::kNotFound);
  EXPECT_EQ(MdxReader::Open(env(), dir.File("FALTA.MDX"), &r).code(), StatusCode::kNotFound);
}

}  // namespace
}  // namespace pontevia::access
