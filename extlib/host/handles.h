// Memory handles in the host's HandleTable and values in its SlotTable, both
// owned by the host and handed over with message 0; plus RAII holders for a
// handle and for a lock on one.
#pragma once

#include <cstdint>

#include "abi.h"

namespace marvo {

// Whether an entry number names an entry of a host table with `capacity`
// entries: entry 0 means none, and the table ends before the capacity.
constexpr bool InTable(uint32_t entry, uint32_t capacity)
{
    return entry != 0 && entry < capacity;
}

// Handle operations on the calling thread's HandleTable. Handle 0 is no handle.
uint32_t AllocHandle(uint32_t size, uint16_t tag = abi::kLibraryTag);
void FreeHandle(uint32_t handle);
void* HandleToPointer(uint32_t handle);
void LockHandle(uint32_t handle);
void UnlockHandle(uint32_t handle);
bool ResizeHandle(uint32_t handle, uint32_t size);

// AllocHandle that raises host error 182 when no memory is to be had.
uint32_t AllocHandleOrRaise(uint32_t size);

// SlotTable messages 16, 17, 18.
uint32_t StoreSlot(uint32_t value);
void ReleaseSlot(uint32_t entry);
uint32_t ReadSlot(uint32_t entry);

// Frees its handle at scope end unless released to the host.
class OwnedHandle {
  public:
    explicit OwnedHandle(uint32_t handle = 0) : handle_(handle) {}
    ~OwnedHandle() { FreeHandle(handle_); }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;

    uint32_t get() const { return handle_; }
    uint32_t release()
    {
        uint32_t h = handle_;
        handle_ = 0;
        return h;
    }

  private:
    uint32_t handle_;
};

// Keeps a handle locked while its payload is in use.
class HandleLock {
  public:
    explicit HandleLock(uint32_t handle) : handle_(handle)
    {
        LockHandle(handle_);
        data_ = static_cast<char*>(HandleToPointer(handle_));
    }
    ~HandleLock() { UnlockHandle(handle_); }
    HandleLock(const HandleLock&) = delete;
    HandleLock& operator=(const HandleLock&) = delete;

    char* data() const { return data_; }

  private:
    uint32_t handle_;
    char* data_;
};

} // namespace marvo
