@ Status registers and modes: MRS and MSR, the banked R13/R14 of every mode,
@ the saved status registers, returns from exceptions through data
@ processing with S and R15 and through LDM with S, and User mode.
@ The handheld's rules for MSR: only the fields named by the mask change, f
@ the flags (bits 31-28) and c the control byte; bits 8-27 do not exist and
@ read as 0, so the s and x fields change nothing; mode bit 4 always reads
@ 1; in User mode the control byte of CPSR cannot be written. An LDM with S
@ and R15 writes its base back in the mode that ran it, before the status
@ is restored. This CPU's documented choices that the checks rely on:
@  - MRS and MSR of the SPSR do nothing in modes without one;
@  - FIQ, Undefined and every invalid mode share one R13/R14 bank;
@  - LDM/STM with S but without R15 transfer the current mode's registers.

    .include "check.inc"
    .equ    FLAG_N, 0x80000000
    .equ    FLAG_Z, 0x40000000
    .equ    FLAG_C, 0x20000000
    .equ    FLAG_V, 0x10000000
    .equ    MODE_USR, 0x10
    .equ    MODE_FIQ, 0x11
    .equ    MODE_IRQ, 0x12
    .equ    MODE_SVC, 0x13
    .equ    MODE_ABT, 0x17
    .equ    MODE_UND, 0x1B
    .equ    MODE_SYS, 0x1F
    .equ    MASKED, 0xC0            @ I and F set
    .equ    IRQ_STACK, 0x03007FA0   @ the stacks crt0 sets up
    .equ    ABT_STACK, 0x03007F80
    .equ    UND_STACK, 0x03007F60
    .equ    SVC_STACK, 0x03007FE0

    .text
    .arm
    .global main
main:
    push    {r4-r11, lr}
    mov     r11, sp                 @ the System/User stack pointer

@ --- MRS and MSR of the CPSR -------------------------------------------------
    @ The flags field takes bits 31-28 only; bits 27-24 do not exist.
    ldr     r0, =0x5F00FF13
    msr     cpsr_f, r0
    mrs     r1, cpsr
    check   r1, 0x50000000 | MASKED | MODE_SYS
    @ The status and extension fields hold no bits: nothing changes.
    ldr     r0, =0x30FFFF00
    msr     cpsr_sx, r0
    mrs     r1, cpsr
    check   r1, 0x50000000 | MASKED | MODE_SYS
    @ The control field keeps the flags.
    msr     cpsr_f, #(FLAG_N | FLAG_C)
    msr     cpsr_c, #MASKED | MODE_SYS
    mrs     r1, cpsr
    check   r1, 0xA0000000 | MASKED | MODE_SYS
    @ All four fields: the flags and the control byte only.
    mvn     r0, #0x20               @ 0xFFFFFFDF: ARM state, System mode
    msr     cpsr_fsxc, r0
    mrs     r1, cpsr
    check   r1, 0xF0000000 | MASKED | MODE_SYS
    @ Mode bit 4 cannot be cleared: mode 0x0F is written as 0x1F.
    msr     cpsr_fc, #MASKED | 0x0F
    mrs     r1, cpsr
    check   r1, MASKED | MODE_SYS
    mov     r0, sp
    checkr  r0, r11                 @ still System's stack

