// The fuzzing driver: calls every host-callable function of both builds but
// the session-end ones, through the stand-in host, with hostile values of the
// kinds the function's row declares, and after every call checks that
//   - the call ended with exactly one result, or exactly one raised error
//     (M_SLEEP: no result),
//   - no entry of the HandleTable is left in use,
//   - nothing outside the sandbox changed (the listings of the prefix folder,
//     of C:\ and of the user's folder after each call, of C:\windows and its
//     system32 every 100 calls, all of drive C: at the start, every 50000
//     calls and at the end),
// and it reports a crash (an unhandled exception) or a call that does not end
// within a minute with the seed that makes it again.
//
// It runs only inside the sandbox of sandbox-prefix.sh. Waits are bounded:
// M_SLEEP gets pauses of 2 ms at most, M_INFO's wait is answered by the test
// at once (its time-out is only recorded), each key wait finds a message in
// the queue, and a key wait without a time limit gets its keys held down.
//
// Environment: FUZZ_CALLS (default 2500), FUZZ_SEED (default 20261207),
// FUZZ_ONLY (one call's number: that call alone, after the set-up),
// FUZZ_FUNCTIONS (names separated by commas: only these are called).
#include <gtest/gtest.h>
#include <windows.h>

#include <psapi.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <thread>

#include "host.h"
#include "inputs.h"
#include "watch.h"

using fllhost::CallResult;
using fllhost::Host;
using fllhost::Value;
using namespace reliability;

namespace {

constexpr DWORD kHangLimitMs = 60000;
constexpr uint64_t kResetEvery = 500;
constexpr uint64_t kWindowsCheckEvery = 100;
constexpr uint64_t kDeepCheckEvery = 50000;
constexpr int kMaxFindings = 25;

std::string Environment(const char* name)
{
    char value[4096] = {};
    const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n && n < sizeof value ? value : "";
}

uint64_t EnvironmentNumber(const char* name, uint64_t fallback)
{
    const std::string v = Environment(name);
    return v.empty() ? fallback : std::strtoull(v.c_str(), nullptr, 0);
}

// ---- What the crash filter and the watchdog report ------------------------------

std::string gCurrentCall;
std::atomic<DWORD> gCallStarted{0}; // tick count at the call's start; 0 between calls

void ReportAndEnd(const char* what, DWORD code)
{
    std::fprintf(stdout, "\nFINDING %s (code 0x%08lX) in %s\n", what, code, gCurrentCall.c_str());
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 3);
}

