/* The sample players: play_sample plays a sound packed by samplepack through the player linked
 * in (linear.s, psg.s or ay.s, assembled with sdasz80; see assetkit-player.7), with interrupts
 * disabled while it plays and as they were when it returns. Every sample lasts the same number
 * of T-states, PLAYER_T, chosen when the player is assembled; the channel is silent at the end.
 * The packed sound is in HL on the call (__z88dk_fastcall). */
#ifndef ASSETKIT_PLAYER_H
#define ASSETKIT_PLAYER_H

void play_sample(const unsigned char* packed) __z88dk_fastcall;

#endif
