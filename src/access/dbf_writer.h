// Writing a dBase table: the header Pontevia gives its own tables, the
// encoders of field values, and the sequential write of a whole table image
// under a temporary name renamed into place. See ../../doc/dbf_format.md.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "access/dbf_format.h"
#include "base/status.h"

namespace pontevia::access {

class Env;

// The header (descriptors and 0x0D included) of a new dBase IV table with
// `fields`, whose offsets, widths and decimals must already be set; the
// record count and date are left 0 for WriteDbfImage to stamp.
// REQUIRES: 1..kMaxFields fields; record length within kMaxRecordLength.
std::string BuildDbfHeader(const std::vector<dbf::Field>& fields, bool production_index);

// Writes `value` right-aligned over `out` (width bytes), with `decimals`
// decimals and '.', rounded to nearest as std::to_chars does; false, leaving
// `out` untouched, when it is not finite or does not fit.
bool FormatDbfNumber(double value, int width, int decimals, char* out);
bool FormatDbfInteger(int64_t value, int width, int decimals, char* out);

// Puts today's date and `record_count` into the header at the start of
// *bytes (at least the 32 header bytes).
void StampDbfHeader(uint32_t record_count, std::string* bytes);

// Stamps today's date and `record_count` into the header at the start of
// *image (header + records, record_count of them) and writes it, followed by
// 0x1A, to `path` through a temporary file renamed into place.
Status WriteDbfImage(Env* env, const std::string& path, uint32_t record_count, std::string* image);

}  // namespace pontevia::access
