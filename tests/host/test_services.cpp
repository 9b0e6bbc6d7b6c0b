// The stand-in host's own services, tested directly: work areas with FoxPro's
// record pointer, memo files, file channels, variables, text windows, the
// host window, and the reading of type strings.
#include <gtest/gtest.h>

#include <windows.h>

#include "host.h"
#include "keyqueue.h"
#include "signature.h"
#include "testdir.h"

using fllhost::Host;
using fllhost::TextWindows;
using fllhost::Value;
using fllhost::WorkAreas;
using testing_support::TempDir;

namespace {

struct Move {
    enum Kind { Top, Skip, Go } kind;
    int n;
    int recno;  // record number afterwards
    int status; // 1 beginning, 2 end
    int answer; // what the move itself answers (Go: 1 = done)
};

// Five records in the index order 3 1 5 2 4.
TEST(WorkAreaMoves, FollowFoxProsRecordPointer)
{
    TempDir dir;
    WorkAreas areas(dir.path());
    ASSERT_TRUE(areas.create(1, 5));
    ASSERT_TRUE(areas.setOrder(1, {3, 1, 5, 2, 4}));
    const Move moves[] = {
        {Move::Top, 0, 3, 0, 3},    {Move::Skip, 1, 1, 0, 1},  {Move::Skip, 3, 4, 0, 4},
        {Move::Skip, 1, 6, 2, 6},   {Move::Skip, 1, 6, 2, 6},  {Move::Skip, -1, 4, 0, 4},
        {Move::Skip, -10, 3, 1, 3}, {Move::Skip, -1, 3, 1, 3}, {Move::Skip, 2, 5, 0, 5},
        {Move::Go, 2, 2, 0, 1},     {Move::Skip, 0, 2, 0, 2},  {Move::Skip, 100, 6, 2, 6},
        {Move::Skip, -5, 3, 0, 3},  {Move::Go, 9, 3, 0, 0},    {Move::Skip, -1, 3, 1, 3},
        {Move::Go, 4, 4, 0, 1},
    };
    int step = 0;
    for (const Move& m : moves) {
        int answer = m.kind == Move::Top    ? areas.goFirst(1)
                     : m.kind == Move::Skip ? areas.skip(1, m.n)
                                            : int(areas.go(1, m.n));
        EXPECT_EQ(answer, m.answer) << "step " << step;
        EXPECT_EQ(areas.recordNumber(1), m.recno) << "step " << step;
        EXPECT_EQ(areas.positionStatus(1), uint32_t(m.status)) << "step " << step;
        ++step;
    }
    EXPECT_EQ(areas.recordCount(1), 5);
}

TEST(WorkAreaMoves, EmptyTablesAndEmptyAreas)
{
    TempDir dir;
    WorkAreas areas(dir.path());
    ASSERT_TRUE(areas.create(2, 0));
    EXPECT_EQ(areas.goFirst(2), 0);
    EXPECT_EQ(areas.recordNumber(2), 1);
    EXPECT_EQ(areas.positionStatus(2), 3u);
    EXPECT_EQ(areas.skip(2, 1), 1);
    EXPECT_EQ(areas.positionStatus(2), 3u);
    for (int area : {0, 3, -1, 40000}) {
        EXPECT_EQ(areas.goFirst(area), 0);
        EXPECT_EQ(areas.recordNumber(area), 0);
        EXPECT_EQ(areas.recordCount(area), 0);
        EXPECT_EQ(areas.positionStatus(area), 0u);
    }
    EXPECT_FALSE(areas.create(0, 3));
    EXPECT_FALSE(areas.create(1, -1));
}

TEST(WorkAreaMoves, OrdersMustBePermutations)
{
    TempDir dir;
    WorkAreas areas(dir.path());
    ASSERT_TRUE(areas.create(1, 4));
    EXPECT_FALSE(areas.setOrder(1, {1, 2, 3}));
    EXPECT_FALSE(areas.setOrder(1, {1, 2, 2, 4}));
    EXPECT_FALSE(areas.setOrder(1, {1, 2, 3, 5}));
    EXPECT_EQ(areas.order(1), (std::vector<int>{1, 2, 3, 4}));
    ASSERT_TRUE(areas.go(1, 3));
    ASSERT_TRUE(areas.setOrder(1, {4, 3, 2, 1}));
    EXPECT_EQ(areas.recordNumber(1), 3) << "the pointer stays on its record";
    EXPECT_EQ(areas.skip(1, 1), 2);
    ASSERT_TRUE(areas.shuffle(1, 7));
    std::vector<int> sorted = areas.order(1);
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<int>{1, 2, 3, 4}));
}

