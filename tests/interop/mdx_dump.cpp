// Walks a tag of a production index with our reader and prints it in the
// form of tdbf_dump.pas: "<n> <record number> <key as hex, without trailing
// blanks>". The interop test runs it on an index TDbf has added keys to.
//
//   mdx_dump FILE.MDX TAG
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "access/env.h"
#include "access/mdx_reader.h"

int main(int argc, char** argv) {
  using namespace pontevia::access;
  if (argc != 3) {
    std::cerr << "uso: mdx_dump ARCHIVO.MDX ETIQUETA\n";
    return 2;
  }
  std::unique_ptr<MdxReader> reader;
  std::vector<MdxEntry> entries;
  pontevia::Status s = MdxReader::Open(Env::Default(), argv[1], &reader);
  if (s.ok()) s = reader->WalkTag(argv[2], &entries);
  if (!s.ok()) {
    std::cerr << s.message() << "\n";
    return 1;
  }
  static const char kDigits[] = "0123456789ABCDEF";
  for (size_t i = 0; i < entries.size(); ++i) {
    std::string key = entries[i].key;
    key.erase(key.find_last_not_of(' ') + 1);
    std::string hex;
    for (unsigned char c : key) {
      hex += kDigits[c >> 4];
      hex += kDigits[c & 15];
    }
    std::cout << i + 1 << ' ' << entries[i].record << ' ' << hex << '\n';
  }
  return 0;
}
