// FoxPro's rules for texts and numbers: case, slices, trimming, searching,
// replacing, STR( )'s layout and VAL( )'s reading.
#include "texts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <windows.h>

namespace fllhost::script {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Capitals after a blank or at the start, small letters elsewhere.
std::string proper(const std::string& s)
{
    std::string out = Lower(s);
    for (size_t i = 0; i < out.size(); ++i)
        if (i == 0 || out[i - 1] == ' ')
            out.replace(i, 1, Upper(out.substr(i, 1)));
    return out;
}

// The case of the text found, when it is all capitals, all small letters or
// proper; else the replacement as it is.
std::string caseOf(const std::string& found, const std::string& with)
{
    const std::string upper = Upper(found), lower = Lower(found);
    if (upper == lower)
        return with;
    if (found == upper)
        return Upper(with);
    if (found == lower)
        return Lower(with);
    if (found == proper(found))
        return proper(with);
    return with;
}

} // namespace

std::string Upper(std::string s)
{
    if (!s.empty())
        CharUpperBuffA(&s[0], static_cast<DWORD>(s.size()));
    return s;
}

std::string Lower(std::string s)
{
    if (!s.empty())
        CharLowerBuffA(&s[0], static_cast<DWORD>(s.size()));
    return s;
}

std::string Slice(const std::string& s, int64_t start, int64_t count)
{
    const int64_t size = static_cast<int64_t>(s.size());
    if (start < 1 || start > size || count <= 0)
        return "";
    return s.substr(static_cast<size_t>(start - 1),
                    static_cast<size_t>(std::min(count, size - start + 1)));
}

std::string Trim(const std::string& s, bool leading, bool trailing,
                 const std::vector<std::string>& cut, bool ignoreCase)
{
    std::vector<std::string> pieces;
    for (const std::string& c : cut.empty() ? std::vector<std::string>{" "} : cut)
        if (!c.empty())
            pieces.push_back(ignoreCase ? Upper(c) : c);
    const std::string key = ignoreCase ? Upper(s) : s;
    size_t from = 0, to = key.size();
    for (bool more = leading; more;) {
        more = false;
        for (const std::string& p : pieces)
            if (to - from >= p.size() && key.compare(from, p.size(), p) == 0) {
                from += p.size();
                more = true;
            }
    }
    for (bool more = trailing; more;) {
        more = false;
        for (const std::string& p : pieces)
            if (to - from >= p.size() && key.compare(to - p.size(), p.size(), p) == 0) {
                to -= p.size();
                more = true;
            }
    }
    return s.substr(from, to - from);
}

int64_t Occurrence(const std::string& sought, const std::string& searched, int64_t n)
{
    if (sought.empty())
        return 0;
    for (size_t at = searched.find(sought); at != std::string::npos;
         at = searched.find(sought, at + 1))
        if (--n == 0)
            return static_cast<int64_t>(at) + 1;
    return 0;
}

std::string Replace(const std::string& searched, const std::string& sought, const std::string& with,
                    int64_t first, int64_t count, int flags)
{
    if (sought.empty())
        return searched;
    const bool ignoreCase = flags & 1;
    const std::string key = ignoreCase ? Upper(searched) : searched;
    const std::string wanted = ignoreCase ? Upper(sought) : sought;
    std::string out;
    size_t copied = 0;
    int64_t seen = 0, replaced = 0;
    for (size_t at = key.find(wanted); at != std::string::npos && replaced != count;
         at = key.find(wanted, at + wanted.size())) {
        if (++seen < first)
            continue;
        out.append(searched, copied, at - copied);
        out += flags & 2 ? caseOf(searched.substr(at, wanted.size()), with) : with;
        copied = at + wanted.size();
        ++replaced;
    }
    return out.append(searched, copied, std::string::npos);
}

// The digits come from printf's 16 significant ones, so a value such as
// 2.675, stored just below, rounds as it is written.
std::string Fixed(double v, int decimals)
{
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.15e", std::fabs(v));
    std::string digits = std::string(1, buffer[0]) + std::string(buffer + 2, 15);
    int point = std::atoi(buffer + 18) + 1; // digits before the decimal point
    const int keep = point + decimals;
    if (keep < 0) {
        digits.clear();
    } else if (keep < static_cast<int>(digits.size())) {
        const bool up = digits[static_cast<size_t>(keep)] >= '5';
        digits.resize(static_cast<size_t>(keep));
        size_t i = digits.size();
        for (; up && i > 0 && digits[i - 1] == '9'; --i)
            digits[i - 1] = '0';
        if (up && i > 0)
            ++digits[i - 1];
        else if (up) {
            digits.insert(0, "1");
            ++point;
        }
    }
    if (point < 1) {
        digits.insert(0, static_cast<size_t>(1 - point), '0');
        point = 1;
    }
    digits.resize(static_cast<size_t>(point + decimals), '0');
    std::string whole = digits.substr(0, static_cast<size_t>(point));
    whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size() - 1));
    const std::string fraction = digits.substr(static_cast<size_t>(point));
    const bool negative = v < 0 && digits.find_first_not_of('0') != std::string::npos;
    return (negative ? "-" : "") + whole + (decimals > 0 ? "." + fraction : "");
}

std::string NumberText(double v, size_t width, int decimals)
{
    if (std::isfinite(v))
        for (int d = decimals; d >= 0; --d) {
            const std::string s = Fixed(v, d);
            if (s.size() <= width)
                return std::string(width - s.size(), ' ') + s;
        }
    return std::string(width, '*');
}

double ReadNumber(const std::string& s, uint32_t& decimals)
{
    decimals = 2;
    size_t i = s.find_first_not_of(' ');
    if (i == std::string::npos)
        return 0;
    const size_t start = i;
    if (s[i] == '+' || s[i] == '-')
        ++i;
    const size_t wholeStart = i;
    while (i < s.size() && isDigit(s[i]))
        ++i;
    const size_t wholeDigits = i - wholeStart;
    size_t places = 0;
    if (i < s.size() && s[i] == '.') {
        const size_t point = ++i;
        while (i < s.size() && isDigit(s[i]))
            ++i;
        places = i - point;
    }
    if (wholeDigits == 0 && places == 0)
        return 0;
    long exponent = 0;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e')) {
        size_t e = i + 1;
        if (e < s.size() && (s[e] == '+' || s[e] == '-'))
            ++e;
        if (e < s.size() && isDigit(s[e])) {
            exponent = std::strtol(s.c_str() + i + 1, nullptr, 10);
            for (i = e; i < s.size() && isDigit(s[i]);)
                ++i;
        }
    }
    const double v = std::strtod(s.substr(start, i - start).c_str(), nullptr);
    decimals = static_cast<uint32_t>(std::clamp<long>(static_cast<long>(places) - exponent, 2, 18));
    return std::isfinite(v) ? v : 0;
}

} // namespace fllhost::script
