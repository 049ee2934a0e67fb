@ ARM benchmark: a 13-instruction loop running from internal work RAM, 20
@ million times (260 million instructions). It mixes the data-processing
@ operand forms with word loads and stores to external work RAM (register
@ offset, LSL #2) and a store to internal work RAM. When the loop is done
@ the word 0x600DC0DE is stored at 0x03000000 for `--until`, and R9 holds
@ the number of iterations whose load matched its store (20000000).

    .syntax unified
    .equ    ITERATIONS, 20000000

    .text
    .arm
    .global main
main:
    push    {lr}
    ldr     r0, =ITERATIONS
    mov     r1, #0
    mov     r2, #0
    mov     r8, #0x02000000     @ external work RAM: offsets stay below 0x400
    mov     r9, #0
    ldr     r10, =counter
    ldr     r11, =bench_loop
    mov     lr, pc
    bx      r11
    ldr     r0, =0x600DC0DE
    mov     r1, #0x03000000
    str     r0, [r1]
    pop     {lr}
    bx      lr
    .pool

    .section .iwram, "ax", %progbits
    .arm
bench_loop:
    add     r1, r1, r0
    eor     r2, r2, r1, lsl #3
    sub     r3, r2, r1, lsr #2
    and     r4, r3, #0xFF
    orr     r5, r4, r1
    mov     r6, r5, ror #7
    str     r6, [r8, r4, lsl #2]
    ldr     r7, [r8, r4, lsl #2]
    cmp     r7, r6
    addeq   r9, r9, #1
    str     r9, [r10]
    subs    r0, r0, #1
    bne     bench_loop
    bx      lr

    .bss
counter:
    .space  4
