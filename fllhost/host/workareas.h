// Work areas of the stand-in host: numbered 1..kMaxAreas, each may hold a
// table of N records with an index order (a permutation of the record
// numbers), a current position with FoxPro's beginning / end flags, and memo
// fields whose texts live in a real memo file, one per table, in the host's
// work folder. Safe to use from several threads.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace fllhost {

class WorkAreas {
  public:
    static constexpr int kMaxAreas = 32767;
    // FoxPro's error numbers for a locator that leads nowhere.
    static constexpr int kNoTable = 52; // "No table is open in the current work area"
    static constexpr int kNoField = 12; // "Variable ... is not found"
    // An empty memo is answered with a negative number too (_FindMemo,
    // _MemoSize); Microsoft's pages give no number for it, this is fllhost's.
    static constexpr int kEmptyMemo = 1;
    // _Load gives at most this much of a memo field.
    static constexpr size_t kLoadLimit = 65000;

    // Memo files are made in `folder` (a Windows path, no trailing separator needed).
    explicit WorkAreas(std::string folder);
    ~WorkAreas();
    WorkAreas(const WorkAreas&) = delete;
    WorkAreas& operator=(const WorkAreas&) = delete;

    // Opens a table of `records` records in `area` (replacing what was
    // there) in natural order, on its first record. Memo field names are
    // kept in upper case. False for a bad area, a negative count or a memo
    // file that cannot be made.
    bool create(int area, int records, const std::vector<std::string>& memoFields = {});
    void close(int area);
    void closeAll();
    bool has(int area) const;

    // Index order: a permutation of 1..N (false otherwise), or a shuffle
    // made from a seed. The position stays on the same record.
    bool setOrder(int area, const std::vector<int>& order);
    bool shuffle(int area, uint32_t seed);
    std::vector<int> order(int area) const;

    // GOTO: to record 1..N, clearing both flags. False when out of range.
    bool go(int area, int record);
    // GO TOP: the first record in index order; 0 when the table is empty
    // or there is no table.
    int goFirst(int area);
    // SKIP: moves count records in index order and answers the record
    // number reached. Past the last record: end of file (record N + 1, end
    // flag). Before the first: the first record with the beginning flag.
    int skip(int area, int count);
    // APPEND BLANK: a new last record, last in index order too, becomes the
    // current one. Answers its number; 0 when there is no table.
    int append(int area);
    int recordNumber(int area) const;        // 0 when there is no table
    int recordCount(int area) const;         // 0 when there is no table
    uint32_t positionStatus(int area) const; // abi::kAtBeginning | abi::kAtEnd

    // Memo fields. The record forms address any record 1..N; the others the
    // current one (nothing at end of file).
    int fieldIndex(int area, const std::string& field) const; // -1 when unknown
    std::vector<std::string> memoFields(int area) const;
    bool writeMemo(int area, int record, const std::string& field, const std::string& text);
    bool writeMemo(int area, const std::string& field, const std::string& text);
    std::optional<std::string> readMemo(int area, int record, const std::string& field) const;
    std::optional<std::string> readMemo(int area, const std::string& field) const;
    std::string memoPath(int area) const; // "" when there is no table

    // Where the memo text of field `field` (an index) of the current record
    // lies in the memo file, as _FindMemo and _MemoSize answer: a negated
    // FoxPro error number in both when there is no such field, and for an
    // empty memo (never written, written empty, or at the end of the file).
    struct MemoSpot {
        int64_t offset = 0;
        int64_t length = 0;
    };
    MemoSpot locate(int area, int field) const;
    // The field's value as _Load gives it: 0 and its text (cut to
    // kLoadLimit bytes; empty at the end of the file), else a FoxPro error
    // number.
    int load(int area, int field, std::string& text) const;

    // The channel the host opened over an area's memo file (0 when none yet).
    int memoChannel(int area) const;
    void setMemoChannel(int area, int channel);
    // Called with the channel of a table that goes away, so it is closed.
    std::function<void(int)> onChannelDropped;

  private:
    struct Table;
    Table* find(int area) const;

    std::string folder_;
    mutable std::mutex mutex_;
    std::map<int, std::unique_ptr<Table>> tables_;
    uint32_t serial_ = 0;
};

} // namespace fllhost
