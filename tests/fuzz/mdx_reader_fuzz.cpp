// Feeds raw bytes to the production index reader: list the tags, walk each,
// search each for a key made from the input. Any outcome but a crash, a hang
// or a sanitizer report is fine.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "access/mdx_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using pontevia::access::MdxEntry;
  using pontevia::access::MdxReader;
  std::unique_ptr<MdxReader> reader;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (!MdxReader::FromBytes("FUZZ.MDX", bytes, &reader).ok()) return 0;
  for (const auto& tag : reader->tags()) {
    std::vector<MdxEntry> entries;
    (void)reader->WalkTag(tag.name, &entries);
    (void)reader->TagDepth(tag.name);
    std::string key = bytes.substr(size / 2, static_cast<size_t>(tag.key_length));
    (void)reader->SeekTag(tag.name, key);
  }
  return 0;
}
