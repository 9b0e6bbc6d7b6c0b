// Memory variables: a map under a lock, and the numbering of the names that
// references carry.
#include "variables.h"

#include <algorithm>
#include <cctype>

namespace fllhost {

std::string Variables::normalize(const std::string& name)
{
    std::string n = name;
    std::transform(n.begin(), n.end(), n.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return n;
}

void Variables::set(const std::string& name, Value value)
{
    std::lock_guard<std::mutex> lock(mutex_);
    values_[normalize(name)] = std::move(value);
}

std::optional<Value> Variables::get(const std::string& name) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = values_.find(normalize(name));
    if (it == values_.end())
        return std::nullopt;
    return it->second;
}

bool Variables::contains(const std::string& name) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return values_.count(normalize(name)) != 0;
}

bool Variables::erase(const std::string& name)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return values_.erase(normalize(name)) != 0;
}

void Variables::clear()
{
    std::lock_guard<std::mutex> lock(mutex_);
    values_.clear();
}

std::vector<std::string> Variables::names() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> out;
    for (const auto& entry : values_)
        out.push_back(entry.first);
    return out;
}

uint32_t Variables::refId(const std::string& name)
{
    std::string n = normalize(name);
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = std::find(refs_.begin(), refs_.end(), n);
    if (it != refs_.end())
        return static_cast<uint32_t>(it - refs_.begin());
    refs_.push_back(n);
    return static_cast<uint32_t>(refs_.size() - 1);
}

std::optional<std::string> Variables::refName(uint32_t id) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (id >= refs_.size())
        return std::nullopt;
    return refs_[id];
}

} // namespace fllhost
