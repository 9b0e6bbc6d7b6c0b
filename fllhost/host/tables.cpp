// Handle and slot table memory of one thread.
#include "tables.h"

#include <cstring>

#include "winhandles.h"

namespace fllhost {

ThreadTables::ThreadTables(uint16_t handleCapacity, uint16_t slotCapacity)
    : handleMemory_(1 + handleCapacity, 0), slotMemory_(3 + 2 * size_t(slotCapacity), 0)
{
    handles().hint = 1;
    handles().capacity = handleCapacity;
    slots().hint = 1;
    slots().used = 0;
    slots().capacity = slotCapacity;
}

ThreadTables::~ThreadTables()
{
    abi::HandleTable& t = handles();
    for (uint32_t i = 0; i < t.capacity; ++i)
        if (t.entry[i])
            GlobalFree(reinterpret_cast<HGLOBAL>(t.entry[i]));
}

int ThreadTables::handlesInUse() const
{
    const abi::HandleTable& t = handles();
    int n = 0;
    for (uint32_t i = 0; i < t.capacity; ++i)
        n += t.entry[i] != 0;
    return n;
}

uint32_t ThreadTables::entry(uint32_t handle) const
{
    const abi::HandleTable& t = handles();
    return handle == 0 || handle >= t.capacity ? 0 : t.entry[handle];
}

bool ThreadTables::read(uint32_t handle, uint32_t length, std::string& out) const
{
    HGLOBAL block = reinterpret_cast<HGLOBAL>(entry(handle));
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
