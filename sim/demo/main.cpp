// zorbel-demo: drives a generator (normally zorbel-gensim) through
// QRVHardDll: sets wave type, frequency, amplitude, offset and output of
// both channels, reads every setting back and prints what it does.
// Exit status 0 only when every step succeeded.
#include "QRVHardDll.h"
#include "zorbel/numbers.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char* StatusText(uint16_t status) {
    switch (status) {
    case 0:
        return "no link";
    case 1:
        return "exchange failed";
    case 2:
        return "ok";
    case 3:
        return "rejected";
    default:
        return "?";
    }
}

const char* kWaveNames[] = {"", "sine", "square", "ramp", "pulse", "noise", "arbitrary", "harmonic"};

int failures = 0;

void Report(const std::string& what, uint16_t status) {
    std::printf("  %-44s %s\n", what.c_str(), StatusText(status));
    if (status != 2) ++failures;
}

using WriteFn = uint16_t (*)(uint16_t, double, double, double);
using ReadFn = uint16_t (*)(uint16_t, double*, double, double);

// One numeric setting: write, read back, print both.
void Numeric(uint16_t channel, const char* name, const char* unit, WriteFn write, ReadFn read, double value,
             double maximum, double minimum) {
    const std::string label = "CH" + std::to_string(channel + 1) + " " + name;
    Report("set " + label + " = " + zorbel::formatWindowsG(value) + " " + unit,
           write(channel, value, maximum, minimum));
    double back = 0;
    const uint16_t status = read(channel, &back, maximum, minimum);
    Report("read " + label + (status == 2 ? " -> " + zorbel::formatWindowsG(back) + " " + unit : std::string()),
           status);
}

struct ChannelPlan {
    uint16_t wave;
    double frequencyHz, amplitudeVpp, offsetV, squareDuty;
};

void Drive(uint16_t channel, const ChannelPlan& plan) {
    const std::string label = "CH" + std::to_string(channel + 1);
    Report("set " + label + " wave = " + kWaveNames[plan.wave], qmkHDWriteChannelWaveType(channel, plan.wave));
    int16_t wave = 0;
    const uint16_t waveStatus = qmkHDReadChannelWaveType(channel, &wave);
    Report("read " + label + " wave" + (waveStatus == 2 ? std::string(" -> ") + kWaveNames[wave] : ""), waveStatus);
    Numeric(channel, "frequency", "Hz", qmkHDWriteChannelFrequency, qmkHDReadChannelFrequency, plan.frequencyHz, 2e7,
            1e-6);
    Numeric(channel, "amplitude", "Vpp", qmkHDWriteChannelAmplitude, qmkHDReadChannelAmplitude, plan.amplitudeVpp, 20,
            0.001);
    Numeric(channel, "offset", "V", qmkHDWriteChannelOffsetVoltage, qmkHDReadChannelOffsetVoltage, plan.offsetV, 10,
            -10);
    if (plan.wave == 2)
        Numeric(channel, "square duty", "(fraction)", qmkHDWriteChannelSquareDuty, qmkHDReadChannelSquareDuty,
                plan.squareDuty, 0.99, 0.01);
    Report("switch " + label + " output on", qmkHDWriteChannelOnOff(channel, 1));
    int16_t on = -1;
    const uint16_t onStatus = qmkHDReadChannelOnOff(channel, &on);
    Report("read " + label + " output" + (onStatus == 2 ? (on ? " -> on" : " -> off") : ""), onStatus);
}

// Asked for (--help): on standard output, success; after a mistake: on standard error, status 2.
int Usage(bool asked = false) {
    std::fprintf(asked ? stdout : stderr,
                 "usage: zorbel-demo --lan ADDRESS     talk to the generator at ADDRESS (127.x.y.z) over UDP\n"
                 "       zorbel-demo --usb             talk over USB (QRV_USB_DEVICE=unix:PATH for a simulator)\n");
    return asked ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
    uint16_t type = 0;
    uint32_t address = 0x7F000001;
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) return Usage(true);
    if (argc == 3 && std::strcmp(argv[1], "--lan") == 0) {
        in_addr parsed{};
        if (inet_pton(AF_INET, argv[2], &parsed) != 1) return Usage();
        address = ntohl(parsed.s_addr);
        // The demo is for simulators: it never sends to a real network.
        if ((address >> 24) != 127) {
            std::fprintf(stderr, "zorbel-demo: %s is not a loopback address\n", argv[2]);
            return 2;
        }
        type = 1;
    } else if (!(argc == 2 && std::strcmp(argv[1], "--usb") == 0)) {
        return Usage();
    }

    qmkHDInitComType(type, address);
    std::printf("zorbel-demo: %s\n", type == 1 ? (std::string("LAN ") + argv[2] + ", UDP port 9966").c_str() : "USB");
    if (qmkHDDeviceConnect() != 1) {
        std::printf("  no generator found\n");
        return 1;
    }
    Drive(0, ChannelPlan{1, 1000, 2, 0.1, 0.5});
    Drive(1, ChannelPlan{2, 2500, 1.5, -0.25, 0.3});
    Report("refresh the instrument's display", qmkHDRefreshDevice());
    std::printf("zorbel-demo: %s\n", failures == 0 ? "all settings confirmed" : "some steps failed");
    return failures == 0 ? 0 : 1;
}
