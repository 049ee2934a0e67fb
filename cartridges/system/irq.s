@ The interrupt handler of the system test cartridges and their BIOS call
@ helpers.
@
@ The handler is entered from the BIOS's interrupt dispatcher in IRQ mode,
@ ARM state, with R0-R3, R12 and LR saved and LR pointing back into the
@ dispatcher. Like a game's handler it acknowledges the requests it serves
@ in IF and ORs them into the BIOS check word at 0x03007FF8, which IntrWait
@ and VBlankIntrWait watch. For the tests it also counts each request per
@ IF bit and notes VCOUNT, DISPSTAT and the processor mode it saw.

    .syntax unified
    .arm
    @ In internal work RAM: with a request every slice, a handler fetched
    @ from the cartridge's slow ROM would take most of a horizontal blank.
    .section .iwram, "ax", %progbits
    .global IrqHandler
IrqHandler:
    mov     r0, #0x04000000
    ldr     r1, [r0, #0x200]        @ IE in the low half, IF in the high half
    and     r1, r1, r1, lsr #16     @ the requests both enabled and raised
    add     r2, r0, #0x200
    strh    r1, [r2, #2]            @ writing 1 to IF acknowledges
    ldr     r2, =0x03007FF8
    ldrh    r3, [r2]
    orr     r3, r3, r1
    strh    r3, [r2]

    mrs     r3, cpsr
    and     r3, r3, #0x1F
    ldr     r2, =IrqMode
    str     r3, [r2]

    ldrh    r12, [r0, #6]           @ VCOUNT
    ldrh    r0, [r0, #4]            @ DISPSTAT
    mov     r3, #0                  @ IF bit number
1:  tst     r1, #1
    beq     2f
    ldr     r2, =IrqCount
    push    {r0}
    ldr     r0, [r2, r3, lsl #2]
    add     r0, r0, #1
    str     r0, [r2, r3, lsl #2]
    pop     {r0}
    ldr     r2, =IrqLine
    str     r12, [r2, r3, lsl #2]
    ldr     r2, =IrqStatus
    str     r0, [r2, r3, lsl #2]
2:  add     r3, r3, #1
    movs    r1, r1, lsr #1
    bne     1b
    bx      lr
    .pool

    .text
@ The CPU's interrupt mask; crt0 leaves it set.
    .global CpuIrqEnable
CpuIrqEnable:
    mrs     r0, cpsr
    bic     r0, r0, #0x80
    msr     cpsr_c, r0
    bx      lr

@ BiosSwiN(regs): R0-R3 from regs[0..3], SWI N in THUMB state, the four
@ registers back into regs. THUMB's SWI carries the function number in its
@ 8-bit comment field, which both the emulated BIOS and a BIOS image read.
    .macro bios_swi number
    .thumb
    .balign 2
    .thumb_func
    .global BiosSwi\number
BiosSwi\number:
    push    {r4, lr}
    movs    r4, r0
    ldr     r0, [r4]
    ldr     r1, [r4, #4]
    ldr     r2, [r4, #8]
    ldr     r3, [r4, #12]
    swi     \number
    str     r0, [r4]
    str     r1, [r4, #4]
    str     r2, [r4, #8]
    str     r3, [r4, #12]
    pop     {r4}
    pop     {r0}
    bx      r0                      @ POP {PC} would not return to ARM callers
    .endm

    .irp    number, 1, 4, 5, 6, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 31
    bios_swi \number
    .endr

    .bss
    .balign 4
    .global IrqCount, IrqLine, IrqStatus, IrqMode
IrqCount:
    .space  14 * 4
IrqLine:
    .space  14 * 4
IrqStatus:
    .space  14 * 4
IrqMode:
    .space  4
