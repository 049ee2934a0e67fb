@ The overflow flag of every subtraction, with and without a carry in, for
@ operands around 0x80000000, 0x7FFFFFFF and 0, and the signed comparisons
@ compilers build on it: 64-bit "less than" through CMP and SBCS, and
@ x < INT_MIN. The handheld subtracts by adding NOT b and the carry, so V is
@ set when a and b have different signs and the result's sign differs from
@ a's, whatever the carry in; b = 0x80000000 is no exception. Each case sets
@ the flags opposite to the expected ones (C as the carry in where one is
@ read), runs one instruction on r1 = a and r2 = b (r8, r9 = the same for the
@ hi-register compare) and compares NZCV, written N = 8, Z = 4, C = 2, V = 1.
@ The additions CMN and ADC are checked alongside.

    .include "check.inc"

    @ The flags are set opposite to the expected ones first; CIN is the
    @ carry in of SBC, RSC and ADC, which then replaces the opposite C.
    .macro  arith insn, a, b, after, cin=2
    ldr     r1, =\a
    ldr     r2, =\b
    .if \cin == 2
    msr     cpsr_f, #((~(\after) & 0xF) << 28)
    .else
    msr     cpsr_f, #(((~(\after) & 0xD) | (\cin << 1)) << 28)
    .endif
    \insn
    checkf  \after
    .endm

    .macro  tarith insn, a, b, after, cin=2
    ldr     r1, =\a
    ldr     r2, =\b
    mov     r8, r1
    mov     r9, r2
    .if \cin == 2
    tsetf   (~(\after) & 0xF)
    .else
    tsetf   ((~(\after) & 0xD) | (\cin << 1))
    .endif
    \insn
    tcheckf \after
    .endm

    @ a - b for the eight operand pairs through MACRO (arith or tarith):
    @ without a borrow (CIN 1, or no carry read at all), and with one (CIN 0).
    .macro  sub8 macro, insn, cin=2
    \macro "\insn", 0x00000000, 0x80000000, 0x9, \cin
    \macro "\insn", 0x80000000, 0x00000000, 0xA, \cin
    \macro "\insn", 0x80000000, 0x00000001, 0x3, \cin
    \macro "\insn", 0x7FFFFFFF, 0xFFFFFFFF, 0x9, \cin
    \macro "\insn", 0x7FFFFFFF, 0x80000000, 0x9, \cin
    \macro "\insn", 0x80000000, 0x80000000, 0x6, \cin
    \macro "\insn", 0x00000000, 0x00000000, 0x6, \cin
    \macro "\insn", 0xFFFFFFFF, 0x7FFFFFFF, 0xA, \cin
    .endm
    .macro  borrow8 macro, insn
    \macro "\insn", 0x00000000, 0x80000000, 0x0, 0
    \macro "\insn", 0x80000000, 0x00000000, 0x3, 0
    \macro "\insn", 0x80000000, 0x00000001, 0x3, 0
    \macro "\insn", 0x7FFFFFFF, 0xFFFFFFFF, 0x0, 0
    \macro "\insn", 0x7FFFFFFF, 0x80000000, 0x9, 0
    \macro "\insn", 0x80000000, 0x80000000, 0x8, 0
    \macro "\insn", 0x00000000, 0x00000000, 0x8, 0
    \macro "\insn", 0xFFFFFFFF, 0x7FFFFFFF, 0x3, 0
    .endm
    @ a + b for four operand pairs: without a carry in (CIN 0, or none read)
    @ and with one.
    .macro  add4 macro, insn, cin=2
    \macro "\insn", 0x7FFFFFFF, 0x00000000, 0x0, \cin
    \macro "\insn", 0x7FFFFFFF, 0x00000001, 0x9, \cin
    \macro "\insn", 0x80000000, 0xFFFFFFFF, 0x3, \cin
    \macro "\insn", 0xFFFFFFFF, 0xFFFFFFFF, 0xA, \cin
    .endm
    .macro  carry4 macro, insn
    \macro "\insn", 0x7FFFFFFF, 0x00000000, 0x9, 1
    \macro "\insn", 0x7FFFFFFF, 0x00000001, 0x9, 1
    \macro "\insn", 0x80000000, 0xFFFFFFFF, 0xA, 1
    \macro "\insn", 0xFFFFFFFF, 0xFFFFFFFF, 0xA, 1
    .endm

    @ r0 = 1 when the 64-bit signed a (ahi:alo) is less than b, else 0.
    .macro  less64 ahi, alo, bhi, blo, expected
    ldr     r0, =\alo
    ldr     r1, =\ahi
    ldr     r2, =\blo
    ldr     r3, =\bhi
    cmp     r0, r2
    sbcs    r0, r1, r3
    movlt   r0, #1
    movge   r0, #0
    check   r0, \expected
    .endm

    .text
    .arm
    .global main
