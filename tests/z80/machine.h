#pragma once
// A Z80 machine for tests, on libz80ex: a ROM image, its first 32 KB at 0x0000, a 16 KB mapper
// whose register at 0xFFFF selects the ROM bank seen in the window at 0x8000-0xBFFF, RAM from
// 0xC000 (the register's address is RAM too), and a log of the writes to I/O ports.

#include <cstdint>
#include <string>
#include <vector>

struct PortWrite {
    uint8_t port;
    uint8_t value;
};

class Machine {
  public:
    explicit Machine(std::string rom);
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    // Runs from reset until the processor halts, or for at most max_tstates; true when it halted.
    bool run_until_halt(uint64_t max_tstates);

    const std::vector<PortWrite>& port_writes() const { return ports_; }
    int bank() const { return bank_; }

  private:
    static uint8_t read(void* cpu, uint16_t addr, int m1, void* self);
    static void write(void* cpu, uint16_t addr, uint8_t value, void* self);
    static uint8_t port_in(void* cpu, uint16_t port, void* self);
    static void port_out(void* cpu, uint16_t port, uint8_t value, void* self);
    static uint8_t int_read(void* cpu, void* self);

    std::string rom_;
    std::vector<uint8_t> ram_;
    int bank_ = 2;
    std::vector<PortWrite> ports_;
    void* cpu_ = nullptr;
};