// abort() of the C runtime, which the library shares: std::terminate, an
// exception that left the library.
void AbortHandler(int)
{
    ReportAndEnd("crash: abort (an exception left its function?)", 0);
}

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* info)
{
    ReportAndEnd("crash: unhandled exception", info->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

class Watchdog {
  public:
    Watchdog()
        : thread_([this] {
              while (!stop_) {
                  Sleep(200);
                  const DWORD start = gCallStarted;
                  if (start && GetTickCount() - start > kHangLimitMs)
                      ReportAndEnd("hang: the call did not end within a minute", 0);
              }
          })
    {
    }
    ~Watchdog()
    {
        stop_ = true;
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

  private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// ---- Descriptions ------------------------------------------------------------------

// Texts are shown cut to 40 bytes, whole when a single call is made again.
size_t gShownLength = 40;

std::string Shown(const std::string& bytes)
{
    std::string s;
    for (size_t i = 0; i < bytes.size() && i < gShownLength; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            s += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            s += hex;
        }
    }
    return s + (bytes.size() > gShownLength ? "..." : "");
}

std::string Describe(const Value& v)
{
    switch (v.kind) {
    case Value::Kind::Character:
        return "\"" + Shown(v.text) + "\"(" + std::to_string(v.text.size()) + ")";
    case Value::Kind::Integer:
        return std::to_string(v.integer);
    case Value::Kind::Number:
        return std::to_string(v.number);
    case Value::Kind::Logical:
        return v.logical ? ".T." : ".F.";
    case Value::Kind::Reference:
        return v.area ? "@" + std::to_string(v.area) + "." + v.name : "@" + v.name;
    default:
        return "(none)";
    }
}

std::string DescribeCall(const std::string& name, const std::vector<Value>& args)
{
    std::string s = name + "(";
    for (size_t i = 0; i < args.size(); ++i)
        s += (i ? ", " : "") + Describe(args[i]);
    return s + ")";
}

// What a call gave, for the outcome table of the report.
std::string Outcome(const CallResult& r)
{
    if (r.hostError)
        return "error " + std::to_string(r.hostError);
    if (r.userRaised)
        return "message \"" + Shown(r.userError) + "\"";
    switch (r.value.kind) {
    case Value::Kind::Character:
        return r.value.text.empty() ? "\"\"" : "text";
    case Value::Kind::Integer:
        return r.value.integer == 0 ? "0" : r.value.integer < 0 ? "negative" : "positive";
    case Value::Kind::Number:
        return r.value.number == 0 ? "0" : r.value.number < 0 ? "negative" : "positive";
    case Value::Kind::Logical:
        return r.value.logical ? ".T." : ".F.";
    default:
        return "no result";
    }
}

// ---- The sandbox's files and the host's variables and tables ---------------------

void RemoveContents(const std::string& dir)
{
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = fd.cFileName;
        if (name == "." || name == "..")
            continue;
        const std::string path = dir + "\\" + name;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            RemoveContents(path);
            RemoveDirectoryA(path.c_str());
        } else {
            DeleteFileA(path.c_str());
        }
    } while (FindNextFileA(find, &fd));
    FindClose(find);
}

void Write(const std::string& path, const std::string& bytes)
{
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(f);
}

std::string Pattern(size_t n, uint32_t seed)
{
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        s[i] = static_cast<char>(seed >> 16);
    }
    return s;
}

struct Layout {
    std::string work;  // D:\work: everything that writes
    std::string out;   // D:\out: destinations of copies and moves
    std::string files; // D:\files: files to read
};

// The work folder and the diskettes emptied and laid out again, so that the
// writers find files and folders to work on and the sandbox cannot grow.
void LayOut(const Layout& l)
{
    RemoveContents(l.work);
    RemoveContents(l.out);
    RemoveContents("A:");
    RemoveContents("B:");
    CreateDirectoryA(l.work.c_str(), nullptr);
    CreateDirectoryA(l.out.c_str(), nullptr);
    for (const char* dir : {"\\sub", "\\deep", "\\deep\\er"})
        CreateDirectoryA((l.out + dir).c_str(), nullptr);
    for (const char* dir : {"\\sub", "\\deep", "\\deep\\er", "\\empty"})
        CreateDirectoryA((l.work + dir).c_str(), nullptr);
    Write(l.work + "\\a.txt", "alpha");
    Write(l.work + "\\sub\\b.bin", Pattern(3000, 2));
    Write(l.work + "\\deep\\er\\c.dat", Pattern(70000, 3));
    Write("A:\\disk.txt", "on the diskette");
    CreateDirectoryA("B:\\folder", nullptr);
    Write("B:\\folder\\inner.txt", "inner");
    SetFileAttributesA("B:\\folder\\inner.txt", FILE_ATTRIBUTE_READONLY);
}

void LayOutFiles(const Layout& l)
{
    CreateDirectoryA(l.files.c_str(), nullptr);
    const size_t sizes[] = {0, 1, 10240, 10241, 100000, 5};
    for (int i = 0; i < 6; ++i)
        Write(l.files + "\\f" + std::to_string(i), Pattern(sizes[i], 10 + i));
}

ReferenceTargets Targets()
{
    ReferenceTargets t;
    t.variables = {"CTEXT", "CEMPTY", "CBIG", "NUMV", "INTV", "LOGV"};
    t.missing = {"NOSUCH", "M_MISSING"};
    t.areas = {1, 2, 3, 5};
    t.fields = {"NOTES", "BLOB", "NOPE"};
    return t;
}