main:
    push    {r4-r11, lr}

@ --- ARM: SUBS, CMP, RSBS, SBCS, RSCS, NEG (RSBS #0), CMN, ADCS --------------------
    sub8    arith, "subs r0, r1, r2"
    sub8    arith, "cmp r1, r2"
    sub8    arith, "rsbs r0, r2, r1"
    borrow8 arith, "sbcs r0, r1, r2"
    sub8    arith, "sbcs r0, r1, r2", 1
    borrow8 arith, "rscs r0, r2, r1"
    sub8    arith, "rscs r0, r2, r1", 1
    arith   "rsbs r0, r2, #0", 0x00000000, 0x80000000, 0x9
    arith   "rsbs r0, r2, #0", 0x00000000, 0x00000000, 0x6
    arith   "rsbs r0, r2, #0", 0x00000000, 0x7FFFFFFF, 0x8
    add4    arith, "cmn r1, r2"
    add4    arith, "adcs r0, r1, r2", 0
    carry4  arith, "adcs r0, r1, r2"

@ --- Signed comparisons ---------------------------------------------------------------
    less64  0, 5, 0, 9, 1
    less64  0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 1              @ -1 < 0
    less64  0x7FFFFFFF, 0xFFFFFFFF, 0x80000000, 0, 0     @ INT64_MAX < INT64_MIN
    less64  0x80000000, 0, 0x7FFFFFFF, 0xFFFFFFFF, 1
    @ x < INT_MIN is false for every x; x <= INT_MIN only for INT_MIN.
    .irp    x, 0, 0x7FFFFFFF, 0xFFFFFFFF, 0x80000000
    ldr     r1, =\x
    cmp     r1, #0x80000000
    movlt   r0, #1
    movge   r0, #0
    check   r0, 0
    .endr
    cmp     r1, #0x80000000
    movle   r0, #1
    movgt   r0, #0
    check   r0, 1

    ldr     r0, =thumb_part
    mov     lr, pc
    bx      r0
    pop     {r4-r11, lr}
    bx      lr
    .pool

@ --- THUMB: SUB, CMP, SBC, NEG, the immediate forms, hi CMP, CMN, ADC ---------------
    .thumb
    .thumb_func
thumb_part:
    push    {r4-r7, lr}
    sub8    tarith, "subs r0, r1, r2"
    sub8    tarith, "cmp r1, r2"
    borrow8 tarith, "sbcs r1, r2"
    sub8    tarith, "sbcs r1, r2", 1
    tarith  "negs r0, r2", 0x00000000, 0x80000000, 0x9
    tarith  "negs r0, r2", 0x00000000, 0x00000000, 0x6
    tarith  "negs r0, r2", 0x00000000, 0x7FFFFFFF, 0x8
    tarith  "subs r0, r1, #1", 0x80000000, 0x00000001, 0x3
    tarith  "subs r1, #1", 0x80000000, 0x00000001, 0x3
    tarith  "subs r1, #0", 0x7FFFFFFF, 0x00000000, 0x2
    tarith  "cmp r1, #1", 0x80000000, 0x00000001, 0x3
    tarith  "cmp r1, #128", 0x00000000, 0x00000080, 0x8
    add4    tarith, "cmn r1, r2"
    add4    tarith, "adcs r1, r2", 0
    carry4  tarith, "adcs r1, r2"
    tarith  "cmp r8, r9", 0x00000000, 0x80000000, 0x9
    tarith  "cmp r8, r9", 0x80000000, 0x00000001, 0x3

    @ A 64-bit "less than" as GCC writes it in THUMB code: 5 < 9 and 9 < 5.
    .macro  tless64 alo, blo, expected
    movs    r0, #\alo
    movs    r1, #0
    movs    r2, #\blo
    movs    r3, #0
    cmp     r0, r2
    sbcs    r1, r3
    blt     1f
    movs    r0, #0
    b       2f
1:  movs    r0, #1
2:  tcheck  r0, \expected
    .endm
    tless64 5, 9, 1
    tless64 9, 5, 0

    pop     {r4-r7}
    pop     {r0}
    bx      r0
    .pool
    checks_end
