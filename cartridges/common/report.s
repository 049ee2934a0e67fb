@ The result block of the test cartridges and the routines that fill it.
@ Layout (cartridges/README.md describes the protocol):
@   +0x00 done marker, 0x600DC0DE once the program has finished
@   +0x04 checks run        +0x08 checks passed
@   +0x0C number of the first failing check (0: none failed)
@   +0x10 value got and +0x14 value expected at that first failure
@   +0x18 number of checks the program contains (its `check_total`)

    .syntax unified
    .equ    RESULT_MARKER, 0x00
    .equ    RESULT_RUN, 0x04
    .equ    RESULT_PASSED, 0x08
    .equ    RESULT_FIRST_FAIL, 0x0C
    .equ    RESULT_GOT, 0x10
    .equ    RESULT_EXPECTED, 0x14
    .equ    RESULT_TOTAL, 0x18
    .equ    DONE_MARKER, 0x600DC0DE

@ A routine entered with BL from THUMB code that goes on in ARM state: BX PC
@ switches at the next word, and the ARM code returns with BX LR, whose
@ bit 0 is set.
    .macro thumb_entry name
    .thumb
    .balign 4
    .thumb_func
    .global \name
\name:
    bx      pc
    nop
    .arm
    .endm

    .section .result, "aw", %nobits
    .global result_block
result_block:
    .space  0x20

    .text
    .arm
@ r0 = value got, r1 = value expected, r2 = check number. Keeps r4-r14.
    .global report_check
report_check:
    ldr     r3, =result_block
    push    {r4}
    ldr     r4, [r3, #RESULT_RUN]
    add     r4, r4, #1
    str     r4, [r3, #RESULT_RUN]
    cmp     r0, r1
    bne     1f
    ldr     r4, [r3, #RESULT_PASSED]
    add     r4, r4, #1
    str     r4, [r3, #RESULT_PASSED]
    pop     {r4}
    bx      lr
1:  ldr     r4, [r3, #RESULT_FIRST_FAIL]
    cmp     r4, #0
    streq   r2, [r3, #RESULT_FIRST_FAIL]
    streq   r0, [r3, #RESULT_GOT]
    streq   r1, [r3, #RESULT_EXPECTED]
    pop     {r4}
    bx      lr

@ Records the program's check count, then the marker, last, so that a reader
@ that sees the marker sees the whole block.
    .global report_finish
report_finish:
    ldr     r3, =result_block
    ldr     r0, =check_total
    str     r0, [r3, #RESULT_TOTAL]
    ldr     r0, =DONE_MARKER
    str     r0, [r3, #RESULT_MARKER]
    bx      lr
    .pool

@ The THUMB entry: the same arguments, reached with BL from THUMB code.
    thumb_entry report_check_thumb
    b       report_check

@ The same with the flags as the value got: r0 = NZCV, from THUMB code that
@ has changed no flag since the instruction under test.
    thumb_entry report_flags_thumb
    mrs     r0, cpsr
    mov     r0, r0, lsr #28
    b       report_check

@ THUMB has no MSR: this sets the flags to the top four bits of r0 and
@ returns to the THUMB caller. Changes nothing else but LR.
    thumb_entry thumb_set_flags
    msr     cpsr_f, r0
    bx      lr
