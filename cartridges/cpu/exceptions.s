@ Software interrupts and interrupt entry: the state the machine starts in
@ without a BIOS image and after SoftReset, the BIOS function number of a
@ SWI in ARM and THUMB state, and interrupts taken in Supervisor, System and
@ User mode. The handheld's rules that the expected values follow:
@  - the BIOS hands over to the cartridge in System mode (CPSR 0x1F) with
@    R13 = 0x03007F00, R13_irq = 0x03007FA0 and R13_svc = 0x03007FE0, and
@    SoftReset does the same after clearing 0x03007E00-0x03007FFF; it takes
@    no flags in R0, so work RAM below that survives;
@  - an ARM SWI takes its function number from bits 23-16 of the comment
@    field, a THUMB SWI from bits 7-0;
@  - an interrupt is taken in any mode while CPSR bit I is clear, and waits
@    while it is set.
@ crt0 hands the state found at its entry to `main` in r4-r7 (CPSR, R13,
@ R13_irq, R13_svc). The first start stores it in external work RAM, which
@ SoftReset keeps, and resets; the checks run after the restart.

    .include "check.inc"
    .equ    MODE_USR, 0x10
    .equ    MODE_IRQ, 0x12
    .equ    MODE_SVC, 0x13
    .equ    MODE_SYS, 0x1F
    .equ    FLAG_I, 0x80
    .equ    RESTARTED, 0x5EB007ED
    .equ    FIRST_START, 0x0203FF00     @ marker, then r4-r7 of the first start
    .equ    IO, 0x04000000
    .equ    VCOUNT, 0x006
    .equ    IRQ_REGS, 0x04000200        @ IE, then IF at +2 and IME at +8
    .equ    IF, 2
    .equ    IME, 8

    .text
    .arm
    .global main
main:
    push    {r4-r11, lr}

