// The process's I/O privilege level: x86 port access from user space needs
// level 3. The EEPROM layer raises it for a transfer and leaves it there, so
// that the family operations the transfer dispatches to (and the host after
// it) find the ports open, as the device's agent expects; the JMicron's
// operations raise it themselves and close the ports (level 1) when done.
#pragma once

namespace eeprom {

class IoPrivilegeScope {
public:
    enum class OnExit { StayRaised, ClosePorts };

    explicit IoPrivilegeScope(OnExit onExit);
    ~IoPrivilegeScope();
    IoPrivilegeScope(const IoPrivilegeScope &) = delete;
    IoPrivilegeScope &operator=(const IoPrivilegeScope &) = delete;

    // Whether the ports were opened (the failure is logged).
    bool raised() const { return raised_; }

    static constexpr int kPortsOpen = 3;
    static constexpr int kPortsClosed = 1;

private:
    OnExit onExit_;
    bool raised_;
};

}  // namespace eeprom
