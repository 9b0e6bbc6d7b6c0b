// The host's HandleTable and SlotTable, worked on for the calling thread.
// A handle's block is moveable global memory: a 16-bit tag, then the payload.
#include "handles.h"

#include <windows.h>

#include "dispatch.h"
#include "services.h"

namespace marvo {
namespace {

constexpr uint32_t kTagSize = 2;

abi::HandleTable* handleTable()
{
    ThreadState* state = CurrentThread();
    return state ? state->handles : nullptr;
}

abi::SlotTable* slotTable()
{
    ThreadState* state = CurrentThread();
    return state ? state->slots : nullptr;
}

// The block behind a handle in use, or null.
HGLOBAL blockOf(uint32_t handle)
{
    abi::HandleTable* table = handleTable();
    if (!table || !InTable(handle, table->capacity))
        return nullptr;
    return reinterpret_cast<HGLOBAL>(table->entry[handle]);
}

} // namespace

uint32_t AllocHandle(uint32_t size, uint16_t tag)
{
    abi::HandleTable* table = handleTable();
    if (!table)
        return 0;
    while (table->hint < table->capacity && table->entry[table->hint] != 0)
        ++table->hint;
    if (table->hint >= table->capacity || size > UINT32_MAX - kTagSize)
        return 0;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size + kTagSize);
    if (!block)
        return 0;
    table->entry[table->hint] = reinterpret_cast<uint32_t>(block);
    auto* p = static_cast<uint16_t*>(GlobalLock(block));
    *p = tag;
    GlobalUnlock(block);
    return table->hint;
}

void FreeHandle(uint32_t handle)
{
    HGLOBAL block = blockOf(handle);
    if (!block)
        return;
    abi::HandleTable* table = handleTable();
    GlobalFree(block);
    table->entry[handle] = 0;
    if (handle < table->hint)
        table->hint = static_cast<uint16_t>(handle);
}

void* HandleToPointer(uint32_t handle)
{
    HGLOBAL block = blockOf(handle);
    if (!block)
        return nullptr;
    char* p = static_cast<char*>(GlobalLock(block));
    GlobalUnlock(block);
    return p ? p + kTagSize : nullptr;
}

void LockHandle(uint32_t handle)
{
    if (HGLOBAL block = blockOf(handle))
        GlobalLock(block);
}

void UnlockHandle(uint32_t handle)
{
    if (HGLOBAL block = blockOf(handle))
        GlobalUnlock(block);
}

bool ResizeHandle(uint32_t handle, uint32_t size)
{
    HGLOBAL block = blockOf(handle);
    if (!block || size > UINT32_MAX - kTagSize)
        return false;
    HGLOBAL grown = GlobalReAlloc(block, size + kTagSize, GMEM_MOVEABLE | GMEM_ZEROINIT);
    if (!grown)
        return false;
    handleTable()->entry[handle] = reinterpret_cast<uint32_t>(grown);
    return true;
}

uint32_t AllocHandleOrRaise(uint32_t size)
{
    uint32_t handle = AllocHandle(size);
    if (!handle)
        RaiseHostError(kErrNoMemory);
    return handle;
}

uint32_t StoreSlot(uint32_t value)
{
    abi::SlotTable* table = slotTable();
    if (!table)
        return 0;
    while (table->hint < table->capacity && table->entry[table->hint] != 0)
        ++table->hint;
    if (table->hint >= table->capacity)
        return 0;
    ++table->used;
    table->entry[table->hint] = value;
    return table->hint;
}

void ReleaseSlot(uint32_t entry)
{
    abi::SlotTable* table = slotTable();
    if (!table || !InTable(entry, table->capacity) || table->entry[entry] == 0)
        return;
    --table->used;
    table->entry[entry] = 0;
    if (entry < table->hint)
        table->hint = static_cast<uint16_t>(entry);
}

uint32_t ReadSlot(uint32_t entry)
{
    abi::SlotTable* table = slotTable();
    if (!table || !InTable(entry, table->capacity))
        return 0;
    return table->entry[entry];
}

} // namespace marvo
