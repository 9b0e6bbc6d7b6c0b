// The FoxPro that the sample programs need from fllhost: blocks (IF, DO
// WHILE, FOR, EXIT, LOOP), LOCAL variables and arrays, operators, ADIR,
// BITTEST, TRANSFORM, PADR/PADL/ALLTRIM, cursors with memo fields,
// #DEFINE and #INCLUDE, continued lines, and a key wait that ends at its
// time-out. Expected values are worked out by hand from FoxPro's rules.
#include <gtest/gtest.h>

#include <sstream>
#include <windows.h>

#include "script/script.h"
#include "testdir.h"

using fllhost::Value;
using namespace fllhost::script;
using testing_support::TempDir;

namespace {

struct Parsed {
    const char* line;
    Statement::Kind kind;
};

TEST(Language, StatementsOfBlocksAndCursors)
{
    using K = Statement::Kind;
    const Parsed cases[] = {
        {"IF x > 1", K::If},
        {"IF (x)", K::If},
        {"else", K::Else},
        {"ENDIF", K::EndIf},
        {"ENDI", K::EndIf},
        {"DO WHILE .T.", K::DoWhile},
        {"ENDDO", K::EndDo},
        {"FOR i = 1 TO 10 STEP 2", K::For},
        {"ENDFOR", K::EndFor},
        {"NEXT i", K::EndFor},
        {"EXIT", K::Exit},
        {"LOOP", K::Loop},
        {"LOCAL a, b[3], c[2, 5]", K::Local},
        {"LOCAL ARRAY d(4)", K::Local},
        {"CREATE CURSOR vault (notes M, body MEMO)", K::CreateCursor},
        {"APPEND BLANK", K::AppendBlank},
        {"APPEND BLANK IN vault", K::AppendBlank},
        {"USE", K::Use},
        {"USE IN vault", K::Use},
        {"x[2] = 5", K::Assign},
        {"#DEFINE LIMIT 10", K::Define},
        {"#include \"marvo32.h\"", K::Include},
        {"SELECT vault", K::Select},
    };
    for (const Parsed& c : cases)
        EXPECT_EQ(Parse(c.line).kind, c.kind) << c.line;
    const Statement local = Parse("LOCAL a, b[3], c[2, 5]");
    EXPECT_EQ(local.names, (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(local.subscripts[2].size(), 2u);
    const Statement cursor = Parse("CREATE CURSOR vault (notes M, body MEMO)");
    EXPECT_EQ(cursor.path, "VAULT");
    EXPECT_EQ(cursor.types, (std::vector<std::string>{"M", "MEMO"}));
    EXPECT_EQ(Parse("#DEFINE GREETING 'hello' && a comment").path, "'hello'");
    EXPECT_EQ(Parse("#INCLUDE [C:\\a b\\m.h]").path, "C:\\a b\\m.h");
}

TEST(Language, SyntaxErrorsOfTheNewStatements)
{
    for (const char* bad :
         {"IF", "DO WHILE", "FOR i 1 TO 2", "FOR i = 1 2", "FOR = 1 TO 2", "LOCAL",
          "LOCAL a[1, 2, 3]", "CREATE CURSOR x", "CREATE CURSOR x (a)", "APPEND", "x[1 = 2",
          "#DEFINE", "#DEFINE 1x 2", "#FOO", "#INCLUDE", "? 1 <", "? NOT", "? a AND", "ENDIF 1"})
        EXPECT_THROW(Parse(bad), SyntaxError) << bad;
}

TEST(Language, SubscriptsAndStrings)
{
    // A [ right after a name opens subscripts; after a blank or a symbol it starts a string.
    std::vector<Token> t = Tokenize("? a[1], [b], x = [c]");
    EXPECT_TRUE(t[2].is("["));
    EXPECT_EQ(t[6].kind, Token::Kind::String);
    EXPECT_EQ(t[10].kind, Token::Kind::String);
    std::vector<Token> w = Tokenize("? .T. .AND. .not. x .Or. y");
    EXPECT_TRUE(w[2].isWord("AND"));
    EXPECT_TRUE(w[3].isWord("NOT"));
    EXPECT_TRUE(w[5].isWord("OR"));
}

// Runs a program against marvo32.fll; what reached each stream is kept.
class Program : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(script.setLibrary(testing_support::Deliverable("marvo32.fll"))) << err.str();
    }
    std::string run(const std::string& program)
    {
        std::istringstream in(program);
        script.runProgram(in);
        script.finish();
        return out.str();
    }

    std::ostringstream out, err;
    Interpreter script{out, err};
};

struct Case {
    const char* expr;
    const char* shown;
};

struct Shown {
    std::string out, err;
    int status;
};

// "? expr" in an interpreter of its own, without a library.
Shown Show(const std::string& expr)
{
    std::ostringstream out, err;
    Interpreter script(out, err);
    script.run("? " + expr);
    script.finish();
    return {out.str(), err.str(), script.status()};
}

TEST(Expressions, OperatorsAndTheirOrder)
{
    const Case cases[] = {
        {"1 + 2 * 3", "7"},
        {"(1 + 2) * 3", "9"},
        {"2 * 3.5", "7.0"},
        {"10 / 4", "2.50"},
        {"1 / 3", "0.33"},
        {"7.125 / 1", "7.125"},
        {"2 ^ 10", "1024.00"},
        {"2 ** 3", "8.00"},
        {"-2 ^ 2", "4.00"},
        {"7 % 3", "1"},
        {"-7 % 3", "2"},
        {"7 % -3", "-2"},
        {"7.5 % 2", "1.5"},
        {"3 > 2", ".T."},
        {"3 >= 3", ".T."},
        {"2 < 1.5", ".F."},
        {"2 <= 2", ".T."},
        {"1 = 1.0", ".T."},
        {"1 <> 2", ".T."},
        {"1 # 1", ".F."},
        {"1 != 2", ".T."},
        {"\"abc\" = \"ab\"", ".T."},
        {"\"ab\" = \"abc\"", ".F."},
        {"\"abc\" = \"\"", ".T."},
        {"\"abc\" == \"ab\"", ".F."},
        {"\"abc\" == \"abc\"", ".T."},
        {"\"abc\" <> \"ab\"", ".F."},
        {"\"a\" < \"b\"", ".T."},
        {"CHR(200) > \"z\"", ".T."},
        {".T. = .T.", ".T."},
        {".T. <> .F.", ".T."},
        {"NOT .T.", ".F."},
        {"!.F.", ".T."},
        {".T. AND .F.", ".F."},
        {".T. OR .F.", ".T."},
        {".F. OR .F. OR .T.", ".T."},
        {"NOT 1 > 2 AND 2 > 1", ".T."},
        {".T. OR .F. AND .F.", ".T."},
        {"1 + 2 = 3", ".T."},
        {".F. AND nothing", ".F."}, // the right side is not looked at
        {".T. OR nothing", ".T."},
        {"2147483647 + 1", "2147483648"},
        {"65536 * 65536", "4294967296"},
    };
    for (const Case& c : cases) {
        const Shown r = Show(c.expr);
        EXPECT_EQ(r.out, std::string(c.shown) + "\n") << c.expr;
        EXPECT_EQ(r.err, "") << c.expr;
    }
}

TEST(Expressions, TypeAndArithmeticErrors)
{
    const Case cases[] = {
        {"1 / 0", "Error: Division by zero"},
        {"5 % 0", "Error: Division by zero"},
        {"'a' * 2", "Error: Operator/operand type mismatch"},
        {"'a' < 1", "Error: Operator/operand type mismatch"},
        {".T. < .F.", "Error: Operator/operand type mismatch"},
        {".T. = 1", "Error: Operator/operand type mismatch"},
        {"NOT 1", "Error: Operator/operand type mismatch"},
        {"1 AND .T.", "Error: Operator/operand type mismatch"},
    };
    for (const Case& c : cases) {
        const Shown r = Show(c.expr);
        EXPECT_EQ(r.err, std::string(c.shown) + "\n") << c.expr;
        EXPECT_EQ(r.out, "") << c.expr;
    }
}

TEST(Builtins, BitTestTransformAndPadding)
{
    const Case cases[] = {
        {"BITTEST(5, 0)", ".T."},
        {"BITTEST(5, 1)", ".F."},
        {"BITTEST(5, 2)", ".T."},
        {"BITTEST(-1, 31)", ".T."},
        {"BITTEST(2147483647, 31)", ".F."},
        {"BITTEST(4294967295, 31)", ".T."},
        {"TRANSFORM(42)", "42"},
        {"TRANSFORM(-3)", "-3"},
        {"TRANSFORM(1.50)", "1.50"},
        {"TRANSFORM(.T.)", ".T."},
        {"TRANSFORM('text')", "text"},
        {"TRANSFORM(1234567, '999,999,999')", "  1,234,567"},
        {"TRANSFORM(12, '999,999')", "     12"},
        {"TRANSFORM(0, '999')", "  0"},
        {"TRANSFORM(-12.5, '9,999.99')", "  -12.50"},
        {"TRANSFORM(3.14159, '9.99')", "3.14"},
        {"TRANSFORM(1000, '999')", "***"},
        {"TRANSFORM(-100, '999')", "***"},
        {"TRANSFORM(5, '##')", " 5"},
        {"TRANSFORM(3421780262, '@0')", "0xCBF43926"},
        {"TRANSFORM(255, '@0')", "0x000000FF"},
        {"TRANSFORM(-1, '@0')", "0xFFFFFFFF"},
        {"PADR('ab', 5) + '|'", "ab   |"},
        {"PADR('abcdef', 3)", "abc"},
        {"PADL('ab', 4, '*')", "**ab"},
        {"PADL(42, 6, '0')", "000042"},
        {"PADR(1.5, 5) + '|'", "1.5  |"},
        {"'|' + ALLTRIM('  a b  ') + '|'", "|a b|"},
        {"'|' + ALLTRIM('   ') + '|'", "||"},
    };
    for (const Case& c : cases) {
        const Shown r = Show(c.expr);
        EXPECT_EQ(r.out, std::string(c.shown) + "\n") << c.expr;
        EXPECT_EQ(r.err, "") << c.expr;
    }
    for (const char* bad :
         {"BITTEST(1, 32)", "BITTEST(1, -1)", "BITTEST('a', 1)", "TRANSFORM(1, 'XX')",
          "TRANSFORM('a', '999')", "PADR('a', -1)", "ALLTRIM(1)"}) {
        const Shown r = Show(bad);
        EXPECT_EQ(r.err.substr(0, 7), "Error: ") << bad;
        EXPECT_EQ(r.status, Interpreter::kRaised) << bad;
    }
}

struct Block {
    const char* program;
    const char* output;
};

TEST_F(Program, Blocks)
{
    const Block cases[] = {
        {"IF 1 < 2\n? 'yes'\nELSE\n? 'no'\nENDIF\n? 'after'", "yes\nafter\n"},
        {"IF 1 > 2\n? 'yes'\nELSE\n? 'no'\nENDIF", "no\n"},
        {"IF .F.\n? 'yes'\nENDIF\n? 'after'", "after\n"},
        {"x = 5\nIF x > 1\nIF x > 3\n? 'big'\nELSE\n? 'middle'\nENDIF\nELSE\n? 'small'\nENDIF",
         "big\n"},
        {"FOR i = 1 TO 3\n?? i\nENDFOR\n? i", "123\n4\n"},
        {"FOR i = 10 TO 1 STEP -4\n?? i\nNEXT", "1062\n"},
        {"FOR i = 1 TO 0\n? 'never'\nENDFOR\n? i", "1\n"},
        {"FOR i = 0.5 TO 1.5 STEP 0.5\n?? i, ''\nENDFOR", "0.5 1.0 1.5 \n"},
        {"n = 2\nFOR i = 1 TO n\nn = 5\n?? i\nENDFOR", "12\n"},
        {"i = 0\nDO WHILE i < 3\ni = i + 1\n?? i\nENDDO", "123\n"},
        {"i = 0\nDO WHILE .T.\ni = i + 1\nIF i = 2\nLOOP\nENDIF\nIF i > 4\nEXIT\nENDIF\n?? i\nENDDO"
         "\n? 'out', i",
         "134\nout 5\n"},
        {"FOR i = 1 TO 3\nFOR j = 1 TO 3\nIF j > i\nEXIT\nENDIF\n?? j\nENDFOR\n?? '|'\nENDFOR",
         "1|12|123|\n"},
        {"FOR i = 1 TO 5\nIF i % 2 = 0\nLOOP\nENDIF\n?? i\nENDFOR", "135\n"},
        {"DO WHILE .F.\n? 'never'\nENDDO\n? 'done'", "done\n"},
    };
    for (const Block& c : cases) {
        std::ostringstream out, err;
        Interpreter script(out, err);
        std::istringstream in(c.program);
        EXPECT_TRUE(script.runProgram(in)) << c.program;
        script.finish();
        EXPECT_EQ(out.str(), c.output) << c.program;
        EXPECT_EQ(err.str(), "") << c.program;
        EXPECT_EQ(script.status(), Interpreter::kOk) << c.program;
    }
}

TEST_F(Program, BlockFaults)
{
    const Block cases[] = {
        {"? 1\nENDIF\n? 2", "Syntax error in line 2: ENDIF without IF\n"},
        {"IF .T.\nELSE\nELSE\nENDIF", "Syntax error in line 3: ELSE without IF\n"},
        {"FOR i = 1 TO 2\nENDDO", "Syntax error in line 2: ENDDO without DO WHILE\n"},
        {"DO WHILE .T.\nENDFOR", "Syntax error in line 2: ENDFOR without FOR\n"},
        {"EXIT", "Syntax error in line 1: EXIT outside a loop\n"},
        {"IF .T.\nLOOP\nENDIF", "Syntax error in line 2: LOOP outside a loop\n"},
        {"IF .T.\n? 1", "Syntax error: IF without ENDIF\n"},
        {"FOR i = 1 TO 2\nIF .T.\nENDIF", "Syntax error: FOR without ENDFOR\n"},
        {"IF .T.\n? 1 2\nENDIF", "Syntax error in line 2: unexpected '2'\n"},
    };
    for (const Block& c : cases) {
        std::ostringstream out, err;
        Interpreter script(out, err);
        std::istringstream in(c.program);
        script.runProgram(in);
        script.finish();
        EXPECT_EQ(err.str(), c.output) << c.program;
        EXPECT_EQ(script.status(), Interpreter::kStopped) << c.program;
    }
}

TEST_F(Program, RaisedErrorsInsideBlocksLetTheProgramGoOn)
{
    EXPECT_EQ(run("IF nothing\n? 'no'\nELSE\n? 'else'\nENDIF\n"
                  "DO WHILE 1\n? 'never'\nENDDO\n"
                  "FOR i = 1 TO 'x'\n? 'never'\nENDFOR\n"
                  "FOR i = 1 TO 2\n? M_FCRC32('no such file'), 'no'\n?? i\nENDFOR\n? 'end'"),
              "1\n2\nend\n");
    EXPECT_EQ(err.str(), "Error: Variable 'NOTHING' is not found\n"
                         "Error: Operator/operand type mismatch\n"
                         "Error: Operator/operand type mismatch\n"
                         "Error 104\nError 104\n");
    EXPECT_EQ(script.status(), Interpreter::kRaised);
}

TEST_F(Program, LocalVariablesAndArrays)
{
    EXPECT_EQ(run("LOCAL a, b[3], c[2, 3]\n"
                  "? a, b, b[3], c[2, 3]\n"
                  "b[2] = 'two'\n"
                  "c[2, 1] = 21\n"
                  "? b[2], c[2, 1], c[4]\n"
                  "c = 0\n"
                  "? c[1, 1] + c[2, 3]\n"
                  "LOCAL ARRAY d(2)\n"
                  "d(1) = 1\n"
                  "? d[1], d(1)\n"
                  "? b[4]\n"
                  "? c[3, 1]\n"
                  "? a[1]\n"
                  "RELEASE b\n"
                  "? b[1]"),
              ".F. .F. .F. .F.\ntwo 21 21\n0\n1 1\n");
    EXPECT_EQ(err.str(), "Error: Array dimensions are invalid\n"
                         "Error: Array dimensions are invalid\n"
                         "Error: 'A' is not an array\n"
                         "Error: Variable 'B' is not found\n");
}

TEST_F(Program, ADirListsAFolderInNameOrder)
{
    TempDir dir;
    testing_support::WriteFile(dir.file("b.txt"), "12345");
    testing_support::WriteFile(dir.file("A.bin"), "");
    testing_support::WriteFile(dir.file("hidden.txt"), "h");
    SetFileAttributesA(dir.file("hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesA(dir.file("b.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    CreateDirectoryA(dir.file("sub").c_str(), nullptr);
    EXPECT_EQ(run("folder = '" + dir.path() +
                  "\\'\n"
                  "LOCAL laFiles[1]\n"
                  "n = ADIR(laFiles, folder + '*.*')\n"
                  "FOR i = 1 TO n\n"
                  "? laFiles[i, 1], laFiles[i, 2], laFiles[i, 5]\n"
                  "ENDFOR\n"
                  "? LEN(laFiles[1, 3]), LEN(laFiles[1, 4])\n"
                  "? ADIR(laFiles, folder + '*.*', 'HD')\n"
                  "? laFiles[1, 1], laFiles[2, 1], laFiles[6, 1], laFiles[6, 5], laFiles[5, 1]\n"
                  "? ADIR(laFiles, folder + '*.none'), laFiles[4, 1]\n"
                  "LOCAL other[1]\n"
                  "? ADIR(other, folder + 'missing\\*.*'), other[1]"),
              "A.BIN 0 ....A\nB.TXT 5 R...A\n8 8\n6\n. .. SUB ...D. HIDDEN.TXT\n0 B.TXT\n0 .F.\n");
    EXPECT_EQ(err.str(), "");
    SetFileAttributesA(dir.file("b.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesA(dir.file("hidden.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(dir.file("sub").c_str());
}

TEST_F(Program, CursorsKeepTheirMemosInTheMemoFile)
{
    EXPECT_EQ(run("CREATE CURSOR vault (notes M, body MEMO)\n"
                  "? SELECT(), RECCOUNT(), EOF()\n"
                  "APPEND BLANK\n"
                  "REPLACE notes WITH 'first'\n"
                  "APPEND BLANK IN vault\n"
                  "REPLACE notes WITH 'second'\n"
                  "REPLACE body WITH M_ENCRPTW('secret body', 'password')\n"
                  "? RECNO(), RECCOUNT(), vault.notes, LEN(body)\n"
                  "? M_MDECRPTW(@body, 'password')\n"
                  "GO TOP\n"
                  "DO WHILE NOT EOF()\n"
                  "? RECNO(), notes, LEN(body)\n"
                  "SKIP\n"
                  "ENDDO\n"
                  "GO 3\n"),
              "1 0 .T.\n2 2 second 11\nsecret body\n1 first 0\n2 second 11\n");
    const std::string memo = script.host().workAreas().memoPath(1);
    ASSERT_FALSE(memo.empty());
    EXPECT_NE(testing_support::ReadFile(memo).find("second"), std::string::npos);
    EXPECT_EQ(script.host().workAreas().readMemo(1, 1, "notes"), "first");
    EXPECT_EQ(run("? vault.body = body\n"
                  "USE IN vault\n"
                  "? vault.notes\n"
                  "CREATE CURSOR two (a M)\n"
                  "CREATE CURSOR two (b M)\n"
                  "CREATE CURSOR three (a C(10))\n"
                  "SELECT 5\n"
                  "APPEND BLANK\n"
                  "SELECT two\n"
                  "APPEND BLANK\n"
                  "? RECCOUNT(), SELECT()\n"
                  "USE\n"
                  "? RECCOUNT()"),
              "1 0 .T.\n2 2 second 11\nsecret body\n1 first 0\n2 second 11\n.T.\n1 1\n0\n");
    EXPECT_FALSE(testing_support::FileExists(memo)) << "the memo file goes with the cursor";
    EXPECT_EQ(err.str(), "Error: Record is out of range\n"
                         "Error: Alias 'VAULT' is not found\n"
                         "Error: Alias name is already in use\n"
                         "Error: fllhost keeps memo fields only: field A is C\n"
                         "Error: No table is open in the current work area\n");
}

TEST_F(Program, DefinesAndIncludes)
{
    TempDir dir;
    testing_support::WriteFile(dir.file("consts.h"), "* constants\r\n#DEFINE VK_ESCAPE 27\r\n"
                                                     "#DEFINE GREETING \"hello\" && said once\r\n");
    EXPECT_EQ(run("#INCLUDE " + dir.file("consts.h") +
                  "\n#DEFINE TWICE VK_ESCAPE * 2\n"
                  "? VK_ESCAPE, GREETING, TWICE\n"
                  "? m.vk_escape\n"),
              "27 hello 54\n");
    EXPECT_EQ(err.str(), "Error: Variable 'VK_ESCAPE' is not found\n")
        << "m.name is a variable, never a #DEFINE";
    std::ostringstream out2, err2;
    Interpreter other(out2, err2);
    other.run("#INCLUDE " + dir.file("missing.h"));
    EXPECT_EQ(err2.str(),
              "Syntax error: cannot open #INCLUDE file " + dir.file("missing.h") + "\n");
    EXPECT_EQ(other.status(), Interpreter::kStopped);
}

TEST_F(Program, AnIncludeFileIsFoundBesideTheLibrary)
{
    TempDir dir;
    ASSERT_TRUE(CopyFileA(testing_support::Deliverable("marvo32.fll").c_str(),
                          dir.file("marvo32.fll").c_str(), FALSE));
    testing_support::WriteFile(dir.file("beside.h"), "#DEFINE BESIDE 'the library'\r\n");
    EXPECT_EQ(run("SET LIBRARY TO " + dir.file("marvo32.fll") +
                  "\n#INCLUDE beside.h\n? BESIDE\nSET LIBRARY TO"),
              "the library\n");
    EXPECT_EQ(err.str(), "");
}

TEST_F(Program, ContinuedLines)
{
    EXPECT_EQ(run("? 'a' + ;\n  'b' + ; && a comment\n  'c'\n? 1"), "abc\n1\n");
}

// The host's thread gets timer messages, so a wait for a key that is not
// pressed ends at its time-out instead of waiting for a message for ever.
TEST_F(Program, AKeyWaitEndsAtItsTimeOut)
{
    EXPECT_EQ(run("? M_WKEY(27, 200), M_WKEY2(17, 27, 0)"), ".F. .F.\n");
}

} // namespace
