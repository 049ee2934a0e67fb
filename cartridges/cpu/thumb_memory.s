@ THUMB loads, stores and branches: PC-relative loads (format 6), register
@ offsets (7, 8), immediate offsets (9, 10), SP-relative transfers (11),
@ address generation (12, 13), PUSH/POP (14), LDMIA/STMIA (15), conditional
@ and unconditional branches (16, 18), BL (19) and BX. This CPU's documented
@ choices that the checks rely on:
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

@ --- Formats 7 and 8: register offsets ---------------------------------------------
    bl      reset_buffer
    movs    r1, #4
    ldr     r0, [r4, r1]
    tcheck  r0, WORD1
    movs    r1, #2
    ldr     r0, [r4, r1]            @ shifted right
    tcheck  r0, 0x00001122
    movs    r1, #9
    ldrb    r0, [r4, r1]
    tcheck  r0, 0xBB
    movs    r1, #10
    ldrh    r0, [r4, r1]
    tcheck  r0, 0x99AA
    movs    r1, #11
    ldrh    r0, [r4, r1]            @ bit 0 ignored
    tcheck  r0, 0x99AA
    movs    r1, #8
    ldrsb   r0, [r4, r1]
    tcheck  r0, 0xFFFFFFCC
    movs    r1, #1
    ldrsb   r0, [r4, r1]
    tcheck  r0, 0x33
    movs    r1, #10
    ldrsh   r0, [r4, r1]
    tcheck  r0, 0xFFFF99AA
    movs    r1, #9
    ldrsh   r0, [r4, r1]            @ the aligned halfword, not a byte
    tcheck  r0, 0xFFFFBBCC
    movs    r1, #2
    ldrsh   r0, [r4, r1]
    tcheck  r0, 0x1122
    ldr     r2, =0xCAFEBABE
    movs    r1, #4
    str     r2, [r4, r1]
    ldr     r0, [r4, #4]
    tcheck  r0, 0xCAFEBABE
    movs    r1, #2
    strh    r2, [r4, r1]
    ldr     r0, [r4]
    tcheck  r0, 0xBABE3344
    movs    r1, #3
    strb    r2, [r4, r1]
    ldr     r0, [r4]
    tcheck  r0, 0xBEBE3344

@ --- Formats 9 and 10: immediate offsets --------------------------------------------
    bl      reset_buffer
    ldr     r0, [r4, #12]
    tcheck  r0, WORD3
    ldrb    r0, [r4, #6]
    tcheck  r0, 0x66
    ldrh    r0, [r4, #6]
    tcheck  r0, 0x5566
    ldr     r2, =0x01020304
    str     r2, [r4, #8]
    ldr     r0, [r4, #8]
    tcheck  r0, 0x01020304
    strb    r2, [r4, #1]
    ldr     r0, [r4]
    tcheck  r0, 0x11220444
    strh    r2, [r4, #14]
    ldr     r0, [r4, #12]
    tcheck  r0, 0x0304FF00

@ --- Formats 11, 12, 13: SP and PC relative -------------------------------------------
    mov     r5, sp
    sub     sp, #16
    mov     r0, sp
    adds    r0, #16
    subs    r0, r0, r5
    tcheck  r0, 0
    ldr     r2, =0x77665544
    str     r2, [sp, #8]
    ldr     r0, [sp, #8]
    tcheck  r0, 0x77665544
    add     r1, sp, #8
    ldr     r0, [r1]
    tcheck  r0, 0x77665544
    add     sp, #16
    mov     r0, sp
    subs    r0, r0, r5
    tcheck  r0, 0
    .balign 4
    nop
pc_relative:
    adr     r0, pc_relative_target  @ at A + 2: (A + 6) rounded down + offset
    b       pc_relative_target
    .balign 4
pc_relative_target:
    ldr     r1, =pc_relative_target
    subs    r0, r0, r1
    tcheck  r0, 0

@ --- Format 14: PUSH and POP ------------------------------------------------------------
    mov     r5, sp
    movs    r0, #0x10
    movs    r1, #0x11
    movs    r2, #0x12
    ldr     r3, =0x1234
    mov     lr, r3
    push    {r0, r2, lr}
    mov     r3, sp
    adds    r3, #12
    subs    r3, r3, r5
    tcheck  r3, 0
    ldr     r3, [sp]
    tcheck  r3, 0x10
    ldr     r3, [sp, #4]
    tcheck  r3, 0x12
    ldr     r3, [sp, #8]
    tcheck  r3, 0x1234
    pop     {r1, r3, r6}
    tcheck  r1, 0x10
    tcheck  r3, 0x12
    tcheck  r6, 0x1234
    mov     r0, sp
    subs    r0, r0, r5
    tcheck  r0, 0
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
    bl      reset_buffer
    movs    r0, r4
    movs    r1, #0xA1
    movs    r2, #0xB2
    movs    r3, #0xC3
    stmia   r0!, {r1-r3}
    subs    r0, r0, r4
    tcheck  r0, 12
    ldr     r0, [r4, #8]
    tcheck  r0, 0xC3
    ldr     r0, [r4, #12]
    tcheck  r0, WORD3
    movs    r0, r4
    ldmia   r0!, {r1, r3}
    subs    r0, r0, r4
    tcheck  r0, 8
    tcheck  r1, 0xA1
    tcheck  r3, 0xB2
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

@ --- Formats 16 and 18: branches --------------------------------------------------------
    @ For each NZCV combination, bit k of r8 is set when condition k branched.
    .macro tcondrow nzcv, expected
    ldr     r0, =0
    mov     r8, r0
    ldr     r2, =condition_bits
    tsetf   \nzcv
    .set    bit_offset, 0
    @ Only branches, loads and hi-register ADDs inside: the flags stay.
    .irp    cond, eq, ne, cs, cc, mi, pl, vs, vc, hi, ls, ge, lt, gt, le
    b\cond  1f
    b       2f
1:  ldr     r1, [r2, #bit_offset]
    add     r8, r1
2:
    .set    bit_offset, bit_offset + 4
    .endr
    tcheck  r8, \expected
    .endm
    tcondrow 0x0, 0x16AA
    tcondrow 0x1, 0x2A6A
    tcondrow 0x2, 0x15A6
    tcondrow 0x3, 0x2966
    tcondrow 0x4, 0x26A9
    tcondrow 0x5, 0x2A69
    tcondrow 0x6, 0x26A5
    tcondrow 0x7, 0x2A65
    tcondrow 0x8, 0x2A9A
    tcondrow 0x9, 0x165A
    tcondrow 0xA, 0x2996
    tcondrow 0xB, 0x1556
    tcondrow 0xC, 0x2A99
    tcondrow 0xD, 0x2659
    tcondrow 0xE, 0x2A95
    tcondrow 0xF, 0x2655
    movs    r0, #0
    b       1f
    movs    r0, #1
2:  adds    r0, #0x10
    b       3f
1:  adds    r0, #0x20
    b       2b
3:  tcheck  r0, 0x30
    @ Undefined opcodes do nothing.
    movs    r0, #7
    .hword  0xDE00
    .hword  0xE800
    .hword  0xB100
    .hword  0xBE00
    tcheck  r0, 7

@ --- Format 19 and BX: long branches and state changes --------------------------------
    movs    r0, #0
    bl      thumb_subroutine
bl_return:
    tcheck  r0, 0x99
    ldr     r1, =bl_return + 1
    subs    r7, r7, r1              @ LR as the subroutine saw it
    tcheck  r7, 0
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
    @ BX to an odd address stays in THUMB.
    movs    r0, #0
    ldr     r1, =bx_thumb + 1
    bx      r1
    movs    r0, #1
    .balign 4
bx_thumb:
    tcheck  r0, 0
    @ BX to ARM code and back.
    movs    r0, #0
    ldr     r1, =arm_code
    bx      r1
    .balign 4
    .thumb_func
back_in_thumb:
    tcheck  r0, 0x1234
    tcheck  r1, 0                   @ the T bit as the ARM code saw it
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

    .thumb_func
thumb_subroutine:
    mov     r7, lr
    movs    r0, #0x99
    bx      lr

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

    .arm
arm_code:
    mrs     r1, cpsr
    and     r1, r1, #0x20
    ldr     r0, =0x1234
    ldr     r2, =back_in_thumb
    bx      r2
    .ltorg

    .balign 4
condition_bits:
    .word   0x0001, 0x0002, 0x0004, 0x0008, 0x0010, 0x0020, 0x0040, 0x0080
    .word   0x0100, 0x0200, 0x0400, 0x0800, 0x1000, 0x2000
    checks_end

    .bss
    .balign 4
buffer:
    .space  32
