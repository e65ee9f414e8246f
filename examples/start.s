; The start-up code of the starter's program, for the machine whose row build/machine.s holds
; (assembled after it): where the machine starts the image (a cartridge header for a firmware, or
; the reset address), the stack from the row's STACK, below anything the program must never
; write, the cartridge's own slot selected at the bank window where the firmware left another
; there, the variables set, then main. The areas in the order SDCC's own start-up gives them.

        .module start
        .globl  _main
        .globl  l__DATA, s__DATA, l__INITIALIZER, s__INITIALIZER, s__INITIALIZED

        .area   _HEADER (ABS)
        .org    MACHINE_ROM_START
        .ifne   MACHINE_HEADER
        ; The cartridge header: "AB", INIT, then zeros to its 16th byte.
        .db     0x41, 0x42
        .dw     init
        .dw     0, 0, 0, 0, 0, 0
        .else
        di
        jp      init
        .org    MACHINE_ROM_START+0x38
        ret                     ; interrupts stay disabled: never taken
        .org    MACHINE_ROM_START+0x66
        retn                    ; a non-maskable interrupt (a button on some boards) returns
        .endif

init:
        di
        ld      sp,#MACHINE_STACK
        .ifne   MACHINE_SLOT
        ; The firmware put the cartridge at 0x4000 alone: its slot, from the primary slot
        ; register and the expanded-slot table, selected at 0x8000 too.
        call    MACHINE_FIRMWARE_RSLREG
        rrca
        rrca
        and     #3              ; the primary slot at 0x4000
        ld      c,a
        ld      b,#0
        ld      hl,#MACHINE_FIRMWARE_EXPTBL
        add     hl,bc
        ld      a,(hl)
        and     #0x80           ; expanded
        or      c
        ld      c,a
        inc     hl              ; the secondary slot registers' copies follow the table
        inc     hl
        inc     hl
        inc     hl
        ld      a,(hl)
        and     #0x0C           ; the secondary slot at 0x4000
        or      c
        ld      h,#0x80
        call    MACHINE_FIRMWARE_ENASLT  ; leaves interrupts disabled
        .endif
        call    gsinit
        call    _main
        di                      ; main never returns; if it did, the CPU stops here
        halt

        .area   _HOME
        .area   _CODE
        .area   _INITIALIZER
        .area   _GSINIT
        .area   _GSFINAL

        .area   _DATA
        .area   _INITIALIZED
        .area   _BSEG
        .area   _BSS
        .area   _HEAP

        .area   _GSINIT
gsinit::
        ; The variables without a value: zeros.
        ld      bc,#l__DATA
        ld      a,b
        or      a,c
        jr      z,2$
        ld      hl,#s__DATA
        ld      (hl),#0x00
        dec     bc
        ld      a,b
        or      a,c
        jr      z,2$
        ld      e,l
        ld      d,h
        inc     de
        ldir
2$:     ; The variables with a value: copied from ROM.
        ld      bc,#l__INITIALIZER
        ld      a,b
        or      a,c
        jr      z,3$
        ld      de,#s__INITIALIZED
        ld      hl,#s__INITIALIZER
        ldir
3$:
        .area   _GSFINAL
        ret
