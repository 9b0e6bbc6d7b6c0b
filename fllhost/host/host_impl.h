// The inside of Host, shared by host.cpp (loading, calls, tables) and
// services.cpp (the callback and its service handlers).
#pragma once

#include <map>
#include <mutex>

#include "hiddenwindow.h"
#include "host.h"
#include "library.h"
#include "tables.h"

namespace fllhost {

// The host's own folder under the Windows temporary folder; removed, with
// the files in it, when the host goes.
class WorkFolder {
  public:
    WorkFolder();
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// A handle the library handed over with a result, and the block it held then.
struct HeldHandle {
    uint32_t handle;
    uint32_t block;
};

// One library call in progress on this thread: where its services are
// recorded, and the handles the host holds until the call has returned.
struct ActiveCall {
    Host::Impl* host;
    CallResult* result;
    ActiveCall* outer;
    std::vector<HeldHandle> held;
};

struct Host::Impl {
    Impl(Host& self, uint16_t handleCapacity, uint16_t slotCapacity);

    // This thread's tables, made on first use; message 0 goes to the library
    // whenever another host (or none) spoke to it last on this thread.
    ThreadTables& tables();
    const ThreadTables* findTables() const;
    void bind();
    void dispatch(abi::HostMessage& m);
    // Calls a routine of the library with no parameters (message 1).
    CallResult callRoutine(abi::HostFunction entry);
    void freeHandle(uint32_t handle);
    // After a call has returned: frees the handles the host held for it and
    // looks at this thread's table guards; a breach goes to fault().
    void settle(ActiveCall& call);
    void fault(const std::string& what);
    void print(const std::string& text);

    Host& self;
    uint64_t id; // a new one after each unload, so that threads bind again
    const uint16_t handleCapacity;
    const uint16_t slotCapacity;

    WorkFolder folder;
    Library library;
    std::vector<Host::Function> functions;
    std::vector<abi::HostFunction> onUnload;
    Variables variables;
    FileChannels files;
    WorkAreas workAreas; // after files: its memo channels are closed through them
    TextWindows windows;
    HiddenWindow window;

    mutable std::mutex mutex; // threads, output
    std::map<DWORD, std::unique_ptr<ThreadTables>> threads;
    std::string output;
    bool echo = false;
};

// The callback handed to the library with message 0.
void HOST_CALL HostCallback(abi::HostRequest* request);

// Performs a service for the innermost active call of this thread.
void Serve(Host::Impl& host, abi::HostRequest& request, CallResult& result);

// Turns a HostValue the library returned into a Value, reading a text from
// its handle (which stays where it is).
Value TakeResult(Host::Impl& host, const abi::HostValue& v);

// Makes the HostValue of an argument; false when no handle could be made for a text.
bool MakeArgument(Host::Impl& host, const Value& value, abi::HostValue& out);

} // namespace fllhost
