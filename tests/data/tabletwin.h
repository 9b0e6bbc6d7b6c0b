// A table as a FoxPro host keeps it, modelled in the test: records in an
// index order, a current record, beginning and end flags. It answers the
// library's table services through the stand-in host's service hook and
// counts them, so tests can set up any order (even one that leaves the
// current record out) and measure the calls a function makes.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "host/abi.h"

class TableTwin {
  public:
    // Records 1..count, in the given order (natural when empty).
    explicit TableTwin(int count, std::vector<int> order = {}) : count_(count), order_(order)
    {
        if (order_.empty())
            for (int r = 1; r <= count; ++r)
                order_.push_back(r);
    }

    // Puts the table on the record at position p (1-based) of the order.
    void goPosition(int p)
    {
        pos_ = p - 1;
        bof_ = eof_ = false;
    }
    void goRecord(int record)
    {
        for (size_t i = 0; i < order_.size(); ++i)
            if (order_[i] == record)
                return goPosition(static_cast<int>(i) + 1);
        // A record the order does not hold (a filter leaves it out): it sits
        // between two records in the middle of the order.
        offOrder_ = record;
        pos_ = static_cast<int>(order_.size()) / 2;
        bof_ = eof_ = false;
    }
    void goEnd()
    {
        pos_ = static_cast<int>(order_.size());
        eof_ = true;
    }

    int recordNumber() const
    {
        if (offOrder_)
            return offOrder_;
        if (pos_ >= static_cast<int>(order_.size()))
            return count_ + 1;
        return order_[pos_];
    }
    int position() const { return pos_ + 1; }
    bool bof() const { return bof_; }
    bool eof() const { return eof_; }

    // Answers 12, 13, 14, 19, 20 for work area `area`.
    bool serve(abi::HostRequest& r, int area)
    {
        if (r.code < abi::kSvcRecordNumber || r.code > abi::kSvcSkipRecords)
            return false;
        ++calls[r.code];
        ++total;
        if (static_cast<int>(r.arg1) != area) {
            r.arg1 = 0;
            return true;
        }
        switch (r.code) {
        case abi::kSvcRecordNumber:
            r.arg1 = recordNumber();
            break;
        case abi::kSvcRecordCount:
            r.arg1 = count_;
            break;
        case abi::kSvcPositionStatus:
            r.arg1 = (bof_ ? abi::kAtBeginning : 0) | (eof_ ? abi::kAtEnd : 0);
            break;
        case abi::kSvcGoFirst:
            offOrder_ = 0;
            pos_ = 0;
            bof_ = false;
            eof_ = order_.empty();
            r.arg1 = order_.empty() ? 0 : order_[0];
            break;
        case abi::kSvcSkipRecords:
            skips.push_back(static_cast<int32_t>(r.arg2));
            r.arg1 = skip(static_cast<int32_t>(r.arg2));
            break;
        }
        return true;
    }

    std::map<uint32_t, int> calls;
    int total = 0;
    std::vector<int> skips;

  private:
    // FoxPro: past the last record is end of file (count + 1, end flag);
    // before the first is the first record with the beginning flag.
    int skip(int n)
    {
        long target = static_cast<long>(pos_) + n;
        if (offOrder_ && n > 0) // pos_ is the record after the left-out one
            --target;
        offOrder_ = 0;
        int size = static_cast<int>(order_.size());
        bof_ = eof_ = false;
        if (target >= size) {
            pos_ = size;
            eof_ = true;
        } else if (target < 0) {
            pos_ = 0;
            bof_ = true;
        } else {
            pos_ = static_cast<int>(target);
        }
        return recordNumber();
    }

    int count_;
    std::vector<int> order_;
    int pos_ = 0;
    int offOrder_ = 0;
    bool bof_ = false;
    bool eof_ = false;
};
