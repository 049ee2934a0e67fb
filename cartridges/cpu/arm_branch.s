@ ARM branches: B and BL in both directions and under conditions, BX into
@ THUMB state and back, and condition code 15, which never executes (the
@ ARMv5 BLX encoding included). BX reads R15 without the pipeline offset on
@ this CPU, so BX PC continues with the very next instruction, and a BX to
@ an address with bit 0 clear drops bits 0 and 1.

    .include "check.inc"
    .equ    FLAG_Z, 0x40000000
    .equ    FLAG_C, 0x20000000
    .equ    FLAG_T, 0x20

    .text
    .arm
    .global main
main:
    push    {r4-r11, lr}

@ --- B and BL ------------------------------------------------------------------
    mov     r0, #0
    b       forward
    mov     r0, #1
backward:
    add     r0, r0, #0x10
    b       after_backward
forward:
    add     r0, r0, #0x100
    b       backward
after_backward:
    check   r0, 0x110
    bl      subroutine
bl_return:
    check   r0, 0x2222
    check   r1, 0x2222
    ldr     r2, =bl_return
    checkr  r2, r3              @ the LR the subroutine saw
    @ Conditional branches: not taken leaves LR and the flow alone.
    msr     cpsr_f, #FLAG_Z
    ldr     lr, =0x1234
    mov     r0, #0
    blne    subroutine
    check   lr, 0x1234
    beq     taken
    mov     r0, #1
taken:
    bne     taken               @ not taken
    check   r0, 0
    @ Condition 15: neither B nor the ARMv5 BLX encoding runs, nor anything else.
    mov     r0, #0
    .word   0xFA000000          @ B +8 with condition 15, BLX on ARMv5
    add     r0, r0, #1
    .word   0xFB000000          @ the same with H set
    add     r0, r0, #2
    .word   0xF2800004          @ ADD r0, r0, #4 with condition 15
    check   r0, 3
    check   lr, 0x1234

@ --- BX ------------------------------------------------------------------------
    mov     r0, #0
    adr     r1, arm_target + 2  @ bit 0 clear: ARM, bits 0-1 dropped
    bx      r1
    mov     r0, #1
arm_target:
    check   r0, 0
    mrs     r0, cpsr
    and     r0, r0, #FLAG_T
    check   r0, 0
    @ BX PC reads R15 as the address of the next instruction.
    mov     r0, #0
    .word   0xE12FFF1F          @ BX PC
    add     r0, r0, #1
    add     r0, r0, #2
    check   r0, 3
    @ Into THUMB and back: the THUMB code leaves its marks in r0-r2.
    mov     r0, #0
    mov     r1, #0
    ldr     r3, =thumb_code + 1
    ldr     lr, =back_in_arm
    bx      r3
back_in_arm:
    check   r0, 42
    check   r1, thumb_code + 6
    check   r2, 0x55
    mrs     r0, cpsr
    and     r0, r0, #FLAG_T
    check   r0, 0
    @ BL to an ARM subroutine that returns through BX LR.
    ldr     r0, =0
    bl      bx_return
    check   r0, 0x77

    pop     {r4-r11, lr}
    bx      lr

subroutine:
    mov     r3, lr
    ldr     r0, =0x2222
    mov     r1, r0
    mov     pc, lr

bx_return:
    mov     r0, #0x77
    bx      lr

    .thumb
    .balign 4
thumb_code:
    movs    r0, #42
    mov     r1, pc              @ this instruction's address + 4
    movs    r2, #0x55
    bx      lr                  @ LR bit 0 clear: back to ARM
    .arm
    checks_end
