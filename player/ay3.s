; The player for an AY-3-8910's three channels in turn: sample k selects channel k mod 3's volume
; register (8, 9, 10) through the register-select port and writes its code there, and the chip
; outputs the sum of the three. At start the mixer turns every tone and noise off, so that the
; volumes alone set the output, and the three volumes are set to 0; after the last sample all
; three are 0 again. The select port and the three register numbers turn in the alternate
; registers C', E', D' and H', which are kept on the stack meanwhile.
; play_sample and play_sample_banked (player.h); assemble it after settings.s (see there);
; assetkit-player.7 tells the rest, assetkit-play.inc the loops.

        .module player_ay3

; The smallest PLAYER_T of play_sample and of play_sample_banked, and what each wait state on
; an M1 cycle adds to them (see assetkit-play.inc).
PLAYER_T_MIN = 136
PLAYER_T_MIN_WAIT = 26
PLAYER_T_MIN_BANKED = 196
PLAYER_T_MIN_BANKED_WAIT = 35
; Volume 0: the channel silent, at T after the last sample in the channel last selected.
PLAYER_SILENT = 0

        .macro PLAYER_SETUP
        ld      a,#7            ; the mixer
        out     (AY_SELECT),a
        ld      a,#AY_MIXER
        out     (AY_DATA),a
        ld      a,#8            ; the three volumes: 0
        out     (AY_SELECT),a
        xor     a
        out     (AY_DATA),a
        ld      a,#9
        out     (AY_SELECT),a
        xor     a
        out     (AY_DATA),a
        ld      a,#10
        out     (AY_SELECT),a
        xor     a
        out     (AY_DATA),a
        exx                     ; the caller's alternate registers, kept
        push    bc
        push    de
        push    hl
        ld      c,#AY_SELECT
        ld      e,#8            ; channel A first, then B and C
        ld      d,#9
        ld      h,#10
        exx
        .endm

PLAYER_CODE_T = 43
PLAYER_CODE_M1 = 9
        .macro PLAYER_CODE
        and     #0x0F           ; 7 (clears carry)
        exx                     ; 4
        out     (c),e           ; 12 [2: a prefixed instruction] this channel's volume register
        ld      l,e             ; 4 the next channel's next
        ld      e,d             ; 4
        ld      d,h             ; 4
        ld      h,l             ; 4
        exx                     ; 4
        .endm

        .macro PLAYER_OUT
        out     (AY_DATA),a     ; 11
        .endm

        .macro PLAYER_SILENCE_REST
        ld      a,#8            ; every volume 0
        out     (AY_SELECT),a
        xor     a
        out     (AY_DATA),a
        ld      a,#9
        out     (AY_SELECT),a
        xor     a
        out     (AY_DATA),a
        ld      a,#10
        out     (AY_SELECT),a
        xor     a
        out     (AY_DATA),a
        exx                     ; the caller's alternate registers again
        pop     hl
        pop     de
        pop     bc
        exx
        .endm

        .include "assetkit-delay.inc"
        .include "assetkit-play.inc"
