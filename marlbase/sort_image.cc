// The sort image: writing it from the table, and writing it into the table.
//
// The image's records are grouped by where they go: group g holds the records for the target
// slots first + g * P .. first + (g + 1) * P - 1 (P records of at most 32 MB), in the order the
// table's sequential read met them, each in its zero-run code (zero_runs.h); the arrival table
// says which target each one is for. So the image is written in one sequential read of the table,
// and the table in one sequential write, a group in memory at a time. Each group has the room
// its records' longest codes could take; what they leave is a hole in the file.
#include "marlbase/sort_image.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "marlbase/format.h"
#include "marlbase/zero_runs.h"
#include "util/file_io.h"
#include "util/unique_fd.h"

namespace tunora::marlbase {
namespace {

constexpr char kImageMagic[4] = {'S', 'O', 'R', 'T'};
constexpr uint32_t kHeaderSize = 64;
constexpr uint64_t kRecordsOffset = 4096;
constexpr uint64_t kReadBytes = 2u << 20;
constexpr uint64_t kGroupBytes = 32u << 20;
constexpr uint32_t kBatchBytes = 512u << 10;
constexpr uint32_t kNone = 0xFFFF'FFFF;

struct Header {
  uint32_t record_size = 0;
  uint32_t capacity = 0;
  uint32_t record_area = 0;
  uint32_t first = 0;
  uint32_t records = 0;
  uint32_t copies = 0;
  uint32_t group = 0;  // records per group
  uint32_t tables_checksum = 0;
  // The table file it was written for: another file put in its place is not sorted by it.
  uint64_t table_device = 0;
  uint64_t table_inode = 0;