TEST(Memos, LiveInARealFileThatTheLibraryCanRead)
{
    TempDir dir;
    fllhost::FileChannels files;
    std::string path;
    {
        WorkAreas areas(dir.path());
        ASSERT_TRUE(areas.create(5, 3, {"notes", "Body"}));
        path = areas.memoPath(5);
        EXPECT_TRUE(testing_support::FileExists(path));
        EXPECT_EQ(areas.fieldIndex(5, "BODY"), 1);
        EXPECT_EQ(areas.fieldIndex(5, "nope"), -1);
        ASSERT_TRUE(areas.writeMemo(5, 2, "notes", "first"));
        ASSERT_TRUE(areas.writeMemo(5, 2, "notes", std::string("sec\0nd", 6)));
        ASSERT_TRUE(areas.go(5, 3));
        ASSERT_TRUE(areas.writeMemo(5, "body", "third"));
        EXPECT_FALSE(areas.writeMemo(5, 4, "notes", "x"));
        EXPECT_FALSE(areas.writeMemo(5, 1, "nope", "x"));
        EXPECT_EQ(areas.readMemo(5, 2, "NOTES"), std::string("sec\0nd", 6));
        EXPECT_EQ(areas.readMemo(5, 1, "notes"), "");
        EXPECT_EQ(areas.readMemo(5, "body"), "third");
        EXPECT_FALSE(areas.readMemo(5, 1, "nope").has_value());

        ASSERT_TRUE(areas.go(5, 2));
        WorkAreas::MemoSpot spot = areas.locate(5, 0);
        EXPECT_EQ(spot.length, 6);
        const int channel = files.openShared(path);
        ASSERT_GT(channel, 0);
        ASSERT_TRUE(files.seek(channel, static_cast<uint32_t>(spot.offset)));
        char buffer[16] = {};
        EXPECT_EQ(files.read(channel, buffer, 6), 6u);
        EXPECT_EQ(std::string(buffer, 6), std::string("sec\0nd", 6));
        files.close(channel);

        // As _FindMemo and _MemoSize: negative for a field that leads
        // nowhere and for an empty memo.
        EXPECT_EQ(areas.locate(5, 7).offset, -WorkAreas::kNoField);
        EXPECT_EQ(areas.locate(5, 7).length, -WorkAreas::kNoField);
        EXPECT_EQ(areas.locate(6, 0).offset, -WorkAreas::kNoTable);
        EXPECT_EQ(areas.locate(6, 0).length, -WorkAreas::kNoTable);
        EXPECT_LT(areas.locate(5, 1).offset, 0) << "never written";
        EXPECT_LT(areas.locate(5, 1).length, 0);
        ASSERT_TRUE(areas.writeMemo(5, "body", ""));
        EXPECT_LT(areas.locate(5, 1).offset, 0) << "written empty";
        EXPECT_LT(areas.locate(5, 1).length, 0);
        std::string loaded;
        EXPECT_EQ(areas.load(5, 0, loaded), 0);
        EXPECT_EQ(loaded, std::string("sec\0nd", 6));
        EXPECT_EQ(areas.load(5, 1, loaded), 0);
        EXPECT_EQ(loaded, "");
        EXPECT_EQ(areas.load(5, 7, loaded), WorkAreas::kNoField);
        EXPECT_EQ(areas.load(6, 0, loaded), WorkAreas::kNoTable);
        ASSERT_TRUE(areas.writeMemo(5, "notes", std::string(70000, 'x')));
        EXPECT_EQ(areas.load(5, 0, loaded), 0);
        EXPECT_EQ(loaded.size(), WorkAreas::kLoadLimit) << "_Load's limit";
        areas.skip(5, 5);
        EXPECT_LT(areas.locate(5, 0).offset, 0) << "nothing at the end of the file";
        EXPECT_LT(areas.locate(5, 0).length, 0);
        EXPECT_EQ(areas.load(5, 0, loaded), 0);
        EXPECT_EQ(loaded, "");
    }
    EXPECT_FALSE(testing_support::FileExists(path)) << "the memo file goes with its table";
}

TEST(FileChannels, OpenReadSeekAndEnd)
{
    TempDir dir;
    fllhost::FileChannels files;
    testing_support::WriteFile(dir.file("a.txt"), "0123456789");
    EXPECT_LT(files.open(dir.file("missing"), 0, 0), 0);
    EXPECT_LT(files.open(dir.path(), 0, 0), 0) << "a folder is no file";
    const int ch = files.open(dir.file("a.txt"), 0, 0);
    ASSERT_GT(ch, 0);
    char buffer[32];
    EXPECT_FALSE(files.atEnd(ch));
    EXPECT_EQ(files.read(ch, buffer, 4), 4u);
    EXPECT_EQ(files.read(ch, buffer, 32), 6u);
    EXPECT_EQ(std::string(buffer, 6), "456789");
    EXPECT_TRUE(files.atEnd(ch));
    EXPECT_EQ(files.read(ch, buffer, 32), 0u);
    EXPECT_TRUE(files.seek(ch, 8));
    EXPECT_FALSE(files.atEnd(ch));
    EXPECT_EQ(files.read(ch, buffer, 32), 2u);
    EXPECT_TRUE(files.close(ch));
    EXPECT_FALSE(files.close(ch));
    EXPECT_EQ(files.read(ch, buffer, 4), 0u) << "closed channel";
    EXPECT_TRUE(files.atEnd(ch)) << "a loop over a bad channel ends";
    EXPECT_EQ(files.openCount(), 0);
}

