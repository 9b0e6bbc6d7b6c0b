// The stand-in host: loading, per-thread tables, binding threads to the
// library with message 0, and calls by name with a parameter block built
// inline in the message.
#include <atomic>
#include <cstdio>

#include "host_impl.h"
#include "signature.h"

namespace fllhost {

extern thread_local ActiveCall* tActive;

namespace {

std::atomic<uint64_t> gNextHostId{1};

// Which host spoke last to each library on this thread (by host id: an
// address could be reused by a later host). Plain data, with nothing to run
// at thread exit: a thread_local std::map was destroyed there from the
// runtime's list of thread-exit destructors, and in threaded tests through
// qemu-user that destructor met a map whose emulated-TLS storage no longer
// held it (a crash as the threads ended). Forgetting a binding when more
// libraries than this array holds are used on one thread costs only
// another message 0.
struct Binding {
    HMODULE module;
    uint64_t host;
};
constexpr size_t kBindings = 8;
thread_local Binding tBound[kBindings];
thread_local size_t tNextBinding;

uint64_t& BoundHost(HMODULE module)
{
    for (Binding& b : tBound)
        if (b.module == module)
            return b.host;
    Binding& b = tBound[tNextBinding++ % kBindings];
    b = {module, 0};
    return b.host;
}

// Makes a call the innermost active one of this thread for its lifetime.
class ActiveScope {
  public:
    ActiveScope(Host::Impl& host, CallResult& result) : call_{&host, &result, tActive, {}}
    {
        tActive = &call_;
    }
    ~ActiveScope()
    {
        tActive = call_.outer;
        call_.host->settle(call_);
    }
    ActiveScope(const ActiveScope&) = delete;
    ActiveScope& operator=(const ActiveScope&) = delete;

  private:
    ActiveCall call_;
};

// The handles made for a call's text arguments, freed after the call.
class ArgumentHandles {
  public:
    explicit ArgumentHandles(Host::Impl& host) : host_(host) {}
    ~ArgumentHandles()
    {
        for (uint32_t h : handles_)
            host_.freeHandle(h);
    }
    ArgumentHandles(const ArgumentHandles&) = delete;
    ArgumentHandles& operator=(const ArgumentHandles&) = delete;
    void keep(uint32_t handle)
    {
        if (handle)
            handles_.push_back(handle);
    }

  private:
    Host::Impl& host_;
    std::vector<uint32_t> handles_;
};

std::string upper(std::string s)
{
    return Variables::normalize(s);
}

} // namespace

WorkFolder::WorkFolder()
{
    static std::atomic<unsigned> serial{0};
    char temp[MAX_PATH + 1] = "";
    GetTempPathA(sizeof temp, temp);
    std::string base = std::string(temp) + "fllhost_" + std::to_string(GetCurrentProcessId()) + "_";
    for (unsigned tries = 0; tries < 1000 && path_.empty(); ++tries) {
        std::string p = base + std::to_string(GetTickCount()) + "_" + std::to_string(serial++);
        if (CreateDirectoryA(p.c_str(), nullptr))
            path_ = p;
    }
}

WorkFolder::~WorkFolder()
{
    if (path_.empty())
        return;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path_ + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileA((path_ + "\\" + found.cFileName).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path_.c_str());
}

Host::Impl::Impl(Host& owner, uint16_t handles, uint16_t slots)
    : self(owner), id(gNextHostId++), handleCapacity(handles), slotCapacity(slots),
      workAreas(folder.path())
{
    workAreas.onChannelDropped = [this](int channel) { files.close(channel); };
}

ThreadTables& Host::Impl::tables()
{
    std::lock_guard<std::mutex> lock(mutex);
    auto& t = threads[GetCurrentThreadId()];
    if (!t)
        t = std::make_unique<ThreadTables>(handleCapacity, slotCapacity);
    return *t;
}

const ThreadTables* Host::Impl::findTables() const
{
    std::lock_guard<std::mutex> lock(mutex);
    auto it = threads.find(GetCurrentThreadId());
    return it == threads.end() ? nullptr : it->second.get();
}

void Host::Impl::bind()
{
    if (!library.loaded())
        return;
    if (BoundHost(library.module()) == id)
        return;
    ThreadTables& t = tables();
    abi::HostMessage m{};
    m.code = abi::kMsgLoad;
    m.value1 = reinterpret_cast<uint32_t>(&t.handles());
    m.value2 = reinterpret_cast<uint32_t>(&t.slots());
    m.function = reinterpret_cast<uint32_t>(&HostCallback);
    library.dispatch(m);
    BoundHost(library.module()) = id;
}

void Host::Impl::dispatch(abi::HostMessage& m)
{
    bind();
    if (library.loaded())
        library.dispatch(m);
}

void Host::Impl::freeHandle(uint32_t handle)
{
    abi::HostMessage m{};
    m.code = abi::kMsgFreeHandle;
    m.value1 = handle;
    dispatch(m);
}

void Host::Impl::settle(ActiveCall& call)
{
    ThreadTables* t = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex);
        auto it = threads.find(GetCurrentThreadId());
        if (it != threads.end())
            t = it->second.get();
    }
    for (const HeldHandle& h : call.held) {
        const uint32_t now = t ? t->block(h.handle) : 0;
        if (now == h.block)
            freeHandle(h.handle);
        else
            fault("the library " + std::string(now ? "replaced" : "freed") + " handle " +
                  std::to_string(h.handle) + ", which it had handed to the host with a result");
    }
    if (t) {
        const std::string damage = t->guardDamage();
        if (!damage.empty())
            fault(damage);
    }
}