@ --- Banked registers ---------------------------------------------------------
    ldr     r4, =0x11110000
    ldr     r5, =0x22220000
    mov     lr, r4
    msr     cpsr_c, #MASKED | MODE_IRQ
    mov     r0, sp
    check   r0, IRQ_STACK
    mrs     r0, cpsr
    check   r0, MASKED | MODE_IRQ
    ldr     sp, =IRQ_STACK - 0x10
    mov     lr, r5
    msr     cpsr_c, #MASKED | MODE_SVC
    mov     r0, sp
    check   r0, SVC_STACK
    msr     cpsr_c, #MASKED | MODE_ABT
    mov     r0, sp
    check   r0, ABT_STACK
    msr     cpsr_c, #MASKED | MODE_IRQ
    mov     r0, sp
    check   r0, IRQ_STACK - 0x10
    check   lr, 0x22220000
    ldr     sp, =IRQ_STACK
    msr     cpsr_c, #MASKED | MODE_SYS
    mov     r0, sp
    checkr  r0, r11
    check   lr, 0x11110000
    @ R0-R12 are shared by every mode, FIQ included.
    mov     r8, #0x88
    msr     cpsr_c, #MASKED | MODE_FIQ
    check   r8, 0x88
    mov     r0, sp
    check   r0, UND_STACK           @ FIQ uses the Undefined bank
    ldr     sp, =UND_STACK - 0x20
    msr     cpsr_c, #MASKED | MODE_UND
    mov     r0, sp
    check   r0, UND_STACK - 0x20
    ldr     sp, =UND_STACK
    @ An invalid mode value is accepted and uses the same bank.
    msr     cpsr_c, #MASKED | 0x15
    mov     r0, sp
    check   r0, UND_STACK
    mrs     r0, cpsr
    check   r0, MASKED | 0x15
    mov     r0, #0x77
    mrs     r0, spsr                @ no SPSR here: r0 unchanged
    check   r0, 0x77
    msr     cpsr_c, #MASKED | MODE_SYS
    mov     r0, sp
    checkr  r0, r11

@ --- Saved status registers ---------------------------------------------------
    msr     cpsr_c, #MASKED | MODE_SVC
    ldr     r0, =0x9000001F
    msr     spsr_fc, r0
    mrs     r1, spsr
    check   r1, 0x9000001F
    msr     cpsr_c, #MASKED | MODE_IRQ
    ldr     r0, =0x12345678
    msr     spsr_fsxc, r0
    msr     cpsr_c, #MASKED | MODE_SVC
    mrs     r1, spsr                @ each mode has its own
    check   r1, 0x9000001F
    msr     cpsr_c, #MASKED | MODE_IRQ
    mrs     r1, spsr
    check   r1, 0x10000078
    msr     cpsr_c, #MASKED | MODE_FIQ
    ldr     r0, =0xABCD0011
    msr     spsr_fc, r0
    msr     cpsr_c, #MASKED | MODE_UND
    ldr     r0, =0x5555001B
    msr     spsr_fc, r0
    msr     cpsr_c, #MASKED | MODE_FIQ
    mrs     r1, spsr                @ FIQ keeps its own SPSR
    check   r1, 0xA0000011
    msr     cpsr_c, #MASKED | MODE_SYS
    mov     r0, #0x66
    mrs     r0, spsr
    check   r0, 0x66
    ldr     r0, =0xFFFFFFFF
    msr     spsr_fc, r0             @ ignored in System mode
    mrs     r1, cpsr
    check   r1, MASKED | MODE_SYS

@ --- Exception returns --------------------------------------------------------
    @ SUBS PC, LR, #4 in IRQ mode: jump to LR - 4 and restore the CPSR.
    msr     cpsr_c, #MASKED | MODE_IRQ
    ldr     r0, =0x60000000 | MASKED | MODE_SYS
    msr     spsr_fc, r0
    ldr     lr, =return1 + 4
    subs    pc, lr, #4
    b       fail_jump
return1:
    mrs     r0, cpsr
    check   r0, 0x60000000 | MASKED | MODE_SYS
    mov     r0, sp
    checkr  r0, r11
    @ MOVS PC, LR from Supervisor mode.
    msr     cpsr_c, #MASKED | MODE_SVC
    ldr     r0, =0x80000000 | MASKED | MODE_SYS
    msr     spsr_fc, r0
    adr     lr, return2
    movs    pc, lr
    b       fail_jump
return2:
    mrs     r0, cpsr
    check   r0, 0x80000000 | MASKED | MODE_SYS
    @ The same in System mode only jumps; the flags stay as they were.
    msr     cpsr_f, #FLAG_V
    adr     lr, return3
    movs    pc, lr
    b       fail_jump