TEST(FileChannels, ADriveProbeRemovesOnlyWhatTheHostMade)
{
    TempDir dir;
    fllhost::FileChannels files;
    const std::string probe = dir.file("x.x");
    int ch = files.open(probe, 128, 1);
    ASSERT_GT(ch, 0);
    EXPECT_TRUE(testing_support::FileExists(probe));
    files.close(ch);
    EXPECT_FALSE(testing_support::FileExists(probe)) << "made by the host: removed";

    testing_support::WriteFile(probe, "the user's");
    ch = files.open(probe, 128, 1);
    ASSERT_GT(ch, 0);
    files.close(ch);
    EXPECT_EQ(testing_support::ReadFile(probe), "the user's") << "the user's file stays";
    EXPECT_LT(files.open(dir.file("no\\such\\folder.x"), 128, 1), 0);
}

TEST(FileChannels, NumbersAreReused)
{
    TempDir dir;
    fllhost::FileChannels files;
    testing_support::WriteFile(dir.file("f"), "x");
    const int a = files.open(dir.file("f"), 0, 0);
    const int b = files.open(dir.file("f"), 0, 0);
    EXPECT_NE(a, b);
    files.close(a);
    EXPECT_EQ(files.open(dir.file("f"), 0, 0), a);
    EXPECT_EQ(files.openCount(), 2);
}

TEST(Variables, NamesIgnoreCaseAndReferencesKeepTheirNumber)
{
    fllhost::Variables vars;
    vars.set("Total", Value::Num(1.5, 1));
    EXPECT_EQ(vars.get("TOTAL"), Value::Num(1.5));
    EXPECT_TRUE(vars.contains("total"));
    EXPECT_FALSE(vars.get("other").has_value());
    const uint32_t id = vars.refId("total");
    EXPECT_EQ(vars.refId("TOTAL"), id);
    EXPECT_NE(vars.refId("other"), id);
    EXPECT_EQ(vars.refName(id), "TOTAL");
    EXPECT_FALSE(vars.refName(999).has_value());
    EXPECT_TRUE(vars.erase("total"));
    EXPECT_FALSE(vars.erase("total"));
}

TEST(TextWindowsTest, TheBannerWindowOfTheLibrary)
{
    Host host;
    ASSERT_TRUE(host.load(testing_support::Deliverable("marvo32.fll")));
    host.windows().setWaiter([](int32_t) { return 0; });
    fllhost::CallResult r = host.call("M_INFO", {Value::Int(3)});
    EXPECT_EQ(r.value, Value::Int(0));
    EXPECT_EQ(host.windows().waits(), std::vector<int32_t>{3000});
    std::vector<fllhost::TextWindow> all = host.windows().all();
    ASSERT_EQ(all.size(), 1u);
    const fllhost::TextWindow& w = all[0];
    EXPECT_EQ(w.left, 28);
    EXPECT_EQ(w.top, 1);
    EXPECT_EQ(w.right, 78);
    EXPECT_EQ(w.bottom, 6);
    EXPECT_EQ(w.state, 1) << "released at the end";
    EXPECT_TRUE(w.setUp);
    EXPECT_EQ(w.border, "\xCD\xCD\xBA\xBA\xC9\xBB\xC8\xBC");

    std::vector<std::string> lines = TextWindows::render(w);
    ASSERT_EQ(lines.size(), 6u);
    std::string top = "\u2554", bottom = "\u255A";
    for (int i = 0; i < 49; ++i) {
        top += "\u2550";
        bottom += "\u2550";
    }
    EXPECT_EQ(lines[0], top + "\u2557");
    EXPECT_EQ(lines[5], bottom + "\u255D");
    for (int i = 1; i < 5; ++i) {
        EXPECT_EQ(lines[i].substr(0, 3), "\u2551");
        EXPECT_EQ(lines[i].substr(lines[i].size() - 3), "\u2551");
    }
}

