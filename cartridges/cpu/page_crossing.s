@ Code that crosses the 16 KB pages of the bus. The interpreter keeps the
@ host page it fetches from and must take the next one whenever the PC
@ leaves the page: running off its end, branching out of it from its last
@ instruction (forwards, and backwards into the page before), and in THUMB
@ state a BL whose two halves lie in two pages. Each stretch of code adds
@ its own bit to r0, so a fetch from the wrong page shows as a wrong sum.
@
@ The object's code starts on a page (the .balign below), so the .org
@ offsets are offsets into the cartridge's pages.

    .include "check.inc"

    .text
    .balign 0x4000
    .arm
    .global main
main:
    push    {r4-r11, lr}
    mov     r0, #0
    bl      arm_cases
    check   r0, 0x1F
    mov     r0, #0
    ldr     r3, =thumb_cases + 1
    mov     lr, pc
    bx      r3
    check   r0, 0x3F
    pop     {r4-r11, lr}
    bx      lr
    .pool

@ --- ARM ------------------------------------------------------------------------
    .org    0x4000 - 8
arm_cases:
    orr     r0, r0, #0x01
    orr     r0, r0, #0x02       @ the page's last word: runs on into the next
    orr     r0, r0, #0x04
    b       arm_last_word
arm_back_target:
    orr     r0, r0, #0x10
    bx      lr

    .org    0x8000 - 4
arm_last_word:
    b       arm_next_page       @ from the page's last word into the next page
    orr     r0, r0, #0x80       @ never runs
    .org    0x8000 + 0x40
arm_next_page:
    orr     r0, r0, #0x08
    b       arm_back_target     @ back into the page before

@ --- THUMB ----------------------------------------------------------------------
@ B reaches 2 KB: the longer ways go through BL, with the return address
@ kept in r8.
    .thumb
    .org    0xC000 - 6
thumb_cases:
    mov     r8, lr
    adds    r0, #0x01
    adds    r0, #0x02           @ the page's last halfword: runs on into the next
    adds    r0, #0x04
    bl      thumb_last_halfword
thumb_back_target:
    adds    r0, #0x10
    mov     lr, r8
    bx      lr

    .org    0x10000 - 2
thumb_last_halfword:
    b       thumb_next_page     @ from the page's last halfword into the next page
    adds    r0, #0x80           @ never runs
    .org    0x10000 + 0x40
thumb_next_page:
    adds    r0, #0x08
    bl      thumb_split_bl

    .org    0x14000 - 2
thumb_split_bl:
    bl      thumb_far_target    @ first half in one page, second half in the next
    adds    r0, #0x80           @ never runs (the target does not return here)

    .org    0x14000 + 0x100
thumb_far_target:
    adds    r0, #0x20
    ldr     r1, =thumb_back_target + 1
    bx      r1                  @ back across three pages
    .pool

    .arm
    checks_end
