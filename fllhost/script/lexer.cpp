// The tokenizer of fllhost's FoxPro subset.
#include "lexer.h"

#include <cctype>

namespace fllhost::script {

namespace {

bool isNameStart(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool isNameChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}
bool isDigit(char c)
{
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}
char upper(char c)
{
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

char closingQuote(char open)
{
    return open == '[' ? ']' : open;
}

int hexDigit(char c)
{
    if (isDigit(c))
        return c - '0';
    c = upper(c);
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

class Lexer {
  public:
    explicit Lexer(const std::string& line) : s_(line) {}

    std::vector<Token> run()
    {
        std::vector<Token> out;
        for (;;) {
            while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_])))
                ++i_;
            Token t;
            t.column = i_;
            if (i_ >= s_.size() || s_.compare(i_, 2, "&&") == 0) {
                out.push_back(t);
                return out;
            }
            const bool glued = !out.empty() && out.back().column + width_ == t.column &&
                               (out.back().kind == Token::Kind::Name || out.back().is("]"));
            out.push_back(s_[i_] == '[' && glued ? subscript(t) : next(t));
            width_ = i_ - t.column;
        }
    }

  private:
    Token next(Token& t)
    {
        const char c = s_[i_];
        if (c == '"' || c == '\'' || c == '[')
            return quoted(t);
        if (c == '0' && i_ + 1 < s_.size() && upper(s_[i_ + 1]) == 'H')
            return hex(t);
        if (isDigit(c) || (c == '.' && i_ + 1 < s_.size() && isDigit(s_[i_ + 1])))
            return number(t);
        if (c == '.' && i_ + 2 < s_.size() && s_[i_ + 2] == '.')
            return logical(t);
        if (c == '.' && isNameStart(i_ + 1 < s_.size() ? s_[i_ + 1] : ' '))
            return dottedWord(t);
        if (isNameStart(c))
            return name(t);
        return symbol(t);
    }

    Token quoted(Token& t)
    {
        const char close = closingQuote(s_[i_]);
        const size_t end = s_.find(close, i_ + 1);
        if (end == std::string::npos)
            throw SyntaxError("unterminated string");
        t.kind = Token::Kind::String;
        t.text = s_.substr(i_ + 1, end - i_ - 1);
        i_ = end + 1;
        return t;
    }

    Token hex(Token& t)
    {
        i_ += 2;
        std::string digits;
        while (i_ < s_.size() && (hexDigit(s_[i_]) >= 0))
            digits += s_[i_++];
        if (i_ < s_.size() && isNameChar(s_[i_]))
            throw SyntaxError("bad hexadecimal literal");
        if (digits.size() % 2)
            throw SyntaxError("a hexadecimal literal needs two digits per byte");
        t.kind = Token::Kind::String;
        for (size_t k = 0; k < digits.size(); k += 2)
            t.text += static_cast<char>(hexDigit(digits[k]) * 16 + hexDigit(digits[k + 1]));
        return t;
    }

    Token number(Token& t)
    {
        const size_t start = i_;
        while (i_ < s_.size() && isDigit(s_[i_]))
            ++i_;
        t.kind = Token::Kind::Integer;
        if (i_ + 1 < s_.size() && s_[i_] == '.' && isDigit(s_[i_ + 1])) {
            t.kind = Token::Kind::Decimal;
            const size_t point = i_++;
            while (i_ < s_.size() && isDigit(s_[i_]))
                ++i_;
            t.decimals = static_cast<int>(i_ - point - 1);
        }
        if (i_ < s_.size() && isNameChar(s_[i_]))
            throw SyntaxError("bad number");
        t.text = s_.substr(start, i_ - start);
        t.number = std::stod(t.text);
        if (t.kind == Token::Kind::Integer && t.number > 2147483647.0)
            t.kind = Token::Kind::Decimal;
        return t;
    }

    Token logical(Token& t)
    {
        const char v = upper(s_[i_ + 1]);
        if (v != 'T' && v != 'F' && v != 'Y' && v != 'N')
            return symbol(t);
        t.kind = Token::Kind::Logical;
        t.logical = v == 'T' || v == 'Y';
        t.text = s_.substr(i_, 3);
        i_ += 3;
        return t;
    }

    // .AND., .OR., .NOT.: the same as the plain words.
    Token dottedWord(Token& t)
    {
        for (const char* word : {"AND", "OR", "NOT"}) {
            const size_t n = std::char_traits<char>::length(word);
            std::string candidate = s_.substr(i_ + 1, n + 1);
            for (char& ch : candidate)
                ch = upper(ch);
            if (candidate == std::string(word) + ".") {
                t.kind = Token::Kind::Name;
                t.text = word;
                i_ += n + 2;
                return t;
            }
        }
        return symbol(t);
    }

    // name[ opens subscripts, as FoxPro reads it; elsewhere [ starts a string.
    Token subscript(Token& t)
    {
        t.kind = Token::Kind::Symbol;
        t.text = "[";
        ++i_;
        return t;
    }

    Token name(Token& t)
    {
        t.kind = Token::Kind::Name;
        while (i_ < s_.size() && isNameChar(s_[i_]))
            t.text += upper(s_[i_++]);
        return t;
    }

    Token symbol(Token& t)
    {
        static const char* const kTwo[] = {"??", "<=", ">=", "<>", "==", "!=", "**"};
        t.kind = Token::Kind::Symbol;
        for (const char* two : kTwo)
            if (s_.compare(i_, 2, two) == 0) {
                t.text = two;
                i_ += 2;
                return t;
            }
        const std::string one(1, s_[i_]);
        if (one.find_first_of("?()+-*/%^=<>#!,@.]") == std::string::npos)
            throw SyntaxError("unexpected character '" + one + "'");
        t.text = one;
        ++i_;
        return t;
    }

    const std::string& s_;
    size_t i_ = 0;
    size_t width_ = 0; // of the token before, to see whether the next one touches it
};

} // namespace

std::vector<Token> Tokenize(const std::string& line)
{
    return Lexer(line).run();
}

std::string StripComment(const std::string& line)
{
    char quote = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quote) {
            if (c == closingQuote(quote))
                quote = 0;
        } else if (c == '"' || c == '\'' || c == '[') {
            quote = c;
        } else if (line.compare(i, 2, "&&") == 0) {
            return line.substr(0, i);
        }
    }
    return line;
}

} // namespace fllhost::script