  uint32_t groups() const { return group == 0 ? 0 : (records + group - 1) / group; }
  uint32_t inGroup(uint32_t g) const { return std::min(group, records - g * group); }
  uint64_t groupRoom() const {
    return uint64_t{std::min(group, records)} * zeroRunCodeBound(record_size);
  }
  uint64_t groupOffset(uint32_t g) const { return kRecordsOffset + g * groupRoom(); }
  // The arrival table (a target per record, in image order), then each group's code length,
  // then the copies' record when there are copies: all under the tables' checksum.
  uint64_t tablesOffset() const { return groupOffset(groups()); }
  uint64_t tablesSize() const { return (uint64_t{records} + groups()) * 4; }
  uint64_t copyOffset() const { return tablesOffset() + tablesSize(); }
  uint64_t size() const { return copyOffset() + (copies > 0 ? record_size : 0); }
};

void encode(const Header& h, uint8_t* out) {
  std::memset(out, 0, kHeaderSize);
  std::memcpy(out, kImageMagic, 4);
  const uint32_t words[] = {h.record_size, h.capacity, h.record_area, h.first,
                            h.records,     h.copies,   h.group,       h.tables_checksum};
  for (size_t i = 0; i < std::size(words); ++i) storeU32(out + 4 + 4 * i, words[i]);
  const uint64_t ids[] = {h.table_device, h.table_inode};
  for (size_t i = 0; i < std::size(ids); ++i) {
    storeU32(out + 36 + 8 * i, static_cast<uint32_t>(ids[i]));
    storeU32(out + 40 + 8 * i, static_cast<uint32_t>(ids[i] >> 32));
  }
  storeU32(out + kHeaderSize - 4, fnv1a32(out, kHeaderSize - 4));
}

bool decode(const uint8_t* in, Header& h) {
  if (std::memcmp(in, kImageMagic, 4) != 0 ||
      loadU32(in + kHeaderSize - 4) != fnv1a32(in, kHeaderSize - 4)) {
    return false;
  }
  uint32_t* words[] = {&h.record_size, &h.capacity, &h.record_area, &h.first,
                       &h.records,     &h.copies,   &h.group,       &h.tables_checksum};
  for (size_t i = 0; i < std::size(words); ++i) *words[i] = loadU32(in + 4 + 4 * i);
  uint64_t* ids[] = {&h.table_device, &h.table_inode};
  for (size_t i = 0; i < std::size(ids); ++i) {
    *ids[i] = loadU32(in + 36 + 8 * i) | uint64_t{loadU32(in + 40 + 8 * i)} << 32;
  }
  return true;
}

uint32_t groupRecords(uint32_t record_size) {
  return static_cast<uint32_t>(std::max<uint64_t>(1, kGroupBytes / record_size));
}

// Writes the pieces at `offset`: all in as few calls as may be, or one piece per call with a
// crash point after each while a crash test runs.
bool writePieces(int fd, const std::vector<iovec>& pieces, uint64_t offset,
                 const std::function<void()>& crash_point) {
  if (!crash_point) return writeAllGathered(fd, pieces, static_cast<off_t>(offset));
  for (const iovec& piece : pieces) {
    if (!writeAll(fd, piece.iov_base, piece.iov_len, static_cast<off_t>(offset))) return false;
    offset += piece.iov_len;
    crash_point();
  }
  return true;
}

// A whole image read: its header, arrival table and code lengths.
struct Image {
  Header h;
  std::vector<uint32_t> arrivals;
  std::vector<uint32_t> code_length;
  std::vector<uint8_t> copy;  // the copies' record
};

// True when the header was written for this table file, with the group size this program
// writes, and its every target lies inside the table. Checked before any size is worked out
// from it.
bool matches(const Header& h, const TableLayout& table) {
  struct stat st;
  return fstat(table.fd, &st) == 0 && static_cast<uint64_t>(st.st_dev) == h.table_device &&
         static_cast<uint64_t>(st.st_ino) == h.table_inode && h.record_size == table.record_size &&
         h.capacity == table.capacity && h.record_area == table.record_area &&
         h.group == groupRecords(h.record_size) &&
         uint64_t{h.first} + h.records + h.copies <= table.capacity &&
         static_cast<uint64_t>(st.st_size) >=
             table.record_area + (uint64_t{h.first} + h.records + h.copies) * h.record_size;
}

// Reads the image's header and tables. False when it is not a whole image for this table: its
// arrival table must name each target of its group exactly once, and each group's codes must fit
// the group's room.
bool readImage(int fd, const TableLayout& table, Image& image) {
  struct stat st;
  uint8_t header[kHeaderSize];
  Header& h = image.h;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !readAll(fd, header, sizeof header, 0) ||
      !decode(header, h) || !matches(h, table) || static_cast<uint64_t>(st.st_size) != h.size()) {
    return false;
  }
  std::vector<uint8_t> tables(h.size() - h.tablesOffset());
  if (!readAll(fd, tables.data(), tables.size(), static_cast<off_t>(h.tablesOffset())) ||
      fnv1a32(tables.data(), tables.size()) != h.tables_checksum) {
    return false;
  }
  image.arrivals.resize(h.records);
  std::vector<bool> seen(h.records, false);
  for (uint32_t i = 0; i < h.records; ++i) {
    const uint32_t k = loadU32(&tables[4 * size_t{i}]);
    if (k >= h.records || k / h.group != i / h.group || seen[k]) return false;
    seen[k] = true;
    image.arrivals[i] = k;
  }
  image.code_length.resize(h.groups());
  for (uint32_t g = 0; g < h.groups(); ++g) {
    image.code_length[g] = loadU32(&tables[4 * (size_t{h.records} + g)]);
    if (image.code_length[g] > h.groupRoom()) return false;
  }
  image.copy.assign(tables.begin() + static_cast<ptrdiff_t>(h.tablesSize()), tables.end());
  return true;
}

// Reads group g's codes and finds where each record's code starts: at[i] for the group's i-th
// record in image order. False when a code is damaged or the codes do not fill the group's
// length exactly.
bool readGroup(int fd, const Image& image, uint32_t g, std::vector<uint8_t>& codes,
               std::vector<const uint8_t*>& at) {
  const Header& h = image.h;
  codes.resize(image.code_length[g]);
  if (!readAll(fd, codes.data(), codes.size(), static_cast<off_t>(h.groupOffset(g)))) {
    return false;
  }
  const uint8_t* next = codes.data();
  const uint8_t* end = next + codes.size();
  at.resize(h.inGroup(g));
  for (const uint8_t*& start : at) {
    start = next;
    if (!decodeZeroRuns(&next, end, h.record_size, nullptr)) return false;
  }
  return next == end;
}

}  // namespace

bool scanSlots(const TableLayout& table, uint32_t first, uint32_t last,
               const std::function<bool(uint32_t, uint32_t, const uint8_t*)>& visit) {
  if (first > last) return true;
  const uint32_t rs = table.record_size;
  const auto per_read =
      static_cast<uint32_t>(std::clamp<uint64_t>(kReadBytes / rs, 1, uint64_t{last} - first + 1));
  const std::unique_ptr<uint8_t[]> buffer(new uint8_t[size_t{per_read} * rs]);
  for (uint64_t s = first; s <= last; s += per_read) {
    const auto count = static_cast<uint32_t>(std::min<uint64_t>(per_read, last - s + 1));
    if (!readAll(table.fd, buffer.get(), size_t{count} * rs,
                 static_cast<off_t>(table.record_area + s * rs)) ||
        !visit(static_cast<uint32_t>(s), count, buffer.get())) {
      return false;
    }
  }
  return true;
}

