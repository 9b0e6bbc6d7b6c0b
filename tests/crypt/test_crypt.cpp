// The fourteen encryption functions loaded in the stand-in host: known
// answers from the model of MD5 and RC4 written in this folder, round trips
// of texts, memo fields, variables and files of every size class, the
// session's life, every failure that can be provoked here with its exact
// message bytes, and no host handle or open file left behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host.h"
#include "model.h"
#include "pe_imports.h"
#include "testdir.h"
#include "texts.h"

using fllhost::CallResult;
using fllhost::Host;
using fllhost::Value;
using testing_support::Deliverable;
using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

const size_t kMiB = 1024 * 1024;
const std::vector<size_t> kLengths = {0, 1, 999, 1000, 1001, 2500, 3 * kMiB + 17};

using crypt_tests::Cp1250;
using crypt_tests::RandomBytes;
using crypt_tests::Report;

Value T(const std::string& s)
{
    return Value::Text(s);
}

class Crypt : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.load(Deliverable("marvo32.fll")));
        baseline = host.handlesInUse();
    }
    void TearDown() override
    {
        call("M_CRPTQUIT", {});
        EXPECT_EQ(host.handlesInUse(), baseline);
    }

    // Every call, successful or not, leaves no handle of the host in use.
    CallResult call(const std::string& name, const std::vector<Value>& args)
    {
        CallResult r = host.call(name, args);
        EXPECT_TRUE(r.refused.empty()) << r.refused;
        EXPECT_EQ(host.handlesInUse(), baseline) << name;
        return r;
    }
    std::string text(const std::string& name, const std::vector<Value>& args)
    {
        CallResult r = call(name, args);
        EXPECT_FALSE(r.raised()) << name << " raised " << r.hostError << r.userError;
        EXPECT_EQ(r.results, 1) << name;
        EXPECT_EQ(r.value.kind, Value::Kind::Character) << name;
        return r.value.text;
    }
    bool logical(const std::string& name, const std::vector<Value>& args)
    {
        CallResult r = call(name, args);
        EXPECT_FALSE(r.raised()) << name << " raised " << r.hostError << r.userError;
        EXPECT_EQ(r.results, 1) << name;
        EXPECT_EQ(r.value.kind, Value::Kind::Logical) << name;
        return r.value.logical;
    }
    std::string enc(const std::string& s, const std::string& pw)
    {
        return text("M_ENCRPTW", {T(s), T(pw)});
    }
    std::string dec(const std::string& s, const std::string& pw)
    {
        return text("M_DECRPTW", {T(s), T(pw)});
    }
    // Output of the calls since the last look.
    std::string takeOutput()
    {
        std::string out = host.output();
        host.output().clear();
        return out;
    }

    Host host;
    TempDir dir;
    int baseline = 0;
};

// --- Key derivation against the model ---------------------------------------

TEST_F(Crypt, SessionKeyOfTheRawPasswordIsTheModelsKey)
{
    const std::vector<std::string> passwords = {
        "",
        "a",
        "heslo",
        std::string("\xe1\x80\0\x7f\xff", 5),
        std::string(255, 'p'),
        RandomBytes(256, 1),
        RandomBytes(257, 2),
        RandomBytes(1000, 3),
    };
    // Any second value skips the offset: false, zero, a text.
    const std::vector<Value> seconds = {Value::Bool(false), Value::Int(0), T("x")};
    for (size_t p = 0; p < passwords.size(); ++p) {
        ASSERT_TRUE(logical("M_CRPTINIT", {T(passwords[p]), seconds[p % seconds.size()]}));
        for (size_t n : {0, 1, 999, 1000, 1001, 2500}) {
            std::string s = RandomBytes(n, static_cast<unsigned>(n + p));
            EXPECT_TRUE(text("M_ENCRPTWX", {T(s)}) == model::Cipher(passwords[p], s))
                << "password " << p << ", length " << n;
        }
    }
    EXPECT_EQ(takeOutput(), "");
}

std::string Hex(const std::string& bytes)
{
    std::string out;
    char two[3];
    for (unsigned char c : bytes) {
        std::snprintf(two, sizeof two, "%02x", c);
        out += two;
    }
    return out;
}

// The offset bytes of the released builds add up to 355; only the sum
// reaches the key. Data encrypted by those builds must still decrypt, so
// every password-derived key stays as the model derives it from that sum.
constexpr int kReleasedOffsetSum = 355;

struct KnownAnswer {
    std::string password;
    const char* cipher; // of kProbe, in hexadecimal, from the model
};

const std::string kProbe = "offset probe";

