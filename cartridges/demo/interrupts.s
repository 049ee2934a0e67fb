@ The demo's interrupt handler and its two calls into the BIOS.
@
@ When an enabled interrupt is requested, the CPU enters IRQ mode at the
@ vector 0x18 in the BIOS. The BIOS's dispatcher saves R0-R3, R12 and LR,
@ calls the routine whose address the game stored at 0x03007FFC (in ARM
@ state, with LR set to its own return path) and then returns to the
@ interrupted code. The routine must acknowledge the request by writing its
@ bit to IF, or the request stays raised and is taken again at once.

    .syntax unified

    .section .iwram, "ax", %progbits  @ fast internal RAM: runs every frame
    .arm
    .global IrqHandler
IrqHandler:
    mov     r0, #0x04000000
    ldr     r1, [r0, #0x200]        @ one word: IE in the low half, IF in the high
    and     r1, r1, r1, lsr #16     @ the requests both enabled and raised
    add     r2, r0, #0x200
    strh    r1, [r2, #2]            @ writing a 1 to an IF bit clears it

    @ Tell VBlankIntrWait which interrupts have happened: it sleeps until
    @ the vertical blank bit shows up in this BIOS word.
    ldr     r2, =0x03007FF8
    ldrh    r3, [r2]
    orr     r3, r3, r1
    strh    r3, [r2]

    tst     r1, #1                  @ anything but the vertical blank?
    bxeq    lr

    @ Vertical blank: read the keypad once a frame. KEYINPUT has a 0 for
    @ each held key; KeysHeld gets them as 1s, and KeysPressed collects
    @ the keys that went down since the main loop last looked.
    add     r2, r0, #0x100
    ldrh    r3, [r2, #0x30]         @ KEYINPUT, 0x04000130
    mvn     r3, r3
    mov     r3, r3, lsl #22         @ keep the ten key bits
    mov     r3, r3, lsr #22
    ldr     r2, =KeysHeld
    ldrh    r12, [r2]
    strh    r3, [r2]
    bic     r3, r3, r12             @ held now and not a frame ago
    ldr     r2, =KeysPressed
    ldrh    r12, [r2]
    orr     r3, r3, r12
    strh    r3, [r2]

    ldr     r2, =FrameCount
    ldr     r3, [r2]
    add     r3, r3, #1
    str     r3, [r2]
    bx      lr
    .pool

    .text
@ EnableCpuInterrupts: clears the I bit of CPSR, which the start-up code
@ left set; from then on IME and IE decide.
    .arm
    .global EnableCpuInterrupts
EnableCpuInterrupts:
    mrs     r0, cpsr
    bic     r0, r0, #0x80
    msr     cpsr_c, r0
    bx      lr

@ VBlankIntrWait (BIOS function 5): halts the CPU until the interrupt
@ handler has reported a vertical blank. Written in THUMB state, where the
@ SWI instruction's 8-bit field is the function number; C code calls it
@ through the linker's ARM-to-THUMB glue.
    .thumb
    .balign 2
    .global VBlankIntrWait
    .thumb_func
VBlankIntrWait:
    swi     5
    bx      lr

    .bss
    .balign 4
    .global FrameCount, KeysHeld, KeysPressed
FrameCount:
    .word   0
KeysHeld:
    .hword  0
KeysPressed:
    .hword  0
