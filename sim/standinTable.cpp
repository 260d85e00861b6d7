// The device programs the simulated thin client stands in for. To add one,
// add a line here: its device path, the name it logs, and what it does after
// logging (nullptr when it only exits with its knob).
#include "sim/standins.h"

namespace sim {

namespace {

// sudo and su act only when their knob lets them; a refusing sudo or su runs
// nothing.
const char kSudo[] = R"(
[ "$SIM_EXIT" -eq 0 ] || exit "$SIM_EXIT"
if [ $# -eq 0 ]; then
    echo "usage: sudo COMMAND [ARGUMENT]..." >&2
    exit 1
fi
sim_run "$@"
)";

const char kSu[] = R"(
[ "$SIM_EXIT" -eq 0 ] || exit "$SIM_EXIT"
if [ $# -ne 2 ] || [ "$1" != "-c" ]; then
    echo "su: the device's su is used only as: su -c COMMAND" >&2
    exit 1
fi
sim_run /bin/sh -c "$2"
)";

const char kRw[] = R"(
[ "$SIM_EXIT" -eq 0 ] || exit "$SIM_EXIT"
sim_set_root_mode rw || exit 1
)";

const char kRo[] = R"(
[ "$SIM_EXIT" -eq 0 ] || exit "$SIM_EXIT"
sim_set_root_mode ro || exit 1
)";

// The lock dialog stays on screen until the agent kills it. With a knob set
// it exits at once, as a dialog that could not start.
const char kLockDialog[] = R"(
[ -f "$SIM_KNOBS/lockdlg.exit" ] && exit "$SIM_EXIT"
while :; do
    sleep 1
done
)";

}  // namespace

const std::vector<StandIn> &standIns() {
    static const std::vector<StandIn> table = {
        {"/usr/bin/sudo", "sudo", kSudo},
        {"/sbin/sudo", "sudo", kSudo},
        {"/bin/su", "su", kSu},
        {"/sbin/rw", "rw", kRw},
        {"/sbin/ro", "ro", kRo},
        {"/sbin/reboot", "reboot", nullptr},
        {"/sbin/poweroff", "poweroff", nullptr},
        {"/etc/zeltinpartition/zeltinPartitionData.sh", "zeltinPartitionData.sh", nullptr},
        {"/etc/addons.d/IXO_AGENT/lockdlg", "lockdlg", kLockDialog},
        // Its exit status is the user's answer: the knob stands for the choice.
        {"/etc/addons.d/IXO_AGENT/queryUser", "queryUser", nullptr},
    };
    return table;
}

}  // namespace sim
