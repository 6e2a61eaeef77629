// Whole reads and writes on a file descriptor: the loops that go on after a short transfer or
// an interrupted call, written once for every file the program writes in place.
#pragma once

#include <sys/types.h>
#include <sys/uio.h>

#include <cstddef>
#include <span>

namespace tunora {

// Writes all `size` bytes at the descriptor's position. False on an error, with errno set
// (ENOSPC when a write made no progress); some of the bytes may have been written.
[[nodiscard]] bool writeAll(int fd, const void* data, size_t size);
// The same at `offset`, leaving the descriptor's position alone.
[[nodiscard]] bool writeAll(int fd, const void* data, size_t size, off_t offset);
// Writes the pieces one after another from `offset` on, in as few calls as the system allows.
// False as writeAll.
[[nodiscard]] bool writeAllGathered(int fd, std::span<const iovec> pieces, off_t offset);
// Reads up to `size` bytes at `offset`, stopping early only at the end of the file. The count
// read, or -1 on an error (errno set).
[[nodiscard]] ssize_t readUpToAt(int fd, void* data, size_t size, off_t offset);
// Reads exactly `size` bytes at `offset`. False on an error or when the file ends first.
[[nodiscard]] bool readAll(int fd, void* data, size_t size, off_t offset);

}  // namespace tunora
