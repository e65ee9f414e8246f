; The player for a 4-bit DAC on an output port: each code is written to the port as it is.
; play_sample and play_sample_banked (player.h); assemble it after settings.s (see there);
; assetkit-player.7 tells the rest, assetkit-play.inc the loops.

        .module player_linear

; The smallest PLAYER_T of play_sample and of play_sample_banked, and what each wait state on
; an M1 cycle adds to them (see assetkit-play.inc).
PLAYER_T_MIN = 100
PLAYER_T_MIN_WAIT = 18
PLAYER_T_MIN_BANKED = 160
PLAYER_T_MIN_BANKED_WAIT = 27
; The code that leaves the DAC in the middle of its range, as sampleprep's silence.
PLAYER_SILENT = 8

        .macro PLAYER_SETUP
        .endm

PLAYER_CODE_T = 7
PLAYER_CODE_M1 = 1
        .macro PLAYER_CODE
        and     #0x0F           ; 7
        .endm

        .macro PLAYER_OUT
        out     (LINEAR_PORT),a ; 11
        .endm

        .macro PLAYER_SILENCE_REST  ; one channel: nothing else plays
        .endm

        .include "assetkit-delay.inc"
        .include "assetkit-play.inc"
