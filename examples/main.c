/* The starter project's program. It writes the first palette into the video chip's colour
 * memory (on a machine that has one) and plays each packed sound once through the player, each
 * through its bank (through its banks, with SPLIT, for a sound larger than one), then stops the
 * CPU for good: interrupts off and HALT, where an emulator can tell it has finished. banks.h,
 * written by bankplan, names every asset (by its file name), its size and its bank; machine.h,
 * written by the Makefile from the machine's row, its mapper's register and colour memory. */
#include "banks.h"
#include "machine.h"
#include "player.h"

/* The mapper's register: the bank written here shows in the window from 0x8000 to 0xBFFF. */
volatile __at(MACHINE_MAPPER_REGISTER) unsigned char mapper;

struct asset {
    const unsigned char *data;
    unsigned int size;
    unsigned char bank;
};

/* The packed sounds, named by the Makefile's SOUNDS in build/sounds.h: block count, then 16-byte
 * blocks; the palettes, by its PALETTES in build/palettes.h: the colour memory's bytes, as
 * palprep --pack wrote them for the machine (256 colours by palpack on a machine without one). */
#define SOUND(name) {name, name##_size, name##_bank},
static const struct asset sounds[] = {
#include "sounds.h"
};
#define PALETTE(name) {name, name##_size, name##_bank},
static const struct asset palettes[] = {
#include "palettes.h"
};

#if MACHINE_COLOURS
/* The video chip: two bytes to its control port choose the colour memory's first entry, then its
 * data port takes the entries' bytes in turn. */
__sfr __at(MACHINE_COLOUR_CONTROL) video_control;
__sfr __at(MACHINE_COLOUR_DATA) video_data;

static void load_colours(const struct asset *palette) {
    const unsigned char *p = palette->data;
    unsigned int n = palette->size;
    mapper = palette->bank;
    video_control = MACHINE_COLOUR_SETUP & 0xFF;
    video_control = MACHINE_COLOUR_SETUP >> 8;
    while (n--) video_data = *p++;
}
#else
unsigned int background;
#endif

void main(void) {
    unsigned int i; /* any number of sounds, more than 255 too */
#if MACHINE_COLOURS
    load_colours(&palettes[0]);
#else
    /* No colour memory: the first colour read, where a program would hand it on. */
    mapper = palettes[0].bank;
    background = palettes[0].data[0] | palettes[0].data[1] << 8;
#endif
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
