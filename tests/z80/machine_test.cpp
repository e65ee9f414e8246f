// The emulated machine itself: port writes at their T-states, the stops, and the bank mapper.
#ifdef ASSETKIT_HAVE_Z80EX
#include "tests/z80/machine.h"

#include <gtest/gtest.h>

namespace {

// A program that reads the bank window before and after choosing banks, writing what it reads
// to port 0x10, then tries to write to the window and reads back the mapper's byte in RAM.
const std::string banked_program = {
    '\xF3',                 // di
    '\x3A', '\x00', '\x80', // ld a,(0x8000)
    '\xD3', '\x10',         // out (0x10),a
    '\x00',                 // nop
    '\xD3', '\x10',         // out (0x10),a: 15 T-states after the last
    '\x3E', '\x03',         // ld a,#3
    '\x32', '\xFF', '\xFF', // ld (0xFFFF),a
    '\x3A', '\x00', '\x80', // ld a,(0x8000)
    '\xD3', '\x10',         // out (0x10),a
    '\x3E', '\x05',         // ld a,#5: bank 1 of 4
    '\x32', '\xFF', '\xFF', // ld (0xFFFF),a
    '\x3A', '\x23', '\xBF', // ld a,(0xBF23)
    '\xD3', '\x10',         // out (0x10),a
    '\x32', '\x00', '\x80', // ld (0x8000),a: ROM, ignored
    '\x3A', '\x00', '\x80', // ld a,(0x8000)
    '\xD3', '\x10',         // out (0x10),a
    '\x3A', '\xFF', '\xFF', // ld a,(0xFFFF)
    '\xD3', '\x10',         // out (0x10),a
    '\x76',                 // halt
};

TEST(Z80Machine, BankMapperShowsTheBankLastWrittenTo0xFFFF) {
    // Four banks, each filled with its number times 0x11, the program at the start of bank 0.
    std::string rom;
    for (int bank = 0; bank < 4; ++bank) rom += std::string(0x4000, char(bank * 0x11));
    rom.replace(0, banked_program.size(), banked_program);
    z80::Machine m;
    m.use_banks(rom);
    EXPECT_EQ(m.bank(), 2);
    ASSERT_EQ(m.run(100000), z80::Stop::halted);
    EXPECT_EQ(m.bank(), 1);
    std::vector<int> seen;
    for (const z80::PortWrite& w : m.writes()) {
        EXPECT_EQ(w.port & 0xFF, 0x10);
        seen.push_back(w.value);
    }
    EXPECT_EQ(seen, (std::vector<int>{0x22, 0x22, 0x33, 0x11, 0x11, 5}));
    ASSERT_GE(m.writes().size(), 2u);
    EXPECT_EQ(m.writes()[1].t - m.writes()[0].t, 15u);
}

TEST(Z80Machine, WithoutTheMapperAllIsRam) {
    z80::Machine m;
    m.load(0, banked_program);
    m.load(0x8000, "\x42");
    m.load(0xBF23, "\x43");
    EXPECT_EQ(m.bank(), -1);
    ASSERT_EQ(m.run(100000), z80::Stop::halted);
    std::vector<int> seen;
    for (const z80::PortWrite& w : m.writes()) seen.push_back(w.value);
    EXPECT_EQ(seen, (std::vector<int>{0x42, 0x42, 0x42, 0x43, 0x43, 5}));
}

// A program that never halts ends at the limit instead of hanging the test.
TEST(Z80Machine, StopsAtTheLimit) {
    z80::Machine m;
    m.load(0, std::string("\xF3\x18\xFE", 3)); // di; jr .
    EXPECT_EQ(m.run(1000), z80::Stop::limit);
    EXPECT_GE(m.t(), 1000u);
    EXPECT_LT(m.t(), 1020u);
    EXPECT_FALSE(m.interrupts_enabled());
}

// A board's wait states: one more T-state on every M1 cycle, each prefix's too, none on the other
// reads. Each instruction between two writes of port 0x10.
TEST(Z80Board, WaitStatesOnEveryM1Cycle) {
    struct Row {
        const char* name;
        std::string code;
        uint64_t t;  // without wait states
        uint64_t m1; // its M1 cycles
    } rows[] = {
        {"nop", {'\x00'}, 4, 1},
        {"ld a,(0x8000)", {'\x3A', '\x00', '\x80'}, 13, 1},
        {"ld ix,0", {'\xDD', '\x21', '\x00', '\x00'}, 14, 2},
        {"ld a,(ix+0)", {'\xDD', '\x7E', '\x00'}, 19, 2},
        {"rlc b", {'\xCB', '\x00'}, 8, 2},
        {"neg", {'\xED', '\x44'}, 8, 2},
        {"ldir of 1 byte",
         {'\x01', '\x01', '\x00', '\x21', '\x00', '\x00', '\x11', '\x00', '\xC0', '\xED', '\xB0'},
         10 + 10 + 10 + 16,
         5},
    };
    for (int waits : {0, 1}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(row.name) + ", " + std::to_string(waits) + " wait states");
            std::string rom = "\xF3\xD3\x10" + row.code + "\xD3\x10\x76";
            z80::Board board;
            board.m1_waits = waits;
            z80::Machine m;
            m.use_board(board, rom);
            ASSERT_EQ(m.run(1000), z80::Stop::halted);
            ASSERT_EQ(m.writes().size(), 2u);
            // The second out's own M1 cycle falls between the writes too.
            EXPECT_EQ(m.writes()[1].t - m.writes()[0].t, row.t + 11 + waits * (row.m1 + 1));
            EXPECT_TRUE(m.faults().empty()) << m.faults().front();
        }
    }
}

