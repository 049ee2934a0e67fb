@ THUMB arithmetic and logic: shifts by an immediate (format 1), three-
@ register and three-bit immediate add/subtract (2), eight-bit immediate
@ operations (3), the sixteen ALU operations (4) and the hi-register
@ operations (5). This CPU's documented choices that the checks rely on:
@  - MOV Rd, #imm8 clears N and keeps C and V;
@  - MUL clears C and V;
@  - hi-register ADD and MOV set no flags, also in their lo-lo encodings.

    .include "check.inc"

    .text
    .thumb
    .global main
    .thumb_func
main:
    push    {r4-r7, lr}

@ --- Format 1: shifts by an immediate -------------------------------------------
    ldr     r1, =0x87654321
    tcheckop "lsls r0, r1, #4", 0x76543210, 0x0, 0x0
    tcheckop "lsls r0, r1, #1", 0x0ECA8642, 0x2
    tsetf   0x2
    lsls    r0, r1, #0              @ a plain move: C kept
    tcheckf 0xA
    tcheck  r0, 0x87654321
    tsetf   0x1
    lsrs    r0, r1, #4              @ V kept
    tcheckf 0x1
    tcheck  r0, 0x08765432
    tsetf   0x0
    lsrs    r0, r1, #32             @ encoded as 0
    tcheckf 0x6
    tcheck  r0, 0
    tcheckop "asrs r0, r1, #4", 0xF8765432, 0x8
    tcheckop "asrs r0, r1, #32", 0xFFFFFFFF, 0xA
    ldr     r2, =0x40000001
    tcheckop "asrs r0, r2, #1", 0x20000000, 0x2

@ --- Format 2: add and subtract -------------------------------------------------
    ldr     r2, =0x7FFFFFFF
    movs    r3, #1
    tcheckop "adds r0, r2, r3", 0x80000000, 0x9, 0x0
    tcheckop "subs r0, r3, r2", 0x80000002, 0x8
    tcheckop "adds r0, r3, #7", 8, 0x0
    subs    r0, r3, #1
    tcheckf 0x6
    tcheckop "subs r0, r3, #2", 0xFFFFFFFF, 0x8
    ldr     r2, =0x80000000
    tcheckop "subs r0, r2, r3", 0x7FFFFFFF, 0x3
    adds    r0, r2, r2
    tcheckf 0x7

@ --- Format 3: eight-bit immediates ---------------------------------------------
    tsetf   0xF
    movs    r0, #0
    tcheckf 0x7
    tcheckop "movs r0, #255", 255, 0x3, 0xB
    movs    r4, #200
    cmp     r4, #200
    tcheckf 0x6
    cmp     r4, #201
    tcheckf 0x8
    adds    r4, #100
    tcheckf 0x0
    tcheck  r4, 300
    subs    r4, #255
    tcheckf 0x2
    tcheck  r4, 45
    ldr     r5, =0xFFFFFFFF
    adds    r5, #1
    tcheckf 0x6
    tcheck  r5, 0
    movs    r7, #0
    subs    r7, #1
    tcheckf 0x8
    tcheck  r7, 0xFFFFFFFF

