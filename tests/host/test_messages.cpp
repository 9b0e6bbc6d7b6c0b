// DispatchAPI's messages as the host sends them: the function table (0 and
// 14), ignored codes, the handle and slot table operations, and messages
// on threads that have not been bound yet.
#include <gtest/gtest.h>

#include <thread>
#include <windows.h>

#include "host.h"
#include "host/handles.h"
#include "testdir.h"

using fllhost::Host;

namespace {

using Dispatch = uint32_t(HOST_CALL*)(abi::HostMessage*);

abi::HostMessage Message(uint32_t code, uint32_t v1 = 0, uint32_t v2 = 0)
{
    abi::HostMessage m{};
    m.code = code;
    m.value1 = v1;
    m.value2 = v2;
    return m;
}

class Messages : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(host.load(testing_support::Deliverable("marvo32.fll"))); }

    uint32_t send(uint32_t code, uint32_t v1 = 0, uint32_t v2 = 0)
    {
        abi::HostMessage m = Message(code, v1, v2);
        host.send(m);
        return m.value1;
    }

    Host host{6, 4}; // handles 1..5, slots 1..3
};

TEST_F(Messages, LoadAndTableGiveTheHeaderAndVersion5000)
{
    abi::HostMessage table = Message(abi::kMsgTable);
    host.send(table);
    EXPECT_EQ(reinterpret_cast<const abi::TableHeader*>(table.value1), host.header());
    EXPECT_EQ(table.value2, 5000u);
    EXPECT_EQ(host.version(), 5000u);

    abi::HostMessage load = Message(abi::kMsgLoad, reinterpret_cast<uint32_t>(&host.handles()),
                                    reinterpret_cast<uint32_t>(&host.slots()));
    load.function = 0;
    host.send(load);
    EXPECT_EQ(load.value1, table.value1);
    EXPECT_EQ(load.value2, 5000u);
    // The host hands its own callback over again before its next call.
    EXPECT_EQ(host.call("M_STRCRC16", {fllhost::Value::Text("abc")}).value,
              fllhost::Value::Int(38712));
}

TEST_F(Messages, OtherCodesLeaveTheMessageAlone)
{
    for (uint32_t code : {3u, 5u, 7u, 9u, 12u, 13u, 15u, 19u, 99u, 0xFFFFFFFFu}) {
        abi::HostMessage m = Message(code, 0x1234, 0x5678);
        host.send(m);
        EXPECT_EQ(m.value1, 0x1234u) << code;
        EXPECT_EQ(m.value2, 0x5678u) << code;
    }
}

TEST_F(Messages, TableBeforeLoadStoresNothing)
{
    // A fresh thread: nothing bound, no tables handed over.
    HMODULE module = GetModuleHandleA("marvo32.fll");
    ASSERT_NE(module, nullptr);
    auto dispatch = reinterpret_cast<Dispatch>(
        reinterpret_cast<void*>(GetProcAddress(module, "@DispatchAPI@4")));
    ASSERT_NE(dispatch, nullptr);
    uint32_t header = 0, version = 0, handle = 1;
    std::thread([&] {
        abi::HostMessage m = Message(abi::kMsgTable);
        EXPECT_EQ(dispatch(&m), 0u);
        header = m.value1;
        version = m.value2;
        abi::HostMessage alloc = Message(abi::kMsgAllocHandle, 10, 16);
        dispatch(&alloc);
        handle = alloc.value1;
    }).join();
    EXPECT_EQ(header, reinterpret_cast<uint32_t>(host.header()));
    EXPECT_EQ(version, 5000u);
    EXPECT_EQ(handle, 0u) << "no table was handed over on that thread";
}

TEST_F(Messages, HandlesFillUpAndAFreedEntryIsReused)
{
    const int before = host.handlesInUse();
    std::vector<uint32_t> got;
    for (int i = 0; i < 5 - before; ++i)
        got.push_back(send(abi::kMsgAllocHandle, 100, 16));
    for (uint32_t h : got)
        EXPECT_NE(h, 0u);
    EXPECT_EQ(send(abi::kMsgAllocHandle, 100, 16), 0u) << "table full";
    EXPECT_EQ(host.handlesInUse(), 5);

    send(abi::kMsgFreeHandle, got[1]);
    EXPECT_EQ(send(abi::kMsgAllocHandle, 8, 16), got[1]);
    for (uint32_t h : got)
        send(abi::kMsgFreeHandle, h);
    EXPECT_EQ(host.handlesInUse(), before);
}