// Byte 128 is -128, exactly 255 below 127: both leave one remainder.
const KnownAnswer kPasswordKeys[] = {
    {"heslo", "4376e61b0d6eebf2a74236b0"},
    {"\xe1\xe1\xe1\xe1\xe1", "6ac10665fe98b732f8bdc03a"},
    {std::string("ab\0cd\xff\x80", 7), "68b58d469c898503df77c430"},
    {"high \xfe\x81 and low \x01 bytes", "2fa4d0b0ee52d238a6390ad9"},
    {"pass\x7f", "ba80dbbbc340ad67077ba310"},
    {"pass\x80", "ba80dbbbc340ad67077ba310"},
    {"pass\x7e", "9f6ed9807dfb4f2855f2c931"},
};

TEST_F(Crypt, PasswordKeysAreTheReleasedOnes)
{
    for (const KnownAnswer& k : kPasswordKeys) {
        const std::string name = Hex(k.password);
        EXPECT_EQ(Hex(model::Cipher(model::Offset(k.password, kReleasedOffsetSum), kProbe)),
                  k.cipher)
            << "model, password " << name;
        EXPECT_EQ(Hex(enc(kProbe, k.password)), k.cipher) << "per call, password " << name;
        ASSERT_TRUE(logical("M_CRPTINIT", {T(k.password)})) << name;
        EXPECT_EQ(Hex(text("M_ENCRPTWX", {T(kProbe)})), k.cipher) << "session, password " << name;
    }
}

TEST_F(Crypt, SessionWithOnePasswordEqualsThePerCallKeyForEveryLength)
{
    for (size_t length : {5, 255, 256, 257, 1000}) {
        std::string pw = RandomBytes(length, static_cast<unsigned>(length));
        std::string s = RandomBytes(2500, 7);
        ASSERT_TRUE(logical("M_CRPTINIT", {T(pw)}));
        EXPECT_EQ(text("M_ENCRPTWX", {T(s)}), enc(s, pw)) << length;
    }
}

TEST_F(Crypt, BothBuildsUseTheSameOffset)
{
    Host w9;
    ASSERT_TRUE(w9.load(Deliverable("marvo32w9.fll")));
    CallResult r = w9.call("M_ENCRPTW", {T("same in both"), T("heslo")});
    EXPECT_EQ(r.value.text, enc("same in both", "heslo"));
}

// --- Strings ----------------------------------------------------------------

TEST_F(Crypt, StringsRoundTripWithAPassword)
{
    for (size_t n : kLengths) {
        std::string s = RandomBytes(n, static_cast<unsigned>(n));
        std::string c = enc(s, "heslo");
        EXPECT_EQ(c.size(), n);
        if (n > 0) {
            EXPECT_FALSE(c == s);
        }
        EXPECT_TRUE(enc(s, "heslo") == c) << "nothing random enters";
        EXPECT_TRUE(dec(c, "heslo") == s) << n;
    }
    EXPECT_EQ(takeOutput(), "");
}

TEST_F(Crypt, StringsRoundTripWithTheSessionKey)
{
    ASSERT_TRUE(logical("M_CRPTINIT", {T("heslo")}));
    for (size_t n : kLengths) {
        std::string s = RandomBytes(n, static_cast<unsigned>(n + 1));
        std::string c = text("M_ENCRPTWX", {T(s)});
        EXPECT_TRUE(c == enc(s, "heslo")) << n;
        EXPECT_TRUE(text("M_ENCRPTWX", {T(s)}) == c) << "each call starts the key stream afresh";
        EXPECT_TRUE(text("M_DECRPTWX", {T(c)}) == s) << n;
    }
}

TEST_F(Crypt, AnEmptyTextNeedsNoCipherCall)
{
    CallResult r = call("M_ENCRPTW", {T(""), T("heslo")});
    EXPECT_EQ(r.value.text, "");
    EXPECT_EQ(r.services, std::vector<uint32_t>{11});
}

TEST_F(Crypt, AWrongPasswordDecryptsToOtherBytesOfTheSameLength)
{
    std::string s = "the user's text";
    std::string wrong = dec(enc(s, "heslo"), "hesla");
    EXPECT_EQ(wrong.size(), s.size());
    EXPECT_NE(wrong, s);
}

TEST_F(Crypt, FivePasswordBytesAreEnoughFourAreNot)
{
    EXPECT_EQ(dec(enc("abc", "12345"), "12345"), "abc");
    for (const char* f : {"M_ENCRPTW", "M_DECRPTW"}) {
        for (const std::string& s : {std::string(""), std::string("abc")}) {
            CallResult r = call(f, {T(s), T("1234")});
            EXPECT_EQ(r.hostError, 107) << f;
            EXPECT_EQ(r.services, std::vector<uint32_t>{83}) << "nothing happens before";
        }
    }
}

// --- Memo fields and variables ----------------------------------------------

