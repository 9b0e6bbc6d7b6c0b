// The records that cross between the host and the library: the message the
// host hands to DispatchAPI, the value record, the parameter block, the
// service request and the function table. All are packed byte layouts fixed
// by the host; the asserts below pin every size and offset.
//
// Included by the library and by the stand-in host alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(_WIN32) && !defined(_WIN64)
#define HOST_CALL __fastcall
#else
#define HOST_CALL
#endif

namespace abi {

#pragma pack(push, 1)

// A host value. For kind 'R' the bytes from offset 1 are the host's own
// locator; the library reads only its 16-bit "where" field (see where()).
struct HostValue {
    char kind;         // 'C' 'I' 'N' 'L' 'R' 'H'
    uint8_t reserved0; // for 'R': low byte of where
    uint16_t width;    // display width of an 'I' or 'N' result
    uint32_t length;   // 'C'/'H': byte length; 'L': 0 or 1; 'N': decimals
    int32_t integer;   // 'I'
    double number;     // 'N'
    uint8_t reserved1[8];
    uint32_t handle; // 'C'/'H': handle of the (unterminated) text
    uint32_t reserved2;

    // 'R' only: > 0 is the work area of a table whose memo field is meant,
    // 0 or less a memory variable.
    int16_t where() const
    {
        int16_t w;
        std::memcpy(&w, reinterpret_cast<const char*>(this) + 1, sizeof w);
        return w;
    }
    void setWhere(int16_t w) { std::memcpy(reinterpret_cast<char*>(this) + 1, &w, sizeof w); }
};

constexpr int kMaxParams = 27;

struct ParamBlock {
    uint16_t count; // parameters actually passed
    HostValue param[kMaxParams];
};

using HostFunction = void(HOST_CALL*)(ParamBlock*);
using HostFunction2 = void(HOST_CALL*)(uint32_t, uint32_t);
using HostFunction11 = uint32_t(HOST_CALL*)(uint32_t, ParamBlock*);

struct HostMessage {
    uint32_t value1;
    uint32_t value2;
    uint8_t reserved0[12];
    uint32_t code;
    uint32_t function; // entry to call, or the host callback (message 0)
    uint8_t reserved1[8];
    ParamBlock params; // inline, messages 1 and 11
};

struct HostRequest {
    uint32_t arg1; // result on the way out
    uint32_t arg2;
    uint32_t arg3;
    uint32_t arg4;
    uint32_t code;
    uint32_t status;
    uint32_t arg5;
};

using HostCallback = void(HOST_CALL*)(HostRequest*);

struct HandleTable {
    uint16_t hint;
    uint16_t capacity;
    uint32_t entry[1]; // capacity entries: 0 or an HGLOBAL
};

struct SlotTable {
    uint16_t hint;
    uint16_t used;
    uint16_t capacity;
    uint32_t entry[1]; // capacity entries
};

struct TableRow {
    const char* name;
    HostFunction entry;
    uint16_t count;
    const char* types;
};

struct TableHeader {
    const TableHeader* next;
    uint16_t count;
    const TableRow* rows;
};

#pragma pack(pop)

// Message codes of DispatchAPI.
enum Message : uint32_t {
    kMsgLoad = 0,
    kMsgCall = 1,
    kMsgAllocHandle = 2,
    kMsgFreeHandle = 4,
    kMsgHandleToPointer = 6,
    kMsgCall2 = 10,
    kMsgCall11 = 11,
    kMsgTable = 14,
    kMsgSlotStore = 16,
    kMsgSlotRelease = 17,
    kMsgSlotRead = 18,
};

constexpr uint32_t kInterfaceVersion = 5000;

// Host service codes.
enum Service : uint32_t {
    kSvcPutText = 2,
    kSvcReturnValue = 11,
    kSvcRecordNumber = 12,
    kSvcRecordCount = 13,
    kSvcPositionStatus = 14,
    kSvcGoFirst = 19,
    kSvcSkipRecords = 20,
    kSvcMemoFileChannel = 23,
    kSvcMemoOffset = 25,
    kSvcMemoLength = 26,
    kSvcLoadVariable = 30,
    kSvcFileOpen = 31,
    kSvcFileClose = 32,
    kSvcFileRead = 33,
    kSvcFileSeek = 34,
    kSvcFileAtEnd = 37,
    kSvcWindowDefine = 41,
    kSvcWindowSetState = 43,
    kSvcWindowSetup = 44,
    kSvcHostWindow = 45,
    kSvcWindowPutText = 53,
    kSvcTimedWait = 62,
    kSvcRaiseHostError = 83,
    kSvcRaiseUserError = 84,
    kSvcNativeWindowHandle = 112,
};

// Flags of kSvcPositionStatus.
constexpr uint32_t kAtBeginning = 1;
constexpr uint32_t kAtEnd = 2;

// Tag of the library's own handle allocations.
constexpr uint16_t kLibraryTag = 16;

static_assert(sizeof(HostValue) == 36);
static_assert(offsetof(HostValue, width) == 2);
static_assert(offsetof(HostValue, length) == 4);
static_assert(offsetof(HostValue, integer) == 8);
static_assert(offsetof(HostValue, number) == 12);
static_assert(offsetof(HostValue, handle) == 28);
static_assert(offsetof(ParamBlock, param) == 2);
static_assert(offsetof(HostMessage, code) == 20);
static_assert(offsetof(HostMessage, function) == 24);
static_assert(offsetof(HostMessage, params) == 36);
static_assert(sizeof(HostRequest) == 28);
static_assert(offsetof(HostRequest, code) == 16);
static_assert(offsetof(HostRequest, status) == 20);
static_assert(offsetof(HostRequest, arg5) == 24);
static_assert(offsetof(HandleTable, entry) == 4);
static_assert(offsetof(SlotTable, entry) == 6);
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(TableRow) == 14);
static_assert(offsetof(TableRow, count) == 8);
static_assert(offsetof(TableRow, types) == 10);
static_assert(sizeof(TableHeader) == 10);
static_assert(offsetof(TableHeader, rows) == 6);
#endif

} // namespace abi
