// The stand-in FoxPro host: loads an extension library (.fll), drives its
// DispatchAPI, keeps the tables each calling thread hands to it, calls its
// functions by name after checking the arguments against the function
// table, and performs the services the library asks of the host.
//
// One Host may be used from several threads at once: each thread gets its
// own HandleTable and SlotTable (sent with message 0 before the thread's
// first call); variables, work areas, file channels and windows are shared.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/abi.h"

#include "filechannels.h"
#include "textwindows.h"
#include "value.h"
#include "variables.h"
#include "workareas.h"

namespace fllhost {

class Host {
  public:
    explicit Host(uint16_t handleCapacity = 1024, uint16_t slotCapacity = 256);
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // Loads the library and reads its function table on the calling thread,
    // then calls the table's CALLONLOAD routines there. An error one of them
    // raises fails the load: the library is freed again.
    bool load(const std::string& path, std::string* error = nullptr);
    bool loaded() const;
    // Calls the CALLONUNLOAD routines on the calling thread and frees the
    // library (the destructor does so too).
    void unload();

    struct Function {
        std::string name;
        uint16_t count = 0;
        std::string types;
        abi::HostFunction entry = nullptr;
    };
    // The rows a program may call by name: INTERNAL, CALLONLOAD and
    // CALLONUNLOAD rows (any negative count) are not among them.
    const std::vector<Function>& functions() const;
    const Function* find(const std::string& name) const; // any case; null when unknown
    const abi::TableHeader* header() const;
    uint32_t version() const;

    // Calls a library function by name. Arguments are checked against the
    // row first; a mismatch is refused (CallResult::refused) without a call.
    CallResult call(const std::string& name, const std::vector<Value>& args);

    // Raw DispatchAPI on this thread (message 0 is sent first if needed).
    void send(abi::HostMessage& m);

    // This thread's tables.
    abi::HandleTable& handles();
    abi::SlotTable& slots();
    int handlesInUse() const; // entries in use in this thread's HandleTable

    // Tests: called first for every service request; true = handled.
    std::function<bool(abi::HostRequest&)> serviceHook;

    // A library that breaks the host's rules (frees or replaces a handle it
    // handed over with a result, or changes what lies past the last entry of
    // the HandleTable or SlotTable) stops the process once the call has
    // returned: the diagnostic goes to standard error, the exit status is
    // kFaultStatus. Tests of these checks take the diagnostics here instead,
    // and the run goes on.
    std::function<void(const std::string&)> onFault;
    static constexpr unsigned kFaultStatus = 3;

    // PutText text, captured (and echoed to standard output when echo is on).
    std::string& output();
    void setEcho(bool echo);

    Variables& variables();
    WorkAreas& workAreas();
    FileChannels& files();
    TextWindows& windows();

    // The host's own folder (memo files live there); removed with the host.
    const std::string& workFolder() const;
    // The Windows handle behind HostWindow (a hidden window), made on first use.
    void* nativeWindow();

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

} // namespace fllhost
