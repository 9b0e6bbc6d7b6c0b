// Memory variables of the stand-in host: name -> value, names compared
// without regard to case (as FoxPro does). Safe to use from several threads.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "value.h"

namespace fllhost {

class Variables {
  public:
    // FoxPro's "Variable not found".
    static constexpr int kNotFound = 12;

    void set(const std::string& name, Value value);
    std::optional<Value> get(const std::string& name) const;
    bool contains(const std::string& name) const;
    bool erase(const std::string& name);
    void clear();
    std::vector<std::string> names() const; // upper case, sorted

    // References carry a number instead of a name: the same name always
    // gets the same number, and the number leads back to the name.
    uint32_t refId(const std::string& name);
    std::optional<std::string> refName(uint32_t id) const;

    static std::string normalize(const std::string& name);

  private:
    mutable std::mutex mutex_;
    std::map<std::string, Value> values_;
    std::vector<std::string> refs_;
};

} // namespace fllhost
