#include "sim/standins.h"

#include "sim/fileOperations.h"

namespace sim {

namespace {

// Every stand-in starts with this. A stand-in runs inside the device (by the
// device's busybox sh) and, for programs the library starts itself, from the
// host by its host path (by the host's sh). It finds the device root from its
// own path either way and touches nothing outside it.
const char kPreamble[] = R"(
case $0 in
/*) SIM_SELF=$0 ;;
*/*) SIM_SELF=$(cd "${0%/*}" && pwd)/${0##*/} ;;
*) SIM_SELF=$(pwd)/$0 ;;
esac
case $SIM_SELF in
*"$SIM_PATH") SIM_ROOT=${SIM_SELF%"$SIM_PATH"} ;;
*)
    echo "$SIM_NAME: cannot tell the simulated device from the path $0" >&2
    exit 126
    ;;
esac
SIM_KNOBS=$SIM_ROOT/etc/sim

if [ $# -gt 0 ]; then
    printf '%s %s\n' "$SIM_NAME" "$*" >>"$SIM_ROOT/var/log/device-programs.log"
else
    printf '%s\n' "$SIM_NAME" >>"$SIM_ROOT/var/log/device-programs.log"
fi

SIM_EXIT=0
if [ -f "$SIM_KNOBS/$SIM_NAME.exit" ]; then
    read -r SIM_EXIT <"$SIM_KNOBS/$SIM_NAME.exit"
    case $SIM_EXIT in
    '') SIM_EXIT=0 ;;
    *[!0-9]*)
        echo "$SIM_NAME: the knob $SIM_NAME.exit holds no exit code: $SIM_EXIT" >&2
        SIM_EXIT=126
        ;;
    esac
fi

# Runs a program of the device: directly inside it, through chroot when the
# stand-in was started from the host.
sim_run() {
    [ -z "$SIM_ROOT" ] && exec "$@"
    exec chroot "$SIM_ROOT" "$@"
}

# Remounts "/" read-write (rw) or read-only (ro) as far as the device's mount
# table shows: the options of the first real "/" line.
sim_set_root_mode() {
    sim_mounts=$SIM_ROOT/proc/mounts
    sim_new=$sim_mounts.new.$$
    if awk -v mode="$1" '
        !done && $1 != "rootfs" && $2 == "/" {
            n = split($4, option, ",")
            options = ""
            found = 0
            for (i = 1; i <= n; i++) {
                if (option[i] == "ro" || option[i] == "rw") {
                    option[i] = mode
                    found = 1
                }
                options = options (i > 1 ? "," : "") option[i]
            }
            $4 = found ? options : mode "," options
            done = 1
        }
        { print }
        END { exit !done }
    ' "$sim_mounts" >"$sim_new" && mv -f "$sim_new" "$sim_mounts"; then
        return 0
    fi
    rm -f "$sim_new"
    echo "$SIM_NAME: no mount of / in $sim_mounts" >&2
    return 1
}
)";

bool quotable(const char *text) {
    for (const char *c = text; *c != '\0'; ++c) {
        if (*c == '\'' || *c == '\n') {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string standInScript(const StandIn &standIn) {
    std::string script = "#!/bin/sh\n# Stand-in for the device's ";
    script += standIn.devicePath;
    script += " in the simulated thin client.\nSIM_NAME='";
    script += standIn.logName;
    script += "'\nSIM_PATH='";
    script += standIn.devicePath;
    script += "'\n";
    script += kPreamble;
    if (standIn.body != nullptr) {
        script += standIn.body;
    }
    script += "\nexit \"$SIM_EXIT\"\n";
    return script;
}

bool installStandIns(const std::string &root, std::string *error) {
    for (const StandIn &standIn : standIns()) {
        std::string devicePath = standIn.devicePath;
        if (devicePath.size() < 2 || devicePath[0] != '/' || !quotable(standIn.devicePath) ||
            !quotable(standIn.logName)) {
            *error = "the stand-in " + devicePath + " has an unusable path or name";
            return false;
        }
        std::string hostPath = root + devicePath;
        std::string directory = hostPath.substr(0, hostPath.rfind('/'));
        if (!files::makeDirectories(directory, 0755, error) ||
            !files::replaceFile(hostPath, standInScript(standIn), 0755, error)) {
            return false;
        }
    }
    return true;
}

}  // namespace sim
