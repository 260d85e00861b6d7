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

// The installer and the deinstaller keep their arguments one by one (the
// count, then each argument, all NUL-terminated) in /var/log/NAME.argv, so
// tests see how names arrived. They report through the outcome file of -p:
// "ok", or the line of the knob NAME.outcome ("error disk full" also makes
// the run change nothing); with the knob NAME.nooutcome they write none.
#define SIM_ADDON_REPORTING                                                       \
    "\nprintf '%s\\0' \"$#\" \"$@\" >>\"$SIM_ROOT/var/log/$SIM_NAME.argv\"\n"     \
    "sim_outcome_file=\n"                                                         \
    "sim_result=ok\n"                                                             \
    "[ -f \"$SIM_KNOBS/$SIM_NAME.outcome\" ] && "                                 \
    "sim_result=$(cat \"$SIM_KNOBS/$SIM_NAME.outcome\")\n"                        \
    "sim_report() {\n"                                                            \
    "    [ -n \"$sim_outcome_file\" ] || return 0\n"                              \
    "    [ -f \"$SIM_KNOBS/$SIM_NAME.nooutcome\" ] && return 0\n"                 \
    "    printf '%s\\n' \"$1\" >\"$SIM_ROOT$sim_outcome_file\"\n"                 \
    "}\n"

// installer.sh [-f] [-p OUTCOME] -l PACKAGE unpacks the tar package into
// /etc/addons.d/NAME, NAME being the package's file name without ".tar"; an
// agent package (IXO_AGENT...) goes to /etc/addons.d/IXO_AGENT.
const char kInstaller[] = SIM_ADDON_REPORTING R"(
sim_package=
while [ $# -gt 0 ]; do
    case $1 in
    -f) shift ;;
    -p | -l)
        if [ $# -lt 2 ]; then
            echo "installer.sh: $1 needs an argument" >&2
            exit 2
        fi
        case $1 in
        -p) sim_outcome_file=$2 ;;
        *) sim_package=$2 ;;
        esac
        shift 2
        ;;
    *)
        echo "installer.sh: unexpected argument: $1" >&2
        exit 2
        ;;
    esac
done
if [ -z "$sim_package" ]; then
    echo "usage: installer.sh [-f] [-p OUTCOME] -l PACKAGE" >&2
    exit 2
fi
case $sim_result in
[Ee][Rr][Rr][Oo][Rr]*) sim_report "$sim_result"; exit 1 ;;
esac
if [ ! -f "$SIM_ROOT$sim_package" ]; then
    sim_report "error no package $sim_package"
    exit 1
fi
sim_file=${sim_package##*/}
case $sim_file in
IXO_AGENT*) sim_addon=IXO_AGENT ;;
*) sim_addon=${sim_file%.tar} ;;
esac
case $sim_addon in
'' | . | ..) sim_report "error no add-on name in $sim_file"; exit 1 ;;
esac
sim_directory=$SIM_ROOT/etc/addons.d/$sim_addon
if ! mkdir -p "$sim_directory" ||
    ! "$SIM_ROOT/bin/busybox" tar -xf "$SIM_ROOT$sim_package" -C "$sim_directory"; then
    sim_report "error cannot unpack $sim_file"
    exit 1
fi
sim_report "$sim_result"
)";

