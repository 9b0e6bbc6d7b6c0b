// Handle and slot table memory of one thread, with guard words after both.
#include "tables.h"

#include <cstring>

#include "winhandles.h"

namespace fllhost {

namespace {

constexpr size_t kGuardWords = 4;
constexpr uint32_t kSlotGuard = 0xA5C3E187u;
constexpr char kGuardText[] = "fllhost guard";
constexpr uint32_t kTagSize = 2;

uint32_t newGuardBlock()
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, kTagSize + sizeof kGuardText);
    if (!block)
        return 0;
    GlobalLockGuard lock(block);
    if (lock.get())
        std::memcpy(lock.get() + kTagSize, kGuardText, sizeof kGuardText);
    return reinterpret_cast<uint32_t>(block);
}

} // namespace

ThreadTables::ThreadTables(uint16_t handleCapacity, uint16_t slotCapacity)
    : handleMemory_(1 + handleCapacity + kGuardWords, 0),
      slotMemory_(3 + 2 * (size_t(slotCapacity) + kGuardWords), 0)
{
    handles().hint = 1;
    handles().capacity = handleCapacity;
    slots().hint = 1;
    slots().used = 0;
    slots().capacity = slotCapacity;
    setGuards();
}

ThreadTables::~ThreadTables()
{
    abi::HandleTable& t = handles();
    for (uint32_t i = 0; i < t.capacity; ++i)
        if (t.entry[i])
            GlobalFree(reinterpret_cast<HGLOBAL>(t.entry[i]));
    // A block the library freed or replaced is not the host's to free.
    if (guardBlock_ && damage().empty())
        GlobalFree(reinterpret_cast<HGLOBAL>(guardBlock_));
}

uint32_t* ThreadTables::handleGuards()
{
    return handleMemory_.data() + (handleMemory_.size() - kGuardWords);
}

const uint32_t* ThreadTables::handleGuards() const
{
    return handleMemory_.data() + (handleMemory_.size() - kGuardWords);
}

uint16_t* ThreadTables::slotGuards()
{
    return slotMemory_.data() + (slotMemory_.size() - 2 * kGuardWords);
}

const uint16_t* ThreadTables::slotGuards() const
{
    return slotMemory_.data() + (slotMemory_.size() - 2 * kGuardWords);
}

void ThreadTables::setGuards()
{
    guardBlock_ = newGuardBlock();
    uint32_t* h = handleGuards();
    for (size_t i = 0; i < kGuardWords; ++i)
        h[i] = guardBlock_;
    uint16_t* s = slotGuards();
    for (size_t i = 0; i < kGuardWords; ++i)
        std::memcpy(s + 2 * i, &kSlotGuard, sizeof kSlotGuard);
}

std::string ThreadTables::guardDamage()
{
    std::string found = damage();
    if (!found.empty())
        setGuards();
    return found;
}

std::string ThreadTables::damage() const
{
    std::string damage;
    const uint32_t* h = handleGuards();
    for (size_t i = 0; i < kGuardWords && damage.empty(); ++i)
        if (h[i] != guardBlock_)
            damage = "the library " + std::string(h[i] ? "replaced" : "emptied") +
                     " the word after the HandleTable's last entry (capacity " +
                     std::to_string(handleMemory_.size() - 1 - kGuardWords) + ")";
    if (damage.empty() && guardBlock_) {
        HGLOBAL block = reinterpret_cast<HGLOBAL>(guardBlock_);
        if (GlobalFlags(block) & GMEM_LOCKCOUNT) {
            damage = "the library left the block after the HandleTable's last entry locked";
        } else {
            GlobalLockGuard lock(block);
            if (!lock.get() || std::memcmp(lock.get() + kTagSize, kGuardText, sizeof kGuardText))
                damage = "the library wrote into the block after the HandleTable's last entry";
        }
    }
    const uint16_t* s = slotGuards();
    for (size_t i = 0; i < kGuardWords && damage.empty(); ++i) {
        uint32_t word;
        std::memcpy(&word, s + 2 * i, sizeof word);
        if (word != kSlotGuard)
            damage = "the library changed the word after the SlotTable's last entry (capacity " +
                     std::to_string((slotMemory_.size() - 3) / 2 - kGuardWords) + ")";
    }
    return damage;
}

int ThreadTables::handlesInUse() const
{
    const abi::HandleTable& t = handles();
    int n = 0;
    for (uint32_t i = 0; i < t.capacity; ++i)
        n += t.entry[i] != 0;
    return n;
}

uint32_t ThreadTables::block(uint32_t handle) const
{
    const abi::HandleTable& t = handles();
    return handle == 0 || handle >= t.capacity ? 0 : t.entry[handle];
}

bool ThreadTables::read(uint32_t handle, uint32_t length, std::string& out) const
{
    HGLOBAL block = reinterpret_cast<HGLOBAL>(this->block(handle));
    if (!block || GlobalSize(block) < size_t(length) + 2)
        return false;
    GlobalLockGuard lock(block);
    if (!lock.get())
        return false;
    out.assign(lock.get() + 2, length);
    return true;
}

uint32_t ThreadTables::allocate(const std::string& bytes)
{
    abi::HandleTable& t = handles();
    uint32_t h = 1;
    while (h < t.capacity && t.entry[h])
        ++h;
    if (h >= t.capacity)
        return 0;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes.size() + 2);
    if (!block)
        return 0;
    {
        GlobalLockGuard lock(block);
        std::memcpy(lock.get() + 2, bytes.data(), bytes.size());
    }
    t.entry[h] = reinterpret_cast<uint32_t>(block);
    return h;
}

} // namespace fllhost
