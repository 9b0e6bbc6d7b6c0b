// Script values: raised errors, arithmetic, comparison and arrays.
#include "values.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace fllhost::script {

namespace {

uint32_t decimalsOf(const Value& v)
{
    return v.kind == Value::Kind::Number ? v.decimals : 0;
}

// Integers stay integers while the result is whole and fits.
Value numberResult(double r, bool integers, uint32_t decimals)
{
    if (integers && r >= INT32_MIN && r <= INT32_MAX && r == std::floor(r))
        return Value::Int(static_cast<int32_t>(r));
    return Value::Num(r, decimals);
}

int order(const Value& a, const Value& b)
{
    if (IsNumeric(a) && IsNumeric(b)) {
        const double x = NumberOf(a), y = NumberOf(b);
        return x < y ? -1 : x > y ? 1 : 0;
    }
    // char_traits<char> compares bytes as unsigned, as FoxPro's machine collation does.
    if (a.kind == Value::Kind::Character && b.kind == Value::Kind::Character) {
        const int c = a.text.compare(b.text);
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    Fail("Operator/operand type mismatch");
}

} // namespace

void Fail(const std::string& text)
{
    throw Raised{0, text};
}

bool IsNumeric(const Value& v)
{
    return v.kind == Value::Kind::Integer || v.kind == Value::Kind::Number;
}

double NumberOf(const Value& v)
{
    return v.kind == Value::Kind::Integer ? v.integer : v.number;
}

bool Truth(const Value& v)
{
    if (v.kind != Value::Kind::Logical)
        Fail("Operator/operand type mismatch");
    return v.logical;
}

Value Sum(const Value& a, const Value& b, int sign)
{
    if (sign > 0 && a.kind == Value::Kind::Character && b.kind == Value::Kind::Character)
        return Value::Text(a.text + b.text);
    if (!IsNumeric(a) || !IsNumeric(b))
        Fail("Operator/operand type mismatch");
    const double r = NumberOf(a) + sign * NumberOf(b);
    if (a.kind == Value::Kind::Integer && b.kind == Value::Kind::Integer && r >= INT32_MIN &&
        r <= INT32_MAX)
        return Value::Int(static_cast<int32_t>(r));
    return Value::Num(r, std::max(decimalsOf(a), decimalsOf(b)));
}

// FoxPro shows a quotient and a power with at least SET DECIMALS (2) places;
// a remainder takes the divisor's sign.
Value Arithmetic(char op, const Value& a, const Value& b)
{
    if (!IsNumeric(a) || !IsNumeric(b))
        Fail("Operator/operand type mismatch");
    const double x = NumberOf(a), y = NumberOf(b);
    const bool integers = a.kind == Value::Kind::Integer && b.kind == Value::Kind::Integer;
    const uint32_t da = decimalsOf(a), db = decimalsOf(b);
    switch (op) {
    case '*':
        return numberResult(x * y, integers, da + db);
    case '/':
        if (y == 0)
            Fail("Division by zero");
        return Value::Num(x / y, std::max({2u, da, db}));
    case '%': {
        if (y == 0)
            Fail("Division by zero");
        double r = std::fmod(x, y);
        if (r != 0 && (r < 0) != (y < 0))
            r += y;
        return numberResult(r, integers, std::max(da, db));
    }
    default:
        return Value::Num(std::pow(x, y), std::max(2u, da));
    }
}

Value Compare(const std::string& op, const Value& a, const Value& b)
{
    if (a.kind == Value::Kind::Logical || b.kind == Value::Kind::Logical) {
        if (a.kind != b.kind || (op != "=" && op != "==" && op != "<>"))
            Fail("Operator/operand type mismatch");
        return Value::Bool((a.logical == b.logical) == (op != "<>"));
    }
    if (op == "=" || op == "<>") {
        bool equal;
        if (a.kind == Value::Kind::Character && b.kind == Value::Kind::Character)
            equal = a.text.compare(0, b.text.size(), b.text) == 0;
        else
            equal = order(a, b) == 0;
        return Value::Bool(equal == (op == "="));
    }
    const int c = order(a, b);
    if (op == "==")
        return Value::Bool(c == 0 && (a.kind != Value::Kind::Character || a.text == b.text));
    if (op == "<")
        return Value::Bool(c < 0);
    if (op == ">")
        return Value::Bool(c > 0);
    if (op == "<=")
        return Value::Bool(c <= 0);
    return Value::Bool(c >= 0);
}

Array Array::Make(size_t rows, size_t columns)
{
    Array a;
    a.rows = rows;
    a.columns = columns;
    a.items.assign(rows * std::max<size_t>(columns, 1), Value::Bool(false));
    return a;
}

Value& Array::at(size_t row, size_t column)
{
    size_t index = row;
    if (column) {
        if (row < 1 || row > rows || column > std::max<size_t>(columns, 1))
            Fail("Array dimensions are invalid");
        index = (row - 1) * std::max<size_t>(columns, 1) + column;
    }
    if (index < 1 || index > items.size())
        Fail("Array dimensions are invalid");
    return items[index - 1];
}

} // namespace fllhost::script
