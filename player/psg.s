; The player for an SN76489: each code is written as its channel's volume byte,
; 0x90 | PSG_CHANNEL << 5 | code. At start the other channels (noise included) are silenced and
; the channel's tone period is set to 1, beyond hearing on every SN76489 (0 means 1024 on some),
; so that its volume alone sets the output.
; play_sample and play_sample_banked (player.h); assemble it after settings.s (see there);
; assetkit-player.7 tells the rest, assetkit-play.inc the loops.

        .module player_psg

; The smallest PLAYER_T of play_sample and of play_sample_banked, and what each wait state on
; an M1 cycle adds to them (see assetkit-play.inc).
PLAYER_T_MIN = 107
PLAYER_T_MIN_WAIT = 19
PLAYER_T_MIN_BANKED = 167
PLAYER_T_MIN_BANKED_WAIT = 28
; The volume byte of the channel without its code; with code 15, the channel is silent.
PSG_VOLUME = 0x90|(PSG_CHANNEL<<5)
PLAYER_SILENT = PSG_VOLUME|0x0F

        .macro PLAYER_SETUP
        .ifne PSG_CHANNEL
        ld      a,#0x9F         ; channel 0 silent
        out     (PSG_PORT),a
        .endif
        .ifne PSG_CHANNEL-1
        ld      a,#0xBF         ; channel 1 silent
        out     (PSG_PORT),a
        .endif
        .ifne PSG_CHANNEL-2
        ld      a,#0xDF         ; channel 2 silent
        out     (PSG_PORT),a
        .endif
        ld      a,#0xFF         ; the noise silent
        out     (PSG_PORT),a
        ld      a,#0x81|(PSG_CHANNEL<<5) ; the tone period: 1
        out     (PSG_PORT),a
        xor     a
        out     (PSG_PORT),a
        .endm

PLAYER_CODE_T = 14
PLAYER_CODE_M1 = 2
        .macro PLAYER_CODE
        and     #0x0F           ; 7
        or      #PSG_VOLUME     ; 7
        .endm

        .macro PLAYER_OUT
        out     (PSG_PORT),a    ; 11
        .endm

        .macro PLAYER_SILENCE_REST  ; one channel: nothing else plays
        .endm

        .include "assetkit-delay.inc"
        .include "assetkit-play.inc"
