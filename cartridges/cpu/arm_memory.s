@ ARM loads and stores: LDR/STR/LDRB/STRB with immediate and shifted
@ register offsets in all indexing modes, LDRH/STRH/LDRSB/LDRSH, SWP/SWPB,
@ and LDM/STM with R15 and an empty list (the four modes with a base in
@ the list are in block_transfer.s). This CPU's documented
@ choices that the checks rely on:
@  - a misaligned word load shifts the aligned word right (no rotation);
@  - halfword loads ignore address bit 0, LDRSH included;
@  - an empty register list transfers nothing and keeps the base;
@  - R15 stored as data is the instruction's address + 12.
@ A base register in the list of an LDM or STM is checked in
@ block_transfer.s. Halfword transfers post-indexed with W set run as the
@ plain post-indexed transfer, as on the handheld.

    .include "check.inc"
    .equ    FLAG_C, 0x20000000
    .equ    WORD0, 0x11223344
    .equ    WORD1, 0x55667788
    .equ    WORD2, 0x99AABBCC
    .equ    WORD3, 0xDDEEFF00

    .text
    .arm
    .global main
main:
    push    {r4-r11, lr}
    ldr     r4, =buffer

@ --- LDR, LDRB with an immediate offset ------------------------------------------
    bl      reset_buffer
    @ Misaligned words are shifted right: the vacated bytes read zero.
    ldr     r0, [r4, #1]
    check   r0, 0x00112233
    ldr     r0, [r4, #2]
    check   r0, 0x00001122
    ldr     r0, [r4, #3]
    check   r0, 0x00000011
    @ The base loaded into itself loses to the write-back.
    mov     r1, r4
    .word   0xE4911004              @ LDR r1, [r1], #4
    check   r1, buffer + 4
    mov     r1, r4
    .word   0xE5B11004              @ LDR r1, [r1, #4]!
    check   r1, buffer + 4
    @ LDRT behaves as the plain post-indexed load.
    mov     r1, r4
    ldrt    r0, [r1], #4
    check   r0, WORD0
    check   r1, buffer + 4

@ --- Register offsets ------------------------------------------------------------
    @ The offset shifter never changes C.
    msr     cpsr_f, #0
    mov     r2, #3
    ldr     r0, [r4, r2, lsr #1]
    checkf  0x0
    msr     cpsr_f, #FLAG_C
    mov     r2, #8
    ldr     r0, [r4, r2, lsl #31]   @ offset 0, shifted-out bit 0 ignored
    check   r0, WORD0
    checkf  0x2
@ --- R15 as base ------------------------------------------------------------------
    ldr     r0, [pc, #-4]           @ reads the next instruction's word
    .word   0xE1A00000              @ MOV r0, r0
    check   r0, 0xE1A00000
    ldr     r0, [pc]                @ the word two instructions on
    b       1f
    .word   0xABCD1234
1:  check   r0, 0xABCD1234
    @ LDR into R15 is a jump.
    ldr     r1, =load_target
    str     r1, [r4, #16]
    mov     r0, #0
    ldr     pc, [r4, #16]
    mov     r0, #1
load_target:
    check   r0, 0

@ --- STR, STRB ----------------------------------------------------------------------
    bl      reset_buffer
    mov     r1, r4
    ldr     r0, =0x01020304
    mov     r2, #3
    strb    r0, [r1, r2, lsl #2]    @ buffer + 12
    ldrb    r2, [r4, #12]
    check   r2, 0x04
    strt    r0, [r1], #8
    check   r1, buffer + 8
    @ The base stored through itself is its old value.
    mov     r1, r4
    .word   0xE5A11004              @ STR r1, [r1, #4]!
    ldr     r2, [r4, #4]
    check   r2, buffer
    @ STR R15 stores the instruction's address + 12.
store_pc:
    str     pc, [r4]
    ldr     r0, [r4]
    check   r0, store_pc + 12

@ --- Halfword and signed transfers -------------------------------------------------
    bl      reset_buffer
    ldrh    r0, [r4, #1]            @ bit 0 ignored
    check   r0, 0x3344
    ldrsh   r0, [r4, #9]            @ the aligned halfword, not a byte
    check   r0, 0xFFFFBBCC
    mov     r1, r4
    .word   0xE1F110B2              @ LDRH r1, [r1, #2]!: write-back wins
    check   r1, buffer + 2
    ldr     r0, =0x12345678
    strh    r0, [r4, #2]
    ldr     r1, [r4]
    check   r1, 0x56783344
    @ Post-indexed with W set: the plain post-indexed transfer, as on the
    @ handheld (halfword transfers have no user-mode form).
    bl      reset_buffer
    ldr     r5, =0xABCD1234
    mov     r3, #4
    mov     r2, r4
    .word   0xE0E250B2              @ STRH r5, [r2], #2
    check   r2, buffer + 2
    .word   0xE0A250B3              @ STRH r5, [r2], r3
    check   r2, buffer + 6
    ldr     r0, [r4]
    check   r0, 0x12341234
    ldr     r0, [r4, #4]
    check   r0, WORD1
    mov     r1, r4
    .word   0xE0F100B6              @ LDRH r0, [r1], #6
    check   r0, 0x1234
    check   r1, buffer + 6
    sub     r1, r1, #2
    .word   0xE03100D3              @ LDRSB r0, [r1], -r3
    check   r0, 0xFFFFFF88
    check   r1, buffer
    add     r1, r4, #10
    .word   0xE07100F2              @ LDRSH r0, [r1], #-2
    check   r0, 0xFFFF99AA
    check   r1, buffer + 8
store_pc_half:
    .word   0xE1C4F0B0              @ STRH pc, [r4]
    ldrh    r0, [r4]
    ldr     r1, =store_pc_half + 12
    mov     r1, r1, lsl #16
    mov     r1, r1, lsr #16
    checkr  r0, r1

@ --- SWP, SWPB --------------------------------------------------------------------------
    bl      reset_buffer
    ldr     r2, =0xA1B2C3D4
    add     r1, r4, #4
    mov     r0, r2
    swp     r0, r0, [r1]            @ exchange with itself
    check   r0, WORD1
    ldr     r3, [r4, #4]
    check   r3, 0xA1B2C3D4

@ --- LDM, STM -------------------------------------------------------------------------------
    @ R15 in an STM is the instruction's address + 12; in an LDM a jump.
store_pc_multiple:
    stmia   r4, {r0, pc}
    ldr     r0, [r4, #4]
    check   r0, store_pc_multiple + 12
    ldr     r0, =ldm_target
    str     r0, [r4, #4]
    mov     r0, #0
    ldmia   r4, {r1, pc}
    mov     r0, #1
ldm_target:
    check   r0, 0
    @ An empty list transfers nothing and keeps the base.
    bl      reset_buffer
    mov     r0, r4
    .word   0xE8A00000              @ STMIA r0!, {}
    check   r0, buffer
    .word   0xE8B00000              @ LDMIA r0!, {}
    check   r0, buffer
    ldr     r0, [r4]
    check   r0, WORD0
    pop     {r4-r11, lr}
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
    mov     r0, #0
    str     r0, [r4, #16]
    bx      lr
    .pool
    checks_end

    .bss
    .balign 4
buffer:
    .space  64
