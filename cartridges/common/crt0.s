@ Start-up code for KORU's own cartridges: the cartridge header, the stacks of
@ every processor mode, the copies of initialised data and IWRAM code out of
@ the ROM, and the call of the program's `main`.
@
@ With the direct boot (no BIOS image) the machine starts here at 0x08000000
@ as the BIOS leaves it: System mode, interrupts enabled, the stacks of
@ System, IRQ and Supervisor mode set. The state found on entry is handed
@ to `main` in r4-r7 (CPSR, R13 of the entry mode, R13_irq, R13_svc) for
@ the programs that check it.

    .syntax unified
    .section .crt0, "ax", %progbits
    .arm
    .global _start
_start:
    b       start_up

    @ The logo area (0x04-0x9F) is left zero: only the boot ROM of the real
    @ handheld checks it, and this cartridge never runs under it.
    .fill   156, 1, 0

    @ 0xA0: title (rewritten per cartridge by fix_header), game code, maker code.
    .ascii  "KORU TEST\0\0\0"
    .ascii  "KTST"
    .ascii  "01"
    .byte   0x96            @ fixed value
    @ Unit code, device type, 7 reserved bytes, software version, the
    @ complement (filled in by fix_header), 2 reserved bytes.
    .fill   13, 1, 0

    @ 0xC0: the entry point.
start_up:
    @ Every banked mode gets its own stack at the top of IWRAM. FIQ and
    @ Undefined share one stack because this CPU gives them one R13 bank.
    mrs     r4, cpsr
    mov     r5, sp
    msr     cpsr_fc, #0xD2          @ IRQ
    mov     r6, sp
    ldr     sp, =0x03007FA0
    msr     cpsr_fc, #0xD7          @ Abort
    ldr     sp, =0x03007F80
    msr     cpsr_fc, #0xDB          @ Undefined (and FIQ)
    ldr     sp, =0x03007F60
    msr     cpsr_fc, #0xD3          @ Supervisor
    mov     r7, sp
    ldr     sp, =0x03007FE0
    msr     cpsr_fc, #0xDF          @ System, interrupts stay masked
    ldr     sp, =0x03007F00

    @ The result block starts cleared, whatever the RAM held.
    ldr     r0, =__result_start
    ldr     r1, =__result_end
    mov     r2, #0
1:  cmp     r0, r1
    strlo   r2, [r0], #4
    blo     1b

    ldr     r0, =__iwram_load
    ldr     r1, =__iwram_start
    ldr     r2, =__iwram_end
    bl      copy_words
    ldr     r0, =__data_load
    ldr     r1, =__data_start
    ldr     r2, =__data_end
    bl      copy_words
    ldr     r0, =__ewram_load
    ldr     r1, =__ewram_start
    ldr     r2, =__ewram_end
    bl      copy_words

    ldr     r0, =__bss_start
    ldr     r1, =__bss_end
    mov     r2, #0
1:  cmp     r0, r1
    strlo   r2, [r0], #4
    blo     1b

    @ `main` may be ARM or THUMB code; BX picks the state from bit 0.
    ldr     r0, =main
    mov     lr, pc
    bx      r0

    @ A program that returns is finished: report_finish records the totals
    @ and the done marker (a weak do-nothing version stands in when the
    @ program does not link the check helpers).
    ldr     r0, =report_finish
    mov     lr, pc
    bx      r0
idle:
    b       idle

@ Copies the words from r0 to r1 up to the end address r2.
copy_words:
    cmp     r1, r2
    ldrlo   r3, [r0], #4
    strlo   r3, [r1], #4
    blo     copy_words
    bx      lr

    .weak   report_finish
report_finish:
    bx      lr

    .pool