class CryptMemo : public Crypt {
  protected:
    void SetUp() override
    {
        Crypt::SetUp();
        ASSERT_TRUE(host.workAreas().create(1, 3, {"NOTES"}));
        ASSERT_TRUE(host.workAreas().go(1, 2));
    }
    Value memo() const { return Value::MemoRef(1, "NOTES"); }
    void store(const std::string& s) { ASSERT_TRUE(host.workAreas().writeMemo(1, "NOTES", s)); }
    std::string stored() { return host.workAreas().readMemo(1, "NOTES").value_or("?"); }
};

TEST_F(CryptMemo, MemoFieldRoundTripsOnItsFullLength)
{
    for (size_t n : {0, 1, 999, 1000, 1001, 2500, 2 * 1024 * 1024}) {
        std::string s = RandomBytes(n, static_cast<unsigned>(n + 2));
        store(s);
        std::string c = text("M_MENCRPTW", {memo(), T("heslo")});
        EXPECT_TRUE(stored() == s) << "the field keeps its content";
        EXPECT_TRUE(c == enc(s, "heslo")) << n;
        if (n >= 1000) {
            EXPECT_NE(c.find('\0'), std::string::npos) << "a ciphertext with zero bytes";
        }
        store(c);
        EXPECT_TRUE(text("M_MDECRPTW", {memo(), T("heslo")}) == s) << n;
    }
}

TEST_F(CryptMemo, AZeroByteDoesNotEndTheText)
{
    std::string s("abc\0def", 7);
    store(s);
    std::string c = text("M_MENCRPTW", {memo(), T("heslo")});
    EXPECT_EQ(c.size(), 7u);
    EXPECT_EQ(c, enc(s, "heslo"));
    // A text without zero bytes gives what the string function gives.
    store("plain text");
    EXPECT_EQ(text("M_MENCRPTW", {memo(), T("heslo")}), enc("plain text", "heslo"));
}

TEST_F(CryptMemo, MemoReadFailuresUnwindWithoutLeaks)
{
    store("some text");
    host.serviceHook = [](abi::HostRequest& r) {
        if (r.code != abi::kSvcMemoLength)
            return false;
        r.arg1 = static_cast<uint32_t>(-1);
        return true;
    };
    EXPECT_EQ(call("M_MENCRPTW", {memo(), T("heslo")}).userError, "Invalid memo size\n");
    host.serviceHook = [](abi::HostRequest& r) {
        if (r.code != abi::kSvcFileRead)
            return false;
        r.arg1 = 0;
        return true;
    };
    EXPECT_EQ(call("M_MDECRPTW", {memo(), T("heslo")}).userError, "Error reading memo field\n");
    host.serviceHook = nullptr;
    EXPECT_EQ(takeOutput(), "");
}

TEST_F(CryptMemo, MemoFieldRoundTripsWithTheSessionKey)
{
    ASSERT_TRUE(logical("M_CRPTINIT", {T("heslo")}));
    std::string s = std::string("abc\0def", 7) + RandomBytes(3000, 4);
    store(s);
    std::string c = text("M_MECRPTWX", {memo()});
    EXPECT_EQ(c, enc(s, "heslo"));
    store(c);
    EXPECT_EQ(text("M_MDCRPTWX", {memo()}), s);
}

TEST_F(CryptMemo, VariableRoundTripsOnItsFullLength)
{
    for (size_t n : {size_t(0), size_t(1), size_t(1001), size_t(2500), 3 * kMiB}) {
        std::string s = RandomBytes(n, static_cast<unsigned>(n + 3));
        host.variables().set("secret", T(s));
        std::string c = text("M_MENCRPTW", {Value::VarRef("secret"), T("heslo")});
        EXPECT_TRUE(c == enc(s, "heslo")) << n;
        EXPECT_TRUE(host.variables().get("SECRET")->text == s) << "the variable keeps its content";
        host.variables().set("secret", T(c));
        EXPECT_TRUE(text("M_MDECRPTW", {Value::VarRef("secret"), T("heslo")}) == s) << n;
    }
    ASSERT_TRUE(logical("M_CRPTINIT", {T("heslo")}));
    std::string s = std::string("\0\0x\0", 4);
    host.variables().set("v", T(s));
    std::string c = text("M_MECRPTWX", {Value::VarRef("v")});
    EXPECT_EQ(c, enc(s, "heslo"));
    host.variables().set("v", T(c));
    EXPECT_EQ(text("M_MDCRPTWX", {Value::VarRef("v")}), s);
}