// deinstall.sh [-p OUTCOME] NAME removes /etc/addons.d/NAME; an add-on that
// is not installed is an error.
const char kDeinstaller[] = SIM_ADDON_REPORTING R"(
while [ $# -gt 1 ] && [ "$1" = "-p" ]; do
    sim_outcome_file=$2
    shift 2
done
if [ $# -ne 1 ]; then
    echo "usage: deinstall.sh [-p OUTCOME] NAME" >&2
    exit 2
fi
sim_addon=$1
case $sim_result in
[Ee][Rr][Rr][Oo][Rr]*) sim_report "$sim_result"; exit 1 ;;
esac
case $sim_addon in
'' | . | .. | */*) sim_report "error no add-on can be called $sim_addon"; exit 1 ;;
esac
sim_directory=$SIM_ROOT/etc/addons.d/$sim_addon
if [ ! -d "$sim_directory" ]; then
    sim_report "error $sim_addon is not installed"
    exit 1
fi
if ! rm -rf "$sim_directory"; then
    sim_report "error cannot remove $sim_addon"
    exit 1
fi
sim_report "$sim_result"
)";

#undef SIM_ADDON_REPORTING

// Device scripts find processes by name (the agent's restart script ends
// every ixoAgent). On the simulated device they find none: nothing they look
// up may ever be signalled on this machine. (The busybox pidof behind it sees
// the device's /proc, which holds no processes either.)
const char kPidof[] = R"(
exit 1
)";

// Waits as long as asked, or as many seconds as the knob sleep.seconds says
// (0: not at all), so that tests need not sit through a device's pauses.
const char kSleep[] = R"(
[ "$SIM_EXIT" -eq 0 ] || exit "$SIM_EXIT"
if [ -f "$SIM_KNOBS/sleep.seconds" ]; then
    sim_seconds=$(cat "$SIM_KNOBS/sleep.seconds")
    set -- "$sim_seconds"
fi
exec /bin/sleep "$@"
)";

// mii-tool IFACE reports the link of the interface (the last argument) in
// the real tool's format. The knob mii-tool.out holds the report; without it
// the link is up at 100 Mb/s, full duplex.
const char kMiiTool[] = R"(
sim_interface=eth0
for sim_argument in "$@"; do
    sim_interface=$sim_argument
done
if [ "$SIM_EXIT" -ne 0 ]; then
    echo "SIOCGMIIPHY on '$sim_interface' failed: Operation not supported" >&2
    exit "$SIM_EXIT"
fi
if [ -f "$SIM_KNOBS/mii-tool.out" ]; then
    cat "$SIM_KNOBS/mii-tool.out"
else
    printf '%s: negotiated 100baseTx-FD, link ok\n' "$sim_interface"
fi
)";

// The image's system tool: "sys get platform" and "sys get bios-version"
// print the knobs sys.platform and sys.bios-version (the platform sim-init
// made the device).
const char kSys[] = R"(
[ "$SIM_EXIT" -eq 0 ] || exit "$SIM_EXIT"
case "$1 $2" in
"get platform") sim_answer=$SIM_KNOBS/sys.platform ;;
"get bios-version") sim_answer=$SIM_KNOBS/sys.bios-version ;;
*)
    echo "usage: sys get platform|bios-version" >&2
    exit 2
    ;;
esac
# Printed by the shell itself: the inventory runs this often.
[ -f "$sim_answer" ] || exit 0
while IFS= read -r sim_line || [ -n "$sim_line" ]; do
    printf '%s\n' "$sim_line"
done <"$sim_answer"
)";

// ifconfig lists the interfaces in the net-tools format; the knob
// ifconfig.out replaces the listing.
const char kIfconfig[] = R"(
[ "$SIM_EXIT" -eq 0 ] || exit "$SIM_EXIT"
if [ -f "$SIM_KNOBS/ifconfig.out" ]; then
    cat "$SIM_KNOBS/ifconfig.out"
    exit 0
fi
printf '%s' 'eth0      Link encap:Ethernet  HWaddr 00:40:63:C1:2A:01  
          inet addr:192.0.2.41  Bcast:192.0.2.255  Mask:255.255.255.0
          UP BROADCAST RUNNING MULTICAST  MTU:1500  Metric:1
          RX packets:48213 errors:0 dropped:0 overruns:0 frame:0
          TX packets:30377 errors:0 dropped:0 overruns:0 carrier:0
          collisions:0 txqueuelen:1000 
          RX bytes:41264077 (39.3 MiB)  TX bytes:3381560 (3.2 MiB)
          Interrupt:10 Base address:0xe000 

eth1      Link encap:Ethernet  HWaddr 00:40:63:C1:2A:03  
          inet addr:203.0.113.10  Bcast:203.0.113.255  Mask:255.255.255.0
          UP BROADCAST MULTICAST  MTU:1500  Metric:1
          RX packets:0 errors:0 dropped:0 overruns:0 frame:0
          TX packets:0 errors:0 dropped:0 overruns:0 carrier:0
          collisions:0 txqueuelen:1000 
          RX bytes:0 (0.0 B)  TX bytes:0 (0.0 B)

lo        Link encap:Local Loopback  
          inet addr:127.0.0.1  Mask:255.0.0.0
          UP LOOPBACK RUNNING  MTU:16436  Metric:1
          RX packets:1204 errors:0 dropped:0 overruns:0 frame:0
          TX packets:1204 errors:0 dropped:0 overruns:0 carrier:0
          collisions:0 txqueuelen:0 
          RX bytes:98314 (96.0 KiB)  TX bytes:98314 (96.0 KiB)

'
)";

// dmidecode decodes the firmware's OEM strings (type 11), the only
// structures the simulated firmware has, from /sys/firmware/dmi/entries.
const char kDmidecode[] = R"(
[ "$SIM_EXIT" -eq 0 ] || exit "$SIM_EXIT"
sim_type=11
case $1 in
-t | --type) sim_type=$2 ;;
esac
echo "# dmidecode 3.4"
echo "Getting SMBIOS data from sysfs."
echo "SMBIOS 2.7 present."
case $sim_type in
11 | 0xb | 0x0b | 0x0B) ;;
*) exit 0 ;;
esac
for sim_raw in "$SIM_ROOT"/sys/firmware/dmi/entries/11-*/raw; do
    [ -f "$sim_raw" ] || continue
    sim_length=$(od -An -tu1 -j1 -N1 "$sim_raw" | tr -d ' ')
    sim_handle=$(od -An -tu2 -j2 -N2 "$sim_raw" | tr -d ' ')
    echo
    printf 'Handle 0x%04X, DMI type 11, %d bytes\n' "$sim_handle" "$sim_length"
    echo "OEM Strings"
    dd if="$sim_raw" bs=1 skip="$sim_length" 2>/dev/null | tr '\0' '\n' | {
        sim_count=0
        while IFS= read -r sim_string && [ -n "$sim_string" ]; do
            sim_count=$((sim_count + 1))
            printf '\tString %d: %s\n' "$sim_count" "$sim_string"
        done
    }
done
echo
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
        {"/sbin/mii-tool", "mii-tool", kMiiTool},
        {"/usr/sbin/network_restart.sh", "network_restart.sh", nullptr},
        {"/usr/sbin/hostname_restart.sh", "hostname_restart.sh", nullptr},
        {"/etc/rc.d/rc.qvwm", "rc.qvwm", nullptr},
        {"/sbin/installer/installer.sh", "installer.sh", kInstaller},
        {"/sbin/installer/deinstall.sh", "deinstall.sh", kDeinstaller},
        {"/sbin/conmgr.sh", "conmgr.sh", nullptr},
        // Found on the PATH before busybox's applets in /bin.
        {"/usr/bin/pidof", "pidof", kPidof},
        {"/usr/bin/sleep", "sleep", kSleep},
        {"/usr/bin/sys", "sys", kSys},
        {"/sbin/ifconfig", "ifconfig", kIfconfig},
        {"/usr/sbin/dmidecode", "dmidecode", kDmidecode},
    };
    return table;
}

}  // namespace sim
