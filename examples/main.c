/* The starter project's program. It reads the block count in front of the packed sound and the
 * first colour of the palette: a real program would hand the one to its sound player and the
 * other to its video chip. */
extern const unsigned char hello[];   /* the packed sound: block count, then 16-byte blocks */
extern const unsigned char PALETTE[]; /* 256 colours of 15 bits, little-endian words */

unsigned int blocks;
unsigned int background;

void main(void) {
    /* Each byte of the block count is one more than its value. */
    blocks = (unsigned char)(hello[0] - 1) | (unsigned char)(hello[1] - 1) << 8;
    background = PALETTE[0] | PALETTE[1] << 8;
}