@ --- Start-up and SoftReset ----------------------------------------------------------
    ldr     r8, =FIRST_START
    ldr     r0, [r8]
    ldr     r1, =RESTARTED
    cmp     r0, r1
    beq     restarted
    stmib   r8, {r4-r7}
    str     r1, [r8]
    ldr     r0, =0x1234
    ldr     r1, =0x03007E00             @ in the area SoftReset clears
    str     r0, [r1]
    str     r0, [r1, #-4]               @ below it: kept
    @ From Supervisor mode with interrupts masked; R0 = 0xFF would ask
    @ RegisterRamReset to clear everything, SoftReset ignores it. Bits
    @ 15-0 of the comment field are not part of the number.
    msr     cpsr_c, #FLAG_I | MODE_SVC
    mov     r0, #0xFF
    swi     0x00ABCD
    failed_jump                         @ SoftReset returned
    b       done

restarted:
    mov     r0, #0
    str     r0, [r8]
    ldr     r0, [r8, #4]
    check   r0, MODE_SYS                @ direct boot: CPSR
    ldr     r0, [r8, #8]
    check   r0, 0x03007F00              @ R13 of System mode
    ldr     r0, [r8, #12]
    check   r0, 0x03007FA0              @ R13_irq
    ldr     r0, [r8, #16]
    check   r0, 0x03007FE0              @ R13_svc
    and     r0, r4, #0xFF
    check   r0, MODE_SYS                @ after SoftReset: System mode, I clear
    check   r5, 0x03007F00
    check   r6, 0x03007FA0
    check   r7, 0x03007FE0
    ldr     r1, =0x03007E00
    ldr     r0, [r1]
    check   r0, 0
    ldr     r0, [r1, #-4]
    check   r0, 0x1234

@ --- SWI function numbers ------------------------------------------------------------
    mov     r0, #100
    mov     r1, #7
    swi     0x06FFFF                    @ Div: bits 15-0 are not the number
    check   r0, 14
    check   r1, 2
    ldr     r0, =thumb_swi
    mov     lr, pc
    bx      r0

@ --- Interrupts in each mode -----------------------------------------------------------
    @ The vertical blank interrupt through the BIOS vector to irq_handler.
    ldr     r0, =irq_handler
    ldr     r1, =0x03007FFC
    str     r0, [r1]
    ldr     r1, =IO
    mov     r0, #0x08                   @ DISPSTAT: vertical blank interrupt
    strh    r0, [r1, #4]
    ldr     r1, =IRQ_REGS
    mov     r0, #1
    strh    r0, [r1]
    strh    r0, [r1, #IME]

    @ In `mode` with I clear, the vertical blank is taken once, and the
    @ handler sees that mode in the saved CPSR.
    .macro  irq_in_mode mode
    msr     cpsr_c, #\mode
    ldr     r10, [r9]
    bl      next_frame
    ldr     r0, [r9]
    sub     r0, r0, r10
    check   r0, 1
    ldr     r0, =irq_spsr
    ldr     r0, [r0]
    and     r0, r0, #0xFF
    check   r0, \mode
    .endm

    @ Supervisor mode: afterwards the CPU is back in it.
    ldr     r9, =irq_count
    irq_in_mode MODE_SVC
    mrs     r0, cpsr
    and     r0, r0, #0xFF
    check   r0, MODE_SVC                @ and back in Supervisor mode

    @ Supervisor mode with I set: the request waits, then is taken at once.
    msr     cpsr_c, #FLAG_I | MODE_SVC
    ldr     r10, [r9]
    bl      next_frame
    bl      next_frame
    ldr     r0, [r9]
    sub     r0, r0, r10
    check   r0, 0
    msr     cpsr_c, #MODE_SVC
    mov     r0, r0
    mov     r0, r0
    ldr     r0, [r9]
    sub     r0, r0, r10
    check   r0, 1

    @ VBlankIntrWait from Supervisor mode returns at the vertical blank.
    bl      next_frame
    swi     0x050000
    ldr     r1, =IO
    ldrh    r0, [r1, #VCOUNT]
    check   r0, 160

    irq_in_mode MODE_SYS

    @ User mode; the handler returns to System mode, as User mode cannot
    @ leave by itself.
    ldr     r0, =irq_escape
    mov     r1, #1
    str     r1, [r0]
    ldr     r10, [r9]
    msr     cpsr_c, #MODE_USR
user_wait:
    ldr     r0, [r9]
    cmp     r0, r10
    beq     user_wait
    mrs     r1, cpsr
    and     r1, r1, #0xFF
    check   r1, MODE_SYS
    sub     r0, r0, r10
    check   r0, 1
    ldr     r0, =irq_spsr
    ldr     r0, [r0]
    and     r0, r0, #0xFF
    check   r0, MODE_USR

    ldr     r1, =IRQ_REGS
    mov     r0, #0
    strh    r0, [r1, #IME]
done:
    pop     {r4-r11, lr}
    bx      lr

@ Waits for the start of the next vertical blank (line 160) and returns
@ once it has begun.
next_frame:
    ldr     r1, =IO
1:  ldrh    r0, [r1, #VCOUNT]
    cmp     r0, #160
    beq     1b
2:  ldrh    r0, [r1, #VCOUNT]
    cmp     r0, #160
    bne     2b
    bx      lr

@ Called by the BIOS in IRQ mode: acknowledges the request, marks it for
@ the BIOS waits, counts it and notes the saved CPSR of the interrupted
@ code. When irq_escape is set, the return goes to System mode.
irq_handler:
    ldr     r0, =IRQ_REGS
    ldrh    r1, [r0, #IF]
    strh    r1, [r0, #IF]
    ldr     r2, =0x03007FF8
    ldrh    r3, [r2]
    orr     r3, r3, r1
    strh    r3, [r2]
    ldr     r2, =irq_count
    ldr     r3, [r2]
    add     r3, r3, #1
    str     r3, [r2]
    mrs     r3, spsr
    ldr     r2, =irq_spsr
    str     r3, [r2]
    ldr     r2, =irq_escape
    ldr     r1, [r2]
    cmp     r1, #0
    bxeq    lr
    orr     r3, r3, #MODE_SYS
    msr     spsr_c, r3
    mov     r1, #0
    str     r1, [r2]
    bx      lr
    .pool

    .thumb
    .thumb_func
thumb_swi:
    push    {lr}
    movs    r0, #100
    movs    r1, #7
    swi     6                           @ Div
    tcheck  r0, 14
    tcheck  r1, 2
    pop     {r0}
    bx      r0
    .pool
    checks_end

    .bss
    .balign 4
irq_count:
    .space  4
irq_spsr:
    .space  4
irq_escape:
    .space  4
