/* The starter project's program. On a machine whose video chip shows pictures it shows the
 * picture: its tiles and map (or its bitmap) into video memory, its sub-palettes into colour
 * memory, then the display on; elsewhere it writes the first palette into the video chip's colour
 * memory (on a machine that has one). Then it plays each packed sound once through the player,
 * each through its bank (through its banks, with SPLIT, for a sound larger than one), then stops
 * the CPU for good: interrupts off and HALT, where an emulator can tell it has finished. banks.h,
 * written by bankplan, names every asset (by its file name), its size and its bank; machine.h,
 * written by the Makefile from the machine's row, its mapper's register and colour memory. */
#include "banks.h"
#include "machine.h"
#include "picture.h"
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

/* The control port's two bytes: setup's low byte, then its high byte. */
static void video_setup(unsigned int setup) {
    video_control = setup & 0xFF;
    video_control = setup >> 8;
}

/* Sends an asset's bytes from its bank to the data port, after setup. */
static void send(unsigned int setup, const struct asset *a) {
    const unsigned char *p = a->data;
    unsigned int n = a->size;
    mapper = a->bank;
    video_setup(setup);
    while (n--) video_data = *p++;
}

static void load_colours(const struct asset *palette) {
    send(MACHINE_COLOUR_SETUP, palette);
}
#else
unsigned int background;
#endif

#if defined PICTURE_MAP || defined PICTURE_BITMAP
#define NAMED_ASSET(name) {name, name##_size, name##_bank}
#define ASSET(name) NAMED_ASSET(name) /* name expanded first: PICTURE_MAP's map */
#define VIDEO_WRITE 0x4000            /* control bits 7-6 = 01: video memory from the address */
#define DISPLAY_ON 0x40               /* register 1 bit 6 */

/* A register of the video chip: its value, then 0x80 | its number, to the control port. */
static void video_register(unsigned char r, unsigned char value) {
    video_control = value;
    video_control = 0x80 | r;
}
#endif

#ifdef PICTURE_MAP
/* The picture, as tilepack wrote it for the machine: its tiles, its map of the whole screen and
 * its sub-palettes, the first at colour memory entry 0, the second at 16. */
static const struct asset picture[] = {
    ASSET(picture_tiles),
    ASSET(PICTURE_MAP),
    ASSET(picture_palettes),
};

/* The video chip's registers from 0: mode 4 (tiles of 4 bits), the display off while the memory
 * is written; the name table at 0x3800, the sprites' table at 0x3F00 and their patterns from
 * 0x0000; border colour entry 16; no scroll, no line interrupt. */
static const unsigned char video_registers[] = {0x04, 0x80, 0xFF, 0xFF, 0xFF, 0xFF,
                                                0xFB, 0x00, 0x00, 0x00, 0xFF};
#define SPRITES_END 0xD0 /* a sprite's Y that ends the sprites' table: none shown */

/* The video memory's bytes go to the colour memory's data port too on this chip. */
static void show_picture(void) {
    unsigned char r;
    for (r = 0; r != sizeof video_registers; ++r) video_register(r, video_registers[r]);
    send(VIDEO_WRITE | 0x0000, &picture[0]);
    send(VIDEO_WRITE | MACHINE_PICTURE_TABLE, &picture[1]);
    video_setup(VIDEO_WRITE | 0x3F00);
    video_data = SPRITES_END;
    send(MACHINE_COLOUR_SETUP, &picture[2]);
    video_register(1, video_registers[1] | DISPLAY_ON);
}
#elif defined PICTURE_BITMAP
/* The pictures, as tilepack wrote them for the machine: their pixels whole, two to a byte, one
 * after the other, and their palette. */
static const struct asset picture[] = {
    ASSET(picture_tiles),
    ASSET(picture_palettes),
};
__sfr __at(MACHINE_PICTURE_DATA) video_memory;

/* The video chip's registers, number and value: the 16-colour bitmap mode, the display off while
 * the memory is written; the bitmap from 0x00000; border colour 0; sprites off, 64 KB of video
 * memory; 192 lines; the address's bits 16-14 (register 14) zero; no vertical scroll. */
static const unsigned char video_registers[][2] = {{0, 0x06}, {1, 0x00}, {2, 0x1F},
                                                   {7, 0x00}, {8, 0x0A}, {9, 0x00},
                                                   {14, 0x00}, {23, 0x00}};

static void show_picture(void) {
    unsigned char r;
    const unsigned char *p = picture[0].data;
    unsigned int n = picture[0].size;
    for (r = 0; r != sizeof video_registers / sizeof video_registers[0]; ++r)
        video_register(video_registers[r][0], video_registers[r][1]);
    mapper = picture[0].bank;
    video_setup(VIDEO_WRITE | 0x0000);
    while (n--) video_memory = *p++;
    send(MACHINE_COLOUR_SETUP, &picture[1]);
    video_register(1, DISPLAY_ON);
}
#endif

void main(void) {
    unsigned int i; /* any number of sounds, more than 255 too */
#if defined PICTURE_MAP || defined PICTURE_BITMAP
    show_picture();
#elif MACHINE_COLOURS
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
