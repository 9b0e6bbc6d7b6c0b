// Network adapter addresses through the real library: the adapter list and
// the workstation transport list are answered by stand-ins for
// GetAdaptersInfo and NetWkstaTransportEnum/NetApiBufferFree (one adapter,
// two, more than 17, a list too long for the buffer, the skipped first
// transport, addresses that do not parse), plus live calls whose answers must
// be whole addresses of 17 characters.
#include "system_host.h"

#include <iphlpapi.h>
#include <lm.h>

#include <cctype>
#include <cstdio>

namespace {

using namespace system_tests;

using Address = std::vector<uint8_t>;

// The expected text: each byte as two upper-case hexadecimal digits, the six
// bytes joined by hyphens, the addresses joined by nothing.
std::string Expected(const std::vector<Address>& addresses)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (const Address& a : addresses) {
        for (size_t i = 0; i < 6; ++i) {
            if (i)
                text += '-';
            text += digits[a[i] >> 4];
            text += digits[a[i] & 15];
        }
    }
    return text;
}

Address Numbered(int n)
{
    return {0x02, 0x00, 0x5E, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n), 0xA0};
}

bool AreWholeAddresses(const std::string& text)
{
    if (text.size() % 17 != 0)
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool hyphen = i % 17 % 3 == 2;
        if (hyphen ? c != '-' : !(std::isxdigit(static_cast<unsigned char>(c)) && !std::islower(c)))
            return false;
    }
    return true;
}

// --- The adapter list.

struct AdapterScript {
    std::vector<Address> addresses;
    UINT addressLength = 6;
    ULONG needed = 0; // > 0: the size the list claims to need
    int calls = 0;
    ULONG sizeGiven = 0;
};
AdapterScript gAdapters;
std::vector<IP_ADAPTER_INFO> gOverflow; // records beyond the caller's buffer

ULONG WINAPI ScriptAdapters(PIP_ADAPTER_INFO buffer, PULONG size)
{
    ++gAdapters.calls;
    gAdapters.sizeGiven = *size;
    const size_t n = gAdapters.addresses.size();
    if (n == 0)
        return ERROR_NO_DATA;
    if (gAdapters.needed > *size) {
        *size = gAdapters.needed;
        return ERROR_BUFFER_OVERFLOW;
    }
    // As many records as fit go into the buffer; the rest are chained from
    // the stand-in's own storage, so that a list longer than the limit of 17
    // can be shown.
    const size_t inBuffer = std::min<size_t>(n, *size / sizeof(IP_ADAPTER_INFO));
    gOverflow.assign(n - inBuffer, IP_ADAPTER_INFO{});
    std::vector<IP_ADAPTER_INFO*> records;
    for (size_t i = 0; i < n; ++i)
        records.push_back(i < inBuffer ? buffer + i : &gOverflow[i - inBuffer]);
    for (size_t i = 0; i < n; ++i) {
        IP_ADAPTER_INFO& r = *records[i];
        r = IP_ADAPTER_INFO{};
        r.Next = i + 1 < n ? records[i + 1] : nullptr;
        r.AddressLength = gAdapters.addressLength;
        std::fill(std::begin(r.Address), std::end(r.Address), 0xEE);
        std::copy(gAdapters.addresses[i].begin(), gAdapters.addresses[i].end(), r.Address);
        std::snprintf(r.AdapterName, sizeof r.AdapterName, "adapter%u", static_cast<unsigned>(i));
    }
    return ERROR_SUCCESS;
}

class AdapterList : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(lib.loaded()) << lib.error();
        ASSERT_TRUE(patch_.installed());
        gAdapters = AdapterScript{};
    }
    std::string call() { return Text(lib.call("M_MACADAPW")); }

    LoadedLibrary lib;
    pe::LookupPatch patch_{lib.module,
                           {{"GetAdaptersInfo", reinterpret_cast<const void*>(&ScriptAdapters)}}};
};