// TimedWait is the host's _InKey: 0 waits until a key comes, a negative
// time-out only takes a key already waiting, a positive one ends early
// when a key comes. Each key here is posted before the wait begins.
TEST(TimedWait, WaitsForAKeyAsInKeyDoes)
{
    using namespace testing_support;
    TextWindows windows;
    ClearKeys();
    EXPECT_EQ(windows.wait(-1), 0) << "no key: a negative time-out answers at once";
    ASSERT_TRUE(PostKey(WM_CHAR, 'x'));
    EXPECT_EQ(windows.wait(-1), 'x');
    ASSERT_TRUE(PostKey(WM_KEYUP, 'Q'));
    ASSERT_TRUE(PostKey(WM_CHAR, 'q'));
    EXPECT_EQ(windows.wait(0), 'q') << "a key release is no key typed";
    ASSERT_TRUE(PostKey(WM_KEYDOWN, 'A'));
    EXPECT_EQ(windows.wait(0), 'A');
    ASSERT_TRUE(PostKey(WM_KEYDOWN, VK_F1));
    EXPECT_EQ(windows.wait(600000), VK_F1) << "no character: the virtual key code";
    EXPECT_EQ(windows.wait(20), 0) << "the time ran out";
    EXPECT_EQ(windows.waits(), (std::vector<int32_t>{-1, -1, 0, 0, 600000, 20}));
}

TEST(TimedWait, IsTheServiceTheLibraryAsksFor)
{
    using namespace testing_support;
    Host host;
    ASSERT_TRUE(host.load(testing_support::Deliverable("marvo32.fll")));
    ClearKeys();
    ASSERT_TRUE(PostKey(WM_CHAR, 'k'));
    // A banner of ten minutes ends with the key that is already there.
    fllhost::CallResult r = host.call("M_INFO", {Value::Int(600)});
    EXPECT_EQ(r.value, Value::Int(0));
    EXPECT_EQ(host.windows().waits(), std::vector<int32_t>{600000});
    EXPECT_FALSE(KeyStillWaiting(WM_CHAR, 'k')) << "the wait took the key";
}

TEST(TextWindowsTest, RenderCutsAndPads)
{
    fllhost::TextWindow w;
    w.left = 0;
    w.right = 5;
    w.top = 0;
    w.bottom = 3;
    w.border = "-=|!abcd";
    w.text = "toolong\nx";
    EXPECT_EQ(TextWindows::render(w),
              (std::vector<std::string>{"a----b", "|tool!", "|x   !", "c====d"}));
    EXPECT_EQ(TextWindows::oemToUtf8(0xC4), "\u2500");
    EXPECT_EQ(TextWindows::oemToUtf8('A'), "A");
    EXPECT_EQ(TextWindows::oemToUtf8(0xE8), "?");
}

TEST(HostWindow, IsARealHiddenWindow)
{
    Host host;
    HWND hwnd = static_cast<HWND>(host.nativeWindow());
    ASSERT_NE(hwnd, nullptr);
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_EQ(host.nativeWindow(), hwnd) << "one window per host";
}

struct TypesCase {
    const char* types;
    std::vector<std::pair<char, bool>> wanted;
};

TEST(TypeStrings, AreReadLetterByLetter)
{
    const TypesCase cases[] = {
        {"", {}},
        {"C", {{'C', false}}},
        {".C", {{'C', true}}},
        {"I, I", {{'I', false}, {'I', false}}},
        {"C,.?,C,I", {{'C', false}, {'?', true}, {'C', false}, {'I', false}}},
        {"R,C", {{'R', false}, {'C', false}}},
        // Without commas, as Microsoft's FoxInfo page writes them.
        {"CN", {{'C', false}, {'N', false}}},
        {"C.L.I", {{'C', false}, {'L', true}, {'I', true}}},
    };
    for (const TypesCase& c : cases) {
        std::vector<fllhost::ParamSpec> got = fllhost::ParseTypes(c.types);
        ASSERT_EQ(got.size(), c.wanted.size()) << c.types;
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].kind, c.wanted[i].first) << c.types;
            EXPECT_EQ(got[i].optional, c.wanted[i].second) << c.types;
        }
    }
}

TEST(TypeStrings, LettersWithoutCommasAreParametersToo)
{
    std::vector<Value> args{Value::Text("a"), Value::Int(3)};
    EXPECT_EQ(fllhost::CheckArguments("F", 2, "CN", args), "");
    EXPECT_EQ(args[1], Value::Num(3));
    std::vector<Value> swapped{Value::Int(3), Value::Text("a")};
    EXPECT_EQ(fllhost::CheckArguments("F", 2, "CN", swapped), "F: argument 1 must be C, not I");
    std::vector<Value> one{Value::Text("a")};
    EXPECT_EQ(fllhost::CheckArguments("F", 2, "C.N", one), "");
}

} // namespace
