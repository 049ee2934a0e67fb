@ THUMB loads, stores and branches where the public programs do not look:
@ PC-relative loads and addresses (formats 6, 12), misaligned register
@ offsets (7, 8), POP {PC} and a misaligned SP (14), LDMIA/STMIA (15), the
@ second half of BL alone (19) and BX PC. Plain transfers, branches, BL and
@ BX are checked by jsmolka's THUMB memory and branch tests. This CPU's documented choices that the
@ checks rely on:
@  - misaligned word loads shift right; halfword loads (LDSH too) ignore bit 0;
@  - PUSH, POP, LDMIA and STMIA work on the base rounded down to a word and
@    keep the base's low two bits in the written-back value;
@  - POP {PC} clears bit 0 and stays in THUMB state;
@  - the second half of BL alone jumps relative to whatever LR holds;
@  - undefined opcodes do nothing.
@ A base register in the list of LDMIA or STMIA is checked in
@ block_transfer.s.

    .include "check.inc"
    .equ    WORD0, 0x11223344
    .equ    WORD1, 0x55667788
    .equ    WORD2, 0x99AABBCC
    .equ    WORD3, 0xDDEEFF00

    .text
    .thumb
    .global main
    .thumb_func
main:
    push    {r4-r7, lr}
    ldr     r4, =buffer

@ --- Format 6: PC-relative loads ---------------------------------------------------
    .balign 4
    ldr     r0, [pc, #4]            @ at a word address A: loads A + 8
    b       1f
    nop
    nop
    .word   0xA1A2A3A4
1:  tcheck  r0, 0xA1A2A3A4
    .balign 4
    nop
    ldr     r0, [pc, #4]            @ at A + 2: (A + 6) rounded down, + 4
    b       1f
    nop
    .word   0xB1B2B3B4
1:  tcheck  r0, 0xB1B2B3B4

@ --- Formats 7 and 8: register offsets, misaligned ------------------------------
    bl      reset_buffer
    movs    r1, #2
    ldr     r0, [r4, r1]            @ shifted right
    tcheck  r0, 0x00001122
    movs    r1, #11
    ldrh    r0, [r4, r1]            @ bit 0 ignored
    tcheck  r0, 0x99AA
    movs    r1, #9
    ldrsh   r0, [r4, r1]            @ the aligned halfword, not a byte
    tcheck  r0, 0xFFFFBBCC
    .balign 4
    nop
    @ Format 12: ADR from a halfword address.
pc_relative:
    adr     r0, pc_relative_target  @ at A + 2: (A + 6) rounded down + offset
    b       pc_relative_target
    .balign 4
pc_relative_target:
    ldr     r1, =pc_relative_target
    subs    r0, r0, r1
    tcheck  r0, 0

@ --- Format 14: POP {PC}, a misaligned SP ---------------------------------------
    mov     r5, sp
    @ POP {PC}: bit 0 of the loaded word is dropped, THUMB state stays.
    ldr     r0, =pop_target + 1
    push    {r0}
    movs    r1, #0
    pop     {pc}
    movs    r1, #1
    .balign 4
pop_target:
    tcheck  r1, 0
    mov     r0, sp
    subs    r0, r0, r5
    tcheck  r0, 0
    @ A misaligned SP: the words go to the aligned address below, and the
    @ written-back SP keeps the low bits.
    movs    r0, #0x5A
    mov     r1, sp
    adds    r1, #2
    mov     sp, r1
    push    {r0}
    mov     r2, sp
    subs    r3, r5, #4
    ldr     r3, [r3]
    mov     sp, r5
    subs    r2, r2, r5
    tcheck  r2, -2
    tcheck  r3, 0x5A

@ --- Format 15: LDMIA and STMIA --------------------------------------------------------
    @ An empty list transfers nothing and keeps the base.
    bl      reset_buffer
    movs    r0, r4
    .hword  0xC000                  @ STMIA r0!, {}
    .hword  0xC800                  @ LDMIA r0!, {}
    subs    r0, r0, r4
    tcheck  r0, 0
    ldr     r0, [r4]
    tcheck  r0, WORD0
    @ A misaligned base: aligned accesses, low bits kept in the write-back.
    adds    r0, r4, #2
    ldr     r1, =0x3C3C
    stmia   r0!, {r1}
    subs    r0, r0, r4
    tcheck  r0, 6
    ldr     r0, [r4]
    tcheck  r0, 0x3C3C

@ --- Undefined opcodes ---------------------------------------------------------------------
    movs    r0, #7
    .hword  0xDE00
    .hword  0xE800
    .hword  0xB100
    .hword  0xBE00
    tcheck  r0, 7

@ --- Format 19 and BX PC --------------------------------
    @ The second half of BL alone: LR + offset x 2.
    movs    r0, #0
    ldr     r1, =second_half_target
    mov     lr, r1
    .hword  0xF800 | 1              @ BL second half: LR + 1 x 2
    movs    r0, #1
second_half_target:
    movs    r0, #2                  @ skipped: the jump lands 2 bytes on
    movs    r0, #3
    tcheck  r0, 3
    movs    r0, #0
    .balign 4
    bx      pc                      @ PC = this address + 4, bit 0 clear: ARM
    nop
    .arm
    add     r0, r0, #0x40
    ldr     r1, =bx_pc_back + 1
    bx      r1
    .thumb
bx_pc_back:
    tcheck  r0, 0x40

    pop     {r4-r7}
    pop     {r0}
    bx      r0

reset_buffer:
    ldr     r0, =WORD0
    str     r0, [r4]
    ldr     r0, =WORD1
    str     r0, [r4, #4]
    ldr     r0, =WORD2
    str     r0, [r4, #8]
    ldr     r0, =WORD3
    str     r0, [r4, #12]
    bx      lr
    .ltorg

    checks_end

    .bss
    .balign 4
buffer:
    .space  32
