# uint32_t CallRegisterConvention(const void* Function, uint32_t Eax,
#                                 uint32_t Edx, uint32_t* Result)
#
# Called with the C convention. Loads the two arguments into EAX and EDX,
# fills the callee-saved registers with sentinels, calls Function (which
# pops nothing), stores EAX in *Result and returns a mask of the registers
# the callee did not preserve: 1 EBX, 2 ESI, 4 EDI, 8 EBP, 16 ESP.

        .set    SENTINEL_EBX, 0x5EB10001
        .set    SENTINEL_ESI, 0x5E510002
        .set    SENTINEL_EDI, 0x5ED10003
        .set    SENTINEL_EBP, 0x5EB00004

        .data
        .balign 4
stack_before_call:
        .long   0

/* Windows decorates C names with an underscore; ELF (the native check of
   the convention on 32-bit Linux) does not. */
#if defined(_WIN32)
#define THUNK _CallRegisterConvention
#else
#define THUNK CallRegisterConvention
#endif

        .text
        .globl  THUNK
#if defined(_WIN32)
        .def    THUNK; .scl 2; .type 32; .endef
#else
        .type   THUNK, @function
#endif
THUNK:
        pushl   %ebp
        pushl   %ebx
        pushl   %esi
        pushl   %edi
        # Arguments now start at 20(%esp), above the four saved registers
        # and the return address.
        movl    20(%esp), %ecx
        movl    24(%esp), %eax
        movl    28(%esp), %edx
        movl    %esp, stack_before_call
        movl    $SENTINEL_EBX, %ebx
        movl    $SENTINEL_ESI, %esi
        movl    $SENTINEL_EDI, %edi
        movl    $SENTINEL_EBP, %ebp
        call    *%ecx

        xorl    %ecx, %ecx
        cmpl    $SENTINEL_EBX, %ebx
        je      1f
        orl     $1, %ecx
1:      cmpl    $SENTINEL_ESI, %esi
        je      2f
        orl     $2, %ecx
2:      cmpl    $SENTINEL_EDI, %edi
        je      3f
        orl     $4, %ecx
3:      cmpl    $SENTINEL_EBP, %ebp
        je      4f
        orl     $8, %ecx
4:      cmpl    stack_before_call, %esp
        je      5f
        orl     $16, %ecx
        movl    stack_before_call, %esp
5:      movl    32(%esp), %edx
        movl    %eax, (%edx)
        movl    %ecx, %eax
        popl    %edi
        popl    %esi
        popl    %ebx
        popl    %ebp
        ret

#if !defined(_WIN32)
        .section .note.GNU-stack, "", @progbits
#endif
