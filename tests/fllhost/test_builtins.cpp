// The FoxPro functions a script's first lines use, built into fllhost: case,
// slices, trims, searching and replacing, STR and VAL, CHR and ASC, IIF,
// EMPTY, TYPE, DATE and TIME, with their edge cases. Expected values are
// FoxPro's documented answers (its own examples where it gives them).
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <windows.h>

#include "script/script.h"

using namespace fllhost::script;

namespace {

struct Case {
    const char* expr;
    const char* shown; // on standard output, or the error on standard error
};

struct Shown {
    std::string out, err;
};

// The lines run in an interpreter of its own, without a library; then "? expr".
Shown Show(const std::string& expr, std::initializer_list<const char*> before = {})
{
    std::ostringstream out, err;
    Interpreter script(out, err);
    for (const char* line : before)
        script.run(line);
    script.run("? " + expr);
    script.finish();
    return {out.str(), err.str()};
}

void ExpectShown(const Case& c, std::initializer_list<const char*> before = {})
{
    const Shown r = Show(c.expr, before);
    EXPECT_EQ(r.out, std::string(c.shown) + "\n") << c.expr;
    EXPECT_EQ(r.err, "") << c.expr;
}

TEST(Builtins, CaseSlicesAndRepeats)
{
    const Case cases[] = {
        {"UPPER('abc Def 1')", "ABC DEF 1"},
        {"LOWER('ABC Def 1')", "abc def 1"},
        {"LEFT('abc', 2)", "ab"},
        {"LEFT('abc', 10)", "abc"},
        {"'|' + LEFT('abc', 0) + LEFT('abc', -1) + '|'", "||"},
        {"RIGHT('abc', 2)", "bc"},
        {"RIGHT('abc', 10)", "abc"},
        {"'|' + RIGHT('abc', 0) + RIGHT('abc', -1) + '|'", "||"},
        {"SUBSTR('abcdefghijklm', 1, 5)", "abcde"},
        {"SUBSTR('abcdefghijklm', 6)", "fghijklm"},
        {"SUBSTR('abc', 2, 10)", "bc"},
        {"'|' + SUBSTR('abc', 4) + SUBSTR('abc', 2, 0) + SUBSTR('abc', 0) + '|'", "||"},
        {"REPLICATE('ab', 3)", "ababab"},
        {"'|' + REPLICATE('ab', 0) + REPLICATE('ab', -2) + '|'", "||"},
        {"LEN(REPLICATE('x', 100000))", "100000"},
        {"CHR(65) + CHR(97)", "Aa"},
        {"ASC('ABC'), ASC(CHR(200)), ASC('')", "65 200 0"},
    };
    for (const Case& c : cases)
        ExpectShown(c);
}

TEST(Builtins, TrimsWithAndWithoutStringsToCut)
{
    const Case cases[] = {
        {"LTRIM('   Washington')", "Washington"},
        {"RTRIM('ab   ') + '|'", "ab|"},
        {"TRIM('ab   ') + '|'", "ab|"},
        {"'|' + ALLTRIM('  a b  ') + '|'", "|a b|"},
        {"'|' + LTRIM('  a  ') + '|' + RTRIM('  a  ') + '|'", "|a  |  a|"},
        {"ALLTRIM('**x**', '*')", "x"},
        {"ALLTRIM('-+-x+', 0, '-', '+')", "x"},
        {"ALLTRIM('abXab', 'AB')", "abXab"},
        {"ALLTRIM('abXab', 1, 'AB')", "X"},
        {"LTRIM('xxaxx', 'x') + '|' + RTRIM('xxaxx', 'x')", "axx|xxa"},
    };
    for (const Case& c : cases)
        ExpectShown(c);
}

// Comparisons are exact whatever SET EXACT says: a longer text is never found in a shorter one.
TEST(Builtins, SearchingAndReplacing)
{
    const Case cases[] = {
        {"AT('is the', 'Now is the time for all good men')", "5"},
        {"AT('IS', 'Now is the time for all good men')", "0"},
        {"AT('o', 'foo boo', 3), AT('o', 'foo boo', 5)", "6 0"},
        {"AT('', 'abc'), AT('abcd', 'abc')", "0 0"},
        {"AT('aa', 'aaaa', 2)", "2"},
        {"STRTRAN('abcabc', 'b', 'X')", "aXcaXc"},
        {"STRTRAN('abcabc', 'b')", "acac"},
        {"STRTRAN('a.b.c.d', '.', '-', 2)", "a.b-c-d"},
        {"STRTRAN('a.b.c.d', '.', '-', 2, 1)", "a.b-c.d"},
        {"STRTRAN('a.b.c.d', '.', '-', -1, 2)", "a-b-c.d"},
        {"STRTRAN('a.b.c.d', '.', '-', 1, 0)", "a.b.c.d"},
        {"STRTRAN('aaa', 'a', 'aa')", "aaaaaa"},
        {"STRTRAN('abc', '', 'x'), STRTRAN('abc', 'abcd', 'x')", "abc abc"},
        {"STRTRAN('Hello hello', 'HELLO', 'bye')", "Hello hello"},
        {"STRTRAN('Hello hello', 'HELLO', 'bye', -1, -1, 1)", "bye bye"},
        {"STRTRAN('hello Hello', 'hello', 'good day', 1, -1, 2)", "good day Hello"},
        {"STRTRAN('Hello HELLO hello hELLo', 'hello', 'good day', -1, -1, 3)",
         "Good Day GOOD DAY good day good day"},
    };
    for (const Case& c : cases)
        ExpectShown(c);
}

TEST(Builtins, NumbersToTextAndBack)
{
    const Case cases[] = {
        {"STR(123)", "       123"},
        {"STR(-7)", "        -7"},
        {"STR(1234567890)", "1234567890"},
        {"STR(1.154995, 8, 6)", "1.154995"},
        {"STR(3.14159, 6, 2)", "  3.14"},
        {"STR(1.5), STR(2.5), STR(-2.5)", "         2          3         -3"},
        {"STR(2.675, 5, 2)", " 2.68"},
        {"STR(-0.4)", "         0"},
        {"STR(123.456, 5, 2)", "123.5"},
        {"STR(99.96, 5, 1)", "100.0"},
        {"STR(1234, 3), STR(-10, 2)", "*** **"},
        {"STR(10 / 4, 4, 2)", "2.50"},
        {"VAL('12') + VAL('13')", "25.00"},
        {"2 * VAL('1.25E3')", "2500.00"},
        {"VAL('  42abc'), VAL('-3.5x'), VAL('+7')", "42.00 -3.50 7.00"},
        {"VAL('12.345'), VAL('1e'), VAL('1E-2')", "12.345 1.00 0.01"},
        {"VAL('abc'), VAL(''), VAL('- 1')", "0.00 0.00 0.00"},
        {"VAL(STR(42)) = 42", ".T."},
    };
    for (const Case& c : cases)
        ExpectShown(c);
}

// IIF works out only the value it gives: the other may not even exist.
TEST(Builtins, IifEmptyAndType)
{
    const Case cases[] = {
        {"IIF(.T., 'yes', 'no'), IIF(1 > 2, 1, 2)", "yes 2"},
        {"IIF(.F., nothing, 'safe'), IIF(.T., 'safe', nothing)", "safe safe"},
        {"EMPTY(''), EMPTY('   '), EMPTY(CHR(9) + CHR(13) + CHR(10))", ".T. .T. .T."},
        {"EMPTY(' x '), EMPTY(0), EMPTY(0.00), EMPTY(-1)", ".F. .T. .T. .F."},
        {"EMPTY(.F.), EMPTY(.T.)", ".T. .F."},
        {"TYPE('1'), TYPE('1.5'), TYPE('2147483648')", "N N N"},
        {"TYPE(\"'a'\"), TYPE(\"UPPER('a')\"), TYPE('DATE()')", "C C C"},
        {"TYPE('.T.'), TYPE('1 > 2')", "L L"},
        {"TYPE('nothing'), TYPE('1 +'), TYPE(''), TYPE(\"'a' + 1\")", "U U U U"},
        {"TYPE('IIF(.T., 1, nothing)'), TYPE('@x')", "N U"},
    };
    for (const Case& c : cases)
        ExpectShown(c);
}

TEST(Builtins, TypeOfMemoFieldsArraysAndVariables)
{
    const Case cases[] = {
        {"TYPE('notes'), TYPE('m.notes'), TYPE('t')", "M U C"},
        {"TYPE('list'), TYPE('list', 1), TYPE('t', 1), TYPE('nothing', 1)", "L A U U"},
    };
    for (const Case& c : cases)
        ExpectShown(c, {"= MAKETABLE(1, 2)", "LOCAL list[2]", "t = 'text'"});
}

TEST(Builtins, DateAndTime)
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char today[16];
    std::snprintf(today, sizeof today, "%02u/%02u/%02u", now.wMonth, now.wDay, now.wYear % 100u);
    const Shown date = Show("DATE()");
    if (date.out != std::string(today) + "\n") { // unless midnight came in between
        EXPECT_TRUE(std::regex_match(date.out, std::regex(R"(\d\d/\d\d/\d\d\n)"))) << date.out;
    }
    EXPECT_TRUE(std::regex_match(Show("TIME()").out, std::regex(R"(\d\d:\d\d:\d\d\n)")));
    EXPECT_TRUE(std::regex_match(Show("TIME(1)").out, std::regex(R"(\d\d:\d\d:\d\d\.\d\d\n)")));
    const Case cases[] = {
        {"DATE(1999, 12, 31), DATE(2024, 2, 29), DATE(2000, 2, 29)", "12/31/99 02/29/24 02/29/00"},
    };
    for (const Case& c : cases)
        ExpectShown(c);
}

