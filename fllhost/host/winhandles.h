// Owners of the Windows handles the stand-in host uses: one small
// non-copyable type per handle kind.
#pragma once

#include <utility>
#include <windows.h>

namespace fllhost {

// A kernel file handle from CreateFile.
class FileHandle {
  public:
    FileHandle() = default;
    explicit FileHandle(HANDLE h) : h_(h) {}
    ~FileHandle()
    {
        if (valid())
            CloseHandle(h_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    FileHandle(FileHandle&& o) noexcept : h_(std::exchange(o.h_, INVALID_HANDLE_VALUE)) {}
    FileHandle& operator=(FileHandle&& o) noexcept
    {
        std::swap(h_, o.h_);
        return *this;
    }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    HANDLE get() const { return h_; }

  private:
    HANDLE h_ = INVALID_HANDLE_VALUE;
};

// A directory search from FindFirstFile.
class FindHandle {
  public:
    explicit FindHandle(HANDLE h) : h_(h) {}
    ~FindHandle()
    {
        if (valid())
            FindClose(h_);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }

  private:
    HANDLE h_;
};

// A timer of the calling thread (SetTimer without a window). Its WM_TIMER
// messages keep the thread's message queue moving, as a host's own windows do.
class ThreadTimer {
  public:
    explicit ThreadTimer(UINT milliseconds) : id_(SetTimer(nullptr, 0, milliseconds, nullptr)) {}
    ~ThreadTimer()
    {
        if (id_)
            KillTimer(nullptr, id_);
    }
    ThreadTimer(const ThreadTimer&) = delete;
    ThreadTimer& operator=(const ThreadTimer&) = delete;

  private:
    UINT_PTR id_;
};

// A module from LoadLibrary.
class ModuleHandle {
  public:
    ModuleHandle() = default;
    explicit ModuleHandle(HMODULE h) : h_(h) {}
    ~ModuleHandle()
    {
        if (h_)
            FreeLibrary(h_);
    }
    ModuleHandle(const ModuleHandle&) = delete;
    ModuleHandle& operator=(const ModuleHandle&) = delete;
    ModuleHandle(ModuleHandle&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
    ModuleHandle& operator=(ModuleHandle&& o) noexcept
    {
        std::swap(h_, o.h_);
        return *this;
    }
    HMODULE get() const { return h_; }

  private:
    HMODULE h_ = nullptr;
};

// A locked moveable global memory block: the lock lasts as long as this.
class GlobalLockGuard {
  public:
    explicit GlobalLockGuard(HGLOBAL block) : block_(block), p_(block ? GlobalLock(block) : nullptr)
    {
    }
    ~GlobalLockGuard()
    {
        if (p_)
            GlobalUnlock(block_);
    }
    GlobalLockGuard(const GlobalLockGuard&) = delete;
    GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
    char* get() const { return static_cast<char*>(p_); }

  private:
    HGLOBAL block_;
    void* p_;
};

} // namespace fllhost