TEST_F(Messages, HandleToPointerGivesThePayloadAfterTheTag)
{
    uint32_t h = send(abi::kMsgAllocHandle, 4, 0x1234);
    ASSERT_NE(h, 0u);
    auto* payload = reinterpret_cast<uint8_t*>(send(abi::kMsgHandleToPointer, h));
    ASSERT_NE(payload, nullptr);
    uint16_t tag;
    std::memcpy(&tag, payload - 2, 2);
    EXPECT_EQ(tag, 0x1234);
    EXPECT_EQ(payload[0], 0) << "zero-filled";
    send(abi::kMsgFreeHandle, h);
    EXPECT_EQ(send(abi::kMsgHandleToPointer, h), 0u) << "freed";
}

TEST_F(Messages, BadHandlesAreNull)
{
    for (uint32_t h : {0u, 5u, 6u, 7u, 1000u, 0xFFFFFFFFu})
        EXPECT_EQ(send(abi::kMsgHandleToPointer, h), 0u) << h;
    const int before = host.handlesInUse();
    for (uint32_t h : {0u, 6u, 7u, 0xFFFFFFFFu})
        send(abi::kMsgFreeHandle, h);
    EXPECT_EQ(host.handlesInUse(), before);
}

struct EntryRow {
    uint32_t entry;
    uint32_t capacity;
    bool inTable;
};

// The library's own range check of handles and slots, at the edges: a
// stray entry past the table reads and writes memory that is not the table's.
TEST(TableEntries, FromOneToBelowTheCapacity)
{
    const EntryRow rows[] = {
        {0, 6, false},        {1, 6, true},          {5, 6, true},
        {6, 6, false},        {7, 6, false},         {0xFFFFFFFFu, 6, false},
        {0, 1, false},        {1, 1, false},         {0, 0, false},
        {65534, 65535, true}, {65535, 65535, false}, {65536, 65535, false},
    };
    for (const EntryRow& r : rows)
        EXPECT_EQ(marvo::InTable(r.entry, r.capacity), r.inTable)
            << "entry " << r.entry << " of " << r.capacity;
}

TEST_F(Messages, SlotsFillUpReleaseAndRead)
{
    const uint32_t a = send(abi::kMsgSlotStore, 111);
    const uint32_t b = send(abi::kMsgSlotStore, 222);
    const uint32_t c = send(abi::kMsgSlotStore, 333);
    EXPECT_EQ(a, 1u) << "entry 0 is never handed out";
    EXPECT_EQ(b, 2u);
    EXPECT_EQ(c, 3u);
    EXPECT_EQ(send(abi::kMsgSlotStore, 444), 0u) << "table full";
    EXPECT_EQ(host.slots().used, 3);
    EXPECT_EQ(send(abi::kMsgSlotRead, b), 222u);

    send(abi::kMsgSlotRelease, b);
    EXPECT_EQ(host.slots().used, 2);
    EXPECT_EQ(send(abi::kMsgSlotRead, b), 0u) << "free entry";
    EXPECT_EQ(send(abi::kMsgSlotStore, 555), b) << "reused";
    EXPECT_EQ(send(abi::kMsgSlotRead, 0), 0u);
    EXPECT_EQ(send(abi::kMsgSlotRead, 4), 0u) << "beyond the capacity";
    send(abi::kMsgSlotRelease, 0);
    send(abi::kMsgSlotRelease, 4);
    send(abi::kMsgSlotRelease, 9);
    EXPECT_EQ(host.slots().used, 3);
}

TEST_F(Messages, EachThreadHasItsOwnTables)
{
    const abi::HandleTable* mine = &host.handles();
    const abi::HandleTable* theirs = nullptr;
    uint32_t handle = 0;
    std::thread([&] {
        theirs = &host.handles();
        handle = send(abi::kMsgAllocHandle, 1, 16);
    }).join();
    EXPECT_NE(mine, theirs);
    EXPECT_EQ(handle, 1u) << "a fresh table on the other thread";
    EXPECT_EQ(host.handlesInUse(), 0);
}

} // namespace
