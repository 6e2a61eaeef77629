// Whole-file locks between openers of a table, in this process and in others.
//
// Open-file-description locks (fcntl F_OFD_SETLK): unlike classic POSIX record locks they belong
// to the open file, so two opens in one process conflict; unlike flock they are honoured by NFS
// and SMB mounts. A shared lock admits other shared locks; an exclusive lock admits nothing.
#pragma once

namespace tunora::marlbase {

enum class LockKind { kShared, kExclusive };

// Takes the lock on the whole file without waiting. False when another opener's lock conflicts
// (or the file system refuses locks).
[[nodiscard]] bool lockWholeFile(int fd, LockKind kind);

// Drops this open file's lock (closing the descriptor does the same).
void unlockWholeFile(int fd);

}  // namespace tunora::marlbase
