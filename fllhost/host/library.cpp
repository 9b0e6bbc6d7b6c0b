// Loading an extension library and reading its function table (including
// any further tables chained through the header's next field).
#include "library.h"

namespace fllhost {

namespace {

std::string windowsError(DWORD code)
{
    char text[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                   text, sizeof text, nullptr);
    std::string s = text;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' '))
        s.pop_back();
    return s.empty() ? "Windows error " + std::to_string(code) : s;
}

} // namespace

bool Library::load(const std::string& path, std::string* error)
{
    auto fail = [error](const std::string& text) {
        if (error)
            *error = text;
        return false;
    };
    if (loaded())
        return fail("a library is already loaded");
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module)
        return fail("cannot load " + path + ": " + windowsError(GetLastError()));
    module_ = ModuleHandle(module);
    auto entry = reinterpret_cast<DispatchFunction>(
        reinterpret_cast<void*>(GetProcAddress(module, "@DispatchAPI@4")));
    if (!entry)
        return fail(path + " has no entry @DispatchAPI@4");
    abi::HostMessage m{};
    m.code = abi::kMsgTable;
    entry(&m);
    header_ = reinterpret_cast<const abi::TableHeader*>(m.value1);
    version_ = m.value2;
    if (!header_)
        return fail(path + " gave no function table");
    for (const abi::TableHeader* h = header_; h; h = h->next)
        for (uint16_t i = 0; i < h->count; ++i) {
            const abi::TableRow& row = h->rows[i];
            rows_.push_back(FunctionRow{row.name ? row.name : "", static_cast<int16_t>(row.count),
                                        row.types ? row.types : "", row.entry});
        }
    dispatch_ = entry;
    return true;
}

void Library::unload()
{
    dispatch_ = nullptr;
    header_ = nullptr;
    version_ = 0;
    rows_.clear();
    module_ = ModuleHandle();
}

} // namespace fllhost
