// FoxPro's rules for texts and numbers that the built-ins follow, apart from
// the script's values: case, slices, trimming, searching and replacing, and
// numbers as STR( ) writes them and VAL( ) reads them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fllhost::script {

// The longest character value FoxPro makes.
constexpr size_t kMaxText = 16777184;

// In the ANSI code page, as FoxPro's UPPER( ) and LOWER( ).
std::string Upper(std::string s);
std::string Lower(std::string s);

// `count` bytes from 1-based `start`, as far as the text goes; "" when start
// is outside the text or count is not positive.
std::string Slice(const std::string& s, int64_t start, int64_t count);

// Without leading and/or trailing blanks, or, when `cut` is not empty,
// without those strings wherever they repeat at the ends.
std::string Trim(const std::string& s, bool leading, bool trailing,
                 const std::vector<std::string>& cut = {}, bool ignoreCase = false);

// Where the nth occurrence of `sought` starts (1-based; occurrences may
// overlap), 0 when there is none.
int64_t Occurrence(const std::string& sought, const std::string& searched, int64_t n);

// STRTRAN: occurrences `first`, first + 1, ... of `sought` replaced, at most
// `count` of them (all when negative). flags: 1 ignores case, 2 gives the
// replacement the case of the text it replaces.
std::string Replace(const std::string& searched, const std::string& sought, const std::string& with,
                    int64_t first, int64_t count, int flags);

// v with `decimals` places, rounded half away from zero on its decimal
// digits (16 significant, as FoxPro keeps), without padding.
std::string Fixed(double v, int decimals);

// STR: right-aligned in `width`, with as many of the decimals as fit;
// asterisks when the whole part does not fit.
std::string NumberText(double v, size_t width, int decimals);

// VAL: the number at the start of the text after blanks, with its sign,
// point and exponent; 0 without one. `decimals` is the count to show: the
// text's own, at least 2 (SET DECIMALS' default).
double ReadNumber(const std::string& s, uint32_t& decimals);

} // namespace fllhost::script
