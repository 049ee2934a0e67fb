@ Saving through the serial EEPROM, as a game does it, over two game runs
@ with the battery file in between. Requests are laid out one bit per
@ halfword in external work RAM and sent to 0x0D000000 by DMA 3; the read
@ stream comes back the same way: four dummy bits, then 64 data bits, most
@ significant first.
@
@ Each run reads block 2 first, by DMA and then again with ordinary loads
@ from one address, each of which takes the next bit from the chip. A fresh
@ EEPROM is erased, all ones; after a run it holds the signature. The cartridge carries no save-type marker, so
@ it runs on the combined chips, whose EEPROM takes 6-bit addresses. The run's phase (0 or 1) is left at 0x03000100 for
@ the test driver, which expects 0 and then 1. Each run then writes blocks
@ 2 and 63, polls for the end of each write with an ordinary load, and reads
@ both back.

    .include "check.inc"
    .equ    EEPROM, 0x0D000000
    .equ    REQUEST, 0x02000000         @ request bits, one per halfword
    .equ    ANSWER, 0x02000400          @ read stream
    .equ    SIGNATURE_HIGH, 0x4B4F5255
    .equ    SIGNATURE_LOW, 0x20534156
    .equ    PHASE, 0x03000100

    .text
    .arm
    .global main
main:
    push    {r4-r11, lr}

@ --- what the previous run left in block 2 --------------------------------------
    mov     r0, #2
    bl      eeprom_read
    mov     r4, r0
    mov     r5, r1
    mov     r0, #2
    bl      eeprom_read_by_loads
    checkr  r0, r4
    checkr  r1, r5
    ldr     r1, =SIGNATURE_HIGH
    ldr     r2, =SIGNATURE_LOW
    cmp     r4, r1
    cmpeq   r5, r2
    moveq   r6, #1
    movne   r6, #0
    ldr     r1, =PHASE
    str     r6, [r1]
    @ Either the signature or a fresh, erased block.
    and     r0, r4, r5
    cmn     r0, #1
    moveq   r0, #1
    movne   r0, r6
    check   r0, 1

@ --- write two blocks, then read them back ------------------------------------------
    mov     r0, #2
    ldr     r1, =SIGNATURE_HIGH
    ldr     r2, =SIGNATURE_LOW
    bl      eeprom_write
    check   r0, 1                       @ the write finished
    mov     r0, #63
    ldr     r1, =~SIGNATURE_HIGH
    ldr     r2, =~SIGNATURE_LOW
    bl      eeprom_write
    check   r0, 1
    mov     r0, #2
    bl      eeprom_read
    check   r0, SIGNATURE_HIGH
    check   r1, SIGNATURE_LOW
    mov     r0, #63
    bl      eeprom_read
    check   r0, ~SIGNATURE_HIGH
    check   r1, ~SIGNATURE_LOW
    @ After the 68 bits of a read the chip answers 1.
    ldr     r0, =EEPROM
    ldr     r1, =ANSWER
    mov     r2, #1
    bl      dma3
    ldr     r1, =ANSWER
    ldrh    r0, [r1]
    check   r0, 1

    pop     {r4-r11, lr}
    bx      lr

@ DMA 3, 16-bit, both addresses incrementing: r2 halfwords from r0 to r1.
dma3:
    ldr     r3, =0x040000D4
    str     r0, [r3]
    str     r1, [r3, #4]
    strh    r2, [r3, #8]
    mov     r2, #0x8000
    strh    r2, [r3, #10]
    nop                                 @ the hardware starts two cycles later
    nop
    bx      lr

@ Lays the low r1 bits of r0, most significant first, as halfwords at r3,
@ advancing r3. Changes r1, r2.
put_bits:
    subs    r1, r1, #1
    bxmi    lr
    mov     r2, r0, lsr r1
    and     r2, r2, #1
    strh    r2, [r3], #2
    b       put_bits

@ Reads r1 bits, most significant first, from halfwords at r3 into r0,
@ advancing r3. Changes r1, r2.
get_bits:
    mov     r0, #0
1:  subs    r1, r1, #1
    bxmi    lr
    ldrh    r2, [r3], #2
    and     r2, r2, #1
    orr     r0, r2, r0, lsl #1
    b       1b

@ Reads block r0: returns the high word in r0 and the low word in r1.
eeprom_read:
    push    {r4, lr}
    bl      eeprom_request_read
    ldr     r0, =EEPROM
    ldr     r1, =ANSWER
    mov     r2, #68
    bl      dma3
    ldr     r3, =ANSWER + 8             @ past the dummy bits
    mov     r1, #32
    bl      get_bits
    mov     r4, r0
    mov     r1, #32
    bl      get_bits
    mov     r1, r0
    mov     r0, r4
    pop     {r4, lr}
    bx      lr

@ The same, taking the 68 bits with loads from one address.
eeprom_read_by_loads:
    push    {r4, r5, lr}
    bl      eeprom_request_read
    ldr     r3, =EEPROM
    mov     r2, #4
1:  ldrh    r0, [r3]                    @ the dummy bits
    subs    r2, r2, #1
    bne     1b
    mov     r5, #2
2:  mov     r0, #0
    mov     r2, #32
3:  ldrh    r1, [r3]
    and     r1, r1, #1
    orr     r0, r1, r0, lsl #1
    subs    r2, r2, #1
    bne     3b
    push    {r0}
    subs    r5, r5, #1
    bne     2b
    pop     {r1}                        @ the low word came second
    pop     {r0}
    pop     {r4, r5, lr}
    bx      lr

@ Sends the read request for block r0 by DMA 3. Changes r0-r4.
eeprom_request_read:
    push    {lr}
    mov     r4, r0
    ldr     r3, =REQUEST
    mov     r0, #3                      @ start bit, read
    mov     r1, #2
    bl      put_bits
    mov     r0, r4
    mov     r1, #6
    bl      put_bits
    mov     r0, #0                      @ stop bit
    mov     r1, #1
    bl      put_bits
    ldr     r0, =REQUEST
    ldr     r1, =EEPROM
    mov     r2, #9
    bl      dma3
    pop     {lr}
    bx      lr

@ Writes block r0 with the high word r1 and the low word r2; returns 1 in
@ r0 once a load from the EEPROM window reads 1, or 0 when it never does.
eeprom_write:
    push    {r4-r6, lr}
    mov     r4, r0
    mov     r5, r1
    mov     r6, r2
    ldr     r3, =REQUEST
    mov     r0, #2                      @ start bit, write
    mov     r1, #2
    bl      put_bits
    mov     r0, r4
    mov     r1, #6
    bl      put_bits
    mov     r0, r5
    mov     r1, #32
    bl      put_bits
    mov     r0, r6
    mov     r1, #32
    bl      put_bits
    mov     r0, #0
    mov     r1, #1
    bl      put_bits
    ldr     r0, =REQUEST
    ldr     r1, =EEPROM
    mov     r2, #73
    bl      dma3
    ldr     r3, =EEPROM
    ldr     r2, =100000
1:  ldrh    r0, [r3]
    tst     r0, #1
    movne   r0, #1
    bne     2f
    subs    r2, r2, #1
    bne     1b
    mov     r0, #0
2:  pop     {r4-r6, lr}
    bx      lr

    .pool
    checks_end
