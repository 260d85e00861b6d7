// What a platform code says: the OS image in bits 8-15, the hardware in bits
// 0-7, and for the K models both together. Bits 16-31 belong to the agent and
// never change an answer.
#define IXO_MODULE "ImagingAsset"

#include <cstdint>
#include <initializer_list>

#include "ixo/assets.h"
#include "log.h"

namespace {

uint32_t imageCode(int code) { return (static_cast<uint32_t>(code) >> 8) & 0xFFu; }
uint32_t hardwareCode(int code) { return static_cast<uint32_t>(code) & 0xFFu; }
uint32_t modelCode(int code) { return static_cast<uint32_t>(code) & 0xFFFFu; }

// 1 with the message when value is one of accepted, else 0 and no message.
int answer(const char *function, int line, uint32_t value, std::initializer_list<uint32_t> accepted,
           const char *message) {
    for (uint32_t candidate : accepted) {
        if (value == candidate) {
            ixoLogger(IXO_MODULE, function, line, IXO_NOTICE, "%s", message);
            return 1;
        }
    }
    return 0;
}

}  // namespace

extern "C" {

IXO_API int isThisWESPlatform(int code) {
    return answer(__func__, __LINE__, imageCode(code), {0x0A}, "This is a WES platform !!!!!!!!!!");
}

IXO_API int isThisXPEPlatform(int code) {
    return answer(__func__, __LINE__, imageCode(code), {0x05},
                  "This is an XPE platform !!!!!!!!!!");
}

IXO_API int isThisWESSevenPlatform(int code) {
    return answer(__func__, __LINE__, imageCode(code), {0x0B},
                  "This is a WES SEVEN platform !!!!!!!!!!");
}

IXO_API int isThisWESSevenPPlatform(int code) {
    return answer(__func__, __LINE__, imageCode(code), {0x0E},
                  "This is a WES SEVEN P platform !!!!!!!!!!");
}

IXO_API int isThisOLPVOSPlatform(int code) {
    return answer(__func__, __LINE__, imageCode(code), {0x08, 0x0C, 0x07, 0x12},
                  "This is a  Ostrel Linux, PavikOS platform !!!!!!!!!!");
}

IXO_API int isThisOLPlatform(int code) {
    return answer(__func__, __LINE__, imageCode(code), {0x08},
                  "This is a  Ostrel Linux platform !!!!!!!!!!");
}

IXO_API int isThisWESEightPlatform(int code) {
    return answer(__func__, __LINE__, imageCode(code), {0x0F},
                  "This is a WES Eight platform !!!!!!!!!!");
}

IXO_API int isThisWESEight64BitPlatform(int code) {
    return answer(__func__, __LINE__, imageCode(code), {0x11},
                  "This is a WES Eight platform !!!!!!!!!!");
}

IXO_API int isThisWindowsTen64BitPlatform(int code) {
    return answer(__func__, __LINE__, imageCode(code), {0x15},
                  "This is a Windows 10 platform !!!!!!!!!!");
}

IXO_API int isThisTamskoPlatform(int code) {
    return answer(__func__, __LINE__, hardwareCode(code), {0x35},
                  "This is Tamsko platform !!!!!!!!!!");
}

IXO_API int isThisBrivonPlatform(int code) {
    return answer(__func__, __LINE__, hardwareCode(code), {0x36},
                  "This is Brivon platform !!!!!!!!!!");
}

IXO_API int isThisKeldarePlatform(int code) {
    return answer(__func__, __LINE__, hardwareCode(code), {0x33},
                  "This is Keldare platform !!!!!!!!!!");
}

IXO_API int isThisOstaveroPlatform(int code) {
    return answer(__func__, __LINE__, hardwareCode(code), {0x37},
                  "This is OstaVero platform !!!!!!!!!!");
}

IXO_API int isThisMirKaldovestaPlatform(int code) {
    return answer(__func__, __LINE__, hardwareCode(code), {0x39},
                  "This is MirKaldovesta platform !!!!!!!!!!");
}

IXO_API int isThisGorskalPlatform(int code) {
    return answer(__func__, __LINE__, hardwareCode(code), {0x3B},
                  "This is Gorskal platform !!!!!!!!!!");
}

IXO_API int isThisJanteloPlatform(int code) {
    return answer(__func__, __LINE__, hardwareCode(code), {0x3C},
                  "This is Jantelo platform !!!!!!!!!!");
}

IXO_API int isThisK62Platform(int code) {
    return answer(__func__, __LINE__, modelCode(code), {0x0720, 0x0726},
                  "This is K62 or Y62 platform !!!!!!!!!!");
}

IXO_API int isThisK84Platform(int code) {
    return answer(__func__, __LINE__, modelCode(code), {0x0D20}, "This is K84 platform !!!!!!!!!!");
}

IXO_API int isThisK84DPlatform(int code) {
    return answer(__func__, __LINE__, modelCode(code), {0x102D},
                  "This is K84D platform !!!!!!!!!!");
}

IXO_API int isThisK62DPlatform(int code) {
    return answer(__func__, __LINE__, modelCode(code), {0x072D},
                  "This is K62D platform !!!!!!!!!!");
}

IXO_API int isThisK40DPlatform(int code) {
    return answer(__func__, __LINE__, modelCode(code), {0x0C2D},
                  "This is K40D platform !!!!!!!!!!");
}

// The 64-bit designs: two images that exist only in 64 bits, the WES 7 P
// image on two platforms, and four platforms whatever their image. Each test
// is a predicate call, so the one that holds logs its message.
IXO_API int isThis64BitArch(int code) {
    return isThisWindowsTen64BitPlatform(code) || isThisWESEight64BitPlatform(code) ||
                   (isThisWESSevenPPlatform(code) && isThisBrivonPlatform(code)) ||
                   (isThisWESSevenPPlatform(code) && isThisKeldarePlatform(code)) ||
                   isThisOstaveroPlatform(code) || isThisMirKaldovestaPlatform(code) ||
                   isThisGorskalPlatform(code) || isThisJanteloPlatform(code)
               ? 1
               : 0;
}

}  // extern "C"
