// Placeholder until the B-tree writer lands: writes nothing.
#include "access/mdx_writer.h"

namespace pontevia::access {

Status WriteMdx(Env* env, const std::string& path, std::string_view table_name,
                const std::vector<MdxTag>& tags) {
  return Status::OK();
}

}  // namespace pontevia::access
