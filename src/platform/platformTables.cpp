// The tables the agent reads to describe the device: the thin-client
// platforms this image runs on, the processors by model, and the network
// interface sections with their MAC cache. Their bytes are part of the
// interface: every row is zero-padded, and an all-zero row ends each table.
#include "ixo/platform_data.h"

namespace {
constexpr uint32_t KiB = 1024;
constexpr uint32_t MiB = 1024 * KiB;
}  // namespace

extern "C" {

// Exported by their declarations in ixo/platform_data.h.
const PlatformTranslationRow platformTranslation[IXO_PLATFORM_TRANSLATION_ROWS] = {
    {"Korvel", "6260 KE", "Insyde", 256 * KiB, 114, 128},
    {"Brisanda", "K 70", "Insyde", 256 * KiB, 114, 128},
    {"Milra", "N 70", "Via", 512 * KiB, 114, 128},
    {"Oltane", "652H ZP", "Via", 512 * KiB, 114, 128},
    {"NP", "NClass", "Award", 512 * KiB, 114, 128},
    {"NPE", "NClass", "Award", 512 * KiB, 114, 128},
    {"Zinth", "MClass", "Phoenix", 1 * MiB, 512, 128},
    {"Tavorin", "MClass", "Phoenix", 1 * MiB, 512, 128},
    {"Laptop", "ZClass", "Phoenix", 1 * MiB, 512, 128},
    {"NPZ", "NPZClass", "Phoenix", 512 * KiB, 512, 128},
    {"Nevika-SST49LF160C", "HClass", "Phoenix", 2 * MiB, 512, 128},
    {"Nevika", "HClass", "Phoenix", 1 * MiB, 512, 128},
    {"Lirrane", "ZClass", "Insyde", 2 * MiB, 256, 128},
    {"", "", "", 0, 0, 0},
};

const CpuTranslationRow cpuTranslation[IXO_CPU_TRANSLATION_ROWS] = {
    {"6260KE", 350, "AMD Geode GX 466 @ 0.9W Processor", 466},
    {"K70", 350, "AMD Geode GX 466 @ 0.9W Processor", 466},
    {"6260KE", 1000, "AMD Geode GX 533 @ 1.1W Processor", 533},
    {"K70", 1000, "AMD Geode GX 533 @ 1.1W Processor", 533},
    {"", 0, "", 0},
};

// The MACs start empty and are filled by each configuration from the
// temporary registry.
IXO_API NetworkInterfaceSection networkInterfaces[IXO_NETWORK_INTERFACE_ROWS] = {
    {"Network-eth0", "", {0}},
    {"Network-eth1", "", {0}},
    {"Network-wlan0", "", {0}},
    {"Network-ppp0", "", {0}},
    {"", "", {0}},
};

}  // extern "C"