TEST_F(CryptMemo, AReferenceToANumberRaises302AfterThePasswordRule)
{
    host.variables().set("n", Value::Int(5));
    EXPECT_EQ(call("M_MENCRPTW", {Value::VarRef("n"), T("heslo")}).hostError, 302);
    EXPECT_EQ(call("M_MDECRPTW", {Value::VarRef("n"), T("heslo")}).hostError, 302);
    EXPECT_EQ(call("M_MENCRPTW", {Value::VarRef("n"), T("hes")}).hostError, 107);
    // Without a session the X variants do not even read the reference.
    CallResult quiet = call("M_MECRPTWX", {Value::VarRef("n")});
    EXPECT_FALSE(quiet.raised());
    EXPECT_EQ(quiet.value.text, "");
    ASSERT_TRUE(logical("M_CRPTINIT", {T("heslo")}));
    EXPECT_EQ(call("M_MECRPTWX", {Value::VarRef("n")}).hostError, 302);
    EXPECT_EQ(call("M_MDCRPTWX", {Value::VarRef("n")}).hostError, 302);
}

// The smallest HandleTable that still holds a call's own arguments, and
// `extra` handles more: the library's copies run out of room.
CallResult callWithoutRoom(const std::vector<Value>& args, const char* function,
                           const std::function<void(Host&)>& prepare, int& leftInUse, int extra = 0)
{
    for (uint16_t capacity = 2; capacity < 16; ++capacity) {
        Host probe(capacity);
        EXPECT_TRUE(probe.load(Deliverable("marvo32.fll")));
        prepare(probe);
        if (!probe.call(function, args).refused.empty())
            continue;
        Host host(static_cast<uint16_t>(capacity + extra));
        EXPECT_TRUE(host.load(Deliverable("marvo32.fll")));
        prepare(host);
        int before = host.handlesInUse();
        CallResult r = host.call(function, args);
        if (!r.refused.empty())
            continue;
        leftInUse = host.handlesInUse() - before;
        return r;
    }
    ADD_FAILURE() << "no capacity fits the arguments";
    return CallResult();
}

TEST(CryptHandles, NoMemoryForACopyRaises182AndLeavesNothingBehind)
{
    TempDir dir;
    std::string in = dir.file("in.txt");
    WriteFile(in, "data");
    int left = -1;
    CallResult r = callWithoutRoom(
        {Value::VarRef("v"), T("heslo")}, "M_MENCRPTW",
        [](Host& h) { h.variables().set("v", T("abc")); }, left);
    EXPECT_EQ(r.hostError, 182);
    EXPECT_EQ(left, 0);
    r = callWithoutRoom(
        {T(in), T(dir.file("out.txt")), T("heslo")}, "M_FENCRPTW", [](Host&) {}, left);
    EXPECT_EQ(r.hostError, 182);
    EXPECT_EQ(left, 0);
    EXPECT_FALSE(FileExists(dir.file("out.txt")));
}

// --- Session ----------------------------------------------------------------

TEST_F(Crypt, SessionLife)
{
    EXPECT_FALSE(logical("M_CRPTQUIT", {}));
    EXPECT_EQ(text("M_ENCRPTWX", {T("abc")}), "");
    EXPECT_EQ(text("M_DECRPTWX", {T("abc")}), "");
    ASSERT_TRUE(logical("M_CRPTINIT", {T("first"), Value::Bool(true)}));
    ASSERT_TRUE(logical("M_CRPTINIT", {T("second"), Value::Bool(true)}));
    EXPECT_EQ(text("M_ENCRPTWX", {T("abc")}), model::Cipher("second", "abc"));
    EXPECT_TRUE(logical("M_CRPTQUIT", {}));
    EXPECT_FALSE(logical("M_CRPTQUIT", {}));
    CallResult after = call("M_ENCRPTWX", {T("abc")});
    EXPECT_EQ(after.value.text, "");
    EXPECT_EQ(after.services, std::vector<uint32_t>{11});
    EXPECT_EQ(takeOutput(), "") << "no message without a session";
}

TEST_F(Crypt, SessionPasswordsOfAnyLengthAreAccepted)
{
    for (size_t n : {0, 1, 4, 255, 256, 257, 100000}) {
        std::string pw(n, 'k');
        CallResult r = call("M_CRPTINIT", {T(pw)});
        EXPECT_EQ(r.hostError, 0) << n;
        EXPECT_TRUE(r.value.logical) << n;
        std::string c = text("M_ENCRPTWX", {T("abc")});
        EXPECT_EQ(c.size(), 3u);
        EXPECT_EQ(text("M_DECRPTWX", {T(c)}), "abc");
        if (n >= 5) {
            EXPECT_EQ(c, enc("abc", pw)) << n;
        }
    }
}

// --- Files ------------------------------------------------------------------

class CryptFile : public Crypt {
  protected:
    std::string path(const std::string& name) const { return dir.file(name); }
    bool file(const char* f, const std::string& in, const std::string& out, const std::string& pw)
    {
        return logical(f, {T(in), T(out), T(pw)});
    }
    bool fileX(const char* f, const std::string& in, const std::string& out)
    {
        return logical(f, {T(in), T(out)});
    }
};

