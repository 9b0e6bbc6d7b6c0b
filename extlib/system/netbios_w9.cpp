// M_MACNBIOW of the build for Windows 95 and 98, which lack the NetBIOS
// workstation transport query: a fixed answer, and no import of it.
#include "host/functions.h"
#include "host/results.h"

HOST_FUNCTION(M_MACNBIOW)
{
    (void)pb;
    marvo::ReturnString("???");
}
