; The players' build-time settings, with their defaults. Assemble a player with this file first,
; then a file of your own that sets what you change, then the player:
;
;     sdasz80 -o player.rel settings.s my-settings.s linear.s
;
; where my-settings.s holds lines such as `PLAYER_T = 298` or `PSG_CHANNEL = 2` (a later
; assignment wins). player-timing prints PLAYER_T for a rate and a clock.

; T-states a sample: 447 plays 8007.9 Hz on a 3579545 Hz Z80 (the NTSC colour-burst clock, the
; CPU clock of the MSX, the ColecoVision and the Sega Master System in America), the nearest to
; 8000 Hz. The rate is CLOCK / PLAYER_T.
PLAYER_T = 447

; linear: the output port of the 4-bit DAC. No machine fixes it; 0x00 is the first port.
LINEAR_PORT = 0x00

; psg: the SN76489's port (0x7F: the Sega Master System and Game Gear; 0xFF on the ColecoVision)
; and the channel that plays (0 to 2; the other three, noise included, are silenced at start).
PSG_PORT = 0x7F
PSG_CHANNEL = 0

; ay: the AY-3-8910's register-select and data ports (0xA0 and 0xA1: the MSX), the volume
; register that plays (8, 9 or 10: channels A, B, C) and the mixer value written at start
; (0xBF: every tone and noise off, I/O port A in and B out as the MSX wants them).
AY_SELECT = 0xA0
AY_DATA = 0xA1
AY_REGISTER = 8
AY_MIXER = 0xBF

; play_sample_banked, for sounds in the banks of a mapper: assembled when PLAYER_BANKED is 1. Its
; smallest T is larger than play_sample's (PLAYER_T_MIN_BANKED in each player; player-timing -b).
; The mapper's register, written with a bank's number (0xFFFF: the common 16 KB mapper of the
; Sega Master System; 0x7000 for the window at 0x8000 on an MSX ASCII16 cartridge), the window
; the bank shows in and its size, both multiples of 256: bankplan's -s for a sound it cut.
PLAYER_BANKED = 0
MAPPER_REGISTER = 0xFFFF
MAPPER_WINDOW = 0x8000
MAPPER_SIZE = 0x4000