void Prepare(Host& host, Rng& rng)
{
    // The host keeps a record of every text window M_INFO makes and of every
    // message shown; neither is the library's memory.
    host.windows().clear();
    host.output().clear();
    auto& v = host.variables();
    v.set("CTEXT", Value::Text(Pattern(rng.between(1, 300), 7)));
    v.set("CEMPTY", Value::Text(""));
    v.set("CBIG", Value::Text(Pattern(65536, 8)));
    v.set("NUMV", Value::Num(12.5, 1));
    v.set("INTV", Value::Int(-7));
    v.set("LOGV", Value::Bool(true));
    auto& w = host.workAreas();
    w.create(1, 5, {"NOTES", "BLOB"});
    w.create(2, 0, {"NOTES"});
    w.create(3, 25, {"NOTES"});
    w.shuffle(3, 3);
    w.create(4, 150);
    w.shuffle(4, 4);
    w.create(5, 1, {"BLOB"});
    for (int area : {1, 3, 5})
        for (int record = 1; record <= w.recordCount(area); ++record)
            for (const std::string& field : w.memoFields(area))
                w.writeMemo(area, record, field, Pattern(rng.below(2000), record));
}

// ---- Guards around one call --------------------------------------------------------

// A key wait takes one message from the queue per round: one is posted. A wait
// without a time limit ends only when its keys are held: they are, or it is
// given a time-out of 0 when a key has no place in the key table. Most waits
// find their keys held (each round of a wait that does not lasts 100 ms).
void GuardKeyWait(std::vector<Value>& args, Rng& rng)
{
    PostThreadMessageA(GetCurrentThreadId(), WM_USER, 0, 0);
    Value& timeout = args.back();
    if (timeout.integer >= 0 && rng.oneIn(16))
        return;
    BYTE state[256] = {};
    for (size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i].integer < 0 || args[i].integer > 255) {
            timeout.integer = 0;
            return;
        }
        state[args[i].integer] = 0x80;
    }
    SetKeyboardState(state);
}

void AfterKeyWait()
{
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
    BYTE state[256] = {};
    SetKeyboardState(state);
}

// ---- The run -----------------------------------------------------------------------

struct Library {
    std::string file;
    std::unique_ptr<Host> host;
};

class FuzzRun {
  public:
    FuzzRun(const Layout& layout, uint64_t seed, const std::string& libraries)
        : layout_(layout), seed_(seed)
    {
        for (const char* file : {"marvo32.fll", "marvo32w9.fll"}) {
            Library l{file, std::make_unique<Host>()};
            std::string error;
            if (!l.host->load(libraries + "\\" + file, &error))
                ADD_FAILURE() << "cannot load " << file << ": " << error;
            l.host->serviceHook = [](abi::HostRequest& q) {
                return q.code == abi::kSvcTimedWait; // answered at once
            };
            libraries_.push_back(std::move(l));
        }
        const std::string only = "," + Environment("FUZZ_FUNCTIONS") + ",";
        for (const auto& f : libraries_[0].host->functions()) {
            if (EndsTheSession(f.name))
                continue;
            if (only != ",," && only.find("," + f.name + ",") == std::string::npos)
                continue;
            auto recipe = Recipes().find(f.name);
            if (recipe == Recipes().end()) {
                ADD_FAILURE() << "no recipe for " << f.name;
                continue;
            }
            for (int i = 0; i < recipe->second.weight; ++i)
                wheel_.push_back(f.name);
            names_.insert(f.name);
        }
    }

    void reset(uint64_t index)
    {
        Rng rng(CallSeed(seed_, index) ^ 0x5EED);
        LayOut(layout_);
        for (Library& l : libraries_)
            Prepare(*l.host, rng);
    }

    const std::set<std::string>& names() const { return names_; }

