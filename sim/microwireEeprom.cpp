#include "sim/microwireEeprom.h"

namespace sim::nic {

namespace {

constexpr unsigned kWords = 64;
constexpr unsigned kAddressBits = 6;
constexpr unsigned kDataBits = 16;

}  // namespace

void MicrowireEeprom::drive(bool chipSelect, bool clock, bool dataIn) {
    if (!chipSelect_ && chipSelect) {
        busyStartSeen_ = false;
        state_ = statusPending_ ? State::Status : State::WaitStart;
    } else if (chipSelect_ && !chipSelect) {
        deselect();
    } else if (chipSelect && !clock_ && clock) {
        risingEdge(dataIn_);
    }
    chipSelect_ = chipSelect;
    clock_ = clock;
    dataIn_ = dataIn;
}

bool MicrowireEeprom::dataOut() {
    switch (state_) {
    case State::Reading:
        return outputBit_ >= 0 && (cells_.word(address_) >> (15 - outputBit_) & 1) != 0;
    case State::Status:
        return !busy();
    default:
        return false;
    }
}

void MicrowireEeprom::risingEdge(bool bit) {
    switch (state_) {
    case State::Status:
        if (!bit) {
            break;
        }
        if (busy()) {
            if (!busyStartSeen_) {
                busyStartSeen_ = true;
                recordOperation("instruction ignored: busy");
            }
            break;
        }
        statusPending_ = false;
        [[fallthrough]];
    case State::WaitStart:
        if (bit) {
            state_ = State::Opcode;
            bits_ = opcode_ = address_ = data_ = 0;
            program_ = Program::None;
        }
        break;
    case State::Opcode:
        opcode_ = opcode_ << 1 | bit;
        if (++bits_ == 2) {
            bits_ = 0;
            state_ = State::Address;
        }
        break;
    case State::Address:
        address_ = address_ << 1 | bit;
        if (++bits_ == kAddressBits) {
            bits_ = 0;
            decode();
        }
        break;
    case State::Reading:
        if (++outputBit_ == static_cast<int>(kDataBits)) {
            outputBit_ = 0;
            address_ = (address_ + 1) % kWords;
            ++stats().eepromReads;
            recordOperation("READ " + hexByte(address_));
        }
        break;
    case State::Data:
        data_ = static_cast<uint16_t>(data_ << 1 | bit);
        if (++bits_ == kDataBits) {
            state_ = State::Complete;
        }
        break;
    case State::Complete:
        ++stats().ignoredWrites;
        recordOperation(programText() + " ignored: clocked past its last bit");
        state_ = State::Done;
        break;
    case State::Deselected:
    case State::Done:
        break;
    }
}

void MicrowireEeprom::decode() {
    switch (opcode_) {
    case 2:
        state_ = State::Reading;
        outputBit_ = -1;
        ++stats().eepromReads;
        recordOperation("READ " + hexByte(address_));
        return;
    case 1:
        program_ = Program::Write;
        state_ = State::Data;
        return;
    case 3:
        program_ = Program::Erase;
        state_ = State::Complete;
        return;
    default:
        break;
    }
    switch (address_ >> 4) {
    case 3:
        setWriteEnable(true);
        state_ = State::Done;
        break;
    case 0:
        setWriteEnable(false);
        state_ = State::Done;
        break;
    case 2:
        program_ = Program::EraseAll;
        state_ = State::Complete;
        break;
    default:
        program_ = Program::WriteAll;
        state_ = State::Data;
        break;
    }
}

void MicrowireEeprom::deselect() {
    if (state_ == State::Complete) {
        startCycle();
    } else if (state_ == State::Opcode || state_ == State::Address || state_ == State::Data) {
        recordOperation("instruction cut short: " + std::to_string(bits_) + " bits");
    }
    state_ = State::Deselected;
}

std::string MicrowireEeprom::programText() const {
    switch (program_) {
    case Program::Write:
        return "WRITE " + hexByte(address_) + "=" + hexWord(data_);
    case Program::Erase:
        return "ERASE " + hexByte(address_);
    case Program::EraseAll:
        return "ERAL";
    case Program::WriteAll:
        return "WRAL " + hexWord(data_);
    case Program::None:
        break;
    }
    return "";
}

void MicrowireEeprom::startCycle() {
    std::string text = programText();
    if (!writeEnabled_) {
        ++stats().ignoredWrites;
        recordOperation(text + " ignored: write disabled");
        return;
    }
    statusPending_ = true;
    inCycle_ = true;
    cycleEnd_ = busTime() + activeTiming().microwireWriteCycle;
    hung_ = hangs(activeFault());
    if (hung_) {
        ++stats().ignoredWrites;
        recordOperation(text + " ignored: the write cycle never ends");
        return;
    }
    switch (program_) {
    case Program::Write:
    case Program::Erase:
        cells_.setWord(address_, program_ == Program::Write ? data_ : 0xFFFF);
        ++stats().eepromWrites;
        break;
    case Program::EraseAll:
    case Program::WriteAll:
        for (unsigned word = 0; word < kWords; ++word) {
            cells_.setWord(word, program_ == Program::WriteAll ? data_ : 0xFFFF);
        }
        stats().eepromWrites += kWords;
        break;
    case Program::None:
        break;
    }
    recordOperation(text);
}

bool MicrowireEeprom::busy() {
    if (!inCycle_) {
        return false;
    }
    if (hung_ ? !hangs(activeFault()) : busTime() >= cycleEnd_) {
        // A cycle held by a fault ends, unprogrammed, when the fault goes.
        inCycle_ = hung_ = false;
    }
    return inCycle_;
}

uint16_t MicrowireEeprom::readWord(unsigned address) {
    address %= kWords;
    ++stats().eepromReads;
    recordOperation("READ " + hexByte(address));
    return cells_.word(address);
}

bool MicrowireEeprom::writeWord(unsigned address, uint16_t value) {
    address %= kWords;
    std::string text = "WRITE " + hexByte(address) + "=" + hexWord(value);
    if (!writeEnabled_) {
        ++stats().ignoredWrites;
        recordOperation(text + " ignored: write disabled");
        return false;
    }
    cells_.setWord(address, value);
    ++stats().eepromWrites;
    recordOperation(text);
    return true;
}

void MicrowireEeprom::setWriteEnable(bool enabled) {
    writeEnabled_ = enabled;
    recordOperation(enabled ? "EWEN" : "EWDS");
}

}  // namespace sim::nic