TEST_F(CryptFile, FilesRoundTripWithAPassword)
{
    for (size_t n : kLengths) {
        std::string s = RandomBytes(n, static_cast<unsigned>(n + 5));
        WriteFile(path("a.bin"), s);
        WriteFile(path("b.bin"), "an older, longer content that goes away");
        ASSERT_TRUE(file("M_FENCRPTW", path("a.bin"), path("b.bin"), "heslo")) << n;
        std::string c = ReadFile(path("b.bin"));
        EXPECT_EQ(c.size(), n);
        EXPECT_TRUE(c == enc(s, "heslo")) << "the file and string functions make one key stream";
        ASSERT_TRUE(file("M_FDECRPTW", path("b.bin"), path("c.bin"), "heslo"));
        EXPECT_TRUE(ReadFile(path("c.bin")) == s) << n;
        EXPECT_EQ(ReadFile(path("a.bin")), s) << "the input is only read";
    }
    EXPECT_EQ(takeOutput(), "");
}

TEST_F(CryptFile, FilesRoundTripWithTheSessionKey)
{
    ASSERT_TRUE(logical("M_CRPTINIT", {T("heslo")}));
    for (size_t n : kLengths) {
        std::string s = RandomBytes(n, static_cast<unsigned>(n + 6));
        WriteFile(path("a.bin"), s);
        ASSERT_TRUE(fileX("M_FECRPTWX", path("a.bin"), path("b.bin")));
        EXPECT_TRUE(ReadFile(path("b.bin")) == enc(s, "heslo")) << n;
        ASSERT_TRUE(fileX("M_FDCRPTWX", path("b.bin"), path("c.bin")));
        EXPECT_TRUE(ReadFile(path("c.bin")) == s) << n;
    }
}

TEST_F(CryptFile, PasswordAndSessionKeysMeetAcrossTheFamily)
{
    std::string s = RandomBytes(5000, 8);
    WriteFile(path("a.bin"), s);
    ASSERT_TRUE(file("M_FENCRPTW", path("a.bin"), path("b.bin"), "heslo"));
    ASSERT_TRUE(logical("M_CRPTINIT", {T("heslo")}));
    ASSERT_TRUE(fileX("M_FDCRPTWX", path("b.bin"), path("c.bin")));
    EXPECT_TRUE(ReadFile(path("c.bin")) == s);
    ASSERT_TRUE(fileX("M_FECRPTWX", path("a.bin"), path("d.bin")));
    ASSERT_TRUE(file("M_FDECRPTW", path("d.bin"), path("e.bin"), "heslo"));
    EXPECT_TRUE(ReadFile(path("e.bin")) == s);
    EXPECT_TRUE(dec(ReadFile(path("b.bin")), "heslo") == s) << "a file decrypts as a string";
}

TEST_F(CryptFile, AMissingInputIsReportedAndNoOutputMade)
{
    const struct {
        const char* function;
        const char* message;
    } cases[] = {
        {"M_FENCRPTW", "Chyba při otvírání vstupního souboru."},
        {"M_FDECRPTW", "Chyba při otvírání vstupního souboru!"},
        {"M_FECRPTWX", "Chyba při otvírání vstupního souboru."},
        {"M_FDCRPTWX", "Chyba při otvírání vstupního souboru!"},
    };
    for (const auto& c : cases) {
        std::vector<Value> args = {T(path("missing.bin")), T(path("out.bin"))};
        if (std::string(c.function).back() == 'W')
            args.push_back(T("heslo"));
        CallResult r = call(c.function, args);
        EXPECT_FALSE(r.value.logical);
        EXPECT_EQ(takeOutput(), Report(c.message, ERROR_FILE_NOT_FOUND)) << c.function;
        EXPECT_FALSE(FileExists(path("out.bin")));
    }
}

TEST_F(CryptFile, AnOutputInAMissingFolderIsReported)
{
    WriteFile(path("a.bin"), "data");
    for (const char* f : {"M_FENCRPTW", "M_FDECRPTW"}) {
        EXPECT_FALSE(file(f, path("a.bin"), path("nowhere\\b.bin"), "heslo"));
        EXPECT_EQ(takeOutput(),
                  Report("Chyba při otvírání výstupního souboru!", ERROR_PATH_NOT_FOUND));
    }
}

