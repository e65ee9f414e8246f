; The player for an SN76489's three tone channels in turn: sample k is written as channel k mod 3's
; volume byte, 0x90 | channel << 5 | code, and the chip outputs the sum of the three. At start
; every channel and the noise are silenced and the three tone periods are set to 1, beyond hearing
; on every SN76489 (0 means 1024 on some), so that the volumes alone set the output; after the
; last sample all three are silenced. The three volume bytes without their codes turn in the
; alternate registers C', D' and E', which are kept on the stack meanwhile.
; play_sample and play_sample_banked (player.h); assemble it after settings.s (see there);
; assetkit-player.7 tells the rest, assetkit-play.inc the loops.

        .module player_psg3

; The smallest PLAYER_T of play_sample and of play_sample_banked, and what each wait state on
; an M1 cycle adds to them (see assetkit-play.inc).
PLAYER_T_MIN = 128
PLAYER_T_MIN_WAIT = 25
PLAYER_T_MIN_BANKED = 188
PLAYER_T_MIN_BANKED_WAIT = 34
; Channel 0 silent, at T after the last sample; the others follow at once.
PLAYER_SILENT = 0x9F

        .macro PLAYER_SETUP
        ld      a,#0x9F         ; channel 0 silent
        out     (PSG_PORT),a
        ld      a,#0xBF         ; channel 1 silent
        out     (PSG_PORT),a
        ld      a,#0xDF         ; channel 2 silent
        out     (PSG_PORT),a
        ld      a,#0xFF         ; the noise silent
        out     (PSG_PORT),a
        ld      a,#0x81         ; the tone periods: 1
        out     (PSG_PORT),a
        xor     a
        out     (PSG_PORT),a
        ld      a,#0xA1
        out     (PSG_PORT),a
        xor     a
        out     (PSG_PORT),a
        ld      a,#0xC1
        out     (PSG_PORT),a
        xor     a
        out     (PSG_PORT),a
        exx                     ; the caller's alternate registers, kept
        push    bc
        push    de
        push    hl
        ld      c,#0x90         ; channel 0 first, then 1 and 2
        ld      d,#0xB0
        ld      e,#0xD0
        exx
        .endm

PLAYER_CODE_T = 35
PLAYER_CODE_M1 = 8
        .macro PLAYER_CODE
        and     #0x0F           ; 7 (clears carry)
        exx                     ; 4
        or      c               ; 4 this channel's volume byte
        ld      l,c             ; 4 the next channel's next
        ld      c,d             ; 4
        ld      d,e             ; 4
        ld      e,l             ; 4
        exx                     ; 4
        .endm

        .macro PLAYER_OUT
        out     (PSG_PORT),a    ; 11
        .endm

        .macro PLAYER_SILENCE_REST
        ld      a,#0xBF         ; channels 1 and 2 silent
        out     (PSG_PORT),a
        ld      a,#0xDF
        out     (PSG_PORT),a
        exx                     ; the caller's alternate registers again
        pop     hl
        pop     de
        pop     bc
        exx
        .endm

        .include "assetkit-delay.inc"
        .include "assetkit-play.inc"