void Host::Impl::fault(const std::string& what)
{
    if (self.onFault) {
        self.onFault(what);
        return;
    }
    std::fflush(stdout);
    std::fprintf(stderr, "fllhost: %s\n", what.c_str());
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), Host::kFaultStatus);
}

void Host::Impl::print(const std::string& text)
{
    std::lock_guard<std::mutex> lock(mutex);
    output += text;
    if (echo) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }
}

Host::Host(uint16_t handleCapacity, uint16_t slotCapacity)
    : impl_(std::make_unique<Impl>(*this, handleCapacity, slotCapacity))
{
}

CallResult Host::Impl::callRoutine(abi::HostFunction entry)
{
    CallResult result;
    abi::HostMessage m{};
    m.code = abi::kMsgCall;
    m.function = reinterpret_cast<uint32_t>(entry);
    ActiveScope scope(*this, result);
    dispatch(m);
    return result;
}

Host::~Host()
{
    // The library's unload routines may still use the tables and files;
    // they close before the folder goes.
    unload();
    impl_->workAreas.closeAll();
    impl_->files.closeAll();
}

bool Host::load(const std::string& path, std::string* error)
{
    if (!impl_->library.load(path, error))
        return false;
    std::vector<const FunctionRow*> onLoad;
    for (const FunctionRow& row : impl_->library.rows()) {
        if (row.count >= 0)
            impl_->functions.push_back(
                Function{row.name, static_cast<uint16_t>(row.count), row.types, row.entry});
        else if (row.count == kCallOnLoad)
            onLoad.push_back(&row);
        else if (row.count == kCallOnUnload)
            impl_->onUnload.push_back(row.entry);
    }
    impl_->bind();
    for (const FunctionRow* row : onLoad) {
        const CallResult r = impl_->callRoutine(row->entry);
        if (!r.raised())
            continue;
        if (error)
            *error = row->name + " stopped the load: " +
                     (r.userRaised ? r.userError : "error " + std::to_string(r.hostError));
        impl_->onUnload.clear();
        unload();
        return false;
    }
    return true;
}

void Host::unload()
{
    if (!impl_->library.loaded())
        return;
    for (abi::HostFunction entry : impl_->onUnload)
        impl_->callRoutine(entry);
    impl_->onUnload.clear();
    impl_->functions.clear();
    impl_->library.unload();
    impl_->id = gNextHostId++;
}

bool Host::loaded() const
{
    return impl_->library.loaded();
}

const std::vector<Host::Function>& Host::functions() const
{
    return impl_->functions;
}

const Host::Function* Host::find(const std::string& name) const
{
    const std::string wanted = upper(name);
    for (const Function& f : impl_->functions)
        if (f.name == wanted)
            return &f;
    return nullptr;
}

const abi::TableHeader* Host::header() const
{
    return impl_->library.header();
}

uint32_t Host::version() const
{
    return impl_->library.version();
}

CallResult Host::call(const std::string& name, const std::vector<Value>& args)
{
    CallResult result;
    const Function* f = find(name);
    if (!loaded())
        result.refused = "no library is loaded";
    else if (!f)
        result.refused =
            "function " + upper(name) + " is neither built into fllhost nor in the library";
    if (!result.refused.empty())
        return result;
    std::vector<Value> checked = args;
    result.refused = CheckArguments(f->name, f->count, f->types, checked);
    if (checked.size() > abi::kMaxParams)
        result.refused = f->name + ": too many arguments";
    if (!result.refused.empty())
        return result;

    abi::HostMessage m{};
    m.code = abi::kMsgCall;
    m.function = reinterpret_cast<uint32_t>(f->entry);
    m.params.count = static_cast<uint16_t>(checked.size());
    ActiveScope scope(*impl_, result);
    ArgumentHandles owned(*impl_);
    impl_->bind();
    for (size_t i = 0; i < checked.size(); ++i) {
        bool made = MakeArgument(*impl_, checked[i], m.params.param[i]);
        owned.keep(m.params.param[i].handle);
        if (!made) {
            result.refused = f->name + ": no handle left for argument " + std::to_string(i + 1);
            return result;
        }
    }
    impl_->dispatch(m);
    return result;
}

void Host::send(abi::HostMessage& m)
{
    CallResult scratch;
    ActiveScope scope(*impl_, scratch);
    impl_->dispatch(m);
    // A message 0 of the caller's own replaced this host's callback and
    // tables: the next call hands them over again.
    if (m.code == abi::kMsgLoad && impl_->library.loaded())
        BoundHost(impl_->library.module()) = 0;
}

abi::HandleTable& Host::handles()
{
    impl_->bind();
    return impl_->tables().handles();
}

abi::SlotTable& Host::slots()
{
    impl_->bind();
    return impl_->tables().slots();
}

int Host::handlesInUse() const
{
    const ThreadTables* t = impl_->findTables();
    return t ? t->handlesInUse() : 0;
}

std::string& Host::output()
{
    return impl_->output;
}

void Host::setEcho(bool echo)
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->echo = echo;
}

Variables& Host::variables()
{
    return impl_->variables;
}
WorkAreas& Host::workAreas()
{
    return impl_->workAreas;
}
FileChannels& Host::files()
{
    return impl_->files;
}
TextWindows& Host::windows()
{
    return impl_->windows;
}
const std::string& Host::workFolder() const
{
    return impl_->folder.path();
}
void* Host::nativeWindow()
{
    return impl_->window.handle();
}

} // namespace fllhost
