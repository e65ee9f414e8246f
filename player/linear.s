; The player for a 4-bit DAC on an output port: each code is written to the port as it is.
; void play_sample(const unsigned char* packed) __z88dk_fastcall, the packed sound in HL.
; Assemble it after settings.s (see there); player.7 tells the rest.
;
; Every sample lasts PLAYER_T T-states, the last one included (up to the silencing write). The
; paths between two writes are counted in the comments; the delays make up the rest.

        .module player_linear
        .include "delay.inc"

; The smallest PLAYER_T: the block boundary's path takes 93 T-states, and 7 more keep every
; delay in the lengths PLAYER_DELAY makes.
PLAYER_T_MIN = 100
; The code that leaves the DAC in the middle of its range, as sampleprep's silence.
LINEAR_SILENCE = 8

        .iflt PLAYER_T - PLAYER_T_MIN
        PLAYER_T_is_below_PLAYER_T_MIN  ; stops the assembly
        .endif

        .globl  _play_sample
        .area   _CODE

_play_sample::
        ld      a,i             ; P/V: interrupts were enabled
        push    af
        di
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
        and     #0x0F           ; 7 (clears carry, as the delays want)
        out     (LINEAR_PORT),a ; 11
        PLAYER_DELAY PLAYER_T-25
        ; the later sample: 11 + delay + 7 + 7 since the last write
        ld      a,(hl)          ; 7
        and     #0x0F           ; 7
        out     (LINEAR_PORT),a ; 11
        inc     hl              ; 6
        djnz    2$              ; 13 taken, 8 not
        ; the end of a block: 11 + 6 + 8 so far
        dec     de              ; 6
        ld      a,d             ; 4
        or      e               ; 4
        jr      z,3$            ; 12 taken, 7 not
        ld      b,#16           ; 7
        ; 11 + 6 + 8 + 6 + 4 + 4 + 7 + 7 + delay + 10 + 30 to the next write
        PLAYER_DELAY PLAYER_T-93
        jp      1$              ; 10
2$:     ; within a block: 11 + 6 + 13 + delay + 10 + 30 to the next write
        PLAYER_DELAY PLAYER_T-70
        jp      1$              ; 10
3$:     ; after the last sample: 11 + 6 + 8 + 6 + 4 + 4 + 12 + delay + 7 to the silencing write
        PLAYER_DELAY PLAYER_T-58
9$:     ld      a,#LINEAR_SILENCE ; 7
        out     (LINEAR_PORT),a ; 11
        pop     af
        ret     po              ; interrupts stay disabled
        ei
        ret
