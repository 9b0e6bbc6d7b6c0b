// Script values: raised errors and arithmetic.
#include "values.h"

#include <algorithm>
#include <cstdint>

namespace fllhost::script {

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
    const uint32_t da = a.kind == Value::Kind::Number ? a.decimals : 0;
    const uint32_t db = b.kind == Value::Kind::Number ? b.decimals : 0;
    return Value::Num(r, std::max(da, db));
}

} // namespace fllhost::script
