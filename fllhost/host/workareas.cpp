// Tables in work areas: record numbers, index order, FoxPro's record
// pointer with its beginning / end flags, and memo texts appended to a real
// memo file per table.
#include "workareas.h"

#include <algorithm>
#include <random>

#include "host/abi.h"
#include "variables.h"
#include "winhandles.h"

namespace fllhost {

struct WorkAreas::Table {
    int count = 0;
    std::vector<int> order; // record numbers in index order
    std::vector<int> rank;  // rank[record - 1]: its place in order
    int pos = 0;            // place in order; count = end of file
    bool bof = false;
    bool eof = false;
    std::vector<std::string> fields;
    std::map<std::pair<int, int>, MemoSpot> memos; // (record, field)
    std::string path;
    FileHandle file;
    int64_t end = 0;
    int channel = 0;

    int recno() const { return pos >= count ? count + 1 : order[pos]; }
    void setOrder(std::vector<int> o)
    {
        const int current = recno();
        order = std::move(o);
        rank.assign(count, 0);
        for (int i = 0; i < count; ++i)
            rank[order[i] - 1] = i;
        if (current <= count)
            pos = rank[current - 1];
    }
};

namespace {

// The memo file starts with a small header so that no memo text lies at offset 0.
constexpr char kMemoHeader[16] = "fllhost memo";

bool writeAt(HANDLE file, int64_t offset, const std::string& bytes)
{
    LARGE_INTEGER to;
    to.QuadPart = offset;
    DWORD put = 0;
    return SetFilePointerEx(file, to, nullptr, FILE_BEGIN) &&
           WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) &&
           put == bytes.size();
}

bool readAt(HANDLE file, int64_t offset, std::string& bytes)
{
    LARGE_INTEGER to;
    to.QuadPart = offset;
    DWORD got = 0;
    return SetFilePointerEx(file, to, nullptr, FILE_BEGIN) &&
           ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr) &&
           got == bytes.size();
}

} // namespace

WorkAreas::WorkAreas(std::string folder) : folder_(std::move(folder))
{
    if (!folder_.empty() && folder_.back() != '\\')
        folder_ += '\\';
}

WorkAreas::~WorkAreas()
{
    closeAll();
}

WorkAreas::Table* WorkAreas::find(int area) const
{
    auto it = tables_.find(area);
    return it == tables_.end() ? nullptr : it->second.get();
}

bool WorkAreas::create(int area, int records, const std::vector<std::string>& memoFields)
{
    if (area < 1 || area > kMaxAreas || records < 0)
        return false;
    close(area);
    auto t = std::make_unique<Table>();
    t->count = records;
    for (const auto& f : memoFields)
        t->fields.push_back(Variables::normalize(f));
    std::vector<int> natural(records);
    for (int i = 0; i < records; ++i)
        natural[i] = i + 1;
    t->setOrder(std::move(natural));
    t->pos = 0;
    t->bof = t->eof = records == 0;
    std::lock_guard<std::mutex> lock(mutex_);
    t->path = folder_ + "area" + std::to_string(area) + "_" + std::to_string(++serial_) + ".fpt";
    t->file = FileHandle(CreateFileA(t->path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!t->file.valid())
        return false;
    if (!writeAt(t->file.get(), 0, std::string(kMemoHeader, sizeof kMemoHeader))) {
        t->file = FileHandle();
        DeleteFileA(t->path.c_str());
        return false;
    }
    t->end = sizeof kMemoHeader;
    tables_[area] = std::move(t);
    return true;
}

void WorkAreas::close(int area)
{
    std::unique_ptr<Table> t;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = tables_.find(area);
        if (it == tables_.end())
            return;
        t = std::move(it->second);
        tables_.erase(it);
    }
    if (t->channel && onChannelDropped)
        onChannelDropped(t->channel);
    const std::string path = t->path;
    t.reset();
    DeleteFileA(path.c_str());
}

void WorkAreas::closeAll()
{
    std::vector<int> areas;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& entry : tables_)
            areas.push_back(entry.first);
    }
    for (int a : areas)
        close(a);
}

bool WorkAreas::has(int area) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return find(area) != nullptr;
}

bool WorkAreas::setOrder(int area, const std::vector<int>& order)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Table* t = find(area);
    if (!t || static_cast<int>(order.size()) != t->count)
        return false;
    std::vector<bool> seen(t->count, false);
    for (int r : order) {
        if (r < 1 || r > t->count || seen[r - 1])
            return false;
        seen[r - 1] = true;
    }
    t->setOrder(order);
    return true;
}

bool WorkAreas::shuffle(int area, uint32_t seed)
{
    std::vector<int> o = order(area);
    if (!has(area))
        return false;
    std::mt19937 random(seed);
    for (size_t i = o.size(); i > 1; --i)
        std::swap(o[i - 1], o[random() % i]);
    return setOrder(area, o);
}

std::vector<int> WorkAreas::order(int area) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    Table* t = find(area);
    return t ? t->order : std::vector<int>();
}

