@ ARM multiplies: the flags of MULS, MLAS and the four long forms with S.
@ MULS and MLAS clear C and V on this CPU; the long forms set N and Z from
@ the 64-bit result and keep C and V. The products themselves are checked
@ by png183's multiply tests (300-321) and FuzzARM.

    .include "check.inc"
    .equ    FLAG_C, 0x20000000
    .equ    FLAG_V, 0x10000000

    .text
    .arm
    .global main
main:
    push    {r4-r11, lr}

@ --- MULS and MLAS ----------------------------------------------------------------
    @ S: N and Z from the result, C and V cleared.
    msr     cpsr_f, #(FLAG_C | FLAG_V)
    mov     r1, #0
    muls    r0, r1, r2
    checkf  0x4
    msr     cpsr_f, #(FLAG_C | FLAG_V)
    mvn     r1, #0
    mov     r2, #5
    muls    r0, r1, r2
    checkf  0x8
    msr     cpsr_f, #(FLAG_C | FLAG_V)
    mov     r3, #5
    mlas    r0, r1, r2, r3          @ -5 + 5
    check   r0, 0
    checkf  0x4
    msr     cpsr_f, #(FLAG_C | FLAG_V)
    mov     r1, #3
    mul     r0, r1, r2              @ no S: flags kept
    checkf  0x3

@ --- Unsigned long, with S -------------------------------------------------------------
    @ S: N from bit 63, Z from all 64 bits, C and V kept.
    msr     cpsr_f, #(FLAG_C | FLAG_V)
    mvn     r2, #0
    umulls  r0, r1, r2, r2
    checkf  0xB
    msr     cpsr_f, #0
    mov     r2, #0
    umulls  r0, r1, r2, r2
    checkf  0x4
    msr     cpsr_f, #0
    mov     r2, #0x10000
    umulls  r0, r1, r2, r2          @ 2^32: low word zero, high word one
    check   r0, 0
    check   r1, 1
    checkf  0x0
    msr     cpsr_f, #FLAG_C
    mvn     r0, #0
    mvn     r1, #0
    mov     r2, #1
    umlals  r0, r1, r2, r2          @ wraps to zero
    check   r0, 0
    check   r1, 0
    checkf  0x6

@ --- Signed long, with S ---------------------------------------------------------------
    msr     cpsr_f, #FLAG_V
    mvn     r2, #1
    mov     r3, #3
    smulls  r0, r1, r2, r3
    checkf  0x9
    msr     cpsr_f, #FLAG_C
    mvn     r0, #5                  @ -6
    mvn     r1, #0
    smlals  r0, r1, r2, r3          @ -6 + -6
    check   r0, 0xFFFFFFF4
    check   r1, 0xFFFFFFFF
    checkf  0xA

    pop     {r4-r11, lr}
    bx      lr
    checks_end
