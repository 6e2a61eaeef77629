// TableHandle: one open MarlBase table, owned by the caller.
//
// A table is one file of fixed-size records, each led by a status word (0 never used, 5 deleted,
// 10 live). While open the file is mapped into memory and fields are read and written in place;
// data reaches the file when the handle is closed. Another program that takes no lock may cut or
// replace the file meanwhile: every operation first checks that the file's size is still the
// mapping's, and once it is not, the handle touches neither the mapping nor the file again and
// fails every operation until it is opened again (changedOnDisk). Values pass in and out of fields
// through the handle's integer and text value buffers; lookups compare against its search key.
//
// Slots count from 0, columns from 1. Every operation checks its slot and column numbers: a bad
// number gives the operation's failure value, never an access outside the file.
//
// Sharing: a writable open excludes every other opener, in this process and in others; read-only
// opens share with each other. The locks are open-file-description locks, released at close.
//
// The index cache: an open that cannot reuse what the handle kept (below) reads the live count
// from the table's index cache file and its delta (marlbase/index_cache.h) when they describe the
// table as it is now, and the slot index and a column's lookup keys from them only when first
// needed (a column's in place, from the mapped cache file); without a usable cache it builds the
// slot index from the table. A close writes when the open built something the cache lacks or the
// table was written: a new delta when few slots changed, else a whole cache and an empty delta. A
// writable open removes the delta first, so that a writer killed before its close leaves nothing
// that could describe the old table. A cache that cannot be written is left out.
//
// Reopening: close keeps what open computed (the slot index), the lookup indexes of the columns
// and the mapping itself, untouched, and a reopen uses them while the file's identity, size and
// times are as the close left them; otherwise they are dropped and built again.
//
// The engine's own record moves and capacity changes are ordered, and its moves noted in a
// journal beside the table, so that after a kill at any moment (SIGKILL, not a power loss) the
// next open finds every record whole and exactly once: see "Writes and kills" in FORMAT.md.
//
// A handle must not be used from two threads at once.
#pragma once

#include <sys/types.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "marlbase/column_index.h"
#include "marlbase/format.h"
#include "marlbase/index_cache.h"
#include "marlbase/move_journal.h"
#include "marlbase/slot_index.h"
#include "marlbase/sort_image.h"
#include "util/env.h"
#include "util/status.h"

namespace tunora::marlbase {

class Collation;

class TableHandle {
 public:
  TableHandle();
  ~TableHandle();
  TableHandle(const TableHandle&) = delete;
  TableHandle& operator=(const TableHandle&) = delete;

  // ---- Set by the caller -------------------------------------------------------------------
  void setPath(std::string_view path) { path_ = path; }
  const std::string& path() const { return path_; }
  // The number of columns of a table about to be created.
  void setColumnCount(int32_t count) { column_count_ = count; }
  // Set before an open that is to write. Create sets it; close clears it.
  void setWritable(bool writable) { writable_ = writable; }
  bool writable() const { return writable_; }
  // While set, status changes and allocations do not recount the live records; the caller
  // clears it and recounts (by any status change or a reopen) afterwards.
  void setBatch(bool batch) { batch_ = batch; }
  bool batch() const { return batch_; }
  // While not 0 the slot maintenance neither compacts nor shrinks the table (slot numbers stay
  // put). Every open sets it to 0.
  void setCompactionHold(int32_t hold) { compaction_hold_ = hold; }
  // The clock a writer's close stamps the file's modification time from (the real one unless
  // set).
  void setEnv(Env& env) { env_ = &env; }

  // ---- Value buffers and search key (kept across close and open) ------------------------------
  uint32_t intValue() const { return int_value_; }
  void setIntValue(uint32_t value) { int_value_ = value; }
  // The text up to its NUL.
  std::string_view textValue() const;
  // Stores at most kTextBufferSize - 1 bytes (cut there), followed by a NUL.
  void setTextValue(std::string_view text);
  std::string_view searchKey() const;
  // Stores at most kSearchKeySize - 1 bytes (cut there), followed by a NUL.
  void setSearchKey(std::string_view key);

