; The player for an SN76489: each code is written as its channel's volume byte,
; 0x90 | PSG_CHANNEL << 5 | code. At start the other channels (noise included) are silenced and
; the channel's tone period is set to 1, beyond hearing on every SN76489 (0 means 1024 on some),
; so that its volume alone sets the output.
; void play_sample(const unsigned char* packed) __z88dk_fastcall, the packed sound in HL.
; Assemble it after settings.s (see there); assetkit-player.7 tells the rest.
;
; Every sample lasts PLAYER_T T-states, the last one included (up to the silencing write). The
; paths between two writes are counted in the comments; the delays make up the rest.

        .module player_psg
        .include "delay.inc"

; The smallest PLAYER_T: the block boundary's path takes 100 T-states, and 7 more keep every
; delay in the lengths PLAYER_DELAY makes.
PLAYER_T_MIN = 107
; The volume byte of the channel without its code; with code 15, the channel is silent.
PSG_VOLUME = 0x90|(PSG_CHANNEL<<5)

        .iflt PLAYER_T - PLAYER_T_MIN
        PLAYER_T_is_below_PLAYER_T_MIN  ; stops the assembly
        .endif

        .globl  _play_sample
        .area   _CODE

_play_sample::
        ld      a,i             ; P/V: interrupts were enabled
        push    af
        di
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
        ld      a,(hl)          ; the block count, each byte one more than its value
        dec     a
        ld      e,a
        inc     hl
        ld      a,(hl)
        dec     a
        ld      d,a
        inc     hl
        or      e
        jr      z,9$            ; no block: nothing to play
        ld      b,#16           ; bytes left in the block
1$:     ; the earlier sample, in the high nibble
        ld      a,(hl)          ; 7
        rrca                    ; 4
        rrca                    ; 4
        rrca                    ; 4
        rrca                    ; 4
        and     #0x0F           ; 7
        or      #PSG_VOLUME     ; 7 (clears carry, as the delays want)
        out     (PSG_PORT),a    ; 11
        PLAYER_DELAY PLAYER_T-32
        ; the later sample: 11 + delay + 7 + 7 + 7 since the last write
        ld      a,(hl)          ; 7
        and     #0x0F           ; 7
        or      #PSG_VOLUME     ; 7
        out     (PSG_PORT),a    ; 11
        inc     hl              ; 6
        djnz    2$              ; 13 taken, 8 not
        ; the end of a block: 11 + 6 + 8 so far
        dec     de              ; 6
        ld      a,d             ; 4
        or      e               ; 4
        jr      z,3$            ; 12 taken, 7 not
        ld      b,#16           ; 7
        ; 11 + 6 + 8 + 6 + 4 + 4 + 7 + 7 + delay + 10 + 37 to the next write
        PLAYER_DELAY PLAYER_T-100
        jp      1$              ; 10
2$:     ; within a block: 11 + 6 + 13 + delay + 10 + 37 to the next write
        PLAYER_DELAY PLAYER_T-77
        jp      1$              ; 10
3$:     ; after the last sample: 11 + 6 + 8 + 6 + 4 + 4 + 12 + delay + 7 to the silencing write
        PLAYER_DELAY PLAYER_T-58
9$:     ld      a,#PSG_VOLUME|0x0F ; 7
        out     (PSG_PORT),a    ; 11
        pop     af
        ret     po              ; interrupts stay disabled
        ei
        ret
