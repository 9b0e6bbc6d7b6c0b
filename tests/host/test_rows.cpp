// The host's handling of a library's CALLONLOAD, CALLONUNLOAD and INTERNAL
// rows (parameter counts -2, -3 and -1, read as signed), with rowlib.fll, a
// library of these tests' own: the load routine runs once the thread's
// tables are handed over, the unload routine before the library goes, and
// none of those rows is listed or callable by name. Through the Host and
// through fllhost.exe.
#include <gtest/gtest.h>

#include <windows.h>

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
