// M_MACNBIOW: hardware addresses of the NetBIOS workstation transports.
#include "host/functions.h"
#include "host/services.h"

HOST_FUNCTION(M_MACNBIOW)
{
    (void)pb;
    marvo::RaiseUserError("M_MACNBIOW is not available yet\n");
}
