/* The sample players: play_sample plays a sound packed by samplepack through the player linked
 * in (linear.s, psg.s or ay.s, assembled with sdasz80; see assetkit-player.7), with interrupts
 * disabled while it plays and as they were when it returns. Every sample lasts the same number
 * of T-states, PLAYER_T, chosen when the player is assembled; the channel is silent at the end.
 * The packed sound is in HL on the call (__z88dk_fastcall).
 *
 * play_sample_banked plays a sound in the banks of a mapper: it selects bank, plays the sound at
 * packed in the mapper's window and reads on in the next bank where the sound reaches the
 * window's end, as bankplan --split cuts a sound (NAME_bank and NAME of banks.h); it selects bank
 * again when it returns. It is there when the player is assembled with PLAYER_BANKED = 1. */
#ifndef ASSETKIT_PLAYER_H
#define ASSETKIT_PLAYER_H

void play_sample(const unsigned char* packed) __z88dk_fastcall;
void play_sample_banked(unsigned char bank, const unsigned char* packed) __sdcccall(1);

#endif
