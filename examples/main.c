/* The starter project's program. It reads the block count in front of the packed sound and the
 * first colour of the palette, each through its bank: a real program would hand the one to its
 * sound player and the other to its video chip. banks.h, written by bankplan, names every asset
 * (by its file name), its size and its bank. */
#include "banks.h"

/* The mapper's register: the bank written here shows in the window from 0x8000 to 0xBFFF. */
volatile __at 0xFFFF unsigned char mapper;

unsigned int blocks;
unsigned int background;

void main(void) {
    /* The packed sound: block count, then 16-byte blocks. Each byte of the block count is one
     * more than its value. */
    mapper = hello_bank;
    blocks = (unsigned char)(hello[0] - 1) | (unsigned char)(hello[1] - 1) << 8;
    /* The palette: 256 colours of 15 bits, little-endian words. */
    mapper = pastel16_bank;
    background = pastel16[0] | pastel16[1] << 8;
}
