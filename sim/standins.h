// The stand-in device programs: small shell scripts that take the place of
// the thin client's own programs inside a simulated root.
#pragma once

#include <string>
#include <vector>

namespace sim {

// One program of the device. Every stand-in first appends "logName ARGS" to
// /var/log/device-programs.log and reads its exit code from the knob
// /etc/sim/logName.exit into SIM_EXIT; then its body runs and, when the body
// does not exit itself, the script exits with SIM_EXIT. The body may use
// SIM_ROOT (the device root as seen by the script: "" inside the device),
// SIM_KNOBS (the knob directory), sim_run (runs a device program inside the
// device) and sim_set_root_mode (rw or ro on "/" in /proc/mounts).
struct StandIn {
    const char *devicePath;
    const char *logName;
    const char *body;  // nullptr: nothing but the log line and the exit code
};

const std::vector<StandIn> &standIns();
// The complete script for one stand-in.
std::string standInScript(const StandIn &standIn);
// Writes (or refreshes) every stand-in under root.
bool installStandIns(const std::string &root, std::string *error);

}  // namespace sim