SortImageWriter::~SortImageWriter() { abandon(); }

void SortImageWriter::abandon() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
  unlink(path_.c_str());
}

bool SortImageWriter::begin(const std::string& table_path, const TableLayout& table, uint32_t first,
                            uint32_t records, uint32_t copies) {
  abandon();
  if (records == 0) return false;
  path_ = sortImagePathFor(table_path);
  fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd_ < 0) return false;
  table_ = table;
  first_ = first;
  records_ = records;
  copies_ = copies;
  Header h;
  h.record_size = table.record_size;
  h.records = records;
  h.copies = copies;
  h.group = groupRecords(table.record_size);
  // The kept records go after the image's own bytes, which finish cuts off.
  stream_offset_ = (h.size() + kRecordsOffset - 1) / kRecordsOffset * kRecordsOffset;
  stream_length_ = 0;
  staged_.clear();
  kept_slots_.clear();
  kept_lengths_.clear();
  return true;
}

bool SortImageWriter::keep(uint32_t slot, const uint8_t* bytes) {
  if (fd_ < 0) return false;
  const size_t bound = zeroRunCodeBound(table_.record_size);
  if (staged_.size() + bound > kReadBytes && !flushKept()) return false;
  const size_t at = staged_.size();
  staged_.resize(at + bound);
  const size_t length = encodeZeroRuns(bytes, table_.record_size, staged_.data() + at);
  staged_.resize(at + length);
  kept_slots_.push_back(slot);
  kept_lengths_.push_back(static_cast<uint32_t>(length));
  return true;
}

bool SortImageWriter::flushKept() {
  if (!writeAll(fd_, staged_.data(), staged_.size(),
                static_cast<off_t>(stream_offset_ + stream_length_))) {
    abandon();  // no room: the sort goes the slow way
    return false;
  }
  stream_length_ += staged_.size();
  staged_.clear();
  return true;
}

bool SortImageWriter::finish(const SortPlan& plan, const std::function<void()>& crash_point) {
  if (fd_ < 0 || plan.first != first_ || plan.from.size() != records_ || plan.copies != copies_ ||
      kept_slots_.empty() || !flushKept()) {
    abandon();
    return false;
  }
  if (!writeGroups(plan, crash_point)) {
    abandon();
    return false;
  }
  ::close(fd_);
  fd_ = -1;
  return true;
}

// The kept records, read back in their order, go into their groups; then the tables, the cut
// of what was kept, and the header that makes the image whole.
bool SortImageWriter::writeGroups(const SortPlan& plan, const std::function<void()>& crash_point) {
  Header h;
  h.record_size = table_.record_size;
  h.capacity = table_.capacity;
  h.record_area = static_cast<uint32_t>(table_.record_area);
  h.first = first_;
  h.records = records_;
  h.copies = copies_;
  h.group = groupRecords(table_.record_size);
  struct stat st;
  if (fstat(table_.fd, &st) != 0) return false;
  h.table_device = static_cast<uint64_t>(st.st_dev);
  h.table_inode = static_cast<uint64_t>(st.st_ino);
  const uint32_t rs = h.record_size;
  const uint32_t low = kept_slots_.front();
  // target_of[s - low] := the k for which the record now in slot s goes to slot first + k.
  std::vector<uint32_t> target_of(size_t{kept_slots_.back()} - low + 1, kNone);
  for (uint32_t k = 0; k < h.records; ++k) {
    if (plan.from[k] < low || plan.from[k] - low >= target_of.size()) return false;
    target_of[plan.from[k] - low] = k;
  }
  const uint32_t groups = h.groups();
  std::vector<uint32_t> filled(groups, 0);
  std::vector<uint32_t> code_length(groups, 0);
  // The tables, and the copies' record after them when there are copies.
  std::vector<uint8_t> tables(h.size() - h.tablesOffset());
  std::vector<std::vector<iovec>> pieces(groups);
  std::vector<uint8_t> codes;
  uint64_t read_at = 0;
  for (size_t next = 0; next < kept_slots_.size();) {
    // As many whole codes as fill a read.
    size_t end = next;
    uint64_t bytes = 0;
    while (end < kept_slots_.size() && (end == next || bytes + kept_lengths_[end] <= kReadBytes)) {
      bytes += kept_lengths_[end++];
    }
    codes.resize(bytes);
    if (!readAll(fd_, codes.data(), codes.size(), static_cast<off_t>(stream_offset_ + read_at))) {
      return false;
    }
    read_at += bytes;
    uint8_t* code = codes.data();
    for (size_t i = next; i < end; code += kept_lengths_[i++]) {
      const uint32_t k = target_of[kept_slots_[i] - low];
      if (k == kNone) continue;
      const uint32_t g = k / h.group;
      storeU32(&tables[4 * (size_t{g} * h.group + filled[g] + pieces[g].size())], k);
      pieces[g].push_back({code, kept_lengths_[i]});
    }
    for (uint32_t g = 0; g < groups; ++g) {
      if (pieces[g].empty()) continue;
      if (!writePieces(fd_, pieces[g], h.groupOffset(g) + code_length[g], crash_point)) {
        return false;
      }
      for (const iovec& piece : pieces[g]) code_length[g] += static_cast<uint32_t>(piece.iov_len);
      filled[g] += static_cast<uint32_t>(pieces[g].size());
      pieces[g].clear();
    }
    next = end;
  }
  for (uint32_t g = 0; g < groups; ++g) {
    if (filled[g] != h.inGroup(g)) return false;
    storeU32(&tables[4 * (size_t{h.records} + g)], code_length[g]);
  }
  if (h.copies > 0) {
    uint8_t* copy = &tables[h.tablesSize()];
    if (!readAll(table_.fd, copy, rs,
                 static_cast<off_t>(table_.record_area + uint64_t{plan.copy_of} * rs))) {
      return false;
    }
    storeU32(copy, static_cast<uint32_t>(kStatusDeleted));
  }
  h.tables_checksum = fnv1a32(tables.data(), tables.size());
  if (!writeAll(fd_, tables.data(), tables.size(), static_cast<off_t>(h.tablesOffset())) ||
      ftruncate(fd_, static_cast<off_t>(h.size())) != 0) {
    return false;
  }
  if (crash_point) crash_point();
  // Last: the header that makes the image whole.
  uint8_t header[kHeaderSize];
  encode(h, header);
  return writeAll(fd_, header, sizeof header, 0);
}

