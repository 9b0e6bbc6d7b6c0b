// Ending the Windows session: M_LOGOFF, M_DOWN, M_REBOOT, M_PWROFF and their
// forced forms ending in X. Each asks ExitWindowsEx once and answers whether
// Windows accepted the request.
//
// Shutting down, restarting and powering off need the shutdown privilege on
// Windows NT and later, and a host process does not hold it enabled: it is
// enabled for the one call and the token's previous state restored after it.
// Where there is no token (Windows 9x, whose security functions are only
// stubs or missing) the request goes ahead without it; the token functions
// are looked up when needed, so the library loads there.
#include <windows.h>

#include "host/functions.h"
#include "host/results.h"
#include "system/laterapi.h"

namespace {

using namespace marvo;

constexpr UINT kLogoff = EWX_LOGOFF;
constexpr UINT kForce = EWX_FORCE;
constexpr UINT kShutdown = EWX_SHUTDOWN;
constexpr UINT kReboot = EWX_REBOOT;
constexpr UINT kPowerOff = EWX_SHUTDOWN | EWX_POWEROFF;

// The NT security functions the privilege needs, or nulls where a function
// is missing.
struct TokenApi {
    using OpenToken = BOOL(WINAPI*)(HANDLE, DWORD, PHANDLE);
    using LookupPrivilege = BOOL(WINAPI*)(LPCSTR, LPCSTR, PLUID);
    using AdjustPrivileges = BOOL(WINAPI*)(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD,
                                           PTOKEN_PRIVILEGES, PDWORD);

    LoadedModule advapi{"advapi32.dll"};
    OpenToken openToken = advapi.find<OpenToken>("OpenProcessToken");
    LookupPrivilege lookupPrivilege = advapi.find<LookupPrivilege>("LookupPrivilegeValueA");
    AdjustPrivileges adjustPrivileges = advapi.find<AdjustPrivileges>("AdjustTokenPrivileges");

    bool complete() const { return openToken && lookupPrivilege && adjustPrivileges; }
};

class TokenHandle {
  public:
    explicit TokenHandle(const TokenApi& api)
    {
        if (!api.complete() ||
            !api.openToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &handle_))
            handle_ = nullptr;
    }
    ~TokenHandle()
    {
        if (handle_)
            CloseHandle(handle_);
    }
    TokenHandle(const TokenHandle&) = delete;
    TokenHandle& operator=(const TokenHandle&) = delete;

    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_ = nullptr;
};

// The shutdown privilege enabled for the scope; the token's previous state of
// it is put back at scope end. Does nothing where it cannot be had.
class ShutdownPrivilege {
  public:
    ShutdownPrivilege()
    {
        TOKEN_PRIVILEGES wanted{};
        wanted.PrivilegeCount = 1;
        wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        if (!token_.get() ||
            !api_.lookupPrivilege(nullptr, SE_SHUTDOWN_NAME, &wanted.Privileges[0].Luid))
            return;
        DWORD size = 0;
        adjusted_ = api_.adjustPrivileges(token_.get(), FALSE, &wanted, sizeof previous_,
                                          &previous_, &size) != FALSE;
    }
    ~ShutdownPrivilege()
    {
        // previous_ lists only what the call changed: empty when the privilege
        // was enabled already, so nothing is undone then.
        if (adjusted_)
            api_.adjustPrivileges(token_.get(), FALSE, &previous_, 0, nullptr, nullptr);
    }
    ShutdownPrivilege(const ShutdownPrivilege&) = delete;
    ShutdownPrivilege& operator=(const ShutdownPrivilege&) = delete;

  private:
    TokenApi api_;
    TokenHandle token_{api_};
    TOKEN_PRIVILEGES previous_{};
    bool adjusted_ = false;
};

bool logoff(UINT flags)
{
    return ExitWindowsEx(flags, 0) != FALSE;
}

bool endSystem(UINT flags)
{
    ShutdownPrivilege privilege;
    return ExitWindowsEx(flags, 0) != FALSE;
}

} // namespace

HOST_FUNCTION(M_LOGOFF)
{
    (void)pb;
    ReturnLogical(logoff(kLogoff));
}

HOST_FUNCTION(M_LOGOFFX)
{
    (void)pb;
    ReturnLogical(logoff(kLogoff | kForce));
}

HOST_FUNCTION(M_DOWN)
{
    (void)pb;
    ReturnLogical(endSystem(kShutdown));
}

HOST_FUNCTION(M_DOWNX)
{
    (void)pb;
    ReturnLogical(endSystem(kShutdown | kForce));
}

HOST_FUNCTION(M_REBOOT)
{
    (void)pb;
    ReturnLogical(endSystem(kReboot));
}

HOST_FUNCTION(M_REBOOTX)
{
    (void)pb;
    ReturnLogical(endSystem(kReboot | kForce));
}

HOST_FUNCTION(M_PWROFF)
{
    (void)pb;
    ReturnLogical(endSystem(kPowerOff));
}

HOST_FUNCTION(M_PWROFFX)
{
    (void)pb;
    ReturnLogical(endSystem(kPowerOff | kForce));
}
