// Script values: the errors a statement raises, and arithmetic on values.
#pragma once

#include <string>

#include "host/value.h"

namespace fllhost::script {

// An error raised while a statement runs: reported as "Error N" (a host
// error number) or "Error: text", and the script goes on.
struct Raised {
    int number;
    std::string text;
};

[[noreturn]] void Fail(const std::string& text);

bool IsNumeric(const Value& v);
double NumberOf(const Value& v);

// a + b (sign 1) or a - b (sign -1): strings join, integers stay integers
// while they fit, numbers keep the larger count of decimals.
Value Sum(const Value& a, const Value& b, int sign);

} // namespace fllhost::script
