@ ARM data processing: the sixteen operations, the flag rules, the shifter in
@ its immediate, immediate-shift and register-shift forms, R15 as an operand
@ and the condition codes. Expected values are worked out by hand from the
@ ARMv4T rules and this CPU's documented choices:
@  - a logical operation with a rotated immediate leaves C unchanged;
@  - condition code 15 never executes.
@ The flags of every subtraction form, CMN and ADCS are checked in overflow.s.

    .include "check.inc"
    .equ    FLAG_N, 0x80000000
    .equ    FLAG_Z, 0x40000000
    .equ    FLAG_C, 0x20000000
    .equ    FLAG_V, 0x10000000

    .text
    .arm
    .global main
main:
    push    {r4-r11, lr}

@ --- The sixteen operations (no S) ----------------------------------------
    ldr     r1, =0x12345678
    ldr     r2, =0xFF00FF00
    and     r0, r1, r2
    check   r0, 0x12005600
    eor     r0, r1, r2
    check   r0, 0xED34A978
    sub     r0, r1, #0x1000
    check   r0, 0x12344678
    rsb     r0, r1, #0x100
    check   r0, 0xEDCBAA88
    ldr     r3, =0x11111111
    add     r0, r1, r3
    check   r0, 0x23456789
    msr     cpsr_f, #FLAG_C
    adc     r0, r1, r3
    check   r0, 0x2345678A
    msr     cpsr_f, #0
    adc     r0, r1, r3
    check   r0, 0x23456789
    msr     cpsr_f, #0
    sbc     r0, r1, r3
    check   r0, 0x01234566
    msr     cpsr_f, #FLAG_C
    sbc     r0, r1, r3
    check   r0, 0x01234567
    mov     r4, #5
    msr     cpsr_f, #FLAG_C
    rsc     r0, r4, #10
    check   r0, 5
    msr     cpsr_f, #0
    rsc     r0, r4, #10
    check   r0, 4
    orr     r0, r1, r2
    check   r0, 0xFF34FF78
    mov     r0, r2
    check   r0, 0xFF00FF00
    bic     r0, r1, r2
    check   r0, 0x00340078
    mvn     r0, r1
    check   r0, 0xEDCBA987
    mvn     r0, #0
    check   r0, 0xFFFFFFFF
    @ Rotated immediates: 0xFF ror 8, 0x3F ror 2.
    mov     r0, #0xFF000000
    check   r0, 0xFF000000
    mov     r0, #0xC000000F
    check   r0, 0xC000000F
    @ Without S the flags stay as they were.
    msr     cpsr_f, #(FLAG_N | FLAG_V)
    mov     r0, #0
    add     r0, r1, r1
    checkf  0x9

@ --- Arithmetic flags ------------------------------------------------------
@ ADDS here; every subtraction, CMN and ADCS in overflow.s.
    msr     cpsr_f, #0
    ldr     r1, =0x7FFFFFFF
    checkop  "adds r0, r1, #1", 0x80000000, 0x9  @ N V
    mvn     r1, #0
    adds    r0, r1, #1
    checkf  0x6                 @ Z C
    mov     r1, #0x80000000
    adds    r0, r1, r1
    checkf  0x7                 @ Z C V
    @ ADC adds the old C, not the shifter's carry out.
    msr     cpsr_f, #0
    mov     r1, #1
    mov     r2, #0x80000000
    checkop  "adcs r0, r1, r2, lsl #1", 1, 0x0