bool WorkAreas::go(int area, int record)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Table* t = find(area);
    if (!t || record < 1 || record > t->count)
        return false;
    t->pos = t->rank[record - 1];
    t->bof = t->eof = false;
    return true;
}

int WorkAreas::goFirst(int area)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Table* t = find(area);
    if (!t)
        return 0;
    t->pos = 0;
    t->bof = t->eof = t->count == 0;
    return t->count == 0 ? 0 : t->recno();
}

int WorkAreas::skip(int area, int count)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Table* t = find(area);
    if (!t)
        return 0;
    if (t->count == 0)
        return t->recno();
    const int64_t target = static_cast<int64_t>(t->pos) + count;
    if (count == 0)
        return t->recno();
    t->bof = t->eof = false;
    if (target >= t->count) {
        t->pos = t->count;
        t->eof = true;
    } else if (target < 0) {
        t->pos = 0;
        t->bof = true;
    } else {
        t->pos = static_cast<int>(target);
    }
    return t->recno();
}

int WorkAreas::append(int area)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Table* t = find(area);
    if (!t)
        return 0;
    t->order.push_back(++t->count);
    t->rank.push_back(t->count - 1);
    t->pos = t->count - 1;
    t->bof = t->eof = false;
    return t->count;
}

int WorkAreas::recordNumber(int area) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    Table* t = find(area);
    return t ? t->recno() : 0;
}

int WorkAreas::recordCount(int area) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    Table* t = find(area);
    return t ? t->count : 0;
}

uint32_t WorkAreas::positionStatus(int area) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    Table* t = find(area);
    if (!t)
        return 0;
    return (t->bof ? abi::kAtBeginning : 0) | (t->eof ? abi::kAtEnd : 0);
}

int WorkAreas::fieldIndex(int area, const std::string& field) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    Table* t = find(area);
    if (!t)
        return -1;
    auto it = std::find(t->fields.begin(), t->fields.end(), Variables::normalize(field));
    return it == t->fields.end() ? -1 : static_cast<int>(it - t->fields.begin());
}

std::vector<std::string> WorkAreas::memoFields(int area) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    Table* t = find(area);
    return t ? t->fields : std::vector<std::string>();
}

bool WorkAreas::writeMemo(int area, int record, const std::string& field, const std::string& text)
{
    const int f = fieldIndex(area, field);
    std::lock_guard<std::mutex> lock(mutex_);
    Table* t = find(area);
    if (!t || f < 0 || record < 1 || record > t->count)
        return false;
    // Texts are appended: what the library may still be reading stays intact.
    if (!writeAt(t->file.get(), t->end, text))
        return false;
    t->memos[{record, f}] = MemoSpot{t->end, static_cast<int64_t>(text.size())};
    t->end += static_cast<int64_t>(text.size());
    return true;
}

bool WorkAreas::writeMemo(int area, const std::string& field, const std::string& text)
{
    return writeMemo(area, recordNumber(area), field, text);
}

std::optional<std::string> WorkAreas::readMemo(int area, int record, const std::string& field) const
{
    const int f = fieldIndex(area, field);
    std::lock_guard<std::mutex> lock(mutex_);
    Table* t = find(area);
    if (!t || f < 0 || record < 1 || record > t->count)
        return std::nullopt;
    auto it = t->memos.find({record, f});
    if (it == t->memos.end())
        return std::string();
    std::string text(static_cast<size_t>(it->second.length), '\0');
    if (!text.empty() && !readAt(t->file.get(), it->second.offset, text))
        return std::nullopt;
    return text;
}

std::optional<std::string> WorkAreas::readMemo(int area, const std::string& field) const
{
    return readMemo(area, recordNumber(area), field);
}

std::string WorkAreas::memoPath(int area) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    Table* t = find(area);
    return t ? t->path : std::string();
}

WorkAreas::MemoSpot WorkAreas::locate(int area, int field) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    Table* t = find(area);
    if (!t)
        return MemoSpot{-kNoTable, -kNoTable};
    if (field < 0 || field >= static_cast<int>(t->fields.size()))
        return MemoSpot{-kNoField, -kNoField};
    auto it = t->memos.find({t->recno(), field});
    if (it == t->memos.end() || it->second.length == 0)
        return MemoSpot{-kEmptyMemo, -kEmptyMemo};
    return it->second;
}

int WorkAreas::load(int area, int field, std::string& text) const
{
    text.clear();
    std::lock_guard<std::mutex> lock(mutex_);
    Table* t = find(area);
    if (!t)
        return kNoTable;
    if (field < 0 || field >= static_cast<int>(t->fields.size()))
        return kNoField;
    auto it = t->memos.find({t->recno(), field});
    if (it == t->memos.end())
        return 0;
    text.resize(static_cast<size_t>(std::min<int64_t>(it->second.length, kLoadLimit)));
    if (!text.empty() && !readAt(t->file.get(), it->second.offset, text))
        text.clear();
    return 0;
}

int WorkAreas::memoChannel(int area) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    Table* t = find(area);
    return t ? t->channel : 0;
}

void WorkAreas::setMemoChannel(int area, int channel)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (Table* t = find(area))
        t->channel = channel;
}

} // namespace fllhost