TEST_F(CryptFile, WithoutASessionTheOutputStaysAsItWasAndTheCipherStepIsReported)
{
    const struct {
        const char* function;
        const char* message;
    } cases[] = {
        {"M_FECRPTWX", "Chyba při CryptEncrypt."},
        {"M_FDCRPTWX", "Chyba během CryptDecrypt!"},
    };
    for (bool afterQuit : {false, true}) {
        if (afterQuit) {
            ASSERT_TRUE(logical("M_CRPTINIT", {T("heslo")}));
            ASSERT_TRUE(logical("M_CRPTQUIT", {}));
        }
        for (const auto& c : cases) {
            WriteFile(path("a.bin"), "data");
            WriteFile(path("b.bin"), "yesterday's backup, keep me");
            EXPECT_FALSE(fileX(c.function, path("a.bin"), path("b.bin")));
            EXPECT_EQ(ReadFile(path("b.bin")), "yesterday's backup, keep me") << c.function;
            // A key that is no key: the provider refuses it as a bad parameter.
            EXPECT_EQ(takeOutput(), Report(c.message, ERROR_INVALID_PARAMETER)) << c.function;
            EXPECT_FALSE(fileX(c.function, path("a.bin"), path("new.bin")));
            EXPECT_FALSE(FileExists(path("new.bin"))) << c.function << " made its output";
            EXPECT_EQ(takeOutput(), Report(c.message, ERROR_INVALID_PARAMETER)) << c.function;
        }
    }
}

TEST_F(CryptFile, AnEmptyInputGivesAnEmptyOutput)
{
    WriteFile(path("empty.bin"), "");
    ASSERT_TRUE(file("M_FENCRPTW", path("empty.bin"), path("out.bin"), "heslo"));
    EXPECT_TRUE(FileExists(path("out.bin")));
    EXPECT_EQ(ReadFile(path("out.bin")), "");
}

TEST_F(CryptFile, AShortPasswordRaises107AndTouchesNoFile)
{
    WriteFile(path("a.bin"), "data");
    WriteFile(path("b.bin"), "keep me");
    for (const char* f : {"M_FENCRPTW", "M_FDECRPTW"}) {
        CallResult r = call(f, {T(path("a.bin")), T(path("b.bin")), T("1234")});
        EXPECT_EQ(r.hostError, 107);
        EXPECT_EQ(r.services, std::vector<uint32_t>{83});
        EXPECT_EQ(ReadFile(path("b.bin")), "keep me");
    }
}

TEST_F(CryptFile, AnOutputThatIsTheInputIsRefusedByAnyName)
{
    std::string original = RandomBytes(3000, 9);
    std::string name = path("Long Input Name.bin");
    std::string link = path("link.bin");
    WriteFile(name, original);
    ASSERT_TRUE(CreateHardLinkA(link.c_str(), name.c_str(), nullptr));
    char shortName[MAX_PATH];
    ASSERT_NE(GetShortPathNameA(name.c_str(), shortName, MAX_PATH), 0u);
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, cwd);
    ASSERT_TRUE(SetCurrentDirectoryA(dir.path().c_str()));

    const std::vector<std::string> others = {
        name,
        "Long Input Name.bin",
        ".\\long input name.BIN",
        path("LONG INPUT NAME.BIN"),
        shortName,
        link,
        dir.path() + "/Long Input Name.bin",
    };
    const struct {
        const char* function;
        const char* message;
    } cases[] = {
        {"M_FENCRPTW", "Vstupní a výstupní soubor jsou totožné."},
        {"M_FDECRPTW", "Vstupní a výstupní soubor jsou totožné!"},
        {"M_FECRPTWX", "Vstupní a výstupní soubor jsou totožné."},
        {"M_FDCRPTWX", "Vstupní a výstupní soubor jsou totožné!"},
    };
    ASSERT_TRUE(logical("M_CRPTINIT", {T("heslo")}));
    for (const auto& c : cases) {
        for (const std::string& other : others) {
            std::vector<Value> args = {T(name), T(other)};
            if (std::string(c.function).back() == 'W')
                args.push_back(T("heslo"));
            EXPECT_FALSE(logical(c.function, args)) << other;
            EXPECT_EQ(takeOutput(), Report(c.message, ERROR_INVALID_PARAMETER)) << other;
            EXPECT_TRUE(ReadFile(name) == original) << c.function << " " << other;
        }
    }
    SetCurrentDirectoryA(cwd);
}

TEST_F(CryptFile, AStopRaisedDuringAReportLeavesNoFileOpen)
{
    // The host stops the call when the library shows its message; the
    // unwinding must still close both files and free the handles.
    host.serviceHook = [](abi::HostRequest& request) {
        if (request.code != abi::kSvcPutText)
            return false;
        request.code = abi::kSvcRaiseUserError;
        return true;
    };
    WriteFile(path("a.bin"), "data");
    call("M_FECRPTWX", {T(path("a.bin")), T(path("b.bin"))});
    call("M_FENCRPTW", {T(path("a.bin")), T(path("nowhere\\b.bin")), T("heslo")});
    host.serviceHook = nullptr;
    EXPECT_TRUE(DeleteFileA(path("a.bin").c_str())) << GetLastError();
    // Without a session the output is never made.
    EXPECT_FALSE(FileExists(path("b.bin")));
}

