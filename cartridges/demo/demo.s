@ A placeholder demo: computes a few numbers and idles with them in the
@ registers, so `koru-headless --regs` shows that the CPU ran it:
@   R0 = 832040 (0x000CB228), the 30th Fibonacci number
@   R1 = 5050   (0x000013BA), the sum 1 + 2 + ... + 100
@   R2 = 3628800 (0x00375F00), 10 factorial
@   R3 = 0x600DC0DE, stored also at 0x03000000 when all three are done

    .syntax unified
    .text
    .arm
    .global main
main:
    mov     r4, #0              @ F(n-1)
    mov     r0, #1              @ F(n)
    mov     r5, #29
1:  add     r6, r0, r4
    mov     r4, r0
    mov     r0, r6
    subs    r5, r5, #1
    bne     1b

    mov     r1, #0
    mov     r5, #100
2:  add     r1, r1, r5
    subs    r5, r5, #1
    bne     2b

    mov     r2, #1
    mov     r5, #10
3:  mul     r6, r2, r5
    mov     r2, r6
    subs    r5, r5, #1
    bne     3b

    ldr     r3, =0x600DC0DE
    mov     r5, #0x03000000
    str     r3, [r5]
idle:
    b       idle
    .pool
