// Writes a dBase IV production index (NAME.MDX) for the tags of a table.
// The layout is written down in doc/mdx_format.md.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "access/env.h"
#include "base/status.h"

namespace pontevia::access {

// One ascending tag over one character field, duplicates allowed.
struct MdxTag {
  std::string name;        // tag name as on disk, e.g. "ABREV"
  std::string expression;  // the field name, e.g. "ABREV"
  int key_length = 0;      // the field's width
  // Every record's key (exactly key_length bytes, blank padded, as stored in
  // the DBF) with its 1-based record number, in record order.
  std::vector<std::pair<std::string, uint32_t>> keys;
};

// Writes `path` afresh (under a temporary name renamed into place) holding
// `tags`. `table_name` is the DBF's name without extension, e.g. "MATIB".
Status WriteMdx(Env* env, const std::string& path, std::string_view table_name,
                const std::vector<MdxTag>& tags);

}  // namespace pontevia::access
