// The host's check of a call's arguments against a function table row: the
// parameter count and the type string ("C,.L", "I, I", "?" ...).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "value.h"

namespace fllhost {

struct ParamSpec {
    char kind = '?'; // 'C' 'I' 'L' 'R' 'N' or '?' (any)
    bool optional = false;
};

// One entry per letter of the type string, with or without commas between
// the letters; blanks are ignored.
std::vector<ParamSpec> ParseTypes(const std::string& types);

// "" when the arguments fit the row; otherwise the refusal's text. A number
// without a fraction passed for an integer parameter is made an integer,
// as FoxPro does. Optional parameters may be left off only at the end: at
// least every parameter up to the last required one must be passed.
std::string CheckArguments(const std::string& name, uint16_t count, const std::string& types,
                           std::vector<Value>& args);

char KindLetter(Value::Kind kind);

} // namespace fllhost
