// The index cache file: its layout, checksums and the checks made before any of it is used.
//
// Layout (native byte order; a cache is written and read on one machine):
//   0   "MBIX", format 2
//   8   the table's device, inode, size, modification and change times (ns), 8 bytes each
//   48  capacity, record size, column count, live count (4 bytes each)
//   64  hash of the table's header and column descriptors
//   72  number of parts, 0
//   80  checksum of bytes 0..79 and the part list
//   88  0 (8 bytes)
//   96  the part list: per part its kind (0 the slot index, else a column), 0, offset, length,
//       checksum (4 + 4 + 8 + 8 + 8 bytes)
// then the parts: the slot index as SlotIndex::saveWords gives it, a column's lookup index as
// ColumnIndex::image gives it.
#include "marlbase/index_cache.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "marlbase/cache_fields.h"
#include "marlbase/format.h"

namespace tunora::marlbase {
namespace {

constexpr char kCacheMagic[4] = {'M', 'B', 'I', 'X'};
constexpr uint32_t kCacheFormat = 3;
constexpr size_t kHeadSize = 96;
constexpr size_t kPartEntrySize = 32;

using cache_fields::get;
using cache_fields::put;

uint64_t mix(uint64_t h) {
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdULL;
  h ^= h >> 33;
  return h;
}

bool readAllAt(int fd, uint8_t* data, size_t size, uint64_t offset) {
  while (size > 0) {
    const ssize_t n = pread(fd, data, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
    offset += static_cast<uint64_t>(n);
  }
  return true;
}

// contentHash over bytes that arrive in pieces of whole words, `total` bytes in all. Four
// words are mixed at a time into four independent lanes, so that the processor overlaps their
// multiplications.
class WordHasher {
 public:
  explicit WordHasher(uint64_t total)
      : lanes_{0x9e3779b97f4a7c15ULL ^ total, 0xc2b2ae3d27d4eb4fULL, 0x165667b19e3779f9ULL,
               0x27d4eb2f165667c5ULL} {}
  void add(const uint8_t* data, size_t size) {
    size_t i = 0;
    for (; next_ != 0 && i + 8 <= size; i += 8) addWord(get<uint64_t>(data + i));
    for (; i + 32 <= size; i += 32) {
      for (size_t k = 0; k < 4; ++k) {
        lanes_[k] = mix(lanes_[k] ^ get<uint64_t>(data + i + 8 * k)) * 0x100000001b3ULL;
      }
    }
    for (; i + 8 <= size; i += 8) addWord(get<uint64_t>(data + i));
  }
  // The last bytes, fewer than 8 (`count` of them in `tail`).
  void addTail(uint64_t tail, size_t count) {
    lanes_[0] ^= tail ^ uint64_t { count } << 56;
  }
  uint64_t finish() const {
    return mix(mix(lanes_[0] ^ mix(lanes_[1])) ^ mix(lanes_[2] ^ mix(lanes_[3])));
  }

 private:
  void addWord(uint64_t w) {
    lanes_[next_] = mix(lanes_[next_] ^ w) * 0x100000001b3ULL;
    next_ = (next_ + 1) % 4;
  }
  uint64_t lanes_[4];
  size_t next_ = 0;
};

}  // namespace

uint64_t contentHash(const uint8_t* data, size_t size) {
  WordHasher hasher(size);
  const size_t whole = size / 8 * 8;
  hasher.add(data, whole);
  uint64_t tail = 0;
  std::memcpy(&tail, data + whole, size - whole);
  hasher.addTail(tail, size - whole);
  return hasher.finish();
}

std::vector<uint8_t> encodeIndexCacheHead(const IndexCacheKey& key, int32_t live_count,
                                          std::span<const CachePart> parts) {
  const size_t head_size = kHeadSize + parts.size() * kPartEntrySize;
  std::vector<uint8_t> out(head_size, 0);
  std::memcpy(out.data(), kCacheMagic, 4);
  put(out, 4, kCacheFormat);
  put(out, 8, key.stamp.device);
  put(out, 16, key.stamp.inode);
  put(out, 24, key.stamp.size);
  put(out, 32, key.stamp.mtime_ns);
  put(out, 40, key.stamp.ctime_ns);
  put(out, 48, key.capacity);
  put(out, 52, key.record_size);
  put(out, 56, key.column_count);
  put(out, 60, live_count);
  put(out, 64, key.header_hash);
  put(out, 72, static_cast<uint32_t>(parts.size()));
  uint64_t at = head_size;
  for (size_t i = 0; i < parts.size(); ++i) {
    uint64_t length = 0;
    for (const auto& piece : parts[i].pieces) length += piece.size();
    uint64_t checksum = 0;
    if (parts[i].checksum) {
      checksum = *parts[i].checksum;
    } else {
      WordHasher hasher(length);
      for (const auto& piece : parts[i].pieces) hasher.add(piece.data(), piece.size());
      checksum = hasher.finish();
    }
    const size_t entry = kHeadSize + i * kPartEntrySize;
    put(out, entry, parts[i].kind);
    put(out, entry + 8, at);
    put(out, entry + 16, length);
    put(out, entry + 24, checksum);
    at += length;
  }
  std::vector<uint8_t> summed(out.begin(), out.begin() + 80);
  summed.insert(summed.end(), out.begin() + kHeadSize, out.end());
  put(out, 80, contentHash(summed.data(), summed.size()));
  return out;
}

CachePart columnPart(int32_t column, const ColumnIndex::Image& image,
                     std::vector<uint64_t>& block_list) {
  const std::vector<std::span<const uint8_t>> pieces = imagePieces(image);
  uint64_t total = 0;
  for (const auto& piece : pieces) total += piece.size();
  const uint64_t block = ColumnIndex::kViewBlock;
  block_list.assign(1, (total + block - 1) / block);
  // Each block's hash, over pieces that may begin and end anywhere in it (at whole words).
  uint64_t start = 0;
  WordHasher hasher(std::min(block, total));
  for (const auto& piece : pieces) {
    for (size_t at = 0; at < piece.size();) {
      const uint64_t block_end = (start / block + 1) * block;
      const size_t n =
          static_cast<size_t>(std::min<uint64_t>(piece.size() - at, block_end - start));
      hasher.add(piece.data() + at, n);
      at += n;
      start += n;
      if (start == block_end || start == total) {
        block_list.push_back(hasher.finish());
        hasher = WordHasher(std::min(block, total - start));
      }
    }
  }
  CachePart part;
  part.kind = static_cast<uint32_t>(column);
  part.pieces = {{reinterpret_cast<const uint8_t*>(block_list.data()), block_list.size() * 8}};
  part.pieces.insert(part.pieces.end(), pieces.begin(), pieces.end());
  part.checksum = contentHash(part.pieces[0].data(), part.pieces[0].size());
  return part;
}

std::vector<uint8_t> encodeIndexCache(const IndexCacheKey& key, int32_t live_count,
                                      const SlotIndex& slots,
                                      std::span<const CachedColumn> columns) {
  const std::vector<uint64_t> words = slots.saveWords();
  std::vector<ColumnIndex::Image> images;
  std::vector<std::vector<uint64_t>> block_lists(columns.size());
  std::vector<CachePart> parts(1);
  parts[0].pieces = {{reinterpret_cast<const uint8_t*>(words.data()), words.size() * 8}};
  images.reserve(columns.size());
  for (size_t i = 0; i < columns.size(); ++i) {
    const ColumnIndex::Image& image = images.emplace_back(columns[i].index->image());
    parts.push_back(columnPart(columns[i].column, image, block_lists[i]));
  }
  std::vector<uint8_t> out = encodeIndexCacheHead(key, live_count, parts);
  for (const CachePart& part : parts) {
    for (const auto& piece : part.pieces) out.insert(out.end(), piece.begin(), piece.end());
  }
  return out;
}

std::vector<std::span<const uint8_t>> imagePieces(const ColumnIndex::Image& image) {
  const auto bytesOf = [](std::span<const uint64_t> words) {
    return std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(words.data()),
                                    words.size() * 8);
  };
  return {bytesOf(image.head), bytesOf(image.keys), image.table, bytesOf(image.lists)};
}

IndexCacheFile::~IndexCacheFile() {
  if (fd_ >= 0) ::close(fd_);
}

// The cache file's own key is the table state of its writing; the delta says which state they
// describe together. What the delta cannot change (capacity, record size, columns) must agree.
bool IndexCacheFile::parseHead(std::span<const uint8_t> head, uint64_t file_size,
                               const IndexCacheKey& key) {
  if (head.size() < kHeadSize || std::memcmp(head.data(), kCacheMagic, 4) != 0 ||
      get<uint32_t>(&head[4]) != kCacheFormat) {
    return false;
  }
  const uint32_t part_count = get<uint32_t>(&head[72]);
  if (part_count == 0 || part_count > key.column_count + 1 ||
      head.size() < kHeadSize + size_t{part_count} * kPartEntrySize) {
    return false;
  }
  std::vector<uint8_t> summed(head.begin(), head.begin() + 80);
  summed.insert(
      summed.end(), head.begin() + kHeadSize,
      head.begin() + static_cast<std::ptrdiff_t>(kHeadSize + part_count * kPartEntrySize));
  if (get<uint64_t>(&head[80]) != contentHash(summed.data(), summed.size())) return false;
  const auto live = get<int32_t>(&head[60]);
  if (get<uint32_t>(&head[48]) != key.capacity || get<uint32_t>(&head[52]) != key.record_size ||
      get<uint32_t>(&head[56]) != key.column_count || live < 0 ||
      static_cast<uint32_t>(live) > key.capacity) {
    return false;
  }
  parts_.clear();
  for (uint32_t i = 0; i < part_count; ++i) {
    const uint8_t* e = &head[kHeadSize + size_t{i} * kPartEntrySize];
    Part p{get<uint32_t>(e), get<uint64_t>(e + 8), get<uint64_t>(e + 16), get<uint64_t>(e + 24)};
    if (p.kind > key.column_count || p.offset > file_size || p.length > file_size - p.offset ||
        p.length % 8 != 0 || p.offset % 8 != 0 || findPart(p.kind) != nullptr) {
      return false;
    }
    parts_.push_back(p);
  }
  key_ = key;
  id_ = get<uint64_t>(&head[80]);
  file_live_count_ = live;
  return true;
}

namespace {

bool deltaFits(const IndexDelta& delta, uint64_t id, const IndexCacheKey& key) {
  return delta.base_id == id && delta.key == key;
}

}  // namespace

bool IndexCacheFile::open(const std::string& path, const std::string& delta_path,
                          const IndexCacheKey& key) {
  std::vector<uint8_t> delta_bytes;
  {
    const int dfd = ::open(delta_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (dfd < 0) return false;
    struct stat st;
    const bool read = fstat(dfd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size < (1LL << 36) &&
                      (delta_bytes.resize(static_cast<size_t>(st.st_size)),
                       readAllAt(dfd, delta_bytes.data(), delta_bytes.size(), 0));
    ::close(dfd);
    if (!read || !decodeIndexDelta(delta_bytes, delta_)) return false;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st;
  std::vector<uint8_t> head(kHeadSize);
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
            static_cast<uint64_t>(st.st_size) >= kHeadSize &&
            readAllAt(fd, head.data(), kHeadSize, 0);
  if (ok) {
    const uint32_t part_count = std::min<uint32_t>(get<uint32_t>(&head[72]), key.column_count + 1);
    head.resize(kHeadSize + size_t{part_count} * kPartEntrySize);
    ok = static_cast<uint64_t>(st.st_size) >= head.size() &&
         readAllAt(fd, head.data() + kHeadSize, head.size() - kHeadSize, kHeadSize) &&
         parseHead(head, static_cast<uint64_t>(st.st_size), key) && deltaFits(delta_, id_, key);
  }
  if (!ok) {
    ::close(fd);
    return false;
  }
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
  map_.reset();
  file_size_ = static_cast<uint64_t>(st.st_size);
  return true;
}

bool IndexCacheFile::openBytes(std::span<const uint8_t> bytes, std::span<const uint8_t> delta,
                               const IndexCacheKey& key) {
  if (!decodeIndexDelta(delta, delta_) || !parseHead(bytes, bytes.size(), key) ||
      !deltaFits(delta_, id_, key)) {
    return false;
  }
  given_ = bytes;
  file_size_ = bytes.size();
  return true;
}

std::span<const uint8_t> IndexCacheFile::bytes() const {
  if (fd_ < 0) return given_;
  if (!map_) {
    void* map = mmap(nullptr, file_size_, PROT_READ, MAP_PRIVATE, fd_, 0);
    if (map == MAP_FAILED) return {};
    const size_t size = file_size_;
    map_ = std::shared_ptr<const uint8_t>(
        static_cast<const uint8_t*>(map),
        [size](const uint8_t* p) { munmap(const_cast<uint8_t*>(p), size); });
  }
  return {map_.get(), file_size_};
}

const IndexCacheFile::Part* IndexCacheFile::findPart(uint32_t kind) const {
  for (const Part& p : parts_) {
    if (p.kind == kind) return &p;
  }
  return nullptr;
}

bool IndexCacheFile::readSlots(SlotIndex& slots) {
  const Part* part = findPart(0);
  const std::span<const uint8_t> file = bytes();
  if (part == nullptr || part->length != SlotIndex::wordCount(key_.capacity) * 8 ||
      file.size() < part->offset + part->length) {
    return false;
  }
  const std::span<const uint8_t> image = file.subspan(part->offset, part->length);
  if (contentHash(image.data(), image.size()) != part->checksum) return false;
  // The mapped file's words are read in place; bytes given in memory are copied to words.
  std::vector<uint64_t> copy;
  std::span<const uint64_t> words(reinterpret_cast<const uint64_t*>(image.data()),
                                  image.size() / 8);
  if (fd_ < 0) {
    copy.resize(image.size() / 8);
    if (!copy.empty()) std::memcpy(copy.data(), image.data(), image.size());
    words = copy;
  }
  if (!slots.loadWords(key_.capacity, words) ||
      slots.live().count() != static_cast<uint32_t>(file_live_count_)) {
    return false;
  }
  const std::span<const uint64_t> occupied = slots.occupiedSlots().words();
  file_occupied_.assign(occupied.begin(), occupied.end());
  file_occupied_count_ = slots.occupied();
  for (size_t i = 0; i < delta_.slots.size(); ++i)
    slots.assign(delta_.slots[i], delta_.statuses[i]);
  return slots.live().count() == static_cast<uint32_t>(delta_.live_count);
}

bool IndexCacheFile::hasColumn(int32_t column) const {
  return column >= 1 && findPart(static_cast<uint32_t>(column)) != nullptr &&
         std::binary_search(delta_.columns.begin(), delta_.columns.end(), column);
}

bool IndexCacheFile::readColumn(int32_t column, ColumnIndex& index) const {
  index.reset(0);
  if (!hasColumn(column) || file_occupied_.size() != (size_t{key_.capacity} + 63) / 64) {
    return false;
  }
  const Part* part = findPart(static_cast<uint32_t>(column));
  const std::span<const uint8_t> file = bytes();
  if (file.size() < part->offset + part->length) return false;
  // The block list first: it is checked whole, the image's blocks as they are read.
  const std::span<const uint8_t> part_bytes = file.subspan(part->offset, part->length);
  const uint64_t blocks = part->length >= 8 ? get<uint64_t>(part_bytes.data()) : 0;
  if (part->length < 8 || blocks > (part->length - 8) / 8 ||
      contentHash(part_bytes.data(), 8 + 8 * blocks) != part->checksum) {
    return false;
  }
  const std::span<const uint8_t> image = part_bytes.subspan(8 + 8 * blocks);
  std::vector<uint64_t> sums(blocks);
  if (blocks > 0) std::memcpy(sums.data(), part_bytes.data() + 8, blocks * 8);
  if (sums.size() != (image.size() + ColumnIndex::kViewBlock - 1) / ColumnIndex::kViewBlock ||
      !index.loadView(key_.capacity, file_occupied_, file_occupied_count_, image, sums, map_)) {
    index.reset(0);
    return false;
  }
  const size_t c =
      static_cast<size_t>(std::lower_bound(delta_.columns.begin(), delta_.columns.end(), column) -
                          delta_.columns.begin());
  const size_t n = delta_.slots.size();
  for (size_t i = 0; i < n; ++i) {
    if (delta_.statuses[i] > kHighestFreeStatus) {
      index.insert(delta_.slots[i], delta_.keys[c * n + i]);
    } else {
      index.erase(delta_.slots[i]);
    }
  }
  return true;
}

bool IndexCacheFile::rawColumn(int32_t column, std::span<const uint8_t>& out,
                               uint64_t& checksum) const {
  if (findPart(static_cast<uint32_t>(column)) == nullptr) return false;
  const Part* part = findPart(static_cast<uint32_t>(column));
  const std::span<const uint8_t> file = bytes();
  if (file.size() < part->offset + part->length) return false;
  out = file.subspan(part->offset, part->length);
  checksum = part->checksum;
  return true;
}

std::vector<int32_t> IndexCacheFile::columns() const {
  std::vector<int32_t> out;
  for (const Part& p : parts_) {
    if (p.kind != 0 && hasColumn(static_cast<int32_t>(p.kind))) {
      out.push_back(static_cast<int32_t>(p.kind));
    }
  }
  return out;
}

}  // namespace tunora::marlbase
