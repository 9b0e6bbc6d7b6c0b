// Script values: the errors a statement raises, arithmetic and comparison
// on values, and FoxPro's arrays.
#pragma once

#include <map>
#include <string>
#include <vector>

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
// The value of a condition (IF, DO WHILE, AND, OR, NOT): a logical value.
bool Truth(const Value& v);

// a + b (sign 1) or a - b (sign -1): strings join, integers stay integers
// while they fit, numbers keep the larger count of decimals.
Value Sum(const Value& a, const Value& b, int sign);
// a * b, a / b, a % b and a ^ b with FoxPro's decimals; op is one of "*/%^".
Value Arithmetic(char op, const Value& a, const Value& b);
// a op b for op = == <> < > <= >=, with SET EXACT OFF: "=" compares a
// string only as far as the right one goes.
Value Compare(const std::string& op, const Value& a, const Value& b);

// A FoxPro array: one dimension (columns 0) or two; elements start as .F.
struct Array {
    size_t rows = 1;
    size_t columns = 0;
    std::vector<Value> items{Value::Bool(false)};

    static Array Make(size_t rows, size_t columns);
    // The element at 1-based (row, column), or at element number `row` when
    // column is 0; raises when out of range.
    Value& at(size_t row, size_t column = 0);
};

using Arrays = std::map<std::string, Array>; // by upper-case name

} // namespace fllhost::script