TEST_F(AdapterList, OneAdapter)
{
    gAdapters.addresses = {{0x00, 0x0C, 0x29, 0xAB, 0xCD, 0xEF}};
    EXPECT_EQ(call(), "00-0C-29-AB-CD-EF");
    EXPECT_EQ(gAdapters.calls, 1);
    EXPECT_EQ(gAdapters.sizeGiven, 10240u);
}

TEST_F(AdapterList, CountsAndLimits)
{
    struct Case {
        int adapters;
        size_t shown;
    };
    const Case cases[] = {{0, 0}, {1, 1}, {2, 2}, {16, 16}, {17, 17}, {18, 17}, {40, 17}};
    for (const Case& c : cases) {
        gAdapters = AdapterScript{};
        for (int i = 0; i < c.adapters; ++i)
            gAdapters.addresses.push_back(Numbered(i));
        std::vector<Address> shown(gAdapters.addresses.begin(),
                                   gAdapters.addresses.begin() + c.shown);
        std::string text = call();
        EXPECT_EQ(text, Expected(shown)) << c.adapters << " adapters";
        EXPECT_EQ(text.size(), 17 * c.shown);
    }
}

TEST_F(AdapterList, OnlyTheFirstSixBytesWhateverTheAddressLength)
{
    for (UINT length : {0u, 3u, 6u, 8u}) {
        gAdapters = AdapterScript{};
        gAdapters.addressLength = length;
        gAdapters.addresses = {{1, 2, 3, 4, 5, 6, 7, 8}, {0xFF, 0xFE, 0xFD, 0xFC, 0xFB, 0xFA}};
        EXPECT_EQ(call(), "01-02-03-04-05-06FF-FE-FD-FC-FB-FA") << length;
    }
}

TEST_F(AdapterList, AListLongerThanTheBufferGivesNothingRatherThanAPart)
{
    for (ULONG needed : {10241u, 10880u, 65536u}) {
        gAdapters = AdapterScript{};
        gAdapters.addresses = {Numbered(1), Numbered(2)};
        gAdapters.needed = needed;
        EXPECT_EQ(call(), "") << needed;
        EXPECT_EQ(gAdapters.calls, 1);
    }
}

// --- The workstation transports.

struct TransportScript {
    std::vector<const wchar_t*> addresses; // null: no address string
    NET_API_STATUS status = NERR_Success;
    int calls = 0;
    bool argumentsRight = true;
    int frees = 0;
    void* freed = nullptr;
    std::vector<WKSTA_TRANSPORT_INFO_0> records;
};
TransportScript gTransports;

NET_API_STATUS WINAPI ScriptTransports(LMSTR server, DWORD level, LPBYTE* buffer, DWORD maximum,
                                       LPDWORD read, LPDWORD total, LPDWORD resume)
{
    ++gTransports.calls;
    gTransports.argumentsRight =
        !server && level == 0 && maximum == MAX_PREFERRED_LENGTH && !resume;
    *buffer = nullptr;
    *read = *total = 0;
    if (gTransports.status != NERR_Success)
        return gTransports.status;
    gTransports.records.clear();
    for (const wchar_t* a : gTransports.addresses) {
        WKSTA_TRANSPORT_INFO_0 r{};
        r.wkti0_transport_address = const_cast<LMSTR>(a);
        r.wkti0_transport_name = const_cast<LMSTR>(L"\\Device\\NetBT_Tcpip");
        gTransports.records.push_back(r);
    }
    *buffer = reinterpret_cast<LPBYTE>(gTransports.records.data());
    *read = *total = static_cast<DWORD>(gTransports.records.size());
    return NERR_Success;
}

NET_API_STATUS WINAPI ScriptFree(LPVOID buffer)
{
    ++gTransports.frees;
    gTransports.freed = buffer;
    return NERR_Success;
}

