// Whether the operating system saves the SSE registers, asked once by running
// one SSE instruction (xorps) under a structured exception frame linked into
// the thread's fs:[0] chain; 32-bit Windows only. Where the answer is always
// yes (the native benchmarks on x86-64 Linux), nothing is run.
#include "crc_ssestate.h"

#include <atomic>

#if defined(_WIN32) && defined(__i386__)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace crc::sse {
namespace {

// -1 until asked; a race at first use only makes two threads probe alike.
std::atomic<int> answer{-1};

#if defined(_WIN32) && defined(__i386__)

// The CPUID bits say only what the processor can do. A system that does not
// save the SSE registers (Windows 95 on any processor, CR4.OSFXSR clear) has
// the processor fault on every SSE instruction with an invalid opcode, and no
// documented call answers the question on Windows 95 (it has neither
// IsProcessorFeaturePresent's PF_XMMI_INSTRUCTIONS_AVAILABLE nor vectored
// handlers), so the instruction itself is tried. xmm0 is a scratch register
// in every calling convention.
__attribute__((naked, noinline)) void XorpsLeaf()
{
    __asm__("xorps %xmm0, %xmm0\n\tret");
}

using Handler = EXCEPTION_DISPOSITION __cdecl (*)(EXCEPTION_RECORD*, void*, CONTEXT*, void*);

// The system reads the first two words (EXCEPTION_REGISTRATION) and hands
// the handler this record's address; the rest is the handler's own.
struct ProbeRecord {
    ProbeRecord* previous;
    Handler handler;
    const void* instruction;
    volatile bool faulted;
};

// Both codes mean the instruction did not run; any other exception, or this
// one raised anywhere but at the probed instruction, is not the probe's.
// __cdecl, as the C runtimes' own frame handlers (_except_handler3) are.
EXCEPTION_DISPOSITION __cdecl ProbeHandler(EXCEPTION_RECORD* exception, void* frame,
                                           CONTEXT* context, void*)
{
    auto* record = static_cast<ProbeRecord*>(frame);
    const DWORD code = exception->ExceptionCode;
    if ((exception->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) ||
        exception->ExceptionAddress != record->instruction ||
        (code != EXCEPTION_ILLEGAL_INSTRUCTION && code != EXCEPTION_PRIV_INSTRUCTION))
        return ExceptionContinueSearch;
    record->faulted = true;
    // The leaf has touched no stack before its first instruction: its return
    // address is on top, and leaving as its ret would is leaving it whole.
    context->Eip = *reinterpret_cast<const DWORD*>(context->Esp);
    context->Esp += sizeof(DWORD);
    return ExceptionContinueExecution;
}

// The record lives on the stack (the system refuses a frame outside it) and
// heads the thread's chain exactly as long as this object lives, however the
// scope is left.
class ProbeFrame {
  public:
    explicit ProbeFrame(void (*leaf)())
        : record_{nullptr, &ProbeHandler, reinterpret_cast<const void*>(leaf), false}
    {
        __asm__ volatile("movl %%fs:0, %0" : "=r"(record_.previous));
        __asm__ volatile("movl %0, %%fs:0" : : "r"(&record_) : "memory");
    }
    ~ProbeFrame() { __asm__ volatile("movl %0, %%fs:0" : : "r"(record_.previous) : "memory"); }
    ProbeFrame(const ProbeFrame&) = delete;
    ProbeFrame& operator=(const ProbeFrame&) = delete;

    bool faulted() const { return record_.faulted; }

  private:
    ProbeRecord record_;
};

bool Probe()
{
    return Executes(XorpsLeaf);
}

#else

// The other systems these sources build for (x86-64 Linux, for the
// benchmarks) always save them: SSE is part of x86-64.
bool Probe()
{
    return true;
}

#endif

} // namespace

#if defined(_WIN32) && defined(__i386__)
bool Executes(void (*leaf)())
{
    ProbeFrame frame(leaf);
    leaf();
    return !frame.faulted();
}
#endif

bool SystemSaves()
{
    int saves = answer.load(std::memory_order_relaxed);
    if (saves < 0) {
        saves = Probe() ? 1 : 0;
        answer.store(saves, std::memory_order_relaxed);
    }
    return saves != 0;
}

void Assume(bool saves)
{
    answer.store(saves ? 1 : 0, std::memory_order_relaxed);
}

void Forget()
{
    answer.store(-1, std::memory_order_relaxed);
}

} // namespace crc::sse
