// DispatchAPI, the library's only entry: the per-thread ThreadState records
// in a thread-local slot, load and unload, and the unwinding of raised host
// errors.
//
// A host error raised through a service (or a C++ failure inside a function)
// travels as an exception to the innermost DispatchAPI call on the thread,
// so destructors release whatever the function held. Nothing ever throws
// into the host.
#include "dispatch.h"

#include <new>
#include <windows.h>

#include "handles.h"
#include "lock.h"
#include "notls.h"
#include "services.h"
#include "table.h"

namespace marvo {
namespace {

// Guards the ThreadState list and the TLS index, nothing else.
class Registry {
  public:
    Registry() = default;
    ~Registry()
    {
        Locked guard(lock_);
        freeAll();
        if (tls_ != TLS_OUT_OF_INDEXES)
            TlsFree(tls_);
        tls_ = TLS_OUT_OF_INDEXES;
    }
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    bool attach(HMODULE module)
    {
        Locked guard(lock_);
        module_ = module;
        tls_ = TlsAlloc();
        if (tls_ == TLS_OUT_OF_INDEXES)
            return false;
        return enterLocked() != nullptr;
    }

    void detach()
    {
        Locked guard(lock_);
        freeAll();
    }

    ThreadState* current() const
    {
        return tls_ == TLS_OUT_OF_INDEXES ? nullptr : static_cast<ThreadState*>(TlsGetValue(tls_));
    }

    // The calling thread's record, made on its first entry.
    ThreadState* enter()
    {
        if (ThreadState* state = current())
            return state;
        Locked guard(lock_);
        return enterLocked();
    }

  private:
    ThreadState* enterLocked()
    {
        if (tls_ == TLS_OUT_OF_INDEXES)
            return nullptr;
        if (auto* state = static_cast<ThreadState*>(TlsGetValue(tls_)))
            return state;
        auto* state = static_cast<ThreadState*>(
            HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ThreadState)));
        if (!state)
            return nullptr;
        TlsSetValue(tls_, state);
        state->next = head_;
        head_ = state;
        return state;
    }

    void freeAll()
    {
        while (head_) {
            ThreadState* next = head_->next;
            HeapFree(GetProcessHeap(), 0, head_);
            head_ = next;
        }
        if (tls_ != TLS_OUT_OF_INDEXES)
            TlsSetValue(tls_, nullptr);
    }

    CriticalSection lock_;
    DWORD tls_ = TLS_OUT_OF_INDEXES;
    ThreadState* head_ = nullptr;
    HMODULE module_ = nullptr;
};

Registry registry;

void handOverTable(abi::HostMessage* m)
{
    m->value1 = reinterpret_cast<uint32_t>(&FunctionTable());
    m->value2 = abi::kInterfaceVersion;
}

// A thread the host never introduced with message 0 has no callback to
// answer through and no HandleTable in which its parameters' texts could be
// found. A function run there would read memory that is not its own and act
// without being able to say so: it is not run at all, as if the host had
// refused the call.
bool introduced(const ThreadState* state)
{
    return state->callback && state->handles;
}

bool runsFunction(uint32_t code)
{
    return code == abi::kMsgCall || code == abi::kMsgCall2 || code == abi::kMsgCall11;
}

void act(ThreadState* state, abi::HostMessage* m)
{
    if (runsFunction(m->code) && !introduced(state))
        return;
    switch (m->code) {
    case abi::kMsgLoad:
        state->handles = reinterpret_cast<abi::HandleTable*>(m->value1);
        state->slots = reinterpret_cast<abi::SlotTable*>(m->value2);
        state->callback = reinterpret_cast<abi::HostCallback>(m->function);
        handOverTable(m);
        break;
    case abi::kMsgTable:
        handOverTable(m);
        break;
    case abi::kMsgCall:
        reinterpret_cast<abi::HostFunction>(m->function)(&m->params);
        break;
    case abi::kMsgCall2:
        reinterpret_cast<abi::HostFunction2>(m->function)(m->value1, m->value2);
        break;
    case abi::kMsgCall11:
        m->value1 = reinterpret_cast<abi::HostFunction11>(m->function)(m->value1, &m->params);
        break;
    case abi::kMsgAllocHandle:
        m->value1 = AllocHandle(m->value1, static_cast<uint16_t>(m->value2));
        break;
    case abi::kMsgFreeHandle:
        FreeHandle(m->value1);
        break;
    case abi::kMsgHandleToPointer:
        m->value1 = reinterpret_cast<uint32_t>(HandleToPointer(m->value1));
        break;
    case abi::kMsgSlotStore:
        m->value1 = StoreSlot(m->value1);
        break;
    case abi::kMsgSlotRelease:
        ReleaseSlot(m->value1);
        break;
    case abi::kMsgSlotRead:
        m->value1 = ReadSlot(m->value1);
        break;
    default:
        break;
    }
}

} // namespace

ThreadState* CurrentThread()
{
    return registry.current();
}

} // namespace marvo

extern "C" int HOST_CALL DispatchAPI(abi::HostMessage* message)
{
    using namespace marvo;
    ThreadState* state = registry.enter();
    if (!state)
        return 0;
    try {
        act(state, message);
    } catch (const HostRaised&) {
        // The host has the error; the function's holdings are released.
    } catch (const std::bad_alloc&) {
        try {
            RaiseHostError(kErrNoMemory);
        } catch (...) {
        }
    } catch (...) {
    }
    return 0;
}

// Every notification reaches the compiler's runtime too: its per-thread data
// is freed when a thread ends. So the library keeps the thread notifications
// that DisableThreadLibraryCalls would turn off.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    BOOL ok = TRUE;
    if (reason == DLL_PROCESS_ATTACH) {
        marvo::ForwardToRuntime(instance, reason, reserved);
        ok = marvo::registry.attach(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        marvo::registry.detach();
        marvo::ForwardToRuntime(instance, reason, reserved);
    } else {
        marvo::ForwardToRuntime(instance, reason, reserved);
    }
    return ok;
}
