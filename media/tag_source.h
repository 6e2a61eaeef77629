// Random access to the bytes of a media file for the tag reader: a file on disk or bytes in
// memory (tests and fuzzing).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tunora::media {

class TagSource {
 public:
  virtual ~TagSource() = default;
  // The number of bytes in the source.
  virtual uint64_t size() const = 0;
  // Copies up to out.size() bytes from offset into out and returns how many were copied: fewer
  // at the end of the source or on a read error, 0 at or past the end.
  virtual size_t readAt(uint64_t offset, std::span<uint8_t> out) = 0;
};

// Bytes in memory; the caller keeps them alive while the source is used.
class MemoryTagSource final : public TagSource {
 public:
  explicit MemoryTagSource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  uint64_t size() const override { return bytes_.size(); }
  size_t readAt(uint64_t offset, std::span<uint8_t> out) override;

 private:
  std::span<const uint8_t> bytes_;
};

// A regular file, opened read-only. Not usable when open() failed. The first 4 KB, where the
// tag reader looks first and most, are read once and kept.
class FileTagSource final : public TagSource {
 public:
  FileTagSource() = default;
  ~FileTagSource() override;
  FileTagSource(const FileTagSource&) = delete;
  FileTagSource& operator=(const FileTagSource&) = delete;

  // False when the path cannot be opened or is not a regular file.
  [[nodiscard]] bool open(const std::string& path);
  uint64_t size() const override { return size_; }
  size_t readAt(uint64_t offset, std::span<uint8_t> out) override;

 private:
  static constexpr size_t kHeadSize = 4096;

  size_t readFile(uint64_t offset, std::span<uint8_t> out);

  int fd_ = -1;
  uint64_t size_ = 0;
  std::vector<uint8_t> head_;  // the first bytes of the file, once read
  bool head_read_ = false;
};

}  // namespace tunora::media
