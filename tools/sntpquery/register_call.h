#pragma once
// Calling SNTP.dll's exports the way the clock application does.
//
// On 32-bit x86 the exports take their first argument in EAX and their
// second in EDX and return in EAX; the caller reads only AX of a 16-bit
// result and AL of a boolean one. The call goes through a small assembly
// thunk, so it does not depend on this compiler agreeing with the one that
// built the library, and the thunk checks that EBX, ESI, EDI, EBP and ESP
// survive the call.
#include <cstdint>

// Bits of the thunk's result: registers the callee did not preserve.
enum : uint32_t {
  kClobberedEbx = 1,
  kClobberedEsi = 2,
  kClobberedEdi = 4,
  kClobberedEbp = 8,
  kClobberedEsp = 16,
};

#if defined(__i386__)
// Loads EAX and EDX, calls Function, stores EAX in *Result. Returns the mask
// of clobbered callee-saved registers (0 when all survived).
extern "C" uint32_t CallRegisterConvention(const void* function, uint32_t eax, uint32_t edx, uint32_t* result);
#endif
