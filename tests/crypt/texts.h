// The encryption family's messages as the tests write them: in UTF-8 here,
// turned into code page 1250 by Windows, apart from how the library spells
// them; and test data with zero bytes in it.
#pragma once

#include <windows.h>

#include <cstdio>
#include <random>
#include <string>

namespace crypt_tests {

inline std::string Cp1250(const std::string& utf8)
{
    int wide =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &w[0], wide);
    int narrow = WideCharToMultiByte(1250, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(narrow), '\0');
    WideCharToMultiByte(1250, 0, w.data(), wide, &out[0], narrow, nullptr, nullptr);
    return out;
}

// A reported message with its code, which the test gives in hexadecimal as
// the report must show it.
inline std::string ReportWithHex(const std::string& utf8, const std::string& hex)
{
    return Cp1250(utf8 + "\nČíslo chyby " + hex + ".\n");
}

inline std::string Report(const std::string& utf8, unsigned code)
{
    char hex[16];
    std::snprintf(hex, sizeof hex, "%x", code);
    return ReportWithHex(utf8, hex);
}

inline std::string RandomBytes(size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(rng());
    // Zero bytes in the first few and at the end, whatever the seed.
    for (size_t i = 0; i < n; i += 97)
        s[i] = '\0';
    return s;
}

} // namespace crypt_tests
