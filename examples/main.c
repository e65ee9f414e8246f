/* The starter project's program. It plays each packed sound once through the player, reads the
 * first colour of the palette (a real program would hand it to its video chip), then stops the
 * CPU for good: interrupts off and HALT, where an emulator can tell it has finished. */
#include "player.h"

/* The packed sounds, named by the Makefile's SOUNDS in build/sounds.h: block count, then 16-byte
 * blocks. */
#define SOUND(name) extern const unsigned char name[];
#include "sounds.h"
#undef SOUND
#define SOUND(name) name,
static const unsigned char *const sounds[] = {
#include "sounds.h"
};
extern const unsigned char PALETTE[]; /* 256 colours of 15 bits, little-endian words */

unsigned int background;

void main(void) {
    unsigned char i;
    background = PALETTE[0] | PALETTE[1] << 8;
    for (i = 0; i != sizeof sounds / sizeof sounds[0]; ++i) play_sample(sounds[i]);
    __asm
        di
        halt
    __endasm;
}