ImageApplied applySortImage(const std::string& table_path, const TableLayout& table,
                            const std::function<void()>& crash_point) {
  const std::string path = sortImagePathFor(table_path);
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) return ImageApplied::kNone;
  Image image;
  std::vector<uint8_t> codes;
  std::vector<const uint8_t*> at;
  bool whole = readImage(fd.get(), table, image);
  // Every code is checked before the table is touched.
  for (uint32_t g = 0; whole && g < image.h.groups(); ++g) {
    whole = readGroup(fd.get(), image, g, codes, at);
  }
  if (!whole) {
    unlink(path.c_str());
    return ImageApplied::kNone;
  }
  // Each group's records are decoded in slot order a batch at a time, a batch small enough to
  // stay in the processor's cache until it is written.
  const Header& h = image.h;
  const uint32_t rs = h.record_size;
  const uint32_t per_batch = std::clamp<uint32_t>(kBatchBytes / rs, 1, h.group);
  std::vector<uint8_t> batch(size_t{per_batch} * rs);
  std::vector<uint32_t> index_of(std::min(h.group, h.records));
  std::vector<iovec> pieces;
  for (uint32_t g = 0; g < h.groups(); ++g) {
    if (!readGroup(fd.get(), image, g, codes, at)) return ImageApplied::kFailed;
    const uint32_t base = g * h.group;
    for (uint32_t i = 0; i < h.inGroup(g); ++i) index_of[image.arrivals[base + i] - base] = i;
    for (uint32_t k = 0; k < h.inGroup(g); k += per_batch) {
      const uint32_t count = std::min(per_batch, h.inGroup(g) - k);
      pieces.clear();
      for (uint32_t j = 0; j < count; ++j) {
        const uint8_t* code = at[index_of[k + j]];
        uint8_t* record = batch.data() + size_t{j} * rs;
        (void)decodeZeroRuns(&code, codes.data() + codes.size(), rs, record);
        pieces.push_back({record, rs});
      }
      if (!writePieces(table.fd, pieces, table.record_area + (uint64_t{h.first} + base + k) * rs,
                       crash_point)) {
        return ImageApplied::kFailed;
      }
    }
  }
  if (h.copies > 0) {
    pieces.assign(h.copies, iovec{image.copy.data(), rs});
    if (!writePieces(table.fd, pieces, table.record_area + (uint64_t{h.first} + h.records) * rs,
                     crash_point)) {
      return ImageApplied::kFailed;
    }
  }
  unlink(path.c_str());
  return ImageApplied::kApplied;
}

}  // namespace tunora::marlbase
