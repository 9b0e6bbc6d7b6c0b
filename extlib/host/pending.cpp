// Temporary entries of the functions not built yet: each raises a user error
// that names it. A family's source takes its names out of this list.
#include "functions.h"
#include "services.h"

#define PENDING(name)                                                                              \
    HOST_FUNCTION(name)                                                                            \
    {                                                                                              \
        (void)pb;                                                                                  \
        marvo::RaiseUserError(#name " is not available yet\n");                                    \
    }

PENDING(M_CRPTINIT)
PENDING(M_CRPTQUIT)
PENDING(M_ENCRPTW)
PENDING(M_DECRPTW)
PENDING(M_MENCRPTW)
PENDING(M_MDECRPTW)
PENDING(M_ENCRPTWX)
PENDING(M_DECRPTWX)
PENDING(M_MECRPTWX)
PENDING(M_MDCRPTWX)
PENDING(M_FENCRPTW)
PENDING(M_FDECRPTW)
PENDING(M_FECRPTWX)
PENDING(M_FDCRPTWX)
