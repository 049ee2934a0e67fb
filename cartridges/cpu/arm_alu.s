@ ARM data processing where R15 is an operand or the destination, and the
@ register-specified shift amount. The operations, their flags and the
@ shifter's results for ordinary operands are checked by the public
@ programs: FuzzARM's ARM_DataProcessing (10,000 cases recorded on the
@ handheld) and jsmolka's conditions, shifter and data-processing tests.
@ Subtraction overflow is checked in overflow.s.

    .include "check.inc"
    .equ    FLAG_C, 0x20000000

    .text
    .arm
    .global main
main:
    push    {r4-r11, lr}

@ --- Shifts by a register: only the low byte of the amount counts ----------------
    ldr     r1, =0x87654321
    ldr     r2, =0x104              @ shifts by 4
    mov     r0, r1, lsl r2
    check   r0, 0x76543210
    ldr     r3, =0x7FFFFFFF
    mov     r4, #0x100
    msr     cpsr_f, #FLAG_C
    movs    r0, r3, lsr r4          @ low byte 0: value and C unchanged
    check   r0, 0x7FFFFFFF
    checkf  0x2

@ --- R15 as an operand -----------------------------------------------------
pc_add:
    add     r0, pc, #0
    check   r0, pc_add + 8
    mov     r1, #1
    mov     r2, #4
pc_reg_shift:
    .word   0xE08F0211          @ ADD r0, pc, r1, LSL r2 (R15 reads as address + 12)
    check   r0, pc_reg_shift + 12 + 16
    mov     r2, #0
pc_shifted:
    .word   0xE1A0021F          @ MOV r0, pc, LSL r2
    check   r0, pc_shifted + 12
pc_rm:
    add     r0, r1, pc
    check   r0, pc_rm + 9
    @ Writing R15 without S is a plain jump.
    ldr     r1, =pc_target
    mov     r0, #0
    mov     pc, r1
    mov     r0, #1              @ skipped
pc_target:
    check   r0, 0
    adr     r1, pc_target2
    sub     pc, r1, #0          @ arithmetic result into R15
    mov     r0, #2              @ skipped
pc_target2:
    check   r0, 0

    pop     {r4-r11, lr}
    bx      lr
    checks_end
