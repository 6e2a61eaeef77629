// The move journal: what a record move in progress needs, so that the next opener can finish or
// undo it after the mover was killed. A compaction or a sort keeps it beside the table
// ("<table>.journal") while it moves records and removes it when done; the table's own bytes
// stay in their format. The layout is in FORMAT.md ("Writes and kills").
//
// Every move is noted before the table is touched; a move takes a record from a slot (or from the
// held record, which the journal keeps outside the table) into a free slot (or into the held
// record). The notes alternate between two entries with a sequence number and a checksum, so a
// kill in the middle of writing one leaves the one before it whole.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tunora::marlbase {

class MoveJournal {
 public:
  // The place of the held record in a move.
  static constexpr uint32_t kHeld = 0xFFFF'FFFF;

  static std::string pathFor(const std::string& table_path) { return table_path + ".journal"; }

  MoveJournal() = default;
  ~MoveJournal() { end(); }
  MoveJournal(const MoveJournal&) = delete;
  MoveJournal& operator=(const MoveJournal&) = delete;

  // Creates the journal for a table of this record size and capacity, its space reserved so that
  // later notes cannot fail for want of it. False when it cannot be created.
  bool begin(const std::string& table_path, uint32_t record_size, uint32_t capacity);
  bool active() const { return fd_ >= 0; }
  // Before a record with `status` moves from `from` to `to` (a slot, or kHeld).
  void noteMove(uint32_t from, uint32_t to, int32_t status);
  // Before a slot's record becomes the held record: keeps its whole slot (status word first).
  // The notes say the held record is out until releaseHeld.
  void holdRecord(const uint8_t* slot_bytes);
  // After the held record is back in a slot (its status word written).
  void releaseHeld() { held_out_ = false; }
  // After the last move: removes the journal.
  void end();

 private:
  int fd_ = -1;
  uint8_t* map_ = nullptr;  // the journal file, mapped while active (null: written by calls)
  size_t map_size_ = 0;
  std::string path_;
  uint32_t record_size_ = 0;
  uint32_t capacity_ = 0;
  uint32_t sequence_ = 0;
  bool held_out_ = false;
  std::vector<uint8_t> buffer_;
};

// Finishes or undoes what the journal beside `table_path` says was in progress, on the table
// open in `fd` (locked exclusively by the caller; record area, record size and capacity from its
// header), then removes the journal. A journal that does not fit the table (another record size
// or capacity, a copied record that differs from its source) changes nothing and is removed.
// True when the table was written.
bool recoverInterruptedMove(const std::string& table_path, int fd, uint32_t record_area,
                            uint32_t record_size, uint32_t capacity);

}  // namespace tunora::marlbase
