// Zero-run coding of a record: a record is mostly the zero bytes of its fields' unused width, so
// the sort image keeps each record as runs of zero blocks and of literal blocks.
//
// The record is cut into 32-byte blocks (the last one shorter when the record size is not a
// multiple of 32). Its code is a series of pairs: a 4-byte little-endian token (the number of
// zero blocks in its low 16 bits, of literal blocks in its high 16), then the literal blocks'
// bytes. The pairs end when they have covered every block of the record.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tunora::marlbase {

// The most bytes the code of a record of this size takes.
size_t zeroRunCodeBound(uint32_t record_size);

// Writes the code of `record` to `out` (zeroRunCodeBound bytes at least). Returns its length.
size_t encodeZeroRuns(const uint8_t* record, uint32_t record_size, uint8_t* out);

// Decodes one record's code from [*at, end) into `out` (record_size bytes; null only checks the
// code) and moves *at past it. False when the code is damaged: it runs past `end` or past the
// record's last block; nothing outside `out` and the code is read or written either way.
bool decodeZeroRuns(const uint8_t** at, const uint8_t* end, uint32_t record_size, uint8_t* out);

}  // namespace tunora::marlbase
