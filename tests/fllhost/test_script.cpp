// The FoxPro subset of fllhost: tokens, statements, and the interpreter's
// output, errors and statuses with the real marvo32.fll loaded.
#include <gtest/gtest.h>

#include <sstream>

#include "script/script.h"
#include "testdir.h"

using fllhost::Value;
using namespace fllhost::script;

namespace {

TEST(Lexer, TokensOfALine)
{
    std::vector<Token> t =
        Tokenize("? x, \"a'b\" + 'c\"d' + [e\"'f], 0h41FF, 12, 1.50, .t., .F. && no");
    std::vector<Token::Kind> kinds;
    for (const Token& token : t)
        kinds.push_back(token.kind);
    using K = Token::Kind;
    EXPECT_EQ(kinds, (std::vector<K>{K::Symbol, K::Name, K::Symbol, K::String, K::Symbol, K::String,
                                     K::Symbol, K::String, K::Symbol, K::String, K::Symbol,
                                     K::Integer, K::Symbol, K::Decimal, K::Symbol, K::Logical,
                                     K::Symbol, K::Logical, K::End}));
    EXPECT_EQ(t[1].text, "X");
    EXPECT_EQ(t[3].text, "a'b");
    EXPECT_EQ(t[5].text, "c\"d");
    EXPECT_EQ(t[7].text, "e\"'f");
    EXPECT_EQ(t[9].text, "A\xFF");
    EXPECT_EQ(t[11].number, 12);
    EXPECT_EQ(t[13].decimals, 2);
    EXPECT_TRUE(t[15].logical);
    EXPECT_FALSE(t[17].logical);
}

TEST(Lexer, Faults)
{
    for (const char* bad : {"? \"open", "? 0h123", "? 0hXY", "? 12abc", "? ~", "? [x"})
        EXPECT_THROW(Tokenize(bad), SyntaxError) << bad;
    EXPECT_EQ(Tokenize("? 0h")[1].text, "") << "no bytes at all";
    EXPECT_EQ(StripComment("? \"a && b\" && c"), "? \"a && b\" ");
}

struct Parsed {
    const char* line;
    Statement::Kind kind;
};

TEST(Parser, Statements)
{
    const Parsed cases[] = {
        {"", Statement::Kind::Empty},
        {"  * comment", Statement::Kind::Empty},
        {"NOTE more", Statement::Kind::Empty},
        {"&& only a comment", Statement::Kind::Empty},
        {"? 1, 2", Statement::Kind::Print},
        {"?", Statement::Kind::Print},
        {"?? 'x'", Statement::Kind::Print},
        {"x = 1", Statement::Kind::Assign},
        {"STORE 1 TO x", Statement::Kind::Assign},
        {"= M_SLEEP(1)", Statement::Kind::Evaluate},
        {"m_sleep(1)", Statement::Kind::Evaluate},
        {"set library to marvo32", Statement::Kind::SetLibrary},
        {"SET LIBRARY TO", Statement::Kind::SetLibrary},
        {"SELECT 2", Statement::Kind::Select},
        {"GO 3", Statement::Kind::Go},
        {"GOTO TOP IN 2", Statement::Kind::Go},
        {"go bottom", Statement::Kind::Go},
        {"SKIP", Statement::Kind::Skip},
        {"SKIP -2 IN 1", Statement::Kind::Skip},
        {"REPLACE notes WITH 'x' IN 3", Statement::Kind::Replace},
        {"RELEASE a, b", Statement::Kind::Release},
        {"ERASE 'f.txt'", Statement::Kind::Erase},
    };
    for (const Parsed& c : cases)
        EXPECT_EQ(Parse(c.line).kind, c.kind) << c.line;
    EXPECT_FALSE(Parse("?? 1").newLine);
    EXPECT_EQ(Parse("SET LIBRARY TO \"C:\\a b\\m.fll\" ADDITIVE && x").path, "C:\\a b\\m.fll");
    EXPECT_EQ(Parse("set libr to ..\\lib\\marvo32.fll").path, "..\\lib\\marvo32.fll");
    EXPECT_EQ(Parse("GO TOP").where, Statement::Where::Top);
}

TEST(Parser, SyntaxErrors)
{
    for (const char* bad : {"? 1 2", "? (1", "x = ", "frobnicate", "? f(1,", "REPLACE x 'y'",
                            "STORE 1 x", "SKIP 1 2", "? @", "? 1 +", "SET LIBRARY 'x'"})
        EXPECT_THROW(Parse(bad), SyntaxError) << bad;
}

// Runs lines against marvo32.fll; what reached each stream is kept.
class Run : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(script.setLibrary(testing_support::Deliverable("marvo32.fll"))) << err.str();
    }
    std::string lines(std::initializer_list<const char*> program)
    {
        for (const char* line : program)
            if (!script.run(line))
                break;
        script.finish();
        return out.str();
    }

    std::ostringstream out, err;
    Interpreter script{out, err};
};

TEST_F(Run, PrintingRules)
{
    EXPECT_EQ(lines({"? 'a', 0h00FF, 42, -7, 1.50, 0.125, .T., .F.", "? M_SLEEP(0)",
                     "? M_STRCRC32('a'), M_STRCRC16('abc')", "?", "? 1 + 2, 1.5 + 1, 'x' + 'y'",
                     "?? 'same line'"}),
              std::string("a ") + std::string("\0\xFF", 2) +
                  " 42 -7 1.50 0.125 .T. .F.\n.T.\n3904355907 38712\n\n3 2.5 xysame line\n");
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(script.status(), Interpreter::kOk);
}

