// M_MACADAPW: the hardware addresses of the network adapters in Windows'
// adapter list, as one text of 17 characters per adapter. The list comes from
// the IP Helper library, which Windows 95 lacks: there the answer is the empty
// text, as on a machine without adapters.
#include <winsock2.h>
#include <windows.h>

#include <iphlpapi.h>

#include <vector>

#include "host/functions.h"
#include "host/results.h"
#include "system/addresstext.h"
#include "system/laterapi.h"

namespace {

using namespace marvo;

// Room for 16 adapter records. A list that needs more gives no addresses at
// all rather than a part of them.
constexpr ULONG kListSize = 10240;

using GetAdaptersInfoFunction = ULONG(WINAPI*)(PIP_ADAPTER_INFO, PULONG);

AddressText adapterAddresses()
{
    AddressText addresses;
    LoadedModule ipHelper("iphlpapi.dll");
    auto getAdaptersInfo = ipHelper.find<GetAdaptersInfoFunction>("GetAdaptersInfo");
    if (!getAdaptersInfo)
        return addresses;
    std::vector<unsigned char> buffer(kListSize);
    ULONG size = kListSize;
    auto* adapter = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data());
    if (getAdaptersInfo(adapter, &size) != ERROR_SUCCESS)
        return addresses;
    for (; adapter && !addresses.full(); adapter = adapter->Next)
        addresses.append(adapter->Address);
    return addresses;
}

} // namespace

HOST_FUNCTION(M_MACADAPW)
{
    (void)pb;
    ReturnString(adapterAddresses().text());
}
