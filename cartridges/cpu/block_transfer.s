@ Block transfers with the base register in the list: ARM LDM/STM in the
@ four addressing modes with and without write-back, THUMB LDMIA/STMIA, and
@ misaligned bases. The handheld's rules that the expected values follow:
@  - LDM writes the base back before the words arrive, so a base in the list
@    always ends with its loaded word, wherever it sits in the list;
@  - STM writes the base back after storing the first (lowest) register, so a
@    listed base is stored as its old value when it is the lowest register
@    and as the written-back address otherwise;
@  - the low two address bits of a misaligned base select nothing (the words
@    are the aligned ones) but stay in the written-back base.
@ The buffer holds the word WORD + k at its word k; the base is word 8.
@ The encodings are written as words where the assembler refuses a
@ written-back base that is also in the list.

    .include "check.inc"
    .equ    WORD, 0x5A000000
    .equ    BASE, buffer + 32
    .equ    IA, 1 << 23             @ U
    .equ    IB, (1 << 24) | (1 << 23)
    .equ    DA, 0
    .equ    DB, 1 << 24             @ P

    @ An ARM LDM (load 1) or STM (load 0) with or without write-back.
    .macro  block mode, writeback, load, rn, list
    .word   0xE8000000 | \mode | (\writeback << 21) | (\load << 20) | (\rn << 16) | (\list)
    .endm

    @ Word k of the buffer must hold value.
    .macro  word k, value
    ldr     r0, =buffer + 4 * \k
    ldr     r0, [r0]
    check   r0, \value
    .endm

    @ A fresh buffer, r5 at its word 8, and known values in r4, r6 and r7.
    .macro  setup
    bl      fill_buffer
    ldr     r5, =BASE
    mov     r4, #0x44
    mov     r6, #0x66
    mov     r7, #0x77
    .endm

    .text
    .arm
    .global main
main:
    push    {r4-r11, lr}

@ --- LDM: a loaded base keeps the loaded word ------------------------------------
    setup
    block   IA, 1, 1, 5, (1 << 5) | (1 << 6)       @ ldmia r5!, {r5, r6}: base first
    check   r5, WORD + 8
    check   r6, WORD + 9
    setup
    block   IA, 1, 1, 5, (1 << 4) | (1 << 5)       @ ldmia r5!, {r4, r5}: base last
    check   r4, WORD + 8
    check   r5, WORD + 9
    setup
    block   DB, 1, 1, 5, (1 << 5) | (1 << 6)       @ ldmdb r5!, {r5, r6}
    check   r5, WORD + 6
    check   r6, WORD + 7
    @ Without the base in the list the write-back is the final address.
    setup
    block   DB, 1, 1, 5, 0xD0                      @ ldmdb r5!, {r4, r6, r7}
    check   r5, BASE - 12
    check   r4, WORD + 5
    check   r7, WORD + 7

@ --- STM: the lowest register stores the old base, a later one the new ----------
    setup
    block   IA, 1, 0, 5, (1 << 5) | (1 << 6)       @ stmia r5!, {r5, r6}: base first
    check   r5, BASE + 8
    word    8, BASE
    word    9, 0x66
    setup
    block   IA, 1, 0, 5, (1 << 4) | (1 << 5)       @ stmia r5!, {r4, r5}: base last
    check   r5, BASE + 8
    word    8, 0x44
    word    9, BASE + 8
    setup
    block   IA, 1, 0, 5, 0x70                      @ stmia r5!, {r4-r6}: base in the middle
    word    9, BASE + 12
    word    10, 0x66
    setup
    block   DA, 1, 0, 5, (1 << 4) | (1 << 5)       @ stmda r5!, {r4, r5}
    check   r5, BASE - 8
    word    7, 0x44
    word    8, BASE - 8
    setup
    block   DB, 1, 0, 5, (1 << 5) | (1 << 6)       @ stmdb r5!, {r5, r6}: base first
    check   r5, BASE - 8
    word    6, BASE
    word    7, 0x66

@ --- Misaligned bases --------------------------------------------------------------
    setup
    add     r5, r5, #2
    block   IA, 1, 1, 5, (1 << 4) | (1 << 6)       @ ldmia r5!, {r4, r6}
    check   r4, WORD + 8
    check   r6, WORD + 9
    check   r5, BASE + 10
    setup
    add     r5, r5, #3
    block   DB, 1, 0, 5, (1 << 4) | (1 << 6)       @ stmdb r5!, {r4, r6}
    check   r5, BASE - 5
    word    6, 0x44                                @ stored whole, not rotated
    word    7, 0x66
    word    8, WORD + 8

@ --- THUMB LDMIA and STMIA -------------------------------------------------------------
    ldr     r0, =thumb_part
    mov     lr, pc
    bx      r0

    pop     {r4-r11, lr}
    bx      lr

fill_buffer:
    ldr     r0, =buffer
    ldr     r1, =WORD
1:  str     r1, [r0], #4
    add     r1, r1, #1
    tst     r1, #16
    beq     1b
    bx      lr
    .pool

    .thumb
    .thumb_func
thumb_part:
    push    {r4-r7, lr}

    @ A fresh buffer and the base in Rb.
    .macro  tsetup rb
    bl      thumb_fill
    ldr     \rb, =BASE
    .endm

    .macro  tword k, value
    ldr     r0, =buffer + 4 * \k
    ldr     r0, [r0]
    tcheck  r0, \value
    .endm

    @ LDMIA Rb!: GCC copies structures with ldmia r1!, {r0, r1} and the like.
    tsetup  r1
    .hword  0xC903                  @ ldmia r1!, {r0, r1}: base last
    tcheck  r0, WORD + 8
    tcheck  r1, WORD + 9
    tsetup  r1
    .hword  0xC906                  @ ldmia r1!, {r1, r2}: base first
    tcheck  r1, WORD + 8
    tcheck  r2, WORD + 9
    tsetup  r2
    .hword  0xCA0E                  @ ldmia r2!, {r1-r3}: base in the middle
    tcheck  r2, WORD + 9
    tcheck  r3, WORD + 10
    tsetup  r3
    ldmia   r3!, {r0, r1}           @ base not listed: the final address
    tcheck  r3, BASE + 8
    @ STMIA Rb!: the old base when it is the lowest register, else the new.
    tsetup  r1
    movs    r2, #0x22
    .hword  0xC106                  @ stmia r1!, {r1, r2}
    tword   8, BASE
    tword   9, 0x22
    tsetup  r2
    movs    r1, #0x11
    .hword  0xC206                  @ stmia r2!, {r1, r2}
    tword   8, 0x11
    tword   9, BASE + 8
    @ A misaligned base: aligned words, the low bits kept in the base.
    tsetup  r1
    adds    r1, r1, #2
    .hword  0xC903                  @ ldmia r1!, {r0, r1}
    tcheck  r1, WORD + 9
    tsetup  r2
    adds    r2, r2, #1
    ldmia   r2!, {r0, r1}
    tcheck  r0, WORD + 8
    tcheck  r2, BASE + 9

    pop     {r4-r7}
    pop     {r0}
    bx      r0

thumb_fill:
    ldr     r0, =buffer
    ldr     r1, =WORD
    movs    r2, #16
1:  stmia   r0!, {r1}
    adds    r1, r1, #1
    subs    r2, r2, #1
    bne     1b
    bx      lr
    .pool
    checks_end

    .bss
    .balign 4
buffer:
    .space  64
