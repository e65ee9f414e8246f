; The player for an AY-3-8910: each code is written to one channel's volume register, selected
; once at start through the register-select port; the mixer is set first, so that the channel's
; tone and noise are off and its volume alone sets the output.
; play_sample and play_sample_banked (player.h); assemble it after settings.s (see there);
; assetkit-player.7 tells the rest, assetkit-play.inc the loops.

        .module player_ay

; The smallest PLAYER_T of play_sample and of play_sample_banked, and what each wait state on
; an M1 cycle adds to them (see assetkit-play.inc).
PLAYER_T_MIN = 100
PLAYER_T_MIN_WAIT = 18
PLAYER_T_MIN_BANKED = 160
PLAYER_T_MIN_BANKED_WAIT = 27
; Volume 0: the channel silent.
PLAYER_SILENT = 0

        .macro PLAYER_SETUP
        ld      a,#7            ; the mixer
        out     (AY_SELECT),a
        ld      a,#AY_MIXER
        out     (AY_DATA),a
        ld      a,#AY_REGISTER  ; the volume register, for every write from here on
        out     (AY_SELECT),a
        .endm

PLAYER_CODE_T = 7
PLAYER_CODE_M1 = 1
        .macro PLAYER_CODE
        and     #0x0F           ; 7
        .endm

        .macro PLAYER_OUT
        out     (AY_DATA),a     ; 11
        .endm

        .macro PLAYER_SILENCE_REST  ; one channel: nothing else plays
        .endm

        .include "assetkit-delay.inc"
        .include "assetkit-play.inc"
