// A Win32 critical section and its scoped lock. The library is built with the
// compiler's win32 thread model, whose runtime has no std::mutex; these need
// nothing newer than Windows 95.
#pragma once

#include <windows.h>

namespace marvo {

class CriticalSection {
  public:
    CriticalSection() { InitializeCriticalSection(&cs_); }
    ~CriticalSection() { DeleteCriticalSection(&cs_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void enter() { EnterCriticalSection(&cs_); }
    void leave() { LeaveCriticalSection(&cs_); }

  private:
    CRITICAL_SECTION cs_;
};

class Locked {
  public:
    explicit Locked(CriticalSection& cs) : cs_(cs) { cs_.enter(); }
    ~Locked() { cs_.leave(); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

  private:
    CriticalSection& cs_;
};

} // namespace marvo
