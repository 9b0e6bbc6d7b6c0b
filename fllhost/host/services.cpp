// The host callback: one small handler per service the library may ask
// for. Results go back in the request's first field; a raised error is
// recorded and left as 83 / 84 in the code field, which tells the library to
// unwind.
#include <algorithm>
#include <cstring>

#include "host_impl.h"

namespace fllhost {

thread_local ActiveCall* tActive = nullptr;

namespace {

using Request = abi::HostRequest;

int32_t Signed(uint32_t v)
{
    return static_cast<int32_t>(v);
}
uint32_t Unsigned(int64_t v)
{
    return static_cast<uint32_t>(static_cast<int32_t>(v));
}
const char* Text(uint32_t address)
{
    return reinterpret_cast<const char*>(address);
}
const abi::HostValue& ValueAt(uint32_t address)
{
    return *reinterpret_cast<const abi::HostValue*>(address);
}

// A reference's locator: where (a work area, or -1 or 0 for a memory
// variable; the library takes any number below 1 for one) and the
// 32-bit number after it at offset 4 (memo field index, or variable number).
uint32_t Locator(const abi::HostValue& ref)
{
    return ref.length;
}

void PutText(Host::Impl& h, Request& r, CallResult&)
{
    h.print(Text(r.arg1));
}

// A text in a library handle (kind H) is the host's from now on; it keeps
// the handle until the call has returned, as FoxPro does, and frees it then.
void ReturnValue(Host::Impl& h, Request& r, CallResult& result)
{
    const abi::HostValue& v = ValueAt(r.arg1);
    result.value = TakeResult(h, v);
    ++result.results;
    if (v.kind != 'H' || !tActive)
        return;
    const uint32_t block = h.tables().block(v.handle);
    auto& held = tActive->held;
    const bool known = std::any_of(held.begin(), held.end(),
                                   [&](const HeldHandle& x) { return x.handle == v.handle; });
    if (block && !known)
        held.push_back(HeldHandle{v.handle, block});
}

void RecordNumber(Host::Impl& h, Request& r, CallResult&)
{
    r.arg1 = Unsigned(h.workAreas.recordNumber(Signed(r.arg1)));
}

void RecordCount(Host::Impl& h, Request& r, CallResult&)
{
    r.arg1 = Unsigned(h.workAreas.recordCount(Signed(r.arg1)));
}

void PositionStatus(Host::Impl& h, Request& r, CallResult&)
{
    r.arg1 = h.workAreas.positionStatus(Signed(r.arg1));
}

void GoFirst(Host::Impl& h, Request& r, CallResult&)
{
    r.arg1 = Unsigned(h.workAreas.goFirst(Signed(r.arg1)));
}

void SkipRecords(Host::Impl& h, Request& r, CallResult&)
{
    r.arg1 = Unsigned(h.workAreas.skip(Signed(r.arg1), Signed(r.arg2)));
}

void MemoFileChannel(Host::Impl& h, Request& r, CallResult&)
{
    const int area = Signed(r.arg1);
    std::lock_guard<std::mutex> lock(h.mutex); // one channel per table, also across threads
    int channel = h.workAreas.memoChannel(area);
    const std::string path = h.workAreas.memoPath(area);
    // Opened once per table; again only if someone closed it meanwhile.
    if ((channel == 0 || !h.files.isOpen(channel)) && !path.empty()) {
        channel = h.files.openShared(path);
        if (channel > 0)
            h.workAreas.setMemoChannel(area, channel);
    }
    r.arg1 = channel > 0 ? Unsigned(channel) : Unsigned(-1);
}

WorkAreas::MemoSpot Spot(Host::Impl& h, const abi::HostValue& ref)
{
    return h.workAreas.locate(ref.where(), Signed(Locator(ref)));
}

void MemoOffset(Host::Impl& h, Request& r, CallResult&)
{
    r.arg1 = Unsigned(Spot(h, ValueAt(r.arg1)).offset);
}

void MemoLength(Host::Impl& h, Request& r, CallResult&)
{
    r.arg1 = Unsigned(Spot(h, ValueAt(r.arg1)).length);
}

// A value into a HostValue, as _Load fills one: only the fields of its kind
// are written. A text goes into a new handle that the library owns from now
// on; no other kind gets a handle.
int32_t FillValue(Host::Impl& h, const Value& v, abi::HostValue& out)
{
    switch (v.kind) {
    case Value::Kind::Character:
        out.kind = 'C';
        out.length = static_cast<uint32_t>(v.text.size());
        out.handle = h.tables().allocate(v.text);
        return out.handle ? 0 : -182;
    case Value::Kind::Integer:
        out.kind = 'I';
        out.width = v.width;
        out.integer = v.integer;
        return 0;
    case Value::Kind::Number:
        out.kind = 'N';
        out.width = v.width;
        out.length = v.decimals;
        out.number = v.number;
        return 0;
    default:
        out.kind = 'L';
        out.length = v.logical ? 1 : 0;
        return 0;
    }
}

// _Load: a memory variable, or a field of the current record of a work area.
void LoadVariable(Host::Impl& h, Request& r, CallResult&)
{
    const abi::HostValue& ref = ValueAt(r.arg1);
    auto& out = *reinterpret_cast<abi::HostValue*>(r.arg2);
    if (ref.where() > 0) {
        std::string text;
        const int error = h.workAreas.load(ref.where(), Signed(Locator(ref)), text);
        r.arg1 = error ? Unsigned(-error) : Unsigned(FillValue(h, Value::Text(text), out));
        return;
    }
    auto name = h.variables.refName(Locator(ref));
    auto value = name ? h.variables.get(*name) : std::nullopt;
    r.arg1 = value ? Unsigned(FillValue(h, *value, out)) : Unsigned(-Variables::kNotFound);
}

void FileOpen(Host::Impl& h, Request& r, CallResult&)
{
    r.arg1 = Unsigned(h.files.open(Text(r.arg1), r.arg2, r.arg3));
}

void FileClose(Host::Impl& h, Request& r, CallResult&)
{
    h.files.close(Signed(r.arg1));
}

void FileRead(Host::Impl& h, Request& r, CallResult&)
{
    r.arg1 = h.files.read(Signed(r.arg1), reinterpret_cast<void*>(r.arg2), r.arg3);
}

void FileSeek(Host::Impl& h, Request& r, CallResult&)
{
    h.files.seek(Signed(r.arg1), r.arg2);
}

void FileAtEnd(Host::Impl& h, Request& r, CallResult&)
{
    r.arg1 = h.files.atEnd(Signed(r.arg1)) ? 1 : 0;
}

void WindowDefine(Host::Impl& h, Request& r, CallResult&)
{
    const auto* rect = reinterpret_cast<const int32_t*>(r.arg1);
    const auto* pair = reinterpret_cast<const uint32_t*>(r.arg5);
    std::string border;
    if (pair && pair[1])
        border.assign(Text(pair[1]), 8);
    r.arg1 = Unsigned(h.windows.define(rect[0], rect[1], rect[2], rect[3], border, r.arg2));
}

void WindowSetState(Host::Impl& h, Request& r, CallResult&)
{
    h.windows.setState(Signed(r.arg1), Signed(r.arg2));
}

void WindowSetup(Host::Impl& h, Request& r, CallResult&)
{
    h.windows.setup(Signed(r.arg1));
}

void HostWindow(Host::Impl&, Request& r, CallResult&)
{
    r.arg1 = TextWindows::kHostWindow;
}

void WindowPutText(Host::Impl& h, Request& r, CallResult&)
{
    h.windows.putText(Signed(r.arg1), Text(r.arg2));
}

// _InKey: the time-out is signed (0: until a key comes); the second
// argument, the cursor flag, has nothing to show on fllhost's console.
void TimedWait(Host::Impl& h, Request& r, CallResult&)
{
    r.arg1 = Unsigned(h.windows.wait(Signed(r.arg1)));
}

void RaiseHostError(Host::Impl&, Request& r, CallResult& result)
{
    result.hostError = Signed(r.arg1);
}

void RaiseUserError(Host::Impl&, Request& r, CallResult& result)
{
    result.userRaised = true;
    result.userError = r.arg1 ? Text(r.arg1) : "";
}

void NativeWindowHandle(Host::Impl& h, Request& r, CallResult&)
{
    const int id = Signed(r.arg1);
    const bool known = id == TextWindows::kHostWindow || h.windows.find(id);
    r.arg1 = known ? reinterpret_cast<uint32_t>(h.window.handle()) : 0;
}

using Handler = void (*)(Host::Impl&, Request&, CallResult&);

struct Service {
    uint32_t code;
    Handler handler;
};

constexpr Service kServices[] = {
    {abi::kSvcPutText, PutText},
    {abi::kSvcReturnValue, ReturnValue},
    {abi::kSvcRecordNumber, RecordNumber},
    {abi::kSvcRecordCount, RecordCount},
    {abi::kSvcPositionStatus, PositionStatus},
    {abi::kSvcGoFirst, GoFirst},
    {abi::kSvcSkipRecords, SkipRecords},
    {abi::kSvcMemoFileChannel, MemoFileChannel},
    {abi::kSvcMemoOffset, MemoOffset},
    {abi::kSvcMemoLength, MemoLength},
    {abi::kSvcLoadVariable, LoadVariable},
    {abi::kSvcFileOpen, FileOpen},
    {abi::kSvcFileClose, FileClose},
    {abi::kSvcFileRead, FileRead},
    {abi::kSvcFileSeek, FileSeek},
    {abi::kSvcFileAtEnd, FileAtEnd},
    {abi::kSvcWindowDefine, WindowDefine},
    {abi::kSvcWindowSetState, WindowSetState},
    {abi::kSvcWindowSetup, WindowSetup},
    {abi::kSvcHostWindow, HostWindow},
    {abi::kSvcWindowPutText, WindowPutText},
    {abi::kSvcTimedWait, TimedWait},
    {abi::kSvcRaiseHostError, RaiseHostError},
    {abi::kSvcRaiseUserError, RaiseUserError},
    {abi::kSvcNativeWindowHandle, NativeWindowHandle},
};

} // namespace

void Serve(Host::Impl& host, abi::HostRequest& request, CallResult& result)
{
    for (const Service& s : kServices)
        if (s.code == request.code) {
            s.handler(host, request, result);
            return;
        }
}

void HOST_CALL HostCallback(abi::HostRequest* request)
{
    ActiveCall* call = tActive;
    if (!call)
        return;
    call->result->services.push_back(request->code);
    Host& self = call->host->self;
    if (self.serviceHook && self.serviceHook(*request))
        return;
    Serve(*call->host, *request, *call->result);
}

Value TakeResult(Host::Impl& host, const abi::HostValue& v)
{
    switch (v.kind) {
    case 'C':
    case 'H': {
        std::string text;
        host.tables().read(v.handle, v.length, text);
        return Value::Text(text);
    }
    case 'I':
        return Value::Int(v.integer, v.width);
    case 'N':
        return Value::Num(v.number, v.length, v.width);
    case 'L':
        return Value::Bool(v.length != 0);
    default:
        return Value();
    }
}

bool MakeArgument(Host::Impl& host, const Value& value, abi::HostValue& out)
{
    std::memset(&out, 0, sizeof out);
    switch (value.kind) {
    case Value::Kind::Reference:
        out.kind = 'R';
        if (value.area > 0) {
            out.setWhere(static_cast<int16_t>(value.area));
            out.length = static_cast<uint32_t>(host.workAreas.fieldIndex(value.area, value.name));
        } else {
            out.setWhere(value.variableWhere);
            out.length = host.variables.refId(value.name);
        }
        return true;
    case Value::Kind::Nothing:
        return true;
    default:
        return FillValue(host, value, out) == 0;
    }
}

} // namespace fllhost
