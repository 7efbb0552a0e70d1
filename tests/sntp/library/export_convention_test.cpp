// Checks, on 32-bit x86, that functions declared like SNTP.dll's exports
// take their arguments in EAX and EDX and return in EAX as sntpquery's thunk
// calls them, and that the thunk notices a callee that breaks a callee-saved
// register. Built and run by export_convention_test.sh for 32-bit Linux
// (under qemu-i386 where the machine cannot run 32-bit code itself), so the
// convention is exercised even where Wine cannot start the i686 binaries.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "sntp/library/export_convention.h"
#include "tools/sntpquery/register_call.h"

namespace {

int Failures = 0;
int Checks = 0;

void Expect(bool condition, const char* what) {
  ++Checks;
  if (!condition) {
    ++Failures;
    std::printf("FAILED: %s\n", what);
  }
}

void* KeptPointer = nullptr;
volatile uint32_t KeptMix = 0;

}  // namespace

extern "C" {

// Stand-ins with the exports' shapes. The loop keeps enough values alive to
// make the compiler use the callee-saved registers.
SNTP_EXPORT uint16_t QueryLike(const char* server, double* offset) {
  uint32_t a = 1, b = 2, c = 3, d = 4, e = 5;
  for (const char* p = server; *p; ++p) {
    a = a * 31 + *p; b ^= a >> 3; c += b * 7; d ^= c << 1; e += d ^ a;
  }
  KeptMix = a ^ b ^ c ^ d ^ e;
  *offset = static_cast<double>(std::strlen(server)) / 4.0;
  return static_cast<uint16_t>(0xA000 | std::strlen(server));
}

SNTP_EXPORT bool ConnectedLike() { return true; }

SNTP_EXPORT void LoopFunctionLike(void* function) { KeptPointer = function; }

// Breaks EBX on purpose: the thunk must report it.
__attribute__((naked)) void BreaksEbx() {
  __asm__("movl $0, %ebx\n\tret");
}

}  // extern "C"

int main() {
  uint32_t result = 0xFFFFFFFF;
  double offset = 0;
  const char* server = "timeserver.test";
  uint32_t clobbered = CallRegisterConvention(reinterpret_cast<const void*>(&QueryLike),
                                              reinterpret_cast<uintptr_t>(server),
                                              reinterpret_cast<uintptr_t>(&offset), &result);
  Expect(clobbered == 0, "a two-argument export keeps EBX, ESI, EDI, EBP and ESP");
  Expect((result & 0xFFFF) == (0xA000 | 15), "the 16-bit result comes back in AX");
  Expect(offset == 15 / 4.0, "the second argument arrives in EDX");

  clobbered = CallRegisterConvention(reinterpret_cast<const void*>(&ConnectedLike), 0, 0, &result);
  Expect(clobbered == 0 && (result & 0xFF) == 1, "a boolean comes back in AL");

  int marker = 0;
  clobbered = CallRegisterConvention(reinterpret_cast<const void*>(&LoopFunctionLike),
                                     reinterpret_cast<uintptr_t>(&marker), 0, &result);
  Expect(clobbered == 0 && KeptPointer == &marker, "a one-argument export takes EAX");

  clobbered = CallRegisterConvention(reinterpret_cast<const void*>(&BreaksEbx), 0, 0, &result);
  Expect(clobbered == kClobberedEbx, "the thunk reports a broken EBX");

  std::printf("%d passed, %d failed\n", Checks - Failures, Failures);
  return Failures == 0 ? 0 : 1;
}