TEST_F(Run, ErrorsGoToTheErrorStreamAndTheScriptGoesOn)
{
    EXPECT_EQ(lines({"? 'before'", "? M_FCRC32('no such file'), 'never'", "x = M_STRCRC32(1)",
                     "? y", "? 'a' + 1", "? 'after'"}),
              "before\nafter\n");
    EXPECT_EQ(err.str(), "Error 104\n"
                         "Error: M_STRCRC32: argument 1 must be C, not I\n"
                         "Error: Variable 'Y' is not found\n"
                         "Error: Operator/operand type mismatch\n");
    EXPECT_FALSE(script.host().variables().contains("x")) << "the statement had no value";
    EXPECT_EQ(script.status(), Interpreter::kRaised);
}

TEST_F(Run, UserErrorsPrintTheirText)
{
    script.host().serviceHook = [](abi::HostRequest& r) {
        if (r.code != abi::kSvcFileOpen)
            return false;
        static const char text[] = "Disk is full\n";
        r.code = abi::kSvcRaiseUserError;
        r.arg1 = reinterpret_cast<uint32_t>(text);
        return false;
    };
    lines({"? M_FCRC32('x')"});
    EXPECT_EQ(err.str(), "Error: Disk is full\n");
}

TEST_F(Run, ASyntaxErrorStopsWithStatus2)
{
    EXPECT_EQ(lines({"? 1", "? 1 2", "? 3"}), "1\n");
    EXPECT_EQ(err.str(), "Syntax error: unexpected '2'\n");
    EXPECT_EQ(script.status(), Interpreter::kStopped);
}

TEST_F(Run, ALibraryThatCannotBeLoadedStopsWithStatus2)
{
    testing_support::TempDir dir;
    EXPECT_FALSE(script.run("SET LIBRARY TO " + dir.file("none.fll")));
    EXPECT_EQ(script.status(), Interpreter::kStopped);
    EXPECT_EQ(err.str().substr(0, 13), "Error: cannot");
}

TEST_F(Run, VariablesAndReferences)
{
    EXPECT_EQ(lines({"x = 'hello'", "STORE 5 TO n", "? x, n, LEN(x), m.x",
                     "e = M_MENCRPTW(@x, 'password')", "? M_DECRPTW(e, 'password'), LEN(e)",
                     "? M_MENCRPTW(@n, 'password')", "RELEASE x", "? x"}),
              "hello 5 5 hello\nhello 5\n");
    EXPECT_EQ(err.str(), "Error 302\nError: Variable 'X' is not found\n");
}

TEST_F(Run, TablesMemosAndMoves)
{
    EXPECT_EQ(lines({"? MAKETABLE(4, 3, '2 3 1', 'notes body'), SELECT(), RECNO()",
                     "REPLACE notes WITH 'first'",
                     "SKIP",
                     "? RECNO(), notes + '|'",
                     "REPLACE body WITH 'third'",
                     "GO BOTTOM",
                     "? RECNO(), EOF()",
                     "SKIP",
                     "? RECNO(), EOF(), RECCOUNT()",
                     "SKIP",
                     "GO 2",
                     "? notes, BOF()",
                     "SKIP -5",
                     "? RECNO(), BOF()",
                     "SKIP -1",
                     "GO TOP IN 4",
                     "SKIP 1",
                     "? body",
                     "REPLACE body WITH M_MENCRPTW(@body, 'password')",
                     "? LEN(body), M_MDECRPTW(@body, 'password')",
                     "GO 7"}),
              ".T. 4 2\n3 |\n1 .F.\n4 .T. 3\nfirst .F.\n2 .T.\nthird\n5 third\n");
    EXPECT_EQ(err.str(), "Error: End of file encountered\n"
                         "Error: Beginning of file encountered\n"
                         "Error: Record is out of range\n");
    EXPECT_EQ(script.host().workAreas().readMemo(4, 2, "notes"), "first");
}

TEST_F(Run, BuiltIns)
{
    testing_support::TempDir dir;
    const std::string f = dir.file("b.bin");
    EXPECT_EQ(lines({("f = '" + f + "'").c_str(), "? STRTOFILE(0h610062, f), FILE(f)",
                     "? STRCONV(FILETOSTR(f), 15), STRCONV('61 6a', 16), CHR(65) + CHR(66)",
                     "? STRTOFILE('c', f, .T.), FILETOSTR(f)", "ERASE f", "? FILE(f)",
                     "? FILETOSTR(f)", "? CHR(256)", "? LEN(1)", "? STRCONV('x', 14)"}),
              "3 .T.\n610062 aj AB\n1 a" + std::string(1, '\0') + "bc\n.F.\n");
    EXPECT_EQ(err.str(), "Error: File '" + f + "' does not exist\n" +
                             "Error: CHR: function argument value, type, or count is invalid\n" +
                             "Error: LEN: function argument value, type, or count is invalid\n" +
                             "Error: STRCONV: only 15 (bytes to hexadecimal) and 16 (back) are "
                             "known\n");
}

TEST_F(Run, TheBannerIsDrawnAsABox)
{
    script.host().windows().setWaiter([](int32_t) { return 0; });
    const std::string shown = lines({"? 'x'", "? M_INFO(1)"});
    EXPECT_EQ(shown.substr(0, 2), "x\n");
    EXPECT_NE(shown.find(std::string(28, ' ') + "\u2554\u2550"), std::string::npos);
    EXPECT_NE(shown.find("\u2551Marvo32"), std::string::npos);
    EXPECT_EQ(shown.substr(shown.size() - 3), "\n0\n");
}

} // namespace
