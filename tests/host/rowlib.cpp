// rowlib.fll: a small extension library for the host's tests, whose function
// table holds the rows a host calls itself or never lets a program call:
// CALLONLOAD (-2), CALLONUNLOAD (-3) and INTERNAL (-1), the unload row in a
// second table chained to the first. Each routine says on the host's output
// that it ran; STATE() tells how often each one ran in this process.
//
// With the environment variable ROWLIB_REFUSE set, the load routine raises
// host error 1234 instead.
//
// Three more INTERNAL rows break the host's rules on purpose, for its checks:
// GIVEBACK frees the text it handed over with its result, PASTHANDLES frees
// and empties the entry after the HandleTable's last one, PASTSLOTS empties
// the one after the SlotTable's last.
#include <cstdio>
#include <cstring>
#include <windows.h>

#include "host/abi.h"

namespace {

abi::HostCallback gCallback = nullptr;
abi::HandleTable* gHandles = nullptr;
abi::SlotTable* gSlots = nullptr;
int gLoads = 0, gUnloads = 0, gHidden = 0;

// A request to the host; false when the host raised an error with it.
bool request(uint32_t code, uint32_t arg1)
{
    if (!gCallback)
        return false;
    abi::HostRequest r{arg1, 0, 0, 0, code, 0, 0};
    gCallback(&r);
    return r.code != abi::kSvcRaiseHostError && r.code != abi::kSvcRaiseUserError;
}

void say(const char* text)
{
    request(abi::kSvcPutText, reinterpret_cast<uint32_t>(text));
}

void HOST_CALL onLoad(abi::ParamBlock* pb)
{
    ++gLoads;
    char text[64];
    std::snprintf(text, sizeof text, "ONLOAD ran with %d parameters\n", pb->count);
    say(text);
    if (GetEnvironmentVariableA("ROWLIB_REFUSE", nullptr, 0))
        request(abi::kSvcRaiseHostError, 1234);
}

void HOST_CALL onUnload(abi::ParamBlock*)
{
    ++gUnloads;
    say("ONUNLOAD ran\n");
}

void HOST_CALL hidden(abi::ParamBlock*)
{
    ++gHidden;
    say("HIDDEN ran\n");
}

void HOST_CALL state(abi::ParamBlock*)
{
    abi::HostValue v{};
    v.kind = 'I';
    v.width = 10;
    v.integer = gLoads * 100 + gUnloads * 10 + gHidden;
    request(abi::kSvcReturnValue, reinterpret_cast<uint32_t>(&v));
}

void HOST_CALL giveBack(abi::ParamBlock*)
{
    uint32_t h = 1;
    while (h < gHandles->capacity && gHandles->entry[h])
        ++h;
    if (h >= gHandles->capacity)
        return;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 2 + 6);
    char* p = static_cast<char*>(GlobalLock(block));
    std::memcpy(p + 2, "given", 6);
    GlobalUnlock(block);
    gHandles->entry[h] = reinterpret_cast<uint32_t>(block);
    abi::HostValue v{};
    v.kind = 'H';
    v.length = 5;
    v.handle = h;
    request(abi::kSvcReturnValue, reinterpret_cast<uint32_t>(&v));
    GlobalFree(block);
    gHandles->entry[h] = 0;
}

void HOST_CALL pastHandles(abi::ParamBlock*)
{
    uint32_t& past = gHandles->entry[gHandles->capacity];
    GlobalFree(reinterpret_cast<HGLOBAL>(past));
    past = 0;
}

void HOST_CALL pastSlots(abi::ParamBlock*)
{
    gSlots->entry[gSlots->capacity] = 0;
}

const abi::TableRow kMoreRows[] = {
    {"ONUNLOAD", onUnload, static_cast<uint16_t>(-3), ""},
    {"GIVEBACK", giveBack, static_cast<uint16_t>(-1), ""},
    {"PASTHANDLES", pastHandles, static_cast<uint16_t>(-1), ""},
    {"PASTSLOTS", pastSlots, static_cast<uint16_t>(-1), ""},
};
const abi::TableHeader kMore = {nullptr, 4, kMoreRows};

const abi::TableRow kRows[] = {
    {"ONLOAD", onLoad, static_cast<uint16_t>(-2), ""},
    {"HIDDEN", hidden, static_cast<uint16_t>(-1), ""},
    {"STATE", state, 0, ""},
};
const abi::TableHeader kTable = {&kMore, 3, kRows};

} // namespace

extern "C" __declspec(dllexport) int HOST_CALL DispatchAPI(abi::HostMessage* m)
{
    switch (m->code) {
    case abi::kMsgLoad:
        gCallback = reinterpret_cast<abi::HostCallback>(m->function);
        gHandles = reinterpret_cast<abi::HandleTable*>(m->value1);
        gSlots = reinterpret_cast<abi::SlotTable*>(m->value2);
        [[fallthrough]];
    case abi::kMsgTable:
        m->value1 = reinterpret_cast<uint32_t>(&kTable);
        m->value2 = abi::kInterfaceVersion;
        break;
    case abi::kMsgCall:
        reinterpret_cast<abi::HostFunction>(m->function)(&m->params);
        break;
    default:
        break;
    }
    return 0;
}
