// Reads a dBase IV production index (NAME.MDX): lists its tags and walks a
// tag's B-tree in key order. Used by tests and the fuzz target to check what
// the writer produced and what other programs wrote. The layout is in
// doc/mdx_format.md.
//
// Nothing in the file is trusted: every page it follows is checked to lie
// inside the file, every key count against the room in a block, and the walk
// refuses cycles and leaves at different depths. Damage gives kCorrupt with
// a message naming the file. The reader owns a copy of the bytes. Not
// thread-safe: a search remembers which tags it has already checked.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "access/env.h"
#include "base/status.h"

namespace pontevia::access {

struct MdxTagInfo {
  std::string name;        // as stored, e.g. "ABREV"
  std::string expression;  // e.g. "ABREV"
  char key_type = 'C';
  int key_length = 0;
  int item_length = 0;
  int max_keys = 0;  // as the tag header states it
  bool descending = false;
  bool unique = false;
  uint32_t header_page = 0;
  uint32_t root_page = 0;
};

struct MdxEntry {
  std::string key;  // key_length bytes, as stored
  uint32_t record = 0;
};

class MdxReader {
 public:
  // Reads the whole file through `env`. kNotFound when it is missing.
  static Status Open(Env* env, const std::string& path, std::unique_ptr<MdxReader>* out);
  // Parses `bytes`; `name` is used in messages only.
  static Status FromBytes(std::string name, std::string bytes, std::unique_ptr<MdxReader>* out);

  MdxReader(const MdxReader&) = delete;
  MdxReader& operator=(const MdxReader&) = delete;

  // The data file name of the header, without trailing zeros.
  const std::string& table_name() const { return table_name_; }
  int block_size() const { return block_size_; }
  uint32_t page_count() const { return page_count_; }
  const std::vector<MdxTagInfo>& tags() const { return tags_; }

  // Appends to *out every leaf entry of the tag named `tag` (compared without
  // regard to ASCII case), leftmost leaf first. kNotFound naming the tag when
  // the file has none of that name.
  Status WalkTag(std::string_view tag, std::vector<MdxEntry>* out) const;
  // The number of levels of the tag's tree (1: the root is a leaf).
  Result<int> TagDepth(std::string_view tag) const;
  // Searches as an index user does: from the root, into the first entry whose
  // key is at least `key` (bytes compared unsigned; `key` as long as the
  // tag's keys), down to a leaf. Returns the first leaf entry whose key is at
  // least `key`, or kNotFound when every key is smaller. A tree whose
  // separators are wrong answers wrongly here while its walk is still right.
  Result<MdxEntry> SeekTag(std::string_view tag, std::string_view key) const;

 private:
  MdxReader() = default;
  Status Parse();
  Status Walk(const MdxTagInfo& tag, std::vector<MdxEntry>* out, int* depth) const;
  const MdxTagInfo* FindTag(std::string_view tag) const;
  Status NoSuchTag(std::string_view tag) const;

  std::string name_;
  std::string bytes_;
  std::string table_name_;
  int block_size_ = 0;
  uint32_t page_count_ = 0;
  std::vector<MdxTagInfo> tags_;
  mutable std::vector<int> checked_depth_;  // per tag; 0 until a walk has checked it
};

}  // namespace pontevia::access
