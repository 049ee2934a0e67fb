@ Saving through the FLASH chip at 0x0E000000, as a game does it, over two
@ game runs with the battery file in between. Every access is a byte access:
@ the chip sits on an 8-bit bus. The cartridge carries no save-type marker,
@ so it runs on the combined chips (a 64 KB RAM that takes FLASH commands).
@
@ Each run identifies the chip, looks for what the previous run left in
@ sector 1 (0x0E001000), then erases that sector and programs it again:
@ the signature "KORU", a counter byte 0xFE, and a byte programmed twice to
@ show that programming only clears bits. The run's phase (0 when nothing
@ was found, 1 when the previous run's data were there) is left at
@ 0x03000100 for the test driver, which expects 0 and then 1.

    .include "check.inc"
    .equ    FLASH, 0x0E000000
    .equ    SECTOR, 0x1000
    .equ    SIGNATURE, 0x55524F4B       @ "KORU" in memory order
    .equ    PHASE, 0x03000100

    .text
    .arm
    .global main
main:
    push    {r4-r11, lr}
    ldr     r4, =FLASH

@ --- the chip identifies itself, and gives bytes 0 and 1 back afterwards --------
    mov     r0, #0x90
    bl      flash_command
    ldrb    r0, [r4]
    check   r0, 0x32                    @ maker
    ldrb    r0, [r4, #1]
    check   r0, 0x1B                    @ device: a 64 KB chip
    mov     r0, #0xF0
    bl      flash_command
    ldrb    r0, [r4]
    check   r0, 0xFF                    @ this program never writes byte 0: erased

@ --- what the previous run left ---------------------------------------------------
    ldr     r0, =SECTOR
    bl      read_word
    ldr     r1, =SIGNATURE
    cmp     r0, r1
    moveq   r6, #1
    movne   r6, #0
    ldr     r1, =PHASE
    str     r6, [r1]
    @ With the signature there, the rest of the record must be intact too.
    mov     r0, #1
    cmp     r6, #1
    bne     1f
    add     r5, r4, #SECTOR
    ldrb    r1, [r5, #4]
    cmp     r1, #0xFE
    movne   r0, #0
    ldrb    r1, [r5, #6]
    cmp     r1, #0x03
    movne   r0, #0
    ldrb    r1, [r5, #7]
    cmp     r1, #0xFF                   @ erased, never programmed
    movne   r0, #0
1:  check   r0, 1

@ --- erase sector 1, which leaves its neighbours alone ----------------------------
    ldr     r0, =SECTOR + 0x123
    bl      flash_erase_sector
    add     r5, r4, #SECTOR
    ldrb    r0, [r5]
    check   r0, 0xFF
    ldr     r1, =0xFFF
    ldrb    r0, [r5, r1]
    check   r0, 0xFF
    ldr     r1, =0x1000
    ldrb    r0, [r5, r1]                @ first byte of sector 2, never written
    check   r0, 0xFF

@ --- program the record -------------------------------------------------------------
    ldr     r7, =SIGNATURE
    mov     r8, #0
2:  ldr     r0, =SECTOR
    add     r0, r0, r8
    and     r1, r7, #0xFF
    bl      flash_program
    mov     r7, r7, lsr #8
    add     r8, r8, #1
    cmp     r8, #4
    bne     2b
    ldr     r0, =SECTOR + 4
    mov     r1, #0xFE
    bl      flash_program
    ldr     r0, =SECTOR + 6
    mov     r1, #0xF3
    bl      flash_program
    ldr     r0, =SECTOR + 6
    mov     r1, #0x0F
    bl      flash_program
    ldr     r0, =SECTOR
    bl      read_word
    check   r0, SIGNATURE
    ldrb    r0, [r5, #4]
    check   r0, 0xFE
    ldrb    r0, [r5, #6]
    check   r0, 0x03                    @ 0xF3 AND 0x0F

    pop     {r4-r11, lr}
    bx      lr

@ r0 = the command byte after the unlock sequence 0xAA to 0x5555, 0x55 to
@ 0x2AAA. Changes r1-r3.
flash_command:
    ldr     r1, =FLASH
    ldr     r2, =0x5555
    mov     r3, #0xAA
    strb    r3, [r1, r2]
    ldr     r2, =0x2AAA
    mov     r3, #0x55
    strb    r3, [r1, r2]
    ldr     r2, =0x5555
    strb    r0, [r1, r2]
    bx      lr

@ Programs the byte r1 at offset r0. Changes r0-r3.
flash_program:
    push    {r4-r6, lr}
    mov     r4, r0
    mov     r6, r1
    ldr     r1, =FLASH
    ldrb    r5, [r1, r4]
    and     r5, r5, r6                  @ programming only clears bits
    mov     r0, #0xA0
    bl      flash_command
    strb    r6, [r1, r4]
    bl      wait_for_byte
    pop     {r4-r6, lr}
    bx      lr

@ Erases the 4 KB sector holding offset r0. Changes r0-r3.
flash_erase_sector:
    push    {r4, r5, lr}
    mov     r4, r0
    mov     r0, #0x80
    bl      flash_command
    mov     r3, #0xAA
    ldr     r2, =0x5555
    strb    r3, [r1, r2]
    mov     r3, #0x55
    ldr     r2, =0x2AAA
    strb    r3, [r1, r2]
    mov     r3, #0x30
    strb    r3, [r1, r4]
    bic     r4, r4, #0xFF
    bic     r4, r4, #0xF00
    mov     r5, #0xFF
    bl      wait_for_byte
    pop     {r4, r5, lr}
    bx      lr

@ A real chip takes a while: poll offset r4 until it reads r5 (bounded).
wait_for_byte:
    ldr     r2, =100000
1:  ldrb    r0, [r1, r4]
    cmp     r0, r5
    bxeq    lr
    subs    r2, r2, #1
    bne     1b
    bx      lr

@ The little-endian word at FLASH offset r0, from four byte loads.
read_word:
    ldr     r1, =FLASH
    add     r1, r1, r0
    ldrb    r0, [r1]
    ldrb    r2, [r1, #1]
    orr     r0, r0, r2, lsl #8
    ldrb    r2, [r1, #2]
    orr     r0, r0, r2, lsl #16
    ldrb    r2, [r1, #3]
    orr     r0, r0, r2, lsl #24
    bx      lr

    .pool
    checks_end
