// The host's handling of a library's CALLONLOAD, CALLONUNLOAD and INTERNAL
// rows (parameter counts -2, -3 and -1, read as signed), with rowlib.fll, a
// library of these tests' own: the load routine runs once the thread's
// tables are handed over, the unload routine before the library goes, and
// none of those rows is listed or callable by name. Through the Host and
// through fllhost.exe.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "host.h"
#include "runhost.h"

using fllhost::CallResult;
using fllhost::Host;
using fllhost::Value;

namespace {

const std::string kRowlib = ROWLIB;
const std::string kLoaded = "ONLOAD ran with 0 parameters\n";

// loads * 100 + unloads * 10 + calls of HIDDEN, in this process.
int32_t State(Host& host)
{
    CallResult r = host.call("STATE", {});
    EXPECT_FALSE(r.failed()) << r.refused;
    return r.value.integer;
}

bool ModuleLoaded()
{
    return GetModuleHandleA(kRowlib.c_str()) != nullptr;
}

// A row's entry, found by name in the library's chained tables.
uint32_t Entry(const Host& host, const std::string& name)
{
    for (const abi::TableHeader* t = host.header(); t; t = t->next)
        for (uint16_t i = 0; i < t->count; ++i)
            if (name == t->rows[i].name)
                return reinterpret_cast<uint32_t>(t->rows[i].entry);
    return 0;
}

TEST(LibraryRows, TheLoadRoutineRunsOnceTheTablesAreHandedOver)
{
    Host host;
    ASSERT_TRUE(host.load(kRowlib));
    // It could speak to the host: the callback was already handed over.
    EXPECT_EQ(host.output(), kLoaded);
    EXPECT_EQ(State(host), 100);
}

TEST(LibraryRows, InternalAndHostRoutinesAreNeitherListedNorCallable)
{
    Host host;
    ASSERT_TRUE(host.load(kRowlib));
    ASSERT_EQ(host.functions().size(), 1u);
    EXPECT_EQ(host.functions()[0].name, "STATE");
    for (const char* name : {"HIDDEN", "ONLOAD", "ONUNLOAD"}) {
        EXPECT_EQ(host.find(name), nullptr) << name;
        EXPECT_EQ(host.call(name, {}).refused,
                  std::string("function ") + name +
                      " is neither built into fllhost nor in the library");
    }
    EXPECT_EQ(State(host), 100) << "none of them ran again";
    EXPECT_EQ(host.output(), kLoaded);
}

TEST(LibraryRows, TheUnloadRoutineRunsBeforeTheLibraryGoes)
{
    Host host;
    ASSERT_TRUE(host.load(kRowlib));
    host.unload();
    EXPECT_EQ(host.output(), kLoaded + "ONUNLOAD ran\n");
    EXPECT_FALSE(host.loaded());
    EXPECT_FALSE(ModuleLoaded());
    EXPECT_TRUE(host.functions().empty());
    host.unload();
    EXPECT_EQ(host.output(), kLoaded + "ONUNLOAD ran\n") << "once only";

    // Loaded again, it starts afresh and runs its load routine again.
    host.output().clear();
    ASSERT_TRUE(host.load(kRowlib));
    EXPECT_EQ(host.output(), kLoaded);
    EXPECT_EQ(State(host), 100);
}

TEST(LibraryRows, AnErrorOfTheLoadRoutineFailsTheLoad)
{
    SetEnvironmentVariableA("ROWLIB_REFUSE", "1");
    Host host;
    std::string error;
    const bool loaded = host.load(kRowlib, &error);
    SetEnvironmentVariableA("ROWLIB_REFUSE", nullptr);
    EXPECT_FALSE(loaded);
    EXPECT_EQ(error, "ONLOAD stopped the load: error 1234");
    EXPECT_FALSE(host.loaded());
    EXPECT_FALSE(ModuleLoaded());
    EXPECT_EQ(host.output(), kLoaded) << "no unload routine for a library never loaded";
}

struct Breach {
    const char* routine;
    const char* diagnostic; // null: none
};

// Run by the host with message 1, as a call of the library's would be.
TEST(LibraryRows, TheHostNamesWhatALibraryBrokeOnceTheCallHasReturned)
{
    const Breach rows[] = {
        {"STATE", nullptr},
        {"GIVEBACK", "the library freed handle 1, which it had handed to the host with a result"},
        {"PASTHANDLES",
         "the library emptied the word after the HandleTable's last entry (capacity 8)"},
        {"PASTSLOTS", "the library changed the word after the SlotTable's last entry (capacity 4)"},
    };
    for (const Breach& b : rows) {
        Host host(8, 4);
        std::vector<std::string> faults;
        host.onFault = [&faults](const std::string& what) { faults.push_back(what); };
        ASSERT_TRUE(host.load(kRowlib));
        abi::HostMessage m{};
        m.code = abi::kMsgCall;
        m.function = Entry(host, b.routine);
        ASSERT_NE(m.function, 0u) << b.routine;
        host.send(m);
        EXPECT_EQ(faults, b.diagnostic ? std::vector<std::string>{b.diagnostic}
                                       : std::vector<std::string>{})
            << b.routine;
        faults.clear();
        EXPECT_FALSE(host.call("STATE", {}).failed()) << b.routine;
        EXPECT_EQ(faults, std::vector<std::string>{}) << b.routine << ": the guards are set afresh";
    }
}

TEST(LibraryRowsExe, ListingAndScripts)
{
    using testing_support::RunFllhost;
    testing_support::HostRun list = RunFllhost({"--list", kRowlib});
    EXPECT_EQ(list.output, kLoaded + "STATE 0 \"\"\nONUNLOAD ran\n");
    EXPECT_EQ(list.status, 0u);

    testing_support::HostRun run = RunFllhost({"-e", "SET LIBRARY TO " + kRowlib, "-e", "? STATE()",
                                               "-e", "= HIDDEN()", "-e", "? 'still here'"});
    // ? starts a new line: after the load routine's own line end, a blank one.
    EXPECT_EQ(
        run.output,
        kLoaded +
            "\n100\nError: function HIDDEN is neither built into fllhost nor in the library\n" +
            "still here\nONUNLOAD ran\n");
    EXPECT_EQ(run.status, 1u);

    // SET LIBRARY TO without a name releases the library there and then.
    testing_support::HostRun released =
        RunFllhost({"-e", "SET LIBRARY TO " + kRowlib, "-e", "SET LIBRARY TO", "-e", "? 1"});
    EXPECT_EQ(released.output, kLoaded + "ONUNLOAD ran\n\n1\n");
}

} // namespace
