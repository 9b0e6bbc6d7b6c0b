// Host values as the stand-in host's users (tests and scripts) see them, and
// the record of what happened during one call of a library function.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fllhost {

struct Value {
    enum class Kind { Character, Integer, Number, Logical, Reference, Nothing };
    Kind kind = Kind::Nothing;
    std::string text;      // Character: bytes, may hold zeros
    int32_t integer = 0;   // Integer
    double number = 0;     // Number
    uint16_t width = 0;    // display width of an Integer or Number
    uint32_t decimals = 0; // Number
    bool logical = false;
    // Reference: to a memory variable (area 0, name) or to a memo field
    // (area > 0 = work area, name = field name).
    std::string name;
    int area = 0;
    // A memory variable's reference says where it lives with a number below
    // 1: FoxPro's locators use -1 and 0, and the library must take both.
    int16_t variableWhere = -1;

    static Value Text(std::string s);
    static Value Int(int32_t v, uint16_t width = 10);
    static Value Num(double v, uint32_t decimals = 0, uint16_t width = 0);
    static Value Bool(bool b);
    static Value VarRef(std::string name, int16_t where = -1);
    static Value MemoRef(int area, std::string field);
    static Value None() { return Value(); }

    bool operator==(const Value& o) const;
    bool operator!=(const Value& o) const { return !(*this == o); }
};

// What one call of a library function did.
struct CallResult {
    int results = 0;                // ReturnValue requests made by the function
    Value value;                    // the last result (Nothing when none)
    int hostError = 0;              // RaiseHostError number, 0 when none
    bool userRaised = false;        // RaiseUserError was requested
    std::string userError;          // its text
    std::string refused;            // the host's own refusal (unknown name, wrong count or kinds)
    std::vector<uint32_t> services; // service codes requested during the call, in order

    // The library raised a host or user error.
    bool raised() const { return hostError != 0 || userRaised; }
    // Raised, or refused by the host before the call.
    bool failed() const { return raised() || !refused.empty(); }
};

} // namespace fllhost
