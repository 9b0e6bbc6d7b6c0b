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

