// The import tables and PE headers of the shipped programs (the setup
// programs of the CD among them), read from the files, against docs/imports.txt: every function a
// program imports must be listed there with an oldest Windows no newer than the program's target,
// or the Windows loader refuses the whole program on the systems it is for. Also: marvo32 asks
// Windows for the NetBIOS workstation transports and reads their addresses with the runtime's
// swscanf; marvo32w9 needs none of them. No shipped DLL has a TLS directory.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "pe_imports.h"
#include "testdir.h"

namespace {

using testing_support::Deliverable;

// Oldest systems of each family, in order; "none": the family lacks it.
// "stub": exported by 9x, but the call fails there.
const std::vector<std::string> k9x = {"95", "95osr2", "98", "me", "stub", "none"};
const std::vector<std::string> kNt = {"3.1", "3.5",   "3.51", "4.0", "2000",
                                      "xp",  "vista", "7",    "none"};

int Rank(const std::vector<std::string>& order, const std::string& system)
{
    for (size_t i = 0; i < order.size(); ++i)
        if (order[i] == system)
            return static_cast<int>(i);
    return -1;
}

struct Listed {
    std::string w9x;
    std::string nt;
};

// Key: "DLL!function", the DLL upper-cased as the import records hold it.
std::map<std::string, Listed> ReadList(std::string* problems)
{
    std::map<std::string, Listed> list;
    std::ifstream in(std::string(SOURCE_DIR) + "\\docs\\imports.txt");
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::string dll, function, w9x, nt, source;
        fields >> dll >> function >> w9x >> nt >> source;
        if (source.empty() || Rank(k9x, w9x) < 0 || Rank(kNt, nt) < 0)
            *problems += "line " + std::to_string(number) + ": " + line + "\n";
        else if (!list.emplace(pe::upper(dll) + "!" + function, Listed{w9x, nt}).second)
            *problems += "line " + std::to_string(number) + " repeats " + function + "\n";
    }
    return list;
}

struct Target {
    const char* file;
    bool setup;       // laid out by tools/dist in the CD's Setup folder
    const char* w9x;  // newest 9x system allowed, or nullptr: not a 9x program
    const char* nt;   // newest NT system allowed
    int majorVersion; // highest OS and subsystem version in the PE header
};

void PrintTo(const Target& t, std::ostream* out)
{
    *out << t.file;
}

std::string PathOf(const Target& t)
{
    return t.setup ? std::string(SETUP_DIR) + "\\" + t.file : Deliverable(t.file);
}

const Target kTargets[] = {
    {"autorun.exe", false, "95osr2", "2000", 4},
    {"marvo32w9.fll", false, "95osr2", "2000", 4},
    {"marvo32.fll", false, nullptr, "2000", 5},
    // Their uninstaller is written from the same program head (the setup
    // suite checks that the installed one imports the same functions).
    {"setup_velmora_sdk_lite_sk.exe", true, "95osr2", "2000", 4},
    {"setup_velmora_sdk_lite_en.exe", true, "95osr2", "2000", 4},
};

TEST(Imports, TheListIsWellFormed)
{
    std::string problems;
    auto list = ReadList(&problems);
    EXPECT_EQ(problems, "");
    EXPECT_GT(list.size(), 100u);
}

class ShippedProgram : public ::testing::TestWithParam<Target> {};

TEST_P(ShippedProgram, ImportsOnlyWhatItsOldestWindowsExports)
{
    const Target& t = GetParam();
    std::string problems;
    auto list = ReadList(&problems);
    ASSERT_EQ(problems, "");
    auto imports = pe::FileImports(PathOf(t));
    ASSERT_FALSE(imports.empty()) << t.file;
    for (const pe::Import& i : imports) {
        const std::string key = i.dll + "!" + i.function;
        auto found = list.find(key);
        if (found == list.end()) {
            ADD_FAILURE() << t.file << " imports " << key << ", which docs/imports.txt lacks";
            continue;
        }
        EXPECT_LE(Rank(kNt, found->second.nt), Rank(kNt, t.nt))
            << t.file << ": " << key << " needs Windows NT " << found->second.nt;
        const bool stubAllowed = t.setup && found->second.w9x == "stub";
        if (t.w9x && !stubAllowed) {
            EXPECT_LE(Rank(k9x, found->second.w9x), Rank(k9x, t.w9x))
                << t.file << ": " << key << " needs Windows " << found->second.w9x;
        }
    }
}

TEST_P(ShippedProgram, HeaderAsksForNoNewerWindowsThanItsTarget)
{
    const Target& t = GetParam();
    std::ifstream in(PathOf(t), std::ios::binary);
    std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(file.size(), sizeof(IMAGE_DOS_HEADER));
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(file.data());
    ASSERT_LT(static_cast<size_t>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS32), file.size());
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(file.data() + dos->e_lfanew);
    ASSERT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    const IMAGE_OPTIONAL_HEADER32& h = nt->OptionalHeader;
    // A 9x loader refuses a version above 4.0; Windows 2000 one above 5.0.
    EXPECT_LE(h.MajorOperatingSystemVersion * 100 + h.MinorOperatingSystemVersion,
              t.majorVersion * 100);
    EXPECT_LE(h.MajorSubsystemVersion * 100 + h.MinorSubsystemVersion, t.majorVersion * 100);
    EXPECT_GE(h.MajorSubsystemVersion, 4);
    EXPECT_TRUE(h.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_GUI ||
                h.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_CUI);
    // Windows 95 refuses LoadLibrary of a DLL with a TLS directory.
    if (nt->FileHeader.Characteristics & IMAGE_FILE_DLL) {
        EXPECT_EQ(h.DataDirectory[IMAGE_DIRECTORY_ENTRY_TLS].VirtualAddress, 0u) << t.file;
        EXPECT_EQ(h.DataDirectory[IMAGE_DIRECTORY_ENTRY_TLS].Size, 0u) << t.file;
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, ShippedProgram, ::testing::ValuesIn(kTargets),
                         [](const ::testing::TestParamInfo<Target>& info) {
                             std::string name = info.param.file;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

struct Needed {
    const char* dll;
    const char* function;
};

const Needed kNetbiosOnly[] = {
    {"netapi32.dll", "NetWkstaTransportEnum"},
    {"netapi32.dll", "NetApiBufferFree"},
    {"msvcrt.dll", "swscanf"},
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

// Looked up by name when called, never imported: Windows 95 has no IP Helper
// library, Windows 9x no access tokens, and final paths came with Vista.
TEST(Imports, FunctionsSomeTargetsLackAreNotImported)
{
    for (const char* name : {"marvo32.fll", "marvo32w9.fll"}) {
        auto imports = pe::FileImports(Deliverable(name));
        EXPECT_FALSE(pe::ImportsFrom(imports, "iphlpapi.dll")) << name;
        for (const char* f : {"OpenProcessToken", "LookupPrivilegeValueA", "AdjustTokenPrivileges"})
            EXPECT_FALSE(pe::Imports(imports, "advapi32.dll", f)) << name << ": " << f;
        for (const char* f : {"GetFinalPathNameByHandleA", "GetFinalPathNameByHandleW"})
            EXPECT_FALSE(pe::Imports(imports, "kernel32.dll", f)) << name << ": " << f;
    }
}

} // namespace
