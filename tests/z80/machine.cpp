#include "machine.h"

#include <z80ex/z80ex.h>

Machine::Machine(std::string rom) : rom_(std::move(rom)), ram_(0x4000, 0) {
    cpu_ = z80ex_create(
        [](Z80EX_CONTEXT* c, Z80EX_WORD a, int m1, void* s) { return read(c, a, m1, s); }, this,
        [](Z80EX_CONTEXT* c, Z80EX_WORD a, Z80EX_BYTE v, void* s) { write(c, a, v, s); }, this,
        [](Z80EX_CONTEXT* c, Z80EX_WORD p, void* s) { return port_in(c, p, s); }, this,
        [](Z80EX_CONTEXT* c, Z80EX_WORD p, Z80EX_BYTE v, void* s) { port_out(c, p, v, s); }, this,
        [](Z80EX_CONTEXT* c, void* s) { return int_read(c, s); }, this);
}

Machine::~Machine() {
    z80ex_destroy(static_cast<Z80EX_CONTEXT*>(cpu_));
}

bool Machine::run_until_halt(uint64_t max_tstates) {
    auto* cpu = static_cast<Z80EX_CONTEXT*>(cpu_);
    z80ex_reset(cpu);
    for (uint64_t t = 0; t < max_tstates;) {
        t += uint64_t(z80ex_step(cpu));
        if (z80ex_doing_halt(cpu)) return true;
    }
    return false;
}

// Past the end of the image the bus floats high, as an erased or absent ROM reads.
uint8_t Machine::read(void*, uint16_t addr, int, void* self) {
    auto* m = static_cast<Machine*>(self);
    size_t at = addr < 0x8000   ? addr
                : addr < 0xC000 ? size_t(m->bank_) * 0x4000 + (addr - 0x8000)
                                : size_t(-1);
    if (at == size_t(-1)) return m->ram_[addr - 0xC000];
    return at < m->rom_.size() ? uint8_t(m->rom_[at]) : 0xFF;
}

void Machine::write(void*, uint16_t addr, uint8_t value, void* self) {
    auto* m = static_cast<Machine*>(self);
    if (addr == 0xFFFF) m->bank_ = value;
    if (addr >= 0xC000) m->ram_[addr - 0xC000] = value;
}

uint8_t Machine::port_in(void*, uint16_t, void*) {
    return 0xFF;
}

void Machine::port_out(void*, uint16_t port, uint8_t value, void* self) {
    static_cast<Machine*>(self)->ports_.push_back({uint8_t(port & 0xFF), value});
}

uint8_t Machine::int_read(void*, void*) {
    return 0xFF;
}
