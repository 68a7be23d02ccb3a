// The worked example of doc/dbf_format.md, byte for byte: fields COD C(3),
// DIA N(11,0), ACT L(1); records ('MAT', 3, true) and ('FIS', -12, false);
// written on 2024-03-05, no index. Built by hand, not by the writer.
#pragma once

#include <string>

namespace pontevia::access {

inline std::string Descriptor(const std::string& name, char type, int width, int decimals = 0) {
  std::string d(32, '\0');
  d.replace(0, name.size(), name);
  d[11] = type;
  d[16] = static_cast<char>(width);
  d[17] = static_cast<char>(decimals);
  return d;
}

inline std::string TwoRecordTable() {
  std::string h(32, '\0');
  h[0] = 0x03;
  h[1] = 124;  // 2024
  h[2] = 3;
  h[3] = 5;
  h[4] = 2;                      // 2 records
  h[8] = static_cast<char>(129);  // header length
  h[10] = 16;                     // record length
  h[29] = 0x57;
  return h + Descriptor("COD", 'C', 3) + Descriptor("DIA", 'N', 11) + Descriptor("ACT", 'L', 1) + "\x0D" +
         " MAT          3T" + " FIS        -12F" + "\x1A";
}

}  // namespace pontevia::access
