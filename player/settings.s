; The players' build-time settings, with their defaults. Assemble a player with this file first,
; then a file of your own that sets what you change, then the player:
;
;     sdasz80 -o player.rel settings.s my-settings.s linear.s
;
; where my-settings.s holds lines such as `PLAYER_T = 298` or `PSG_CHANNEL = 2` (a later
; assignment wins). player-timing prints PLAYER_T for a rate and a clock.

; T-states a sample, wait states counted: 447 plays 8007.9 Hz on a 3579545 Hz Z80 (the NTSC
; colour-burst clock many Z80 machines run at), the nearest to 8000 Hz. The rate is
; CLOCK / PLAYER_T.
PLAYER_T = 447

; The wait states the machine adds to every M1 cycle (opcode fetch): 0 or 1. The players count
; them in every path, so that PLAYER_T stays the T-states a sample as the machine runs them.
PLAYER_M1_WAITS = 0

; linear: the output port of the 4-bit DAC. No machine fixes it; 0x00 is the first port.
LINEAR_PORT = 0x00

; psg: the SN76489's port (0x7F: the machines psg-6bit and psg-12bit of ../machines/) and the
; channel that plays (0 to 2; the other three, noise included, are silenced at start).
PSG_PORT = 0x7F
PSG_CHANNEL = 0

; ay: the AY-3-8910's register-select and data ports (0xA0 and 0xA1: the machine ay-9bit), the
; volume register that plays (8, 9 or 10: channels A, B, C) and the mixer value written at start
; (0xBF: every tone and noise off, I/O port A in and B out as ay-9bit wants them).
AY_SELECT = 0xA0
AY_DATA = 0xA1
AY_REGISTER = 8
AY_MIXER = 0xBF

; play_sample_banked, for sounds in the banks of a mapper: assembled when PLAYER_BANKED is 1. Its
; smallest T is larger than play_sample's (PLAYER_T_MIN_BANKED in each player; player-timing -b).
; The mapper's register, written with a bank's number (0xFFFF: the 16 KB mapper of psg-6bit,
; psg-12bit and linear; 0x7000 for the window at 0x8000 of ay-9bit's two-window mapper), the window
; the bank shows in and its size, both multiples of 256: bankplan's -s for a sound it cut.
PLAYER_BANKED = 0
MAPPER_REGISTER = 0xFFFF
MAPPER_WINDOW = 0x8000
MAPPER_SIZE = 0x4000