  // ---- Create, open and close ---------------------------------------------------------------
  // A new file at path() with columnCount() columns and capacity 10, replacing any file there.
  // Leaves the handle open, unmapped and writable, for defineColumn and finishColumns.
  Status create();
  // Only between create and finishColumns; column 1..columnCount(). False on a bad number or a
  // write error.
  bool defineColumn(int32_t column, uint32_t type);
  // Computes the field offsets and record size and writes 15 empty slots. The caller then closes.
  bool finishColumns();
  // Maps the whole file, read-only or writable as writable() says. Opening an open handle first
  // closes it, keeping the writable flag. On failure the handle is closed and the status says
  // why ("not a table file", "wrong version", "locked by another program", ...).
  Status open();
  // open, then the slot maintenance (which may leave the handle open for writing).
  Status openWithMaintenance();
  // Opens the file for plain reads and writes, without mapping it (used to grow and cut files).
  Status openUnmapped();
  // Releases whatever is open and clears the writable flag. Harmless on a closed handle.
  void close();
  // Writes the header flag at offset 608. False when not open writable and mapped.
  bool setHeaderFlag(uint32_t value);

  bool isOpen() const { return fd_ >= 0; }
  bool isMapped() const { return base_ != nullptr; }
  // Another program changed the file's size while it was open here ("the library changed on
  // disk"): nothing more was read from or written to it. Cleared by the next open.
  bool changedOnDisk() const { return changed_on_disk_; }
  int32_t columnCount() const { return column_count_; }
  uint32_t capacity() const { return capacity_; }
  uint32_t recordSize() const { return record_size_; }
  // The type code of a column, or -1 for a bad column number or a closed handle.
  int32_t columnType(int32_t column) const;

  // ---- Records and fields (mapped handles only) ---------------------------------------------
  // Reads a field into the value buffers. Returns the column's type code; -1 when closed, when
  // the live count is 0, or for a bad slot or column.
  int32_t readField(int32_t slot, int32_t column);
  // Writes the value buffer into a field; a text write then empties the text buffer. Returns the
  // type code; -1 as readField, and when the handle is read-only.
  int32_t writeField(int32_t slot, int32_t column);
  // The status word; -1 when closed, the live count is 0, or the slot is not below capacity.
  int32_t getStatus(int32_t slot);
  // Writes the status word and recounts unless batch(). 1, or 0 on failure (read-only, bad slot,
  // the file changed on disk).
  int32_t setStatus(int32_t slot, int32_t status);
  // Runs the maintenance, then makes the lowest slot whose status is 0 or 5 live and returns it;
  // -1 when read-only, closed or full (growth refused).
  int32_t allocate();
  // Whether allocate can ever give a slot on this table as it stands: Ok when a slot holds
  // status 0 or 5, or the maintenance would grow the table or compact free slots into status 5.
  // Otherwise (capacity 0, or the free slots all hold status words such as 1, 9 or -1, which
  // allocation does not reuse and which keep the table from growing) a Corruption status saying
  // so. Callers that add records check it first, to report why instead of failing on every add.
  // An allocation can still fail for want of disk space when the check is Ok. Needs a mapped
  // handle (read-only will do).
  Status checkCanAllocate() const;
  // Copies a whole slot, status word included. 1, or 0 on failure.
  int32_t copySlot(int32_t from, int32_t to);
  // The lowest slot at or after start whose status, as a signed 16-bit number from its low two
  // bytes, equals key; -1 when none, closed or the live count is 0.
  int32_t firstWithStatus(int32_t key, int32_t start);
  // The next live slot above slot; slot itself when none.
  int32_t nextLive(int32_t slot);
  // The highest live slot below slot; slot itself when none (and for slot 0).
  int32_t previousLive(int32_t slot);
  // The highest live slot among 1..capacity-1; -1 when none.
  int32_t lastLive();
  // The slot of the n-th live record (1-based) counting from slot 0; -1 when none.
  int32_t nthLive(int32_t n);
  // The live count as last recounted (stale while batch() is set); kept after close. Unlike the
  // rest of the handle it may be read from any thread (the list builder checks the library's size
  // before it asks for the lock).
  int32_t liveCount() const { return live_count_.load(std::memory_order_relaxed); }
  // Grows, compacts and shrinks the file as needed. 1 when the handle is open afterwards.
  int32_t maintain();
  // Packs the occupied records into the lowest slots, keeping their order. Returns the remaining
  // move budget (never 0 once complete); the full budget when there was nothing to do.
  int32_t compact();

