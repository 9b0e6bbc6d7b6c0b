// The function table handed to the host with messages 0 and 14.
#pragma once

#include "abi.h"

namespace marvo {

const abi::TableHeader& FunctionTable();

} // namespace marvo