TEST_F(CryptFile, AReadOnlyOutputIsReportedAndKeepsItsContent)
{
    const char* const functions[] = {"M_FENCRPTW", "M_FDECRPTW", "M_FECRPTWX", "M_FDCRPTWX"};
    WriteFile(path("a.bin"), "data");
    ASSERT_TRUE(logical("M_CRPTINIT", {T("heslo")}));
    for (const char* f : functions) {
        WriteFile(path("ro.bin"), "keep me");
        ASSERT_TRUE(SetFileAttributesA(path("ro.bin").c_str(), FILE_ATTRIBUTE_READONLY));
        std::vector<Value> args = {T(path("a.bin")), T(path("ro.bin"))};
        if (std::string(f).back() == 'W')
            args.push_back(T("heslo"));
        EXPECT_FALSE(logical(f, args)) << f;
        EXPECT_EQ(takeOutput(),
                  Report("Chyba při otvírání výstupního souboru!", ERROR_ACCESS_DENIED))
            << f;
        EXPECT_EQ(ReadFile(path("ro.bin")), "keep me") << f;
        ASSERT_TRUE(SetFileAttributesA(path("ro.bin").c_str(), FILE_ATTRIBUTE_NORMAL));
    }
}

// --- Failed cipher calls ----------------------------------------------------

// The provider's cipher calls, answered here: the failAt-th call fails with
// `code`, every other goes to the provider.
struct FailingCall {
    int calls = 0;
    int failAt = 0; // 0: none fails
    DWORD code = 0;

    bool failsNow()
    {
        if (++calls != failAt)
            return false;
        SetLastError(code);
        return true;
    }
};

using CryptEncryptFn = BOOL(WINAPI*)(HCRYPTKEY, HCRYPTHASH, BOOL, DWORD, BYTE*, DWORD*, DWORD);
using CryptDecryptFn = BOOL(WINAPI*)(HCRYPTKEY, HCRYPTHASH, BOOL, DWORD, BYTE*, DWORD*);
FailingCall gEncrypt;
FailingCall gDecrypt;
CryptEncryptFn gRealEncrypt = nullptr;
CryptDecryptFn gRealDecrypt = nullptr;

BOOL WINAPI AnsweredEncrypt(HCRYPTKEY key, HCRYPTHASH hash, BOOL final, DWORD flags, BYTE* data,
                            DWORD* length, DWORD size)
{
    if (gEncrypt.failsNow())
        return FALSE;
    return gRealEncrypt(key, hash, final, flags, data, length, size);
}

BOOL WINAPI AnsweredDecrypt(HCRYPTKEY key, HCRYPTHASH hash, BOOL final, DWORD flags, BYTE* data,
                            DWORD* length)
{
    if (gDecrypt.failsNow())
        return FALSE;
    return gRealDecrypt(key, hash, final, flags, data, length);
}

class CryptFailure : public CryptFile {
  protected:
    void SetUp() override
    {
        CryptFile::SetUp();
        gEncrypt = FailingCall{};
        gDecrypt = FailingCall{};
        HMODULE module = GetModuleHandleA("marvo32.fll");
        ASSERT_NE(module, nullptr);
        encrypt_ =
            std::make_unique<pe::ImportPatch>(module, "advapi32.dll", "CryptEncrypt",
                                              reinterpret_cast<const void*>(&AnsweredEncrypt));
        decrypt_ =
            std::make_unique<pe::ImportPatch>(module, "advapi32.dll", "CryptDecrypt",
                                              reinterpret_cast<const void*>(&AnsweredDecrypt));
        ASSERT_TRUE(encrypt_->installed());
        ASSERT_TRUE(decrypt_->installed());
        gRealEncrypt = encrypt_->original<CryptEncryptFn>();
        gRealDecrypt = decrypt_->original<CryptDecryptFn>();
    }
    void TearDown() override
    {
        encrypt_.reset();
        decrypt_.reset();
        CryptFile::TearDown();
    }

  private:
    std::unique_ptr<pe::ImportPatch> encrypt_;
    std::unique_ptr<pe::ImportPatch> decrypt_;
};