class Transports : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(lib.loaded()) << lib.error();
        ASSERT_TRUE(enum_.installed());
        ASSERT_TRUE(free_.installed());
        gTransports = TransportScript{};
    }
    std::string call() { return Text(lib.call("M_MACNBIOW")); }

    LoadedLibrary lib;
    pe::ImportPatch enum_{lib.module, "netapi32.dll", "NetWkstaTransportEnum",
                          reinterpret_cast<const void*>(&ScriptTransports)};
    pe::ImportPatch free_{lib.module, "netapi32.dll", "NetApiBufferFree",
                          reinterpret_cast<const void*>(&ScriptFree)};
};

TEST_F(Transports, TheFirstTransportIsNeverUsed)
{
    gTransports.addresses = {L"000C29ABCDEF"};
    EXPECT_EQ(call(), "");
    EXPECT_EQ(gTransports.calls, 1);
    EXPECT_TRUE(gTransports.argumentsRight);
    EXPECT_EQ(gTransports.frees, 1);
    EXPECT_EQ(gTransports.freed, gTransports.records.data());

    gTransports = TransportScript{};
    gTransports.addresses = {L"000C29ABCDEF", L"0050569A0B0C"};
    EXPECT_EQ(call(), "00-50-56-9A-0B-0C");
    EXPECT_EQ(gTransports.frees, 1);
}

TEST_F(Transports, TwoTransportsOfOneAdapterGiveItsAddressTwice)
{
    gTransports.addresses = {L"111111111111", L"0050569A0B0C", L"0050569A0B0C"};
    EXPECT_EQ(call(), "00-50-56-9A-0B-0C00-50-56-9A-0B-0C");
}

TEST_F(Transports, AtMostSeventeenAfterTheSkippedFirst)
{
    std::vector<std::wstring> texts;
    std::vector<Address> all;
    for (int i = 0; i < 25; ++i) {
        Address a = Numbered(i);
        all.push_back(a);
        wchar_t w[13];
        std::swprintf(w, 13, L"%02X%02X%02X%02X%02X%02X", a[0], a[1], a[2], a[3], a[4], a[5]);
        texts.push_back(w);
    }
    for (size_t count : {2u, 17u, 18u, 19u, 25u}) {
        gTransports = TransportScript{};
        for (size_t i = 0; i < count; ++i)
            gTransports.addresses.push_back(texts[i].c_str());
        const size_t shown = std::min<size_t>(count - 1, 17);
        std::vector<Address> expected(all.begin() + 1, all.begin() + 1 + shown);
        std::string text = call();
        EXPECT_EQ(text, Expected(expected)) << count << " transports";
        EXPECT_EQ(text.size(), 17 * shown);
        EXPECT_EQ(gTransports.frees, 1);
    }
}

TEST_F(Transports, AddressesThatDoNotParseKeepZeroForTheBytesNotRead)
{
    struct Case {
        const wchar_t* address;
        const char* text;
    };
    const Case cases[] = {
        {L"000c29abcdef", "00-0C-29-AB-CD-EF"},   {L"0012ZZ000000", "00-12-00-00-00-00"},
        {L"0A0B", "0A-0B-00-00-00-00"},           {L"", "00-00-00-00-00-00"},
        {L"Z00C29ABCDEF", "00-00-00-00-00-00"},   {nullptr, "00-00-00-00-00-00"},
        {L"000C29ABCDEF99", "00-0C-29-AB-CD-EF"},
    };
    for (const Case& c : cases) {
        gTransports = TransportScript{};
        gTransports.addresses = {L"FFFFFFFFFFFF", c.address};
        EXPECT_EQ(call(), c.text) << c.text;
    }
}

TEST_F(Transports, AFailedQueryGivesNothing)
{
    for (NET_API_STATUS status : {static_cast<NET_API_STATUS>(ERROR_ACCESS_DENIED),
                                  static_cast<NET_API_STATUS>(ERROR_MORE_DATA),
                                  static_cast<NET_API_STATUS>(NERR_WkstaNotStarted)}) {
        gTransports = TransportScript{};
        gTransports.addresses = {L"000C29ABCDEF", L"0050569A0B0C"};
        gTransports.status = status;
        EXPECT_EQ(call(), "") << status;
        EXPECT_EQ(gTransports.frees, 0) << "no buffer came back";
    }
}

