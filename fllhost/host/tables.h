// The memory of one thread's HandleTable and SlotTable, which the host owns
// and hands to the library with message 0. Entry 0 of both is never handed
// out (handle 0 and slot 0 mean "none"), so the hints start at 1.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/abi.h"

namespace fllhost {

class ThreadTables {
  public:
    ThreadTables(uint16_t handleCapacity, uint16_t slotCapacity);
    // Frees the blocks the library left in the table.
    ~ThreadTables();
    ThreadTables(const ThreadTables&) = delete;
    ThreadTables& operator=(const ThreadTables&) = delete;

    abi::HandleTable& handles()
    {
        return *reinterpret_cast<abi::HandleTable*>(handleMemory_.data());
    }
    abi::SlotTable& slots() { return *reinterpret_cast<abi::SlotTable*>(slotMemory_.data()); }
    const abi::HandleTable& handles() const
    {
        return *reinterpret_cast<const abi::HandleTable*>(handleMemory_.data());
    }
    int handlesInUse() const;

    // The bytes of a handle's payload (after the 2-byte tag); false for a bad
    // handle or one whose block is shorter than length.
    bool read(uint32_t handle, uint32_t length, std::string& out) const;
    // Puts bytes into a new block in the first free entry (tag 0); 0 when full.
    uint32_t allocate(const std::string& bytes);

  private:
    uint32_t entry(uint32_t handle) const;
    std::vector<uint32_t> handleMemory_;
    std::vector<uint16_t> slotMemory_;
};

} // namespace fllhost