  // ---- Lookups and sorting -------------------------------------------------------------------
  // The highest slot (capacity-1 down to 1) with status above 9 whose field equals the search
  // key, ignoring the case of ASCII letters; -1 when none. The first lookup on a column builds
  // its index (one pass over the occupied slots); later ones cost O(log matches) while the
  // engine's own writes keep the index current.
  int32_t findInColumn(int32_t column);
  // The lowest such slot from start upwards; -1 when none. Walking all matches by calling it
  // again from the last match + 1 costs O(matches).
  int32_t findInColumnFrom(int32_t start, int32_t column);
  // slot when any column of the record contains the search key; -1 otherwise.
  int32_t recordMatches(int32_t slot);
  // The lowest live slot after slot whose record matches; -1 when none.
  int32_t findNext(int32_t slot);
  // Compacts, then sorts the records by the column's text (integers as decimal text) in the
  // collation of the user's locale, keeping equal values in order. 1, or 0 on failure (closed,
  // read-only, capacity 2 or less, bad column, no live record). Leaves the value buffers as
  // they were.
  int32_t sortByColumn(int32_t column);
  // The same with a named ICU locale ("" for the root collation).
  int32_t sortByColumn(int32_t column, const std::string& locale);

  // ---- Passes -------------------------------------------------------------------------------
  // While a Pass lives, the handle's operations count as one for the on-disk check: the file's
  // size is checked at the first operation and then at every kPassCheckEvery-th, not at each
  // (the check is a system call, and a search makes several operations per record). A change
  // between two checks is not caught, as one within an operation is not. Passes nest.
  static constexpr uint32_t kPassCheckEvery = 4096;
  class Pass {
   public:
    explicit Pass(TableHandle& table) : table_(table) {
      ++table_.pass_depth_;
      table_.unchecked_in_pass_ = kPassCheckEvery;
    }
    ~Pass() { --table_.pass_depth_; }
    Pass(const Pass&) = delete;
    Pass& operator=(const Pass&) = delete;

   private:
    TableHandle& table_;
  };

  // ---- Conveniences over the value buffers ---------------------------------------------------
  std::optional<uint32_t> readInt(int32_t slot, int32_t column);
  std::optional<std::string> readText(int32_t slot, int32_t column);
  bool writeInt(int32_t slot, int32_t column, uint32_t value);
  bool writeText(int32_t slot, int32_t column, std::string_view text);

  // For tools that show a table as it is: the status word and the raw bytes of a field, without
  // the live-count condition of getStatus and readField. Empty on a bad number or closed handle.
  std::optional<int32_t> peekStatus(int32_t slot) const;
  std::string_view peekField(int32_t slot, int32_t column) const;

  // For tests and benchmarks: forget what open computed, so the next open rescans the file.
  void TEST_dropOpenCache() { cache_.valid = false; }
  bool TEST_openUsedCache() const { return open_used_cache_; }
  // Whether the last open took its live count from the index cache file.
  bool TEST_openUsedIndexCache() const { return open_used_index_cache_; }
  // How many columns' lookup indexes this open took from the index cache file.
  int32_t TEST_columnsFromIndexCache() const { return columns_from_index_cache_; }
  // For crash tests: called at a close that writes the index cache, after the table's last
  // write and its times, before the cache is written.
  void TEST_setIndexCacheHook(std::function<void()> hook) { index_cache_hook_ = std::move(hook); }
  // For crash tests: called between the steps of the file writes that move records or change the
  // capacity (inside and between record moves of a compaction or a sort, around the size and
  // header changes of a growth or a shrink), so that a test can kill the process at each.
  void TEST_setCrashPoint(std::function<void()> hook) { crash_point_ = std::move(hook); }

