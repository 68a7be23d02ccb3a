#include "access/mdx_reader.h"

#include <algorithm>
#include <unordered_set>

#include "access/mdx_format.h"

namespace pontevia::access {
namespace {

using namespace mdx;  // NOLINT: the format constants read better unqualified here

constexpr int kMaxDepth = 32;  // far beyond any real tree; stops runaway recursion

uint32_t Get16(const std::string& b, size_t off) {
  return static_cast<uint32_t>(static_cast<uint8_t>(b[off])) |
         static_cast<uint32_t>(static_cast<uint8_t>(b[off + 1])) << 8;
}

uint32_t Get32(const std::string& b, size_t off) {
  return Get16(b, off) | Get16(b, off + 2) << 16;
}

// The bytes up to the first zero, at most `size` of them.
std::string CString(const std::string& b, size_t off, size_t size) {
  size_t n = 0;
  while (n < size && b[off + n] != '\0') ++n;
  return b.substr(off, n);
}

bool EqualsAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

Status MdxReader::Open(Env* env, const std::string& path, std::unique_ptr<MdxReader>* out) {
  if (!env->FileExists(path)) {
    return Status::NotFound("No se encuentra el índice " + path + ".");
  }
  std::string bytes;
  PONTEVIA_RETURN_IF_ERROR(env->ReadFile(path, &bytes));
  return FromBytes(path, std::move(bytes), out);
}

Status MdxReader::FromBytes(std::string name, std::string bytes, std::unique_ptr<MdxReader>* out) {
  std::unique_ptr<MdxReader> r(new MdxReader());
  r->name_ = std::move(name);
  r->bytes_ = std::move(bytes);
  PONTEVIA_RETURN_IF_ERROR(r->Parse());
  *out = std::move(r);
  return Status::OK();
}

Status MdxReader::Parse() {
  auto corrupt = [this](const std::string& what) {
    return Status::Corrupt("El índice " + name_ + " está dañado: " + what +
                           ". Vuelva a exportar para rehacerlo.");
  };
  const std::string& b = bytes_;
  if (b.size() < static_cast<size_t>(kTagTableOffset)) return corrupt("es demasiado corto");

  table_name_ = CString(b, kOffDataName, kDataNameSize);
  uint32_t pages_per_block = Get16(b, kOffPagesPerBlock);
  uint32_t block_size = Get16(b, kOffBlockSize);
  if (pages_per_block < 1 || pages_per_block > 32 || block_size != pages_per_block * kPageSize) {
    return corrupt("el tamaño de bloque no es válido");
  }
  block_size_ = static_cast<int>(block_size);
  if (static_cast<uint8_t>(b[kOffEntrySize]) != kTagEntrySize) {
    return corrupt("la tabla de etiquetas no tiene entradas de 32 bytes");
  }
  page_count_ = Get32(b, kOffPageCount);
  uint32_t tag_count = Get16(b, kOffTagsInUse);
  if (tag_count > static_cast<uint32_t>(kMaxTags)) return corrupt("declara más de 47 etiquetas");
  if (b.size() < kTagTableOffset + static_cast<size_t>(tag_count) * kTagEntrySize) {
    return corrupt("la tabla de etiquetas pasa del final del archivo");
  }

  for (uint32_t i = 0; i < tag_count; ++i) {
    size_t e = kTagTableOffset + static_cast<size_t>(i) * kTagEntrySize;
    MdxTagInfo tag;
    tag.name = CString(b, e + kTagOffName, kMaxTagName + 1);
    tag.header_page = Get32(b, e + kTagOffHeaderPage);
    size_t h = static_cast<size_t>(tag.header_page) * kPageSize;
    if (tag.header_page == 0 || h + kPageSize > b.size() || h / kPageSize != tag.header_page) {
      return corrupt("la cabecera de la etiqueta «" + tag.name + "» está fuera del archivo");
    }
    tag.root_page = Get32(b, h + kHdrOffRoot);
    uint8_t format = static_cast<uint8_t>(b[h + kHdrOffFormat]);
    tag.descending = (format & kFormatDescending) != 0;
    tag.unique = (format & kFormatUnique) != 0 || b[h + kHdrOffUnique] != 0;
    tag.key_type = b[h + kHdrOffKeyType];
    tag.key_length = static_cast<int>(Get16(b, h + kHdrOffKeyLength));
    tag.max_keys = static_cast<int>(Get16(b, h + kHdrOffMaxKeys));
    tag.item_length = static_cast<int>(Get16(b, h + kHdrOffItemLength));
    tag.expression = CString(b, h + kHdrOffExpression, kMaxExpression + 1);
    if (tag.key_length < 1 || tag.item_length < tag.key_length + 4 ||
        tag.item_length > block_size_ - 12) {
      return corrupt("la etiqueta «" + tag.name + "» tiene una longitud de clave imposible");
    }
    tags_.push_back(std::move(tag));
  }
  checked_depth_.assign(tags_.size(), 0);
  return Status::OK();
}

Status MdxReader::Walk(const MdxTagInfo& tag, std::vector<MdxEntry>* out, int* depth) const {
  auto corrupt = [this, &tag](const std::string& what) {
    return Status::Corrupt("El índice " + name_ + " está dañado (etiqueta «" + tag.name + "»): " +
                           what + ". Vuelva a exportar para rehacerlo.");
  };
  const std::string& b = bytes_;
  const size_t item = static_cast<size_t>(tag.item_length);
  const size_t block = static_cast<size_t>(block_size_);
  std::unordered_set<uint32_t> seen;
  int leaf_depth = 0;

  // Depth-first, children in order, with an explicit stack so that a deep
  // or looping file cannot exhaust the native stack.
  struct Frame {
    uint32_t page;
    int level;
  };
  std::vector<Frame> stack{{tag.root_page, 1}};
  while (!stack.empty()) {
    Frame f = stack.back();
    stack.pop_back();
    if (f.level > kMaxDepth) return corrupt("el árbol es demasiado profundo");
    size_t off = static_cast<size_t>(f.page) * kPageSize;
    if (f.page == 0 || off / kPageSize != f.page || off + block > b.size()) {
      return corrupt("un bloque apunta fuera del archivo (página " + std::to_string(f.page) + ")");
    }
    if (!seen.insert(f.page).second) {
      return corrupt("el bloque de la página " + std::to_string(f.page) + " aparece dos veces");
    }
    uint32_t raw_count = Get32(b, off + kNodeOffCount);
    if (raw_count > (block - kNodeOffEntries) / item) {
      return corrupt("un bloque declara más claves de las que caben (página " +
                     std::to_string(f.page) + ")");
    }
    const size_t n = raw_count;
    // Entry n holds the last child of an interior block. A block too full
    // to hold it can only be a leaf.
    size_t tail = off + kNodeOffEntries + n * item;
    bool leaf = tail + 4 > off + block || Get32(b, tail) == 0;
    if (leaf) {
      if (leaf_depth == 0) leaf_depth = f.level;
      if (leaf_depth != f.level) return corrupt("las hojas no están todas a la misma profundidad");
      for (size_t i = 0; i < n; ++i) {
        size_t e = off + kNodeOffEntries + i * item;
        out->push_back(MdxEntry{b.substr(e + 4, static_cast<size_t>(tag.key_length)), Get32(b, e)});
      }
    } else {
      // Push in reverse so that the first child is walked first.
      stack.push_back({Get32(b, tail), f.level + 1});
      for (size_t i = n; i-- > 0;) {
        stack.push_back({Get32(b, off + kNodeOffEntries + i * item), f.level + 1});
      }
    }
  }
  *depth = leaf_depth;
  return Status::OK();
}

const MdxTagInfo* MdxReader::FindTag(std::string_view tag) const {
  for (const MdxTagInfo& t : tags_) {
    if (EqualsAsciiCase(t.name, tag)) return &t;
  }
  return nullptr;
}

Status MdxReader::NoSuchTag(std::string_view tag) const {
  return Status::NotFound("El índice " + name_ + " no tiene la etiqueta «" + std::string(tag) + "».");
}

Status MdxReader::WalkTag(std::string_view tag, std::vector<MdxEntry>* out) const {
  const MdxTagInfo* t = FindTag(tag);
  if (!t) return NoSuchTag(tag);
  int depth = 0;
  return Walk(*t, out, &depth);
}

Result<int> MdxReader::TagDepth(std::string_view tag) const {
  const MdxTagInfo* t = FindTag(tag);
  if (!t) return NoSuchTag(tag);
  std::vector<MdxEntry> ignored;
  int depth = 0;
  PONTEVIA_RETURN_IF_ERROR(Walk(*t, &ignored, &depth));
  return depth;
}

Result<MdxEntry> MdxReader::SeekTag(std::string_view tag, std::string_view key) const {
  const MdxTagInfo* t = FindTag(tag);
  if (!t) return NoSuchTag(tag);
  // A walk checks the whole tree once, so the descent below may trust every
  // page and count it meets.
  int& depth = checked_depth_[static_cast<size_t>(t - tags_.data())];
  if (depth == 0) {
    std::vector<MdxEntry> ignored;
    PONTEVIA_RETURN_IF_ERROR(Walk(*t, &ignored, &depth));
  }

  const std::string& b = bytes_;
  const size_t item = static_cast<size_t>(t->item_length);
  const size_t key_len = std::min(key.size(), static_cast<size_t>(t->key_length));
  auto at_least = [&](size_t entry) {
    return std::string_view(b).substr(entry + 4, key_len).compare(key.substr(0, key_len)) >= 0;
  };
  uint32_t page = t->root_page;
  for (int level = 1;; ++level) {
    size_t off = static_cast<size_t>(page) * kPageSize;
    size_t n = Get32(b, off + kNodeOffCount);
    size_t first = n;
    for (size_t i = 0; i < n; ++i) {
      if (at_least(off + kNodeOffEntries + i * item)) {
        first = i;
        break;
      }
    }
    if (level == depth) {
      if (first == n) return Status::NotFound("Ninguna clave de la etiqueta llega a la buscada.");
      size_t e = off + kNodeOffEntries + first * item;
      return MdxEntry{b.substr(e + 4, static_cast<size_t>(t->key_length)), Get32(b, e)};
    }
    page = Get32(b, off + kNodeOffEntries + first * item);
  }
}

}  // namespace pontevia::access
