// Whether the operating system saves the SSE registers at a thread switch
// (crc_ssestate.cpp). The SSE kernels of crc_clmul.cpp need that as much as
// the processor's instructions. No Windows header here either.
#pragma once

namespace crc::sse {

// The system's answer, found at the first call and kept.
bool SystemSaves();

#if defined(_WIN32) && defined(__i386__)
// Calls leaf, a function made of one instruction followed by ret, under an
// exception frame of its own. False when that instruction faults as illegal
// or privileged: the fault is absorbed and the call returns as if the leaf
// had. Any other exception goes on to the frames outside.
bool Executes(void (*leaf)());
#endif

// Tests: SystemSaves answers saves from now on, without asking the system;
// Forget makes its next call ask again.
void Assume(bool saves);
void Forget();

} // namespace crc::sse
