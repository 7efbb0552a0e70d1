#pragma once
// The calling convention of SNTP.dll's exports, as the clock application
// calls them: on 32-bit x86 the first argument in EAX, the second in EDX, the
// result in EAX, nothing on the stack and nothing popped; the caller reads
// only AX of a 16-bit result and AL of a boolean one. The stack is realigned
// on entry, since the caller promises only 4-byte alignment. On x86_64 (a
// test build) there is no such convention and the platform's own is used.
// Platform-free, so the convention can be checked natively on 32-bit x86.
#if defined(__i386__)
#define SNTP_EXPORT __attribute__((regparm(2), force_align_arg_pointer))
#else
#define SNTP_EXPORT
#endif
