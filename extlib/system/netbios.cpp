// M_MACNBIOW: the hardware addresses of the NetBIOS workstation transports,
// as one text of 17 characters per transport. The first transport of the
// list is never used.
//
// The transport addresses are read with the runtime library's own swscanf
// (__ms_swscanf is its name where the compiler's C99 scanf family is in
// force), which the build for Windows 95 and 98 must not need.
#include <windows.h>

#include <lm.h>

#include <cwchar>

#include "host/functions.h"
#include "host/results.h"
#include "system/addresstext.h"

namespace {

using namespace marvo;

// A buffer the workstation service allocated; released at scope end.
class NetApiBuffer {
  public:
    NetApiBuffer() = default;
    ~NetApiBuffer()
    {
        if (data_)
            NetApiBufferFree(data_);
    }
    NetApiBuffer(const NetApiBuffer&) = delete;
    NetApiBuffer& operator=(const NetApiBuffer&) = delete;

    LPBYTE* receive() { return &data_; }
    template <typename T> const T* as() const { return reinterpret_cast<const T*>(data_); }

  private:
    LPBYTE data_ = nullptr;
};

// Twelve hexadecimal digits, two to a byte. The bytes that an address which
// does not parse leaves unfilled are 0.
void appendTransportAddress(AddressText& addresses, const wchar_t* transportAddress)
{
    unsigned short part[6] = {};
    if (transportAddress)
        __ms_swscanf(transportAddress, L"%2hx%2hx%2hx%2hx%2hx%2hx", &part[0], &part[1], &part[2],
                     &part[3], &part[4], &part[5]);
    uint8_t address[6];
    for (int i = 0; i < 6; ++i)
        address[i] = static_cast<uint8_t>(part[i]);
    addresses.append(address);
}

AddressText transportAddresses()
{
    AddressText addresses;
    NetApiBuffer buffer;
    DWORD read = 0;
    DWORD total = 0;
    if (NetWkstaTransportEnum(nullptr, 0, buffer.receive(), MAX_PREFERRED_LENGTH, &read, &total,
                              nullptr) != NERR_Success)
        return addresses;
    const auto* transports = buffer.as<WKSTA_TRANSPORT_INFO_0>();
    for (DWORD i = 1; i < read && !addresses.full(); ++i)
        appendTransportAddress(addresses, transports[i].wkti0_transport_address);
    return addresses;
}

} // namespace

HOST_FUNCTION(M_MACNBIOW)
{
    (void)pb;
    ReturnString(transportAddresses().text());
}