return3:
    mrs     r0, cpsr
    check   r0, FLAG_V | MASKED | MODE_SYS
    @ The shifter carry of a logical operation is written before the restore.
    msr     cpsr_c, #MASKED | MODE_SVC
    ldr     r0, =MASKED | MODE_SYS
    msr     spsr_fc, r0
    adr     r1, return4
    movs    pc, r1
    b       fail_jump
return4:
    mrs     r0, cpsr
    check   r0, MASKED | MODE_SYS

    @ LDMFD SP!, {r0, PC}^ in IRQ mode pops the IRQ stack and restores the
    @ CPSR from SPSR_irq; System mode's R13 is not touched.
    msr     cpsr_c, #MASKED | MODE_IRQ
    ldr     r0, =0x40000000 | MASKED | MODE_SYS
    msr     spsr_fc, r0
    ldr     r0, =0xCAFE
    ldr     r1, =return5
    push    {r0, r1}                @ sp = IRQ_STACK - 8
    mov     r0, #0
    ldmfd   sp!, {r0, pc}^
    b       fail_jump
return5:
    mov     r2, sp                  @ System mode now
    mov     sp, r11
    mrs     r1, cpsr
    check   r1, 0x40000000 | MASKED | MODE_SYS
    check   r0, 0xCAFE
    checkr  r2, r11
    msr     cpsr_c, #MASKED | MODE_IRQ
    mov     r0, sp                  @ the IRQ stack was popped
    check   r0, IRQ_STACK
    ldr     sp, =IRQ_STACK

    @ With S but without R15, LDM and STM use the current mode's registers.
    ldr     r3, =scratch
    ldr     r0, =0x03001230
    str     r0, [r3]
    .word   0xE8C32000              @ STMIA r3, {sp}^
    ldr     r0, [r3]
    check   r0, IRQ_STACK
    ldr     r0, =0x03007F90
    str     r0, [r3]
    .word   0xE8D32000              @ LDMIA r3, {sp}^
    mov     r0, sp
    check   r0, 0x03007F90
    ldr     sp, =IRQ_STACK
    msr     cpsr_c, #MASKED | MODE_SYS
    mov     r0, sp
    checkr  r0, r11

@ --- User mode (last: there is no way back without an exception) -------------
    msr     cpsr_c, #MASKED | MODE_SVC
    ldr     r0, =MASKED | MODE_USR
    msr     spsr_fc, r0
    adr     lr, user_code
    movs    pc, lr
    b       fail_jump
user_code:
    mrs     r0, cpsr
    check   r0, MASKED | MODE_USR
    mov     r0, sp
    checkr  r0, r11                 @ User shares System's bank
    @ Without privilege MSR changes the flags and nothing else.
    ldr     r0, =0xF0000000 | MODE_SYS
    msr     cpsr_fc, r0
    mrs     r1, cpsr
    check   r1, 0xF0000000 | MASKED | MODE_USR
    msr     cpsr_c, #MODE_SVC       @ nothing changes
    mrs     r1, cpsr
    check   r1, 0xF0000000 | MASKED | MODE_USR
    msr     cpsr_f, #0
    mrs     r1, cpsr
    check   r1, MASKED | MODE_USR
    mov     r0, #0x44
    mrs     r0, spsr
    check   r0, 0x44
    msr     cpsr_f, #FLAG_Z
    adr     r1, user_return
    movs    pc, r1
    b       fail_jump
user_return:
    mrs     r0, cpsr
    check   r0, FLAG_Z | MASKED | MODE_USR

    pop     {r4-r11, lr}
    bx      lr

@ Reached only when a return jumped to the wrong place: records the failure
@ and ends the program.
fail_jump:
    failed_jump
    mov     sp, r11
    pop     {r4-r11, lr}
    bx      lr
    checks_end

    .bss
scratch:
    .space  4