// The three-register mapper: a bank selected by `ld (register),a` is no fault; a push onto the
// registers, a write to them through HL, to the RAM under them, or code from the window is.
TEST(Z80Board, ThreeRegisterMapperFaults) {
    z80::Board board;
    board.mapper = z80::Mapper::three_register;
    board.mapper_register = 0xFFFF;
    board.never_write = {{0xDFFC, 0xDFFF}, {0xFFFC, 0xFFFE}};
    struct Row {
        const char* name;
        std::string code;
        int faults; // a write to a register never written counts twice: both rules break
        int bank;   // at 0x8000 afterwards; -1: any
    } rows[] = {
        {"ld (0xFFFF),a", {'\x3E', '\x03', '\x32', '\xFF', '\xFF'}, 0, 3},
        {"push at 0x0000", {'\x31', '\x00', '\x00', '\xF5'}, 3, -1},
        {"ld (hl),a at 0xFFFF", {'\x3E', '\x01', '\x21', '\xFF', '\xFF', '\x77'}, 1, 1},
        {"ld (0xDFFF),a", {'\x32', '\xFF', '\xDF'}, 1, 2},
        {"ld (0xFFFC),a", {'\x3E', '\x08', '\x32', '\xFC', '\xFF'}, 2, 2},
        {"ld (0x1000),a", {'\x32', '\x00', '\x10'}, 1, 2},
        {"ld (0xC000),a", {'\x32', '\x00', '\xC0'}, 0, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string rom(4 * 0x4000, '\x76'); // halt everywhere, the window's banks included
        rom.replace(0, 1, "\xF3");
        rom.replace(1, row.code.size(), row.code);
        z80::Machine m;
        m.use_board(board, rom);
        ASSERT_EQ(m.run(1000), z80::Stop::halted);
        EXPECT_EQ(int(m.faults().size()), row.faults);
        if (row.bank >= 0) {
            EXPECT_EQ(m.bank(), row.bank);
        }
    }
    // RAM 8 KB, seen again at 0xE000.
    std::string rom(0x8000, '\0');
    rom.replace(0, 10, "\xF3\x3E\x5A\x32\x10\xC0\x3A\x10\xE0\xD3", 10);
    rom.replace(10, 2, "\x10\x76", 2); // di; ld (0xC010),a; ld a,(0xE010); out (0x10),a; halt
    z80::Machine m;
    m.use_board(board, rom);
    ASSERT_EQ(m.run(1000), z80::Stop::halted);
    ASSERT_EQ(m.writes().size(), 1u);
    EXPECT_EQ(m.writes()[0].value, 0x5A);
    // Code from the bank window.
    std::string jump(4 * 0x4000, '\x76');
    jump.replace(0, 4, "\xF3\xC3\x00\x80", 4);
    z80::Machine window;
    window.use_board(board, jump);
    ASSERT_EQ(window.run(1000), z80::Stop::halted);
    EXPECT_EQ(window.faults().size(), 1u);
}

// The two-window board's firmware: it calls INIT with the cartridge at 0x4000 alone; RSLREG reads
// the slots; after ENASLT of the cartridge's slot at 0x8000 the window shows bank 0 of the
// cartridge, and 0x7000 selects another; in a primary slot or in an expanded one, whose table
// entries the firmware sets. A cartridge without its header is never called.
TEST(Z80Board, FirmwareCallsInitAndSelectsSlots) {
    struct Row {
        uint8_t slot;     // the cartridge's, as ENASLT takes it
        uint8_t primary;  // what RSLREG reads at INIT
        uint8_t expanded; // the expanded-slot table's entry for its primary slot
    } rows[] = {{0x01, 0xF4, 0x00}, {0x02, 0xF8, 0x00}, {0x86, 0xF8, 0x80}};
    for (const Row& row : rows) {
        SCOPED_TRACE(int(row.slot));
        z80::Board board;
        board.mapper = z80::Mapper::two_window;
        board.mapper_register = 0x7000;
        board.cartridge_slot = row.slot;
        std::string rom(4 * 0x4000, '\0');
        for (int bank = 0; bank < 4; ++bank) rom[size_t(bank) * 0x4000 + 0x100] = char(0x10 + bank);
        const uint16_t table = z80::exptbl + (row.slot & 3);
        const std::string init = {
            '\xCD',           '\x38',
            '\x01',                   // call RSLREG
            '\xD3',           '\x10', // out (0x10),a
            '\x3A',           char(table & 0xFF),
            char(table >> 8),         // ld a,(EXPTBL + primary)
            '\xD3',           '\x10', // out (0x10),a
            '\x3A',           '\x00',
            '\x81',                           // ld a,(0x8100): RAM, 0
            '\xD3',           '\x10',         // out (0x10),a
            '\x3E',           char(row.slot), // ld a,#slot
            '\x26',           '\x80',         // ld h,#0x80
            '\xCD',           '\x24',
            '\x00', // call ENASLT
            '\x3A',           '\x00',
            '\x81',                   // ld a,(0x8100): bank 0
            '\xD3',           '\x10', // out (0x10),a
            '\x3E',           '\x03', // ld a,#3
            '\x32',           '\x00',
            '\x70', // ld (0x7000),a
            '\x3A',           '\x00',
            '\x81',                   // ld a,(0x8100): bank 3
            '\xD3',           '\x10', // out (0x10),a
            '\x76',                   // halt
        };
        rom.replace(0, 4, "AB\x10\x40", 4);
        rom.replace(0x10, init.size(), init);
        z80::Machine m;
        m.use_board(board, rom);
        ASSERT_EQ(m.run(10000), z80::Stop::halted);
        for (const std::string& fault : m.faults()) ADD_FAILURE() << fault;
        std::vector<int> seen;
        for (const z80::PortWrite& w : m.writes())
            if ((w.port & 0xFF) == 0x10) seen.push_back(w.value);
        EXPECT_EQ(seen, (std::vector<int>{row.primary, row.expanded, 0x00, 0x10, 0x13}));
        EXPECT_FALSE(m.interrupts_enabled());

        rom.replace(0, 2, "BA");
        z80::Machine headless;
        headless.use_board(board, rom);
        ASSERT_EQ(headless.run(10000), z80::Stop::halted);
        EXPECT_EQ(headless.writes().size(), 1u) << "the firmware's slot setting alone";
    }
}

// The colour memory through each video chip's ports.
TEST(Z80Board, ColourMemoryThroughTheVideoPorts) {
    struct Row {
        const char* name;
        z80::Video video;
        uint8_t control, data;
        std::string code; // outs
        std::vector<uint8_t> colours;
    } rows[] = {
        {"address",
         z80::Video::address,
         0xBF,
         0xBE,
         {'\x3E', '\x01', '\xD3', '\xBF', '\x3E', '\xC0', '\xD3', '\xBF', '\x3E', '\x2A', '\xD3',
          '\xBE', '\xD3', '\xBE'},
         {0, 0x2A, 0x2A, 0}},
        {"address, VRAM",
         z80::Video::address,
         0xBF,
         0xBE,
         {'\x3E', '\x01', '\xD3', '\xBF', '\x3E', '\x40', '\xD3', '\xBF', '\x3E', '\x2A', '\xD3',
          '\xBE'},
         {0, 0, 0, 0}},
        {"register16",
         z80::Video::register16,
         0x99,
         0x9A,
         {'\x3E', '\x01', '\xD3', '\x99', '\x3E', '\x90', '\xD3', '\x99', '\x3E', '\x71', '\xD3',
          '\x9A', '\x3E', '\x07', '\xD3', '\x9A'},
         {0, 0, 0x71, 0x07}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        z80::Board board;
        board.video = row.video;
        board.colour_control = row.control;
        board.colour_data = row.data;
        board.colour_bytes = 4;
        z80::Machine m;
        m.use_board(board, "\xF3" + row.code + "\x76");
        ASSERT_EQ(m.run(1000), z80::Stop::halted);
        EXPECT_EQ(m.colour_memory(), row.colours);
    }
}

// A program of outs: ld a,n then out (port),a for each byte.
struct Outs {
    std::string code = "\xF3";
    void out(uint8_t port, uint8_t value) { code += {'\x3E', char(value), '\xD3', char(port)}; }
    void setup(unsigned word) { // the video chip's control port: low byte, then high
        out(0xBF, uint8_t(word));
        out(0xBF, uint8_t(word >> 8));
    }
    void reg(int r, uint8_t value) { setup(0x8000u | unsigned(r) << 8 | value); }
};

// The screen the video chip shows in mode 4, from its registers, video memory and colour memory
// as a program writes them: each map entry's tile (its ninth bit too), flips and sub-palette;
// the name table where register 2 puts it; 6- and 12-bit colours; the border colour while the
// display is off.
TEST(Z80Board, ScreenOfTilesThroughTheVideoPorts) {
    struct Row {
        const char* name;
        int depth;
        uint8_t register1, register2;
        unsigned entry; // the map entry at tile (1, 2)
        // What the tile's pixels (0,0), (7,0) and (0,7) show: colour memory entries.
        int top_left, top_right, bottom_left;
    } rows[] = {
        {"as stored", 6, 0x40, 0xFF, 0x0001, 1, 2, 3},
        {"mirrored left-right", 6, 0x40, 0xFF, 0x0201, 2, 1, 0},
        {"mirrored top-bottom", 6, 0x40, 0xFF, 0x0401, 3, 0, 1},
        {"second sub-palette", 6, 0x40, 0xFF, 0x0801, 17, 18, 19},
        {"tile 257, the ninth bit", 6, 0x40, 0xFF, 0x0101, 4, 0, 0},
        {"name table at 0x3000", 6, 0x40, 0xFD, 0x0001, 1, 2, 3},
        {"12-bit colour", 12, 0x40, 0xFF, 0x0001, 1, 2, 3},
        {"display off", 6, 0x00, 0xFF, 0x0001, 16 + 5, 16 + 5, 16 + 5},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const size_t bytes = row.depth == 12 ? 2 : 1;
        Outs p;
        p.reg(0, 0x04);
        p.reg(2, row.register2);
        p.reg(5, 0xFF);
        p.reg(7, 0x05);
        // Tile 1: pixel (0,0) colour 1, (7,0) colour 2, (0,7) colour 3; tile 257: (0,0) colour 4.
        p.setup(0x4000 | 32);
        for (int i = 0; i < 32; ++i)
            p.out(0xBE, i == 0 || i == 28 || i == 29 ? 0x80 : i == 1 ? 0x01 : 0);
        p.setup(0x4000 | (257 * 32 + 2));
        p.out(0xBE, 0x80);
        const unsigned names = (row.register2 & 0x0E) << 10;
        p.setup(0x4000 | (names + (2 * 32 + 1) * 2));
        p.out(0xBE, uint8_t(row.entry));
        p.out(0xBE, uint8_t(row.entry >> 8));
        p.setup(0x3F00 | 0x4000);
        p.out(0xBE, 0xD0);
        p.setup(0xC000);
        for (size_t i = 0; i < 32 * bytes; ++i) p.out(0xBE, uint8_t(i * 7 + 3));
        p.reg(1, row.register1);
        p.code += '\x76';
        z80::Board board;
        board.video = z80::Video::address;
        board.colour_control = 0xBF;
        board.colour_data = 0xBE;
        board.colour_bytes = 32 * bytes;
        board.colour_depth = row.depth;
        z80::Machine m;
        m.use_board(board, p.code);
        ASSERT_EQ(m.run(100000), z80::Stop::halted);
        const std::string screen = m.screen();
        for (const std::string& fault : m.faults()) ADD_FAILURE() << fault;
        ASSERT_EQ(screen.size(), 256u * 192 * 3);
        // Colour memory entry n as RGB: 00BBGGRR, or GGGGRRRR then 0000BBBB.
        auto rgb = [&](int n) {
            if (row.depth == 12) {
                const unsigned low = (n * 2 * 7 + 3) & 0xFF, high = ((n * 2 + 1) * 7 + 3) & 0xFF;
                return std::string{char((low & 15) * 17), char((low >> 4) * 17),
                                   char((high & 15) * 17)};
            }
            const unsigned c = (n * 7 + 3) & 0xFF;
            return std::string{char((c & 3) * 85), char((c >> 2 & 3) * 85),
                               char((c >> 4 & 3) * 85)};
        };
        auto at = [&](int x, int y) { return screen.substr(size_t(y * 256 + x) * 3, 3); };
        EXPECT_EQ(at(8, 16), rgb(row.top_left));
        EXPECT_EQ(at(15, 16), rgb(row.top_right));
        EXPECT_EQ(at(8, 23), rgb(row.bottom_left));
        // Every other tile is tile 0, all colour 0 (the border's while the display is off).
        EXPECT_EQ(at(0, 0), rgb(row.register1 ? 0 : 21));
        EXPECT_EQ(at(255, 191), rgb(row.register1 ? 0 : 21));
    }
}

// The 16-colour bitmap mode, as a program writes it through the ports: two pixels a byte, the
// left in the high nibble, 128 bytes a line; register 14 the address's high bits; 9-bit colours;
// the border colour while the display is off.
TEST(Z80Board, BitmapScreenThroughTheVideoPorts) {
    for (bool on : {true, false}) {
        SCOPED_TRACE(on ? "display on" : "display off");
        std::string code = "\xF3";
        auto out = [&](uint8_t port, uint8_t value) {
            code += {'\x3E', char(value), '\xD3', char(port)};
        };
        auto reg = [&](int r, uint8_t value) {
            out(0x99, value);
            out(0x99, uint8_t(0x80 | r));
        };
        reg(0, 0x06);
        reg(2, 0x1F);
        reg(7, 0x02);
        reg(8, 0x0A);
        out(0x99, 0x81); // 129: line 1, pixels 2 and 3
        out(0x99, 0x40);
        out(0x98, 0x12);
        reg(14, 1); // 0x4000: line 128
        out(0x99, 0x00);
        out(0x99, 0x40);
        out(0x98, 0x20);
        reg(16, 0); // entries 0, 1 and 2: black, red 7, green 2 and blue 5
        for (uint8_t b : {0x00, 0x00, 0x70, 0x00, 0x05, 0x02}) out(0x9A, b);
        reg(1, on ? 0x40 : 0x00);
        code += '\x76';
        z80::Board board;
        board.video = z80::Video::register16;
        board.colour_control = 0x99;
        board.colour_data = 0x9A;
        board.video_data = 0x98;
        board.colour_bytes = 32;
        z80::Machine m;
        m.use_board(board, code);
        ASSERT_EQ(m.run(100000), z80::Stop::halted);
        const std::string screen = m.screen();
        for (const std::string& fault : m.faults()) ADD_FAILURE() << fault;
        ASSERT_EQ(screen.size(), 256u * 192 * 3);
        auto at = [&](int x, int y) { return screen.substr(size_t(y * 256 + x) * 3, 3); };
        const std::string black(3, '\0'), red = {'\xFF', 0, 0}, other = {0, 73, char(182)};
        EXPECT_EQ(at(2, 1), on ? red : other);
        EXPECT_EQ(at(3, 1), other);
        EXPECT_EQ(at(0, 128), other);
        EXPECT_EQ(at(1, 128), on ? black : other);
        EXPECT_EQ(at(4, 1), on ? black : other);
    }
}

} // namespace
#endif