 private:
  // What identifies the file as we left it at close.
  struct FileStamp {
    bool valid = false;
    dev_t device = 0;
    ino_t inode = 0;
    int64_t size = 0;
    int64_t mtime_ns = 0;
    int64_t ctime_ns = 0;
    uint32_t capacity = 0;
    int32_t live_count = 0;
  };

  Status openFile(bool for_writing);
  Status loadHeader(int64_t file_size);
  void releaseFile();
  void rebuildIndex() const;
  // The slot index, read from the index cache or built from the table on first use.
  SlotIndex& slots() const {
    if (slots_pending_) loadPendingSlots();
    return index_;
  }
  // The index cache (table_index_cache.cc).
  // After open mapped the file: the slot index as the handle kept it, or from the cache, or built.
  void startIndex(const TableStamp& stamp);
  // At close, before the file is let go: writes the cache when `can_save` and it is needed.
  void finishIndexCache(bool can_save);
  // What a cache must agree with to describe the table in the state `stamp`, mapped at `map`.
  IndexCacheKey indexCacheKey(const TableStamp& stamp, const uint8_t* map, size_t map_size) const;
  bool loadIndexCache(const TableStamp& stamp);
  void loadPendingSlots() const;
  bool loadCachedColumn(int32_t column, ColumnIndex& index);
  // Whether the cache read at open, with the slots changed since, holds the column.
  bool cachedColumnCurrent(int32_t column) const;
  void saveIndexCache();
  bool saveIndexDelta(const IndexCacheKey& key, int32_t live);
  void saveWholeIndexCache(const IndexCacheKey& key, int32_t live);
  void dropIndexCacheFile();
  int32_t statusAt(uint32_t slot) const;
  void putStatus(uint32_t slot, int32_t status);
  uint8_t* slotAddress(uint32_t slot) const;
  uint8_t* fieldAddress(uint32_t slot, int32_t column) const;
  bool usable() const;  // mapped and live count not 0
  bool validSlot(int32_t slot) const {
    return slot >= 0 && static_cast<uint32_t>(slot) < capacity_;
  }
  bool validColumn(int32_t column) const { return column >= 1 && column <= column_count_; }
  void recount();
  bool fieldEqualsKey(uint32_t slot, int32_t column, uint32_t numeric_key) const;
  bool fieldContainsKey(uint32_t slot, int32_t column, uint32_t numeric_key) const;
  int32_t resize(uint32_t new_capacity, bool grow);
  bool remap(bool writable);
  bool fileIntact() const;
  bool canWrite() const { return isMapped() && map_writable_ && fileIntact(); }
  void stampAtClose(bool was_mapped);
  void dropKeptMapping();
  // A sort's run of records: they go into the slots from `first` on, from the slots in `from`.
  struct SortRun {
    uint32_t first = 0;
    std::vector<uint32_t> from;
  };
  TableLayout layout() const { return {fd_, record_area_, record_size_, capacity_}; }
  std::vector<uint32_t> sortRanks(
      const std::vector<uint32_t>& occupied, int32_t column, const Collation& collation,
      const std::function<void(uint32_t, const uint8_t*)>& each_slot) const;
  bool moveIntoOrder(const std::vector<SortRun>& runs, const SortPlan& plan);
  void placeRecords(uint32_t first, const std::vector<uint32_t>& from, uint32_t spare);
  int32_t indexedStatus(uint32_t slot) const;
  void moveRecord(uint32_t from, uint32_t to);
  void holdOut(uint32_t slot, std::vector<uint8_t>& held);
  void holdIn(const std::vector<uint8_t>& held, uint32_t slot);
  void finishInterruptedMove();
  uint32_t spareSlot() const;
  void storeStatusWord(uint32_t slot, int32_t status);
  bool writeCapacity(uint32_t capacity);
  void crashPoint() const {
    if (crash_point_) crash_point_();
  }
  // The column lookup indexes (column_lookup.cc).
  uint64_t fieldKey(uint32_t slot, int32_t column) const;
  uint64_t searchKeyFor(int32_t column) const;
  ColumnIndex& lookupIndex(int32_t column);
  void buildColumnIndex(int32_t column, ColumnIndex& index);
  // The slots of the column's index under the search key's key.
  std::span<const uint32_t> candidates(int32_t column);
  void unindexSlot(uint32_t slot);
  void indexSlot(uint32_t slot);
  void rekeyColumnIndexes(const std::vector<uint32_t>& source);
  void resizeColumnIndexes(uint32_t old_capacity);