    // Makes and checks call `index`; returns the finding, "" when none.
    std::string call(uint64_t index)
    {
        Rng rng(CallSeed(seed_, index));
        Inputs in(rng, layout_.work, layout_.out, layout_.files, Targets());
        const std::string& name = wheel_[rng.below(static_cast<uint32_t>(wheel_.size()))];
        Library& lib = libraries_[rng.oneIn(8) ? 1 : 0];
        Host& host = *lib.host;
        const Recipe& recipe = Recipes().at(name);
        std::vector<Value> args = recipe.arguments(in);
        if (rng.oneIn(4)) // the record pointer anywhere, at the ends too
            host.workAreas().skip(rng.between(1, 5), static_cast<int>(rng.below(200)) - 100);
        if (recipe.guard == Guard::KeyWait)
            GuardKeyWait(args, rng);

        gCurrentCall = "call #" + std::to_string(index) + " of the run with seed " +
                       std::to_string(seed_) + " (" + lib.file + "): " + DescribeCall(name, args);
        const int handlesBefore = host.handlesInUse();
        const DWORD start = GetTickCount();
        gCallStarted = start ? start : 1;
        const CallResult r = host.call(name, args);
        gCallStarted = 0;
        ++calls_;
        milliseconds_[name] += GetTickCount() - start;
        if (recipe.guard == Guard::KeyWait)
            AfterKeyWait();

        outcomes_[name][Outcome(r)]++;
        std::string finding = check(r, recipe, handlesBefore, host.handlesInUse());
        if (!finding.empty())
            finding = gCurrentCall + ": " + finding;
        return finding;
    }

    std::string deepCheck()
    {
        const TreeSummary now = SummariseTree("C:");
        if (!(now == driveC_)) {
            driveC_ = now;
            return "drive C: changed (" + std::to_string(now.entries) + " entries now)";
        }
        return "";
    }
    void takeDriveC() { driveC_ = SummariseTree("C:"); }

    uint64_t calls() const { return calls_; }
    const std::map<std::string, std::map<std::string, uint64_t>>& outcomes() const
    {
        return outcomes_;
    }
    const std::map<std::string, uint64_t>& milliseconds() const { return milliseconds_; }
    Watch& watch() { return *watch_; }
    void watchOutside(std::vector<WatchedFolder> folders)
    {
        watch_ = std::make_unique<Watch>(std::move(folders));
    }

  private:
    std::string check(const CallResult& r, const Recipe& recipe, int before, int after)
    {
        if (!r.refused.empty())
            return "the host refused the call: " + r.refused;
        int raises = 0;
        for (uint32_t code : r.services)
            raises += code == abi::kSvcRaiseHostError || code == abi::kSvcRaiseUserError;
        const int wanted = recipe.guard == Guard::Pause ? 0 : 1;
        if (raises > 1 || (raises == 1 && r.results != 0))
            return std::to_string(raises) + " raised errors and " + std::to_string(r.results) +
                   " results";
        if (raises == 0 && r.results != wanted)
            return std::to_string(r.results) + " results, " + std::to_string(wanted) + " wanted";
        if (after != before)
            return std::to_string(after - before) + " handle(s) left in use";
        if (watch_) {
            const std::string changed = watch_->changed();
            if (!changed.empty()) {
                watch_->rebase();
                return "outside the sandbox: " + changed;
            }
        }
        return "";
    }

    Layout layout_;
    uint64_t seed_;
    std::vector<Library> libraries_;
    std::vector<std::string> wheel_;
    std::set<std::string> names_;
    std::map<std::string, std::map<std::string, uint64_t>> outcomes_;
    std::map<std::string, uint64_t> milliseconds_;
    std::unique_ptr<Watch> watch_;
    TreeSummary driveC_;
    uint64_t calls_ = 0;
};

size_t MemoryInUse()
{
    PROCESS_MEMORY_COUNTERS c{};
    c.cb = sizeof c;
    GetProcessMemoryInfo(GetCurrentProcess(), &c, sizeof c);
    return c.PagefileUsage;
}

