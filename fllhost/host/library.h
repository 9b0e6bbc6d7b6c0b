// A loaded extension library: the module, its DispatchAPI entry and the
// function table read from it.
//
// A row's parameter count is signed (FoxPro's FoxInfo): besides a count it
// may be one of the flags below, for routines the host calls itself or never
// lets a program call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/abi.h"
#include "winhandles.h"

namespace fllhost {

using DispatchFunction = uint32_t(HOST_CALL*)(abi::HostMessage*);

// FoxInfo's parameter count flags.
constexpr int16_t kInternal = -1;     // never called by name
constexpr int16_t kCallOnLoad = -2;   // called once the library is loaded
constexpr int16_t kCallOnUnload = -3; // called before the library is unloaded

struct FunctionRow {
    std::string name;
    int16_t count = 0;
    std::string types;
    abi::HostFunction entry = nullptr;
};

class Library {
  public:
    // Loads the module, finds "@DispatchAPI@4" and reads the table with
    // message 14 (nothing is handed to the library yet).
    bool load(const std::string& path, std::string* error);
    bool loaded() const { return dispatch_ != nullptr; }
    // Frees the module; the library's entries are gone with it.
    void unload();

    uint32_t dispatch(abi::HostMessage& m) const { return dispatch_(&m); }
    HMODULE module() const { return module_.get(); }
    const abi::TableHeader* header() const { return header_; }
    uint32_t version() const { return version_; }
    const std::vector<FunctionRow>& rows() const { return rows_; }

  private:
    ModuleHandle module_;
    DispatchFunction dispatch_ = nullptr;
    const abi::TableHeader* header_ = nullptr;
    uint32_t version_ = 0;
    std::vector<FunctionRow> rows_;
};

} // namespace fllhost
