// A 93C46 Microwire serial EEPROM in its 64 x 16 organisation, at its pins:
// chip select (CS), serial clock (SK), data in (DI) and data out (DO).
//
// An instruction is a start bit (the first 1 clocked in while selected;
// zeros before it are ignored), a 2-bit opcode and a 6-bit address, most
// significant bit first, each bit taken at a rising SK edge:
//   10 AAAAAA          READ: DO shows a dummy 0 after the last address bit,
//                      then D15..D0, one bit per rising edge; clocking on
//                      reads the following words
//   01 AAAAAA D15..D0  WRITE
//   11 AAAAAA          ERASE (word to 0xFFFF)
//   00 11xxxx          EWEN (write enable)    00 00xxxx  EWDS (write disable)
//   00 10xxxx          ERAL (all to 0xFFFF)   00 01xxxx D15..D0  WRAL
// WRITE, ERASE, ERAL and WRAL are carried out only while write-enabled (off
// at power-on) and only when CS falls right after their last bit; a further
// clock edge before that cancels them. The falling CS starts the self-timed
// programming cycle: selected again, the part shows busy (0) and then ready
// (1) on DO until the next start bit, and ignores instructions while busy.
// Elsewhere DO floats, which reads as 0 on this board.
#pragma once

#include <cstdint>
#include <string>

#include "sim/nicModelState.h"

namespace sim::nic {

class MicrowireEeprom {
public:
    explicit MicrowireEeprom(EepromImage &cells) : cells_(cells) {}

    // The input pins as they stand now. DI is taken at a rising SK edge as it
    // stood before the edge (the data must be set up first); an SK edge in
    // the same change that raises or drops CS is not seen.
    void drive(bool chipSelect, bool clock, bool dataIn);
    bool dataOut();

    // Word access for a controller's own EEPROM engine.
    uint16_t readWord(unsigned address);
    // False (nothing changed) unless write-enabled.
    bool writeWord(unsigned address, uint16_t value);
    void setWriteEnable(bool enabled);

private:
    enum class State { Deselected, WaitStart, Status, Opcode, Address, Reading, Data, Complete, Done };
    enum class Program { None, Write, Erase, EraseAll, WriteAll };

    void risingEdge(bool bit);
    void decode();
    void deselect();
    void startCycle();
    bool busy();
    std::string programText() const;

    EepromImage &cells_;
    bool chipSelect_ = false;
    bool clock_ = false;
    bool dataIn_ = false;
    State state_ = State::Deselected;
    unsigned bits_ = 0;
    unsigned opcode_ = 0;
    unsigned address_ = 0;
    uint16_t data_ = 0;
    int outputBit_ = -1;  // -1: the dummy zero
    Program program_ = Program::None;
    bool writeEnabled_ = false;
    bool busyStartSeen_ = false;
    // The programming cycle; its status shows on DO until a start bit.
    bool statusPending_ = false;
    bool inCycle_ = false;
    bool hung_ = false;
    unsigned long cycleEnd_ = 0;
};

}  // namespace sim::nic
