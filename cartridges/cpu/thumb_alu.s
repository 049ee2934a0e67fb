@ THUMB arithmetic where the public programs do not look: MUL's flags, R15
@ in the hi-register operations (format 5) and their lo-lo encodings. The
@ shifts, the add/subtract forms and the sixteen ALU operations are checked
@ by FuzzARM's THUMB_DataProcessing (10,000 cases recorded on the handheld)
@ and jsmolka's THUMB logical, shift and arithmetic tests. This CPU's
@ documented choices that the checks rely on:
@  - MUL clears C and V;
@  - hi-register ADD and MOV set no flags, also in their lo-lo encodings.

    .include "check.inc"

    .text
    .thumb
    .global main
    .thumb_func
main:
    push    {r4-r7, lr}

    @ MUL: N and Z from the result, C and V cleared.
    movs    r0, #7
    movs    r3, #6
    tcheckop "muls r0, r3", 42, 0x0, 0x3
    movs    r3, #0
    tcheckop "muls r0, r3", 0, 0x4, 0xB

@ --- Format 5: R15 and the lo-lo encodings ---------------------------------------
pc_read:
    mov     r0, pc                  @ this instruction's address + 4
    tcheck  r0, pc_read + 4
    movs    r0, #1
pc_add:
    add     r0, pc
    tcheck  r0, pc_add + 5
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
