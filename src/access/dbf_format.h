// On-disk constants of the dBase table file. The layout and the meaning of
// every byte are written down in ../../doc/dbf_format.md; the reader and the
// writer both take their numbers from here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pontevia::access::dbf {

// File header.
constexpr size_t kHeaderSize = 32;
constexpr size_t kVersionOffset = 0;
constexpr size_t kDateOffset = 1;  // year - 1900, month, day
constexpr size_t kRecordCountOffset = 4;
constexpr size_t kHeaderLengthOffset = 8;
constexpr size_t kRecordLengthOffset = 10;
constexpr size_t kProductionIndexOffset = 28;
constexpr size_t kLanguageDriverOffset = 29;

constexpr uint8_t kVersionDbase4 = 0x03;         // dBase III+/IV without memo
constexpr uint8_t kLanguageDriverAnsi1252 = 0x57;  // Windows ANSI, code page 1252
constexpr uint8_t kHeaderTerminator = 0x0D;
constexpr uint8_t kEndOfFile = 0x1A;

// Field descriptor.
constexpr size_t kDescriptorSize = 32;
constexpr size_t kFieldNameSize = 11;  // 10 characters and a 0x00
constexpr size_t kMaxFieldNameLength = 10;
constexpr size_t kFieldTypeOffset = 11;
constexpr size_t kFieldWidthOffset = 16;
constexpr size_t kFieldDecimalsOffset = 17;
constexpr size_t kFieldIndexFlagOffset = 31;

// dBase 7 layout, read only.
constexpr size_t kDbase7HeaderSize = 68;
constexpr size_t kDbase7DescriptorSize = 48;
constexpr size_t kDbase7FieldNameSize = 32;
constexpr size_t kDbase7FieldTypeOffset = 32;
constexpr size_t kDbase7FieldWidthOffset = 33;
constexpr size_t kDbase7FieldDecimalsOffset = 34;

// Record flag.
constexpr char kRecordActive = ' ';
constexpr char kRecordDeleted = '*';

// Field types as on disk.
constexpr char kTypeCharacter = 'C';
constexpr char kTypeNumeric = 'N';
constexpr char kTypeFloat = 'F';
constexpr char kTypeLogical = 'L';

// What Pontevia writes for its field kinds (see the doc for the reasons).
constexpr int kMaxCharacterWidth = 254;
constexpr int kIntegerWidth = 11;  // "-2147483648" fits
constexpr int kFloatWidth = 20;
constexpr int kFloatDecimals = 4;
constexpr size_t kMaxFields = 255;
constexpr size_t kMaxRecordLength = 65535;

// One field as the file describes it.
struct Field {
  std::string name;  // as on disk, 1252 bytes
  char type = kTypeCharacter;
  int width = 0;
  int decimals = 0;
  size_t offset = 0;  // from the start of the record, the flag byte being 0
  bool indexed = false;
};

}  // namespace pontevia::access::dbf
