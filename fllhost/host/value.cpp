// Constructors and comparison of host values.
#include "value.h"

#include <utility>

namespace fllhost {

Value Value::Text(std::string s)
{
    Value v;
    v.kind = Kind::Character;
    v.text = std::move(s);
    return v;
}

Value Value::Int(int32_t i, uint16_t width)
{
    Value v;
    v.kind = Kind::Integer;
    v.integer = i;
    v.width = width;
    return v;
}

Value Value::Num(double d, uint32_t decimals, uint16_t width)
{
    Value v;
    v.kind = Kind::Number;
    v.number = d;
    v.decimals = decimals;
    v.width = width;
    return v;
}

Value Value::Bool(bool b)
{
    Value v;
    v.kind = Kind::Logical;
    v.logical = b;
    return v;
}

Value Value::VarRef(std::string name, int16_t where)
{
    Value v;
    v.kind = Kind::Reference;
    v.name = std::move(name);
    v.variableWhere = where;
    return v;
}

Value Value::MemoRef(int area, std::string field)
{
    Value v = VarRef(std::move(field));
    v.area = area;
    return v;
}

// Equal as the host sees the value: display width and decimals do not count.
bool Value::operator==(const Value& o) const
{
    if (kind != o.kind)
        return false;
    switch (kind) {
    case Kind::Character:
        return text == o.text;
    case Kind::Integer:
        return integer == o.integer;
    case Kind::Number:
        return number == o.number;
    case Kind::Logical:
        return logical == o.logical;
    case Kind::Reference:
        return area == o.area && name == o.name;
    case Kind::Nothing:
        return true;
    }
    return false;
}

} // namespace fllhost