// --- Live.

TEST(AdaptersLive, BothBuildsAnswerWholeAddresses)
{
    for (const char* file : {"marvo32.fll", "marvo32w9.fll"}) {
        LoadedLibrary lib(file);
        ASSERT_TRUE(lib.loaded()) << lib.error();
        std::string text = Text(lib.call("M_MACADAPW"));
        std::printf("M_MACADAPW of %s: \"%s\"\n", file, text.c_str());
        EXPECT_TRUE(AreWholeAddresses(text)) << file << ": " << text;
        EXPECT_LE(text.size(), 289u);
    }
}

// Windows 95 has no IP Helper library, and the library is looked up when the
// function is called: without it (or without the function) the answer is
// the empty text, as on a machine without adapters, and nothing is raised.
HMODULE WINAPI NoIpHelper(LPCSTR name)
{
    if (lstrcmpiA(name, "iphlpapi.dll") == 0) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return LoadLibraryA(name);
}

TEST(AdaptersMissing, WithoutTheIpHelperLibraryOrItsFunctionTheAnswerIsEmpty)
{
    for (const char* build : {"marvo32.fll", "marvo32w9.fll"}) {
        LoadedLibrary lib(build);
        ASSERT_TRUE(lib.loaded()) << lib.error() << " (" << build << ")";
        EXPECT_FALSE(
            pe::ImportsFrom(pe::FileImports(testing_support::Deliverable(build)), "iphlpapi.dll"))
            << build;
        {
            pe::ImportPatch noLibrary(lib.module, "kernel32.dll", "LoadLibraryA",
                                      reinterpret_cast<const void*>(&NoIpHelper));
            ASSERT_TRUE(noLibrary.installed()) << build;
            CallResult r = lib.call("M_MACADAPW");
            EXPECT_FALSE(r.failed()) << build;
            EXPECT_EQ(r.results, 1) << build;
            EXPECT_EQ(Text(r), "") << build;
        }
        {
            pe::LookupPatch noFunction(lib.module, {{"GetAdaptersInfo", nullptr}});
            ASSERT_TRUE(noFunction.installed()) << build;
            CallResult r = lib.call("M_MACADAPW");
            EXPECT_FALSE(r.failed()) << build;
            EXPECT_EQ(Text(r), "") << build;
            EXPECT_EQ(noFunction.lookups("GetAdaptersInfo"), 1) << build;
        }
        {
            pe::LookupPatch present(
                lib.module, {{"GetAdaptersInfo", reinterpret_cast<const void*>(&ScriptAdapters)}});
            gAdapters = AdapterScript{};
            gAdapters.addresses = {{0x00, 0x0C, 0x29, 0xAB, 0xCD, 0xEF}};
            EXPECT_EQ(Text(lib.call("M_MACADAPW")), "00-0C-29-AB-CD-EF") << build;
        }
    }
}

TEST(AdaptersLive, TransportsOfTheFullBuildAreWholeAddresses)
{
    LoadedLibrary lib("marvo32.fll");
    ASSERT_TRUE(lib.loaded()) << lib.error();
    std::string text = Text(lib.call("M_MACNBIOW"));
    std::printf("M_MACNBIOW of marvo32.fll: \"%s\"\n", text.c_str());
    EXPECT_TRUE(AreWholeAddresses(text)) << text;
    EXPECT_LE(text.size(), 289u);
}

TEST(AdaptersLive, TheW9BuildAnswersQuestionMarksAndCannotAskTheWorkstation)
{
    LoadedLibrary lib("marvo32w9.fll");
    ASSERT_TRUE(lib.loaded()) << lib.error();
    pe::ImportPatch none(lib.module, "netapi32.dll", "NetWkstaTransportEnum",
                         reinterpret_cast<const void*>(&ScriptTransports));
    EXPECT_FALSE(none.installed());
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(Text(lib.call("M_MACNBIOW")), "???");
}

} // namespace
