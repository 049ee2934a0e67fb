@ ARM branches beyond what jsmolka's branch tests and png183's BX tests
@ check: condition code 15, which never executes (the ARMv5 BLX encoding
@ included), and BX on this CPU, which reads R15 without the pipeline
@ offset, so BX PC continues with the very next instruction, and a BX to an
@ address with bit 0 clear drops bits 0 and 1.

    .include "check.inc"
    .equ    FLAG_T, 0x20

    .text
    .arm
    .global main
main:
    push    {r4-r11, lr}

@ --- Condition 15: neither B nor the ARMv5 BLX encoding runs, nor anything else.
    ldr     lr, =0x1234
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

    pop     {r4-r11, lr}
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
