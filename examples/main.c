/* The starter project's program. It reads the first colour of the first palette (a real program
 * would hand it to its video chip) and plays each packed sound once through the player, each
 * through its bank (through its banks, with SPLIT, for a sound larger than one), then stops the
 * CPU for good: interrupts off and HALT, where an emulator can tell it has finished. banks.h,
 * written by bankplan, names every asset (by its file name), its size and its bank. main never
 * returns: the mapper's register at 0xFFFF is also the top of RAM, where main's return address
 * lies. */
#include "banks.h"
#include "player.h"

/* The mapper's register: the bank written here shows in the window from 0x8000 to 0xBFFF. */
volatile __at 0xFFFF unsigned char mapper;

struct asset {
    const unsigned char *data;
    unsigned char bank;
};

/* The packed sounds, named by the Makefile's SOUNDS in build/sounds.h: block count, then 16-byte
 * blocks; the palettes, by its PALETTES in build/palettes.h: 256 colours, little-endian words at
 * 12 and 15 bits. */
#define SOUND(name) {name, name##_bank},
static const struct asset sounds[] = {
#include "sounds.h"
};
#define PALETTE(name) {name, name##_bank},
static const struct asset palettes[] = {
#include "palettes.h"
};

unsigned int background;

void main(void) {
    unsigned char i;
    mapper = palettes[0].bank;
    background = palettes[0].data[0] | palettes[0].data[1] << 8;
    for (i = 0; i != sizeof sounds / sizeof sounds[0]; ++i) {
#ifdef SPLIT
        /* Selects the bank itself, and the banks after it for a sound bankplan cut. */
        play_sample_banked(sounds[i].bank, sounds[i].data);
#else
        mapper = sounds[i].bank;
        play_sample(sounds[i].data);
#endif
    }
    __asm
        di
        halt
    __endasm;
}