@ --- Logical flags ---------------------------------------------------------
    @ A rotated immediate leaves C and V as they were.
    msr     cpsr_f, #(FLAG_C | FLAG_V)
    movs    r0, #0
    checkf  0x7
    msr     cpsr_f, #0
    movs    r0, #0x80000000
    checkf  0x8
    msr     cpsr_f, #FLAG_C
    movs    r0, #0x80000000
    checkf  0xA
    ldr     r1, =0xF0F0F0F0
    ldr     r2, =0x0F0F0F0F
    msr     cpsr_f, #FLAG_V
    tst     r1, r2
    checkf  0x5                 @ Z, V kept
    teq     r1, r1
    checkf  0x5
    teq     r1, r2
    checkf  0x9                 @ N
    msr     cpsr_f, #0
    checkop  "ands r0, r1, #0xF0", 0xF0, 0x0
    eors    r0, r1, r2
    checkf  0x8
    orrs    r0, r1, r2
    checkf  0x8
    bics    r0, r1, r1
    checkf  0x4
    checkop  "mvns r0, r2", 0xF0F0F0F0, 0x8

@ --- Shifts by an immediate amount -----------------------------------------
    ldr     r1, =0x87654321
    msr     cpsr_f, #0
    checkop  "movs r0, r1, lsl #4", 0x76543210, 0x0
    checkop  "movs r0, r1, lsl #1", 0x0ECA8642, 0x2
    checkop  "movs r0, r1, lsl #31", 0x80000000, 0x8
    checkop  "movs r0, r1, lsr #4", 0x08765432, 0x0
    checkop  "movs r0, r1, lsr #1", 0x43B2A190, 0x2
    checkop  "movs r0, r1, lsr #32", 0, 0x6
    mov     r2, #0x80000000
    msr     cpsr_f, #0
    movs    r0, r2, lsr #32     @ encoded as LSR #0
    checkf  0x6
    checkop  "movs r0, r1, asr #4", 0xF8765432, 0x8
    checkop  "movs r0, r1, asr #32", 0xFFFFFFFF, 0xA
    ldr     r2, =0x7FFFFFFF
    checkop  "movs r0, r2, asr #32", 0, 0x4
    checkop  "movs r0, r1, ror #4", 0x18765432, 0x0
    checkop  "movs r0, r1, ror #8", 0x21876543, 0x0
    checkop  "movs r0, r1, ror #1", 0xC3B2A190, 0xA
    @ ROR #0 is RRX: the old C enters at the top, bit 0 leaves into C.
    mov     r2, #1
    msr     cpsr_f, #FLAG_C
    checkop  "movs r0, r2, rrx", 0x80000000, 0xA
    msr     cpsr_f, #0
    checkop  "movs r0, r1, rrx", 0x43B2A190, 0x2
    @ LSL #0 passes the value and the carry through.
    msr     cpsr_f, #FLAG_C
    movs    r0, r1
    checkf  0xA
    msr     cpsr_f, #0
    movs    r0, r1
    checkf  0x8
    @ Arithmetic with shifted operands.
    mov     r2, #3
    add     r0, r2, r1, lsl #4
    check   r0, 0x76543213
    sub     r0, r1, r1, asr #31
    check   r0, 0x87654322
    rsb     r0, r2, r1, lsr #28
    check   r0, 5

@ --- Shifts by a register --------------------------------------------------
    ldr     r1, =0x87654321
    .macro regshift op, amount, result, flags
    mov     r2, #\amount
    msr     cpsr_f, #FLAG_C
    checkop  "movs r0, r1, \op r2", \result, \flags
    .endm
    regshift lsl, 0, 0x87654321, 0xA
    regshift lsl, 4, 0x76543210, 0x0
    regshift lsl, 31, 0x80000000, 0x8
    regshift lsl, 32, 0, 0x6
    regshift lsl, 33, 0, 0x4
    regshift lsl, 255, 0, 0x4
    regshift lsr, 0, 0x87654321, 0xA
    regshift lsr, 4, 0x08765432, 0x0
    regshift lsr, 32, 0, 0x6
    regshift lsr, 33, 0, 0x4
    regshift asr, 0, 0x87654321, 0xA
    regshift asr, 4, 0xF8765432, 0x8
    regshift asr, 32, 0xFFFFFFFF, 0xA
    regshift asr, 200, 0xFFFFFFFF, 0xA
    regshift ror, 0, 0x87654321, 0xA
    regshift ror, 4, 0x18765432, 0x0
    regshift ror, 32, 0x87654321, 0xA
    regshift ror, 36, 0x18765432, 0x0
    regshift ror, 64, 0x87654321, 0xA
    @ Only the low byte of the amount register counts: 0x104 shifts by 4.
    ldr     r2, =0x104
    mov     r0, r1, lsl r2
    check   r0, 0x76543210
    ldr     r3, =0x7FFFFFFF
    mov     r4, #0x100
    msr     cpsr_f, #FLAG_C
    movs    r0, r3, lsr r4      @ low byte 0: value and C unchanged
    check   r0, 0x7FFFFFFF
    checkf  0x2

