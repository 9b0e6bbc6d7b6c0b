// The memory of one thread's HandleTable and SlotTable, which the host owns
// and hands to the library with message 0. Entry 0 of both is never handed
// out (handle 0 and slot 0 mean "none"), so the hints start at 1.
//
// Guard words follow the last entry of each table. Those after the handles
// hold a block of the host's own, so that a library reading one entry too
// far finds a real block (and hands out, locks or frees it) rather than
// nothing; those after the slots hold a value no slot holds. guardDamage()
// tells whether the library changed them.
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

    // The block in a handle's entry; 0 for handle 0, one at or beyond the
    // capacity, or an empty entry.
    uint32_t block(uint32_t handle) const;
    // The bytes of a handle's payload (after the 2-byte tag); false for a bad
    // handle or one whose block is shorter than length.
    bool read(uint32_t handle, uint32_t length, std::string& out) const;
    // Puts bytes into a new block in the first free entry (tag 0); 0 when full.
    uint32_t allocate(const std::string& bytes);

    // What the library did past the tables' last entries since the guards
    // were set: empty when nothing. The guards are set afresh after damage.
    std::string guardDamage();

  private:
    std::string damage() const;
    void setGuards();
    uint32_t* handleGuards();
    const uint32_t* handleGuards() const;
    uint16_t* slotGuards();
    const uint16_t* slotGuards() const;

    std::vector<uint32_t> handleMemory_;
    std::vector<uint16_t> slotMemory_;
    uint32_t guardBlock_ = 0; // the HGLOBAL the handle guards hold
};

} // namespace fllhost