@ --- Format 4: ALU operations ----------------------------------------------------
    ldr     r1, =0x12345678
    ldr     r2, =0xFF00FF00
    movs    r0, r1
    ands    r0, r2
    tcheck  r0, 0x12005600
    movs    r0, r1
    tcheckop "eors r0, r2", 0xED34A978, 0xB, 0x3  @ N, C and V kept
    movs    r0, r1
    orrs    r0, r2
    tcheck  r0, 0xFF34FF78
    movs    r0, r1
    bics    r0, r2
    tcheck  r0, 0x00340078
    mvns    r0, r1
    tcheck  r0, 0xEDCBA987
    tsetf   0x1
    tst     r1, r2
    tcheckf 0x1
    tsetf   0x0
    tst     r1, r1
    tcheckf 0x0
    movs    r0, #0xF0
    movs    r3, #0x0F
    tsetf   0x0
    tst     r0, r3
    tcheckf 0x4
    @ MUL: C and V cleared.
    movs    r0, #7
    movs    r3, #6
    tcheckop "muls r0, r3", 42, 0x0, 0x3
    ldr     r0, =0x12345678
    ldr     r3, =0x9ABCDEF0
    muls    r0, r3
    tcheck  r0, 0x242D2080
    movs    r3, #0
    tsetf   0xB
    muls    r0, r3
    tcheckf 0x4
    @ ADC and SBC use the old C.
    ldr     r0, =0xFFFFFFFF
    movs    r3, #0
    tcheckop "adcs r0, r3", 0, 0x6, 0x2
    movs    r0, #3
    movs    r3, #3
    tcheckop "sbcs r0, r3", 0xFFFFFFFF, 0x8, 0x0
    movs    r0, #5
    tcheckop "sbcs r0, r3", 2, 0x2, 0x2
    movs    r0, #5
    tsetf   0x0
    adcs    r0, r3
    tcheck  r0, 8
    @ NEG: 0 - Rs; negating 0x80000000 overflows.
    ldr     r1, =0x80000000
    tcheckop "negs r0, r1", 0x80000000, 0x9
    movs    r1, #0
    negs    r0, r1
    tcheckf 0x6
    movs    r1, #1
    tcheckop "negs r0, r1", 0xFFFFFFFF, 0x8
    ldr     r1, =0x7FFFFFFF
    movs    r3, #1
    cmn     r1, r3
    tcheckf 0x9
    cmp     r1, r1
    tcheckf 0x6
    cmp     r3, r1
    tcheckf 0x8

    @ Shifts by a register.
    .macro tregshift op, amount, flagsin, result, flags
    ldr     r1, =0x87654321
    ldr     r3, =\amount
    movs    r0, r1
    tcheckop "\op r0, r3", \result, \flags, \flagsin
    .endm
    tregshift lsls, 0, 0x2, 0x87654321, 0xA
    tregshift lsls, 4, 0x2, 0x76543210, 0x0
    tregshift lsls, 32, 0x0, 0, 0x6
    tregshift lsls, 33, 0x2, 0, 0x4
    tregshift lsls, 0x104, 0x0, 0x76543210, 0x0
    tregshift lsrs, 0, 0x0, 0x87654321, 0x8
    tregshift lsrs, 4, 0x2, 0x08765432, 0x0
    tregshift lsrs, 32, 0x0, 0, 0x6
    tregshift lsrs, 33, 0x2, 0, 0x4
    tregshift asrs, 0, 0x2, 0x87654321, 0xA
    tregshift asrs, 4, 0x0, 0xF8765432, 0x8
    tregshift asrs, 32, 0x0, 0xFFFFFFFF, 0xA
    tregshift asrs, 200, 0x0, 0xFFFFFFFF, 0xA
    tregshift rors, 0, 0x2, 0x87654321, 0xA
    tregshift rors, 1, 0x0, 0xC3B2A190, 0xA
    tregshift rors, 4, 0x2, 0x18765432, 0x0
    tregshift rors, 32, 0x0, 0x87654321, 0xA   @ C from bit 31, as in ARM state
    tregshift rors, 36, 0x2, 0x18765432, 0x0
    tregshift rors, 64, 0x1, 0x87654321, 0xB

@ --- Format 5: hi-register operations --------------------------------------------
    movs    r1, #5
    mov     r8, r1
    tsetf   0x5
    add     r8, r1
    tcheckf 0x5
    tcheck  r8, 10
    cmp     r8, r1
    tcheckf 0x2
    cmp     r1, r8
    tcheckf 0x8
    mov     r9, r8
    add     r9, r9
    tcheck  r9, 20
    ldr     r2, =0x11111111
    mov     r12, r2
    mov     r3, r12
    tcheck  r3, 0x11111111
pc_read:
    mov     r0, pc                  @ this instruction's address + 4
    tcheck  r0, pc_read + 4
    movs    r0, #1
pc_add:
    add     r0, pc
    tcheck  r0, pc_add + 5
    @ The lo-lo encodings run as the same operations, without flags.
    movs    r1, #9
    movs    r0, #3
    tsetf   0x9
    .hword  0x4408                  @ ADD r0, r1 with both H bits clear
    tcheckf 0x9
    tcheck  r0, 12
    tsetf   0x6
    .hword  0x4608                  @ MOV r0, r1 with both H bits clear
    tcheckf 0x6
    tcheck  r0, 9
    @ ADD PC, Rs: bit 0 of the result is dropped and THUMB state stays.
    movs    r4, #0
    ldr     r0, pc_jump_offset
    b       pc_jump
    .balign 4
pc_jump_offset:
    .word   pc_jump_target - pc_jump - 3   @ odd: bit 0 must be dropped
pc_jump:
    add     pc, r0
    movs    r4, #1
    movs    r4, #2
    .balign 4
pc_jump_target:
    tcheck  r4, 0

    pop     {r4-r7}
    pop     {r0}
    bx      r0
    checks_end
