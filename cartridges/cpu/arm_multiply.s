@ ARM multiplies: MUL, MLA and the four long forms, with and without S.
@ MULS and MLAS clear C and V on this CPU; the long forms set N and Z from
@ the 64-bit result and keep C and V. Products of large operands were worked
@ out as exact integers and reduced by hand to 32/64 bits. Plain products
@ are also checked by png183's multiply tests (300-321) and FuzzARM.

    .include "check.inc"
    .equ    FLAG_C, 0x20000000
    .equ    FLAG_V, 0x10000000

    .text
    .arm
    .global main
main:
    push    {r4-r11, lr}

@ --- MUL and MLA ----------------------------------------------------------------
    ldr     r1, =0x12345678
    ldr     r2, =0x9ABCDEF0
    ldr     r3, =0x11111111
    mla     r0, r1, r2, r3
    check   r0, 0x353E3191
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

@ --- Unsigned long -------------------------------------------------------------
    ldr     r2, =0x12345678
    ldr     r3, =0x9ABCDEF0
    umull   r0, r1, r2, r3
    check   r0, 0x242D2080
    check   r1, 0x0B00EA4E
    @ UMLAL adds the old 64-bit value, carrying from the low word.
    mvn     r0, #0
    mov     r1, #1
    umlal   r0, r1, r2, r3
    check   r0, 0x242D207F
    check   r1, 0x0B00EA50
    @ S: N from bit 63, Z from all 64 bits, C and V kept.
    msr     cpsr_f, #(FLAG_C | FLAG_V)
    mvn     r2, #0
    umulls  r0, r1, r2, r2
    checkf  0xB
    msr     cpsr_f, #0
    mov     r2, #0
    umulls  r0, r1, r2, r3
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

@ --- Signed long ---------------------------------------------------------------
    mov     r2, #0x80000000
    smull   r0, r1, r2, r2          @ (-2^31)^2 = 2^62
    check   r0, 0
    check   r1, 0x40000000
    ldr     r2, =0xEDCBA988         @ -0x12345678
    ldr     r3, =0x7ABCDEF0
    smull   r0, r1, r2, r3
    check   r0, 0xDBD2DF80
    check   r1, 0xF745A080
    @ SMLAL: 0x00000000_80000000 + (-1)(1) = 0x7FFFFFFF.
    mov     r0, #0x80000000
    mov     r1, #0
    mvn     r2, #0
    mov     r3, #1
    smlal   r0, r1, r2, r3
    check   r0, 0x7FFFFFFF
    check   r1, 0
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