  std::string path_;
  int32_t column_count_ = 0;
  bool writable_ = false;
  bool batch_ = false;
  Env* env_ = &Env::Default();
  int32_t compaction_hold_ = 0;
  uint32_t int_value_ = 0;
  std::array<char, kTextBufferSize> text_value_{};
  std::array<char, kSearchKeySize> search_key_{};

  int fd_ = -1;
  uint8_t* base_ = nullptr;  // the mapped file while open mapped
  size_t map_size_ = 0;
  bool map_writable_ = false;       // opened for writing
  bool map_prot_writable_ = false;  // the mapping's pages may be written
  // The mapping of the last close, kept (and never touched) while the file stays as it was.
  uint8_t* kept_map_ = nullptr;
  size_t kept_size_ = 0;
  bool kept_prot_writable_ = false;
  bool defining_columns_ = false;  // between create and finishColumns
  bool dirty_ = false;             // something was written since the open
  mutable bool changed_on_disk_ = false;
  // Passes open on the handle, and operations since the last size check within them.
  int32_t pass_depth_ = 0;
  mutable uint32_t unchecked_in_pass_ = 0;
  uint32_t capacity_ = 0;
  mutable std::atomic<int32_t> live_count_{0};
  uint32_t record_size_ = 0;
  uint32_t record_area_ = 0;
  std::vector<uint32_t> column_types_;    // index 0 = column 1
  std::vector<uint32_t> column_offsets_;  // the field's offset within a slot

  // Slot sets kept current by every status change: live slots (status 10), reusable slots
  // (status 0 or 5) and the rest. They survive close while the file is left unchanged.
  // Read through slots(): while slots_pending_ it is empty and still to be read from the cache.
  mutable SlotIndex index_;
  mutable bool slots_pending_ = false;
  // The index cache (and delta) this state derives from; null when none did.
  mutable std::unique_ptr<IndexCacheFile> index_cache_;
  TableStamp open_stamp_;
  // The close should write the index cache: something was built or written that it lacks.
  mutable bool save_index_cache_ = false;
  // The modification time a writer's close gave the table.
  int64_t close_stamp_ns_ = 0;
  bool open_used_index_cache_ = false;
  // Since the state the index cache file describes: the slots whose status or fields changed
  // (the delta's and this handle's), and whether a record moved or the capacity changed, which
  // only a whole cache can carry. Kept and dropped with the slot index.
  mutable std::set<uint32_t> touched_;
  bool whole_cache_ = false;
  int32_t columns_from_index_cache_ = 0;
  std::function<void()> index_cache_hook_;
  // Per column (index 0 = column 1): its lookup index holding the occupied slots, built by the
  // first whole-value lookup on the column and kept current by every write; null until then.
  // Kept and dropped with the slot index.
  std::vector<std::unique_ptr<ColumnIndex>> column_indexes_;
  FileStamp cache_;
  std::function<void()> crash_point_;
  // Open while a compaction or a sort moves records.
  MoveJournal journal_;
  bool open_used_cache_ = false;
};

}  // namespace tunora::marlbase