// The code of a failed step in lower-case hexadecimal, without leading
// zeros, as the report shows it; the texts are written out here.
TEST_F(CryptFailure, TheReportNamesTheCodeInLowerCaseHex)
{
    const struct {
        DWORD code;
        const char* hex;
    } cases[] = {
        {0, "0"},
        {87, "57"},
        {0x7B, "7b"},
        {0xABC, "abc"},
        {0x8009000B, "8009000b"},
        {0xFFFFFFFF, "ffffffff"},
    };
    WriteFile(path("a.bin"), "data");
    for (const auto& c : cases) {
        gEncrypt = FailingCall{0, 1, c.code};
        EXPECT_EQ(text("M_ENCRPTW", {T("abc"), T("heslo")}), "") << c.hex;
        EXPECT_EQ(takeOutput(), crypt_tests::ReportWithHex("Error during CryptEncrypt.", c.hex));
        gEncrypt = FailingCall{0, 1, c.code};
        EXPECT_FALSE(file("M_FENCRPTW", path("a.bin"), path("b.bin"), "heslo")) << c.hex;
        EXPECT_EQ(takeOutput(), crypt_tests::ReportWithHex("Chyba při CryptEncrypt.", c.hex));
    }
    EXPECT_EQ(Cp1250("Číslo"), "\xc8\xedslo");
}

using CryptDeriveKeyFn = BOOL(WINAPI*)(HCRYPTPROV, ALG_ID, HCRYPTHASH, DWORD, HCRYPTKEY*);
BOOL WINAPI RefusedDeriveKey(HCRYPTPROV, ALG_ID, HCRYPTHASH, DWORD, HCRYPTKEY*)
{
    SetLastError(static_cast<DWORD>(NTE_BAD_ALGID));
    return FALSE;
}

// A failure known before the first byte is written leaves an existing output
// as it was: here the key cannot be made from the password.
TEST_F(CryptFailure, AKeyThatCannotBeMadeLeavesTheOutputAsItWas)
{
    pe::ImportPatch derive(GetModuleHandleA("marvo32.fll"), "advapi32.dll", "CryptDeriveKey",
                           reinterpret_cast<const void*>(&RefusedDeriveKey));
    ASSERT_TRUE(derive.installed());
    for (const char* function : {"M_FENCRPTW", "M_FDECRPTW"}) {
        WriteFile(path("a.bin"), "data");
        WriteFile(path("b.bin"), "yesterday's backup, keep me");
        EXPECT_FALSE(file(function, path("a.bin"), path("b.bin"), "heslo"));
        EXPECT_EQ(ReadFile(path("b.bin")), "yesterday's backup, keep me") << function;
        EXPECT_NE(takeOutput().find("8009000"), std::string::npos) << function;
        EXPECT_FALSE(file(function, path("a.bin"), path("new.bin"), "heslo"));
        EXPECT_FALSE(FileExists(path("new.bin"))) << function << " made its output";
        takeOutput();
    }
}

// A session call that fails after its first chunk has used part of the
// session key's stream; the next session call must still begin where a
// fresh key begins (the model's cipher of the raw password).
TEST_F(CryptFailure, AFailedSessionCallLeavesTheKeyStreamAtItsStart)
{
    enum class Kind { Text, Variable, File };
    const struct {
        const char* function;
        Kind kind;
        bool decrypt;
        const char* message;
    } cases[] = {
        {"M_ENCRPTWX", Kind::Text, false, "Error during CryptEncrypt."},
        {"M_DECRPTWX", Kind::Text, true, "Error during CryptDecrypt."},
        {"M_MECRPTWX", Kind::Variable, false, "Error during CryptEncrypt."},
        {"M_MDCRPTWX", Kind::Variable, true, "Error during CryptDecrypt."},
        {"M_FECRPTWX", Kind::File, false, "Chyba při CryptEncrypt."},
        {"M_FDCRPTWX", Kind::File, true, "Chyba během CryptDecrypt!"},
    };
    const std::string password = "session key";
    const std::string probe = RandomBytes(1500, 21);
    const std::string data = RandomBytes(2500, 22); // chunks of 1000, 1000 and 500
    ASSERT_TRUE(logical("M_CRPTINIT", {T(password), Value::Bool(true)}));
    for (const auto& c : cases) {
        FailingCall& failing = c.decrypt ? gDecrypt : gEncrypt;
        failing = FailingCall{0, 2, 0x8009000B};
        if (c.kind == Kind::Text) {
            EXPECT_EQ(text(c.function, {T(data)}), "") << c.function;
        } else if (c.kind == Kind::Variable) {
            host.variables().set("v", T(data));
            EXPECT_EQ(text(c.function, {Value::VarRef("v")}), "") << c.function;
        } else {
            WriteFile(path("in.bin"), data);
            EXPECT_FALSE(fileX(c.function, path("in.bin"), path("out.bin"))) << c.function;
        }
        EXPECT_EQ(takeOutput(), crypt_tests::ReportWithHex(c.message, "8009000b")) << c.function;
        failing.failAt = 0;
        EXPECT_TRUE(text("M_ENCRPTWX", {T(probe)}) == model::Cipher(password, probe))
            << "after " << c.function;
        EXPECT_TRUE(text("M_DECRPTWX", {T(model::Cipher(password, probe))}) == probe)
            << "after " << c.function;
    }
}

} // namespace
