// M_IDXNO, M_IDXNOF, M_IGOTOP, M_IGOTOPF, M_ISKIP, M_ISKIPF: the ordinal
// position of the current record in the active index order, worked out by
// sampling and jumping, and kept up to date across moves.
//
// The host numbers records but not their place in the index order. Walking
// from the top costs one step per position; instead a window of n records
// is sampled from the current one, and jumps of n records from the top are
// sure to land inside that window, so about count / n + n steps are made.
//
// The two position tables are process-wide: the functions without F use the
// first, those with F the second.
#include <cstdint>

#include "host/functions.h"
#include "host/handles.h"
#include "host/params.h"
#include "host/results.h"
#include "host/services.h"

namespace {

using namespace marvo;

constexpr int kWorkAreas = 232;
constexpr int kWalkLimit = 20; // tables smaller than this are walked
constexpr uint16_t kWidth = 10;

int32_t IdxPositions[kWorkAreas];
int32_t IdxPositionsF[kWorkAreas];

enum class Direction { Forward, Backward };

int32_t SampleWindowSize(int32_t a)
{
    return a / 6 > 5 ? a / 6 : 5;
}

bool atEnd(int32_t w)
{
    return (PositionStatus(w) & abi::kAtEnd) != 0;
}
bool atBeginning(int32_t w)
{
    return (PositionStatus(w) & abi::kAtBeginning) != 0;
}

// A record number no real record has: none (< 1), or the host's number for
// the place past the last record (count + 1).
bool offTable(int32_t t, int32_t count)
{
    return t < 1 || t > count;
}

// Step by step from the first record. At the end of the file the current
// record is the place past the last record, count + 1, which the walk meets
// with its step off the last record; the table then stays at the end. A
// current record that the active order leaves out is never met: the walk
// ends past the last record (or after count + 1 positions) with position 0.
int32_t walkFromTop(int32_t w, int32_t r, int32_t count)
{
    int32_t k = 1;
    for (int32_t t = GoFirst(w); t != r; t = SkipRecords(w, 1)) {
        if (offTable(t, count) || k > count)
            return 0;
        ++k;
    }
    return k;
}

// A locked handle of n record numbers, freed at scope end.
class Sample {
  public:
    explicit Sample(int32_t n)
        : handle_(AllocHandleOrRaise(static_cast<uint32_t>(n) * sizeof(int32_t))),
          lock_(handle_.get()), n_(n)
    {
    }
    int32_t& operator[](int32_t i) { return reinterpret_cast<int32_t*>(lock_.data())[i]; }
    // The smallest j with sample[j] == t, or -1.
    int32_t find(int32_t t)
    {
        for (int32_t j = 0; j < n_; ++j)
            if ((*this)[j] == t)
                return j;
        return -1;
    }

  private:
    OwnedHandle handle_;
    HandleLock lock_;
    int32_t n_;
};

// Sampling and jumping. Forward: the sample holds the current record and the
// n - 1 after it; backward, the n - 1 before it.
int32_t sampleAndJump(int32_t w, int32_t count, Direction dir)
{
    const bool forward = dir == Direction::Forward;
    const int32_t n = SampleWindowSize(forward ? count / 2 : count / 10);
    int32_t base = 1;
    int32_t match = -1;
    {
        Sample sample(n);
        sample[0] = RecordNumber(w);
        for (int32_t i = 1; i < n; ++i) {
            sample[i] = SkipRecords(w, forward ? 1 : -1);
            if (forward && atEnd(w)) {
                SkipRecords(w, -i);
                return count - i + 1;
            }
            if (!forward && atBeginning(w)) {
                SkipRecords(w, i - 1);
                return i;
            }
        }
        // The order from the top meets the window within count + 1 positions,
        // unless the current record is not in the order at all.
        for (int32_t t = GoFirst(w); (match = sample.find(t)) < 0; base += n) {
            if (offTable(t, count) || base > count)
                return 0;
            t = SkipRecords(w, n);
        }
    }
    SkipRecords(w, forward ? -match : match);
    return forward ? base - match : base + match;
}

int32_t workOutPosition(int32_t w, Direction dir)
{
    int32_t r = RecordNumber(w);
    int32_t count = RecordCount(w);
    if (count < 1 || r < 1)
        return 0;
    // At the end the host's record number stands for the position.
    if (dir == Direction::Forward && atEnd(w))
        return RecordNumber(w);
    if (count < kWalkLimit)
        return walkFromTop(w, r, count);
    return sampleAndJump(w, count, dir);
}

// A step that reaches no record (no table is open in the work area, so
// neither flag is ever set) ends the move as the end or the beginning would;
// otherwise such an area would be stepped through up to 2^31 times.
int32_t skip(int32_t w, int32_t k)
{
    int32_t moved = 0;
    for (int32_t i = 0; i < k; ++i, ++moved) {
        if (atEnd(w) || SkipRecords(w, 1) < 1)
            break;
    }
    for (int32_t i = 0; i > k; --i) {
        --moved; // the attempt that finds the beginning counts too
        if (atBeginning(w) || SkipRecords(w, -1) < 1)
            break;
    }
    return moved;
}

// Work areas outside the tables get the neutral answer 0 and touch nothing.
bool validArea(int32_t w)
{
    return w >= 0 && w < kWorkAreas;
}

void idxNo(abi::ParamBlock* pb, int32_t* table, Direction dir)
{
    int32_t w = ParamInteger(pb, 1);
    if (!validArea(w))
        return ReturnInteger(0, kWidth);
    table[w] = workOutPosition(w, dir);
    ReturnInteger(table[w], kWidth);
}

void goTop(abi::ParamBlock* pb, int32_t* table)
{
    int32_t w = ParamInteger(pb, 1);
    if (!validArea(w))
        return ReturnInteger(0, kWidth);
    table[w] = GoFirst(w) < 1 ? 0 : 1;
    ReturnInteger(table[w], kWidth);
}

void skipBy(abi::ParamBlock* pb, int32_t* table)
{
    int32_t w = ParamInteger(pb, 1);
    if (!validArea(w))
        return ReturnInteger(0, kWidth);
    // The stored position may be anything; let it wrap rather than overflow.
    table[w] = static_cast<int32_t>(static_cast<uint32_t>(table[w]) +
                                    static_cast<uint32_t>(skip(w, ParamInteger(pb, 2))));
    ReturnInteger(table[w], kWidth);
}

} // namespace

HOST_FUNCTION(M_IDXNO)
{
    idxNo(pb, IdxPositions, Direction::Forward);
}
HOST_FUNCTION(M_IDXNOF)
{
    idxNo(pb, IdxPositionsF, Direction::Backward);
}
HOST_FUNCTION(M_IGOTOP)
{
    goTop(pb, IdxPositions);
}
HOST_FUNCTION(M_IGOTOPF)
{
    goTop(pb, IdxPositionsF);
}
HOST_FUNCTION(M_ISKIP)
{
    skipBy(pb, IdxPositions);
}
HOST_FUNCTION(M_ISKIPF)
{
    skipBy(pb, IdxPositionsF);
}
