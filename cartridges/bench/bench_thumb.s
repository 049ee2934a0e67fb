@ THUMB benchmark: a 16-instruction loop running from the cartridge ROM, 20
@ million times (320 million instructions): register and immediate
@ arithmetic, shifts, ALU operations, register-offset word stores and loads
@ to external work RAM, a compare with a branch that is never taken, and an
@ SP-relative store to internal work RAM. When the loop is done the word
@ 0x600DC0DE is stored at 0x03000000 for `--until`, and R7 holds the
@ iteration count (20000000).

    .syntax unified
    .equ    ITERATIONS, 20000000

    .text
    .thumb
    .global main
    .thumb_func
main:
    push    {lr}
    sub     sp, #8
    ldr     r0, =ITERATIONS
    movs    r1, #0
    movs    r7, #0
    ldr     r5, =0x02000000     @ external work RAM: offsets stay below 0x400
bench_loop:
    adds    r1, r1, r0
    lsls    r2, r1, #3
    eors    r2, r1
    lsrs    r3, r2, #2
    subs    r3, r3, r1
    movs    r4, #0xFF
    ands    r4, r3
    lsls    r4, r4, #2
    str     r3, [r5, r4]
    ldr     r6, [r5, r4]
    cmp     r6, r3
    bne     mismatch
    adds    r7, #1
    str     r7, [sp, #0]
    subs    r0, #1
    bne     bench_loop
    ldr     r0, =0x600DC0DE
    ldr     r1, =0x03000000
    str     r0, [r1]
mismatch:
    add     sp, #8
    pop     {r0}
    bx      r0
    .pool
