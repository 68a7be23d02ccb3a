// Byte layout of a dBase IV production index (NAME.MDX), shared by the
// writer and the reader. See ../../doc/mdx_format.md for the tables these
// offsets come from.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pontevia::access::mdx {

constexpr int kPageSize = 512;  // every pointer in the file counts these
constexpr int kPagesPerBlock = 2;
constexpr int kBlockSize = kPageSize * kPagesPerBlock;
constexpr int kHeaderPages = 4;  // file header and tag table
constexpr int kMaxTags = 47;
constexpr int kTagEntrySize = 32;
constexpr int kTagTableEntries = 48;  // the count the header states; entry 0 is not a tag
constexpr int kTagTableOffset = 544;  // tag 1; tag i at 544 + 32 * (i - 1)
constexpr int kMaxTagName = 10;
constexpr int kMaxExpression = 219;  // 220 bytes with the final 0
constexpr int kMaxKeyLength = 100;   // the dBase limit for a character key
constexpr uint8_t kVersion = 0x02;

// File header.
constexpr size_t kOffVersion = 0;
constexpr size_t kOffCreated = 1;
constexpr size_t kOffDataName = 4;
constexpr size_t kDataNameSize = 16;
constexpr size_t kOffPagesPerBlock = 20;
constexpr size_t kOffBlockSize = 22;
constexpr size_t kOffProduction = 24;
constexpr size_t kOffTableEntries = 25;
constexpr size_t kOffEntrySize = 26;
constexpr size_t kOffTagsInUse = 28;
constexpr size_t kOffLanguageDriver = 31;  // the same byte as the DBF's header byte 29
constexpr size_t kOffPageCount = 32;
constexpr size_t kOffFreePage = 36;
constexpr size_t kOffFreeBlocks = 40;
constexpr size_t kOffUpdated = 44;
constexpr size_t kOffFirstTag = 529;  // root of the tag name tree

// Tag table entry.
constexpr size_t kTagOffHeaderPage = 0;
constexpr size_t kTagOffName = 4;
constexpr size_t kTagOffFormat = 15;
constexpr size_t kTagOffLeft = 16;
constexpr size_t kTagOffRight = 17;
constexpr size_t kTagOffParent = 18;
constexpr size_t kTagOffReserved2 = 19;
constexpr size_t kTagOffKeyType = 20;

// Tag header.
constexpr size_t kHdrOffRoot = 0;
constexpr size_t kHdrOffTagPages = 4;
constexpr size_t kHdrOffFormat = 8;
constexpr size_t kHdrOffKeyType = 9;
constexpr size_t kHdrOffKeyLength = 12;
constexpr size_t kHdrOffMaxKeys = 14;
constexpr size_t kHdrOffItemLength = 18;
constexpr size_t kHdrOffReserved2 = 20;
constexpr size_t kHdrOffUnique = 23;
constexpr size_t kHdrOffExpression = 24;
constexpr size_t kHdrOffKeyExists = 246;

// Key format bits (tag table and tag header).
constexpr uint8_t kFormatField = 0x10;
constexpr uint8_t kFormatDescending = 0x08;
constexpr uint8_t kFormatUnique = 0x40;

// Node block: key count, a reserved word, then the entries.
constexpr size_t kNodeOffCount = 0;
constexpr size_t kNodeOffEntries = 8;

// Each entry is a 4-byte record number (leaf) or child page (interior),
// then the key, zero padded to a multiple of 4.
constexpr int ItemLength(int key_length) { return (key_length + 4 + 3) / 4 * 4; }
// Room for the node header and the extra child pointer of an interior node.
constexpr int MaxKeysPerBlock(int key_length, int block_size = kBlockSize) {
  return (block_size - 12) / ItemLength(key_length);
}

}  // namespace pontevia::access::mdx
