// Tokens of one line of the FoxPro subset that fllhost runs.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace fllhost::script {

// A fault in the program text; the front end stops with status 2.
struct SyntaxError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Token {
    enum class Kind { Name, String, Integer, Decimal, Logical, Symbol, End };
    Kind kind = Kind::End;
    std::string text;  // Name: upper case; String: its bytes; Symbol: the symbol
    double number = 0; // Integer, Decimal
    int decimals = 0;  // Decimal: digits after the point
    bool logical = false;
    size_t column = 0; // where the token starts (0-based)

    bool is(const char* symbol) const { return kind == Kind::Symbol && text == symbol; }
    bool isWord(const char* word) const { return kind == Kind::Name && text == word; }
};

// Splits a line into tokens, ending with an End token. "&&" outside a
// string ends the line; strings are "...", '...' or [...] (but a [ right
// after a name opens its subscripts); 0h... is a string of bytes given in
// hexadecimal; .AND., .OR. and .NOT. are the words AND, OR and NOT.
std::vector<Token> Tokenize(const std::string& line);

// The line without a trailing "&&" comment (quotes are respected).
std::string StripComment(const std::string& line);

} // namespace fllhost::script