TEST(Fuzz, EveryFunctionWithHostileValues)
{
    const std::string work = Environment("SANDBOX_WORK");
    const std::string libraries = Environment("SANDBOX_LIBRARIES");
    const std::string prefix = Environment("SANDBOX_PREFIX");
    if (work.empty() || libraries.empty())
        GTEST_SKIP() << "runs only in the sandbox of sandbox-prefix.sh";
    const uint64_t seed = EnvironmentNumber("FUZZ_SEED", 20261207);
    const uint64_t calls = EnvironmentNumber("FUZZ_CALLS", 2500);
    const std::string only = Environment("FUZZ_ONLY");

    const std::string drive = work.substr(0, work.rfind('\\'));
    const Layout layout{work, drive + "\\out", drive + "\\files"};
    LayOutFiles(layout);
    SetCurrentDirectoryA(layout.work.c_str());
    FuzzRun run(layout, seed, libraries);
    ASSERT_FALSE(HasFailure());

    char profile[MAX_PATH] = {};
    GetEnvironmentVariableA("USERPROFILE", profile, sizeof profile);
    std::vector<WatchedFolder> outside = {{"C:", false}, {profile, false}};
    if (!prefix.empty())
        outside.push_back({prefix, true});
    run.reset(0);
    run.watchOutside(outside);
    run.takeDriveC();
    Watch windows({{"C:\\windows", true}, {"C:\\windows\\system32", true}});

    SetUnhandledExceptionFilter(CrashFilter);
    std::signal(SIGABRT, AbortHandler);
    Watchdog watchdog;
    std::vector<std::string> findings;
    const size_t memoryBefore = MemoryInUse();
    const auto started = std::chrono::steady_clock::now();
    const uint64_t first = only.empty() ? 0 : std::strtoull(only.c_str(), nullptr, 0);
    if (!only.empty())
        gShownLength = 100000;
    const uint64_t last = only.empty() ? calls : first + 1;
    for (uint64_t i = first; i < last && findings.size() < kMaxFindings; ++i) {
        if (i % kResetEvery == 0 && i != 0) {
            run.reset(i);
            run.watch().rebase();
        }
        std::string finding = run.call(i);
        if (!only.empty())
            std::printf("%s\n", gCurrentCall.c_str());
        if (finding.empty() && (i + 1) % kWindowsCheckEvery == 0)
            if (!(finding = windows.changed()).empty())
                finding += " (within the 100 calls up to #" + std::to_string(i) + ")";
        if (finding.empty() && (i + 1) % kDeepCheckEvery == 0)
            if (!(finding = run.deepCheck()).empty())
                finding += " (within the calls up to #" + std::to_string(i) + ")";
        if (!finding.empty()) {
            std::printf("FINDING %s\n", finding.c_str());
            std::fflush(stdout);
            findings.push_back(finding);
        }
        if ((i + 1) % 100000 == 0) {
            std::printf("fuzz: %llu calls, memory in use %zu KiB\n",
                        static_cast<unsigned long long>(i + 1), MemoryInUse() / 1024);
            std::fflush(stdout);
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    RemoveContents(layout.work);
    RemoveContents(layout.out);
    const std::string driveC = run.deepCheck();
    if (!driveC.empty())
        findings.push_back("at the end: " + driveC);

    std::printf("\nOutcomes by function (calls):\n");
    for (const auto& [name, outcomes] : run.outcomes()) {
        std::printf("  %-12s %6llu ms:", name.c_str(),
                    static_cast<unsigned long long>(run.milliseconds().at(name)));
        for (const auto& [outcome, count] : outcomes)
            std::printf(" %s x%llu;", outcome.c_str(), static_cast<unsigned long long>(count));
        std::printf("\n");
    }
    std::printf("\nfuzz: seed %llu, %llu calls of %zu functions in %.1f s: %.0f calls/s; "
                "memory in use %zu KiB before, %zu KiB after; %zu finding(s)\n",
                static_cast<unsigned long long>(seed), static_cast<unsigned long long>(run.calls()),
                run.names().size(), seconds, run.calls() / (seconds > 0 ? seconds : 1),
                memoryBefore / 1024, MemoryInUse() / 1024, findings.size());
    EXPECT_EQ(run.outcomes().size(),
              only.empty() && calls >= 2000 ? run.names().size() : run.outcomes().size())
        << "some functions were never called";
    for (const std::string& f : findings)
        ADD_FAILURE() << f;
}

} // namespace

// The driver's own main: GoogleTest must not catch a crash in a test body,
// so that the crash filter reports it with the call that caused it.
int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    GTEST_FLAG_SET(catch_exceptions, false);
    return RUN_ALL_TESTS();
}