TEST(Builtins, BadArguments)
{
    const char* const invalid = ": function argument value, type, or count is invalid";
    const Case cases[] = {
        {"UPPER(1)", "UPPER"},
        {"LEFT(1, 2)", "LEFT"},
        {"LEFT('a')", "LEFT"},
        {"SUBSTR('a')", "SUBSTR"},
        {"AT('a', 'b', 0)", "AT"},
        {"STRTRAN('a', 'a', 'b', 1, 1, 4)", "STRTRAN"},
        {"ALLTRIM('a', 2, 'x')", "ALLTRIM"},
        {"STR('1')", "STR"},
        {"STR(1, 0)", "STR"},
        {"STR(1, 5, -1)", "STR"},
        {"VAL(1)", "VAL"},
        {"ASC(1)", "ASC"},
        {"IIF(1, 2, 3)", "IIF"},
        {"IIF(.T., 1)", "IIF"},
        {"EMPTY(@x)", "EMPTY"},
        {"TYPE(1)", "TYPE"},
        {"DATE(2023, 2, 29)", "DATE"},
        {"DATE(2023, 1)", "DATE"},
        {"TIME('x')", "TIME"},
    };
    for (const Case& c : cases) {
        const Shown r = Show(c.expr);
        EXPECT_EQ(r.err, "Error: " + std::string(c.shown) + invalid + "\n") << c.expr;
        EXPECT_EQ(r.out, "") << c.expr;
    }
}

TEST(Builtins, OtherErrors)
{
    const Case cases[] = {
        {"REPLICATE('ab', 9000000)", "Error: String is too long to fit"},
        {"NOSUCH(1)", "Error: function NOSUCH is not built into fllhost, and no library is loaded"},
    };
    for (const Case& c : cases) {
        const Shown r = Show(c.expr);
        EXPECT_EQ(r.err, std::string(c.shown) + "\n") << c.expr;
        EXPECT_EQ(r.out, "") << c.expr;
    }
}

} // namespace
