// Builds the whole index in memory, bottom up, and writes it in one pass.
// The tree is bulk-loaded from sorted keys, so every block is written once and
// nothing is left on a free list. See doc/mdx_format.md.
#include "access/mdx_writer.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <numeric>

#include "access/dbf_format.h"
#include "access/mdx_format.h"

namespace pontevia::access {
namespace {

using namespace mdx;  // NOLINT: the format constants read better unqualified here

void Put16(std::string* b, size_t off, uint16_t v) {
  (*b)[off] = static_cast<char>(v & 0xFF);
  (*b)[off + 1] = static_cast<char>(v >> 8);
}

void Put32(std::string* b, size_t off, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*b)[off + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

void PutDate(std::string* b, size_t off) {
  std::time_t now = std::time(nullptr);
  // The program is single-threaded; localtime's shared buffer is safe here.
  const std::tm* t = std::localtime(&now);
  (*b)[off] = static_cast<char>(t ? t->tm_year : 0);
  (*b)[off + 1] = static_cast<char>(t ? t->tm_mon + 1 : 1);
  (*b)[off + 2] = static_cast<char>(t ? t->tm_mday : 1);
}

std::string UpperAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

Status Invalid(const std::string& path, const std::string& what) {
  return Status::InvalidArgument("No se puede crear el índice " + path + ": " + what +
                                 ". Es un fallo del programa; avise al servicio técnico.");
}

Status CheckTag(const std::string& path, const MdxTag& tag) {
  if (tag.name.empty() || tag.name.size() > static_cast<size_t>(kMaxTagName)) {
    return Invalid(path, "el nombre de etiqueta «" + tag.name + "» debe tener de 1 a 10 caracteres");
  }
  if (tag.expression.empty() || tag.expression.size() > static_cast<size_t>(kMaxExpression)) {
    return Invalid(path, "la expresión de la etiqueta " + tag.name + " está vacía o es demasiado larga");
  }
  if (tag.key_length < 1 || tag.key_length > kMaxKeyLength) {
    return Invalid(path, "la clave de la etiqueta " + tag.name + " debe medir de 1 a 100 caracteres");
  }
  for (const auto& [key, record] : tag.keys) {
    if (key.size() != static_cast<size_t>(tag.key_length)) {
      return Invalid(path, "una clave de la etiqueta " + tag.name + " no mide " +
                               std::to_string(tag.key_length) + " caracteres");
    }
    if (record == 0) return Invalid(path, "la etiqueta " + tag.name + " tiene un número de registro 0");
  }
  return Status::OK();
}

// Splits `count` items into `groups` runs whose sizes differ by at most one;
// returns the index one past the end of run g.
size_t RunEnd(size_t count, size_t groups, size_t g) {
  return static_cast<size_t>((static_cast<unsigned long long>(count) * (g + 1)) / groups);
}

// One tag laid out: where its blocks go, and its sorted keys.
struct TagPlan {
  const MdxTag* tag = nullptr;
  std::vector<uint32_t> order;            // indexes into tag->keys, in key order
  std::vector<size_t> level_sizes;        // blocks per level, leaves first
  uint32_t header_page = 0;
  uint32_t first_node_page = 0;
  uint32_t pages = 0;                     // header and nodes
};

TagPlan PlanTag(const MdxTag& tag, uint32_t header_page) {
  TagPlan plan;
  plan.tag = &tag;
  plan.header_page = header_page;
  plan.order.resize(tag.keys.size());
  std::iota(plan.order.begin(), plan.order.end(), 0u);
  const auto& keys = tag.keys;
  std::sort(plan.order.begin(), plan.order.end(), [&keys](uint32_t a, uint32_t b) {
    int c = std::memcmp(keys[a].first.data(), keys[b].first.data(), keys[a].first.size());
    if (c != 0) return c < 0;
    return keys[a].second < keys[b].second;
  });

  const size_t max_keys = static_cast<size_t>(MaxKeysPerBlock(tag.key_length));
  size_t blocks = std::max<size_t>(1, (keys.size() + max_keys - 1) / max_keys);
  plan.level_sizes.push_back(blocks);
  while (blocks > 1) {
    blocks = (blocks + max_keys) / (max_keys + 1);  // ceil(blocks / (max + 1))
    plan.level_sizes.push_back(blocks);
  }
  size_t nodes = std::accumulate(plan.level_sizes.begin(), plan.level_sizes.end(), size_t{0});
  plan.first_node_page = header_page + kPagesPerBlock;
  plan.pages = static_cast<uint32_t>(kPagesPerBlock * (1 + nodes));
  return plan;
}

void WriteEntry(std::string* file, size_t block, int index, int item_length, uint32_t number,
                const std::string* key) {
  size_t off = block + kNodeOffEntries + static_cast<size_t>(index) * item_length;
  Put32(file, off, number);
  if (key) std::memcpy(file->data() + off + 4, key->data(), key->size());
}

// Writes the nodes of one tag; returns the root's page.
uint32_t WriteTree(const TagPlan& plan, std::string* file) {
  const MdxTag& tag = *plan.tag;
  const int item = ItemLength(tag.key_length);
  const size_t count = plan.order.size();
  uint32_t page = plan.first_node_page;

  // For every block of the level just written: its page and the position
  // (in key order) of the greatest key below it.
  std::vector<uint32_t> pages;
  std::vector<size_t> last_key;

  const size_t leaves = plan.level_sizes[0];
  for (size_t g = 0; g < leaves; ++g) {
    size_t begin = g == 0 ? 0 : RunEnd(count, leaves, g - 1);
    size_t end = RunEnd(count, leaves, g);
    size_t block = static_cast<size_t>(page) * kPageSize;
    Put32(file, block + kNodeOffCount, static_cast<uint32_t>(end - begin));
    for (size_t k = begin; k < end; ++k) {
      const auto& [key, record] = tag.keys[plan.order[k]];
      WriteEntry(file, block, static_cast<int>(k - begin), item, record, &key);
    }
    pages.push_back(page);
    last_key.push_back(end == 0 ? 0 : end - 1);
    page += kPagesPerBlock;
  }

  for (size_t level = 1; level < plan.level_sizes.size(); ++level) {
    const size_t parents = plan.level_sizes[level];
    const size_t children = pages.size();
    std::vector<uint32_t> up_pages;
    std::vector<size_t> up_last;
    for (size_t g = 0; g < parents; ++g) {
      size_t begin = g == 0 ? 0 : RunEnd(children, parents, g - 1);
      size_t end = RunEnd(children, parents, g);
      size_t block = static_cast<size_t>(page) * kPageSize;
      Put32(file, block + kNodeOffCount, static_cast<uint32_t>(end - begin - 1));
      for (size_t c = begin; c < end; ++c) {
        const std::string* key = c + 1 < end ? &tag.keys[plan.order[last_key[c]]].first : nullptr;
        WriteEntry(file, block, static_cast<int>(c - begin), item, pages[c], key);
      }
      up_pages.push_back(page);
      up_last.push_back(last_key[end - 1]);
      page += kPagesPerBlock;
    }
    pages = std::move(up_pages);
    last_key = std::move(up_last);
  }
  return pages.front();
}

void WriteTagHeader(const TagPlan& plan, uint32_t root, std::string* file) {
  const MdxTag& tag = *plan.tag;
  size_t h = static_cast<size_t>(plan.header_page) * kPageSize;
  Put32(file, h + kHdrOffRoot, root);
  Put32(file, h + kHdrOffTagPages, plan.pages);
  (*file)[h + kHdrOffFormat] = static_cast<char>(kFormatField);
  (*file)[h + kHdrOffKeyType] = 'C';
  Put16(file, h + kHdrOffKeyLength, static_cast<uint16_t>(tag.key_length));
  Put16(file, h + kHdrOffMaxKeys, static_cast<uint16_t>(MaxKeysPerBlock(tag.key_length)));
  Put16(file, h + kHdrOffItemLength, static_cast<uint16_t>(ItemLength(tag.key_length)));
  (*file)[h + kHdrOffReserved2] = 2;
  (*file)[h + kHdrOffUnique] = 0;
  std::memcpy(file->data() + h + kHdrOffExpression, tag.expression.data(), tag.expression.size());
  (*file)[h + kHdrOffKeyExists] = 1;
}

// Tag table entries, threaded into a binary search tree by name in creation
// order, as dBase keeps it; tag numbers are 1-based.
void WriteTagTable(const std::vector<TagPlan>& plans, std::string* file) {
  std::vector<std::string> names;
  for (const TagPlan& p : plans) names.push_back(UpperAscii(p.tag->name));
  auto entry = [](size_t i) { return kTagTableOffset + (i - 1) * kTagEntrySize; };
  for (size_t i = 1; i <= plans.size(); ++i) {
    size_t e = entry(i);
    Put32(file, e + kTagOffHeaderPage, plans[i - 1].header_page);
    std::memcpy(file->data() + e + kTagOffName, names[i - 1].data(), names[i - 1].size());
    (*file)[e + kTagOffFormat] = static_cast<char>(kFormatField);
    (*file)[e + kTagOffReserved2] = 2;
    (*file)[e + kTagOffKeyType] = 'C';
    if (i == 1) continue;
    size_t cur = 1;
    while (true) {
      size_t side = names[i - 1] < names[cur - 1] ? kTagOffLeft : kTagOffRight;
      auto next = static_cast<uint8_t>((*file)[entry(cur) + side]);
      if (next == 0) {
        (*file)[entry(cur) + side] = static_cast<char>(i);
        (*file)[e + kTagOffParent] = static_cast<char>(cur);
        break;
      }
      cur = next;
    }
  }
  if (!plans.empty()) (*file)[kOffFirstTag] = 1;
}

}  // namespace

Status WriteMdx(Env* env, const std::string& path, std::string_view table_name,
                const std::vector<MdxTag>& tags) {
  if (tags.size() > static_cast<size_t>(kMaxTags)) {
    return Invalid(path, "un índice admite como mucho 47 etiquetas");
  }
  if (table_name.size() > kDataNameSize) {
    return Invalid(path, "el nombre de tabla es demasiado largo");
  }
  for (size_t i = 0; i < tags.size(); ++i) {
    PONTEVIA_RETURN_IF_ERROR(CheckTag(path, tags[i]));
    for (size_t j = 0; j < i; ++j) {
      if (UpperAscii(tags[j].name) == UpperAscii(tags[i].name)) {
        return Invalid(path, "la etiqueta " + tags[i].name + " está repetida");
      }
    }
  }

  std::vector<TagPlan> plans;
  uint32_t page = kHeaderPages;
  for (const MdxTag& tag : tags) {
    plans.push_back(PlanTag(tag, page));
    page += plans.back().pages;
  }
  const uint32_t total_pages = page;

  std::string file(static_cast<size_t>(total_pages) * kPageSize, '\0');
  file[kOffVersion] = static_cast<char>(kVersion);
  PutDate(&file, kOffCreated);
  std::memcpy(file.data() + kOffDataName, table_name.data(), table_name.size());
  Put16(&file, kOffPagesPerBlock, kPagesPerBlock);
  Put16(&file, kOffBlockSize, kBlockSize);
  file[kOffProduction] = 1;
  file[kOffTableEntries] = kTagTableEntries;
  file[kOffEntrySize] = kTagEntrySize;
  Put16(&file, kOffTagsInUse, static_cast<uint16_t>(tags.size()));
  // An index whose language driver differs from its table's may be refused
  // or searched with the wrong collation; ours are only written for tables
  // this program creates, which always carry this one.
  file[kOffLanguageDriver] = static_cast<char>(dbf::kLanguageDriverAnsi1252);
  Put32(&file, kOffPageCount, total_pages);
  Put32(&file, kOffFreePage, 0);
  Put32(&file, kOffFreeBlocks, 0);
  std::memcpy(file.data() + kOffUpdated, file.data() + kOffCreated, 3);

  WriteTagTable(plans, &file);
  for (const TagPlan& plan : plans) {
    uint32_t root = WriteTree(plan, &file);
    WriteTagHeader(plan, root, &file);
  }
  return ReplaceFileContents(env, path, [&file](WritableFile* out) { return out->Append(file); });
}

}  // namespace pontevia::access