@ --- R15 as an operand -----------------------------------------------------
pc_add:
    add     r0, pc, #0
    check   r0, pc_add + 8
pc_mov:
    mov     r0, pc
    check   r0, pc_mov + 8
    mov     r1, #1
    mov     r2, #4
pc_reg_shift:
    .word   0xE08F0211          @ ADD r0, pc, r1, LSL r2 (R15 reads as address + 12)
    check   r0, pc_reg_shift + 12 + 16
    mov     r2, #0
pc_shifted:
    .word   0xE1A0021F          @ MOV r0, pc, LSL r2
    check   r0, pc_shifted + 12
pc_rm:
    add     r0, r1, pc
    check   r0, pc_rm + 9
    @ Writing R15 without S is a plain jump.
    ldr     r1, =pc_target
    mov     r0, #0
    mov     pc, r1
    mov     r0, #1              @ skipped
pc_target:
    check   r0, 0
    adr     r1, pc_target2
    sub     pc, r1, #0          @ arithmetic result into R15
    mov     r0, #2              @ skipped
pc_target2:
    check   r0, 0

@ --- Conditions ------------------------------------------------------------
    @ For each NZCV combination, bit k of r0 is set when condition k passed;
    @ bit 15 belongs to condition 15, which never runs.
    .macro condrow nzcv, expected
    msr     cpsr_f, #(\nzcv << 28)
    mov     r0, #0
    orreq   r0, r0, #0x0001
    orrne   r0, r0, #0x0002
    orrcs   r0, r0, #0x0004
    orrcc   r0, r0, #0x0008
    orrmi   r0, r0, #0x0010
    orrpl   r0, r0, #0x0020
    orrvs   r0, r0, #0x0040
    orrvc   r0, r0, #0x0080
    orrhi   r0, r0, #0x0100
    orrls   r0, r0, #0x0200
    orrge   r0, r0, #0x0400
    orrlt   r0, r0, #0x0800
    orrgt   r0, r0, #0x1000
    orrle   r0, r0, #0x2000
    orr     r0, r0, #0x4000
    .word   0xF3800902          @ ORR r0, r0, #0x8000 with condition 15
    check   r0, \expected
    .endm
    condrow 0x0, 0x56AA
    condrow 0x1, 0x6A6A
    condrow 0x2, 0x55A6
    condrow 0x3, 0x6966
    condrow 0x4, 0x66A9
    condrow 0x5, 0x6A69
    condrow 0x6, 0x66A5
    condrow 0x7, 0x6A65
    condrow 0x8, 0x6A9A
    condrow 0x9, 0x565A
    condrow 0xA, 0x6996
    condrow 0xB, 0x5556
    condrow 0xC, 0x6A99
    condrow 0xD, 0x6659
    condrow 0xE, 0x6A95
    condrow 0xF, 0x6655
    @ A failing condition leaves the flags of a flag-setting instruction alone.
    msr     cpsr_f, #0
    mov     r1, #0
    cmpne   r1, #0              @ runs: Z set
    addsne  r0, r1, #1          @ skipped
    checkf  0x6

    pop     {r4-r11, lr}
    bx      lr
    checks_end
