// The import tables of both builds, read from the files: marvo32 asks
// Windows for the NetBIOS workstation transports and reads their addresses
// with the runtime's swscanf; marvo32w9 needs none of them, so it loads on
// systems that lack them.
#include <gtest/gtest.h>

#include "pe_imports.h"
#include "testdir.h"

namespace {

using testing_support::Deliverable;

struct Needed {
    const char* dll;
    const char* function;
};

const Needed kNetbiosOnly[] = {
    {"netapi32.dll", "NetWkstaTransportEnum"},
    {"netapi32.dll", "NetApiBufferFree"},
    {"msvcrt.dll", "swscanf"},
};

const Needed kBoth[] = {
    {"iphlpapi.dll", "GetAdaptersInfo"},  {"user32.dll", "ExitWindowsEx"},
    {"shell32.dll", "SHFileOperationA"},  {"user32.dll", "GetKeyboardState"},
    {"kernel32.dll", "CreateDirectoryA"},
};

TEST(Imports, FullBuildNeedsTheWorkstationTransportsAndSwscanf)
{
    auto imports = pe::FileImports(Deliverable("marvo32.fll"));
    ASSERT_FALSE(imports.empty());
    for (const Needed& n : kNetbiosOnly)
        EXPECT_TRUE(pe::Imports(imports, n.dll, n.function)) << n.dll << "!" << n.function;
}

TEST(Imports, W9BuildNeedsNeitherTheWorkstationFunctionsNorSwscanf)
{
    auto imports = pe::FileImports(Deliverable("marvo32w9.fll"));
    ASSERT_FALSE(imports.empty());
    EXPECT_FALSE(pe::ImportsFrom(imports, "netapi32.dll"));
    for (const Needed& n : kNetbiosOnly) {
        for (const pe::Import& i : imports)
            EXPECT_NE(i.function, n.function) << i.dll << "!" << i.function;
    }
}

// Functions that Windows 95 lacks and the library uses where they exist: it
// binds them at first use and never lists them among its imports.
const char* const kBoundAtFirstUse[] = {
    "GetFinalPathNameByHandleA",
    "GetFinalPathNameByHandleW",
};

TEST(Imports, FunctionsNewerThanWindows95AreBoundAtFirstUse)
{
    for (const char* name : {"marvo32.fll", "marvo32w9.fll"}) {
        auto imports = pe::FileImports(Deliverable(name));
        ASSERT_FALSE(imports.empty()) << name;
        for (const pe::Import& i : imports) {
            for (const char* newer : kBoundAtFirstUse)
                EXPECT_NE(i.function, newer) << name << ": " << i.dll;
        }
    }
}

TEST(Imports, BothBuildsShareTheOtherFamiliesImports)
{
    for (const char* name : {"marvo32.fll", "marvo32w9.fll"}) {
        auto imports = pe::FileImports(Deliverable(name));
        for (const Needed& n : kBoth)
            EXPECT_TRUE(pe::Imports(imports, n.dll, n.function))
                << name << ": " << n.dll << "!" << n.function;
    }
}

} // namespace
