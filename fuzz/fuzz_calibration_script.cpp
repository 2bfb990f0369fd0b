// The generator simulator's calibration script (--cal-script FILE): any file
// is either refused or gives each channel exactly its lines as steps, which
// the calibration commands then select, measure and judge: every step
// answers with its kind, a reference of finite numbers and a verdict.
#include <cmath>
#include <cstdint>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "content_options.h"
#include "families.h"
#include "fuzz_check.h"
#include "fuzz_files.h"
#include "zorbel/numbers.h"

namespace {

zorbel::fuzz::ScratchFile gFile;

std::string One(gensim::Dispatcher& sim, const std::string& command) {
    const gensim::Answers answers = sim.Handle(command);
    FUZZ_CHECK(answers.size() <= 1);
    return answers.empty() ? std::string() : answers.front();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gFile.Create(".txt", "calibration");
    // The simulator names each refused line on standard error.
    static std::ostringstream discarded;
    std::cerr.rdbuf(discarded.rdbuf());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 16)) return 0;
    gFile.Write(std::string_view(reinterpret_cast<const char*>(data), size));
    gensim::SimOptions options;
    if (!gensim::ReadCalibrationScript(gFile.Path(), options.calibrationSteps)) return 0;
    std::size_t perChannel[2] = {0, 0};
    for (const std::string& step : options.calibrationSteps) {
        FUZZ_CHECK(gensim::IsCalibrationStep(step));
        const auto first = step.find_first_not_of(" \t\r");
        FUZZ_CHECK(step.compare(first, 2, "CH") == 0 && (step[first + 2] == '1' || step[first + 2] == '2'));
        ++perChannel[step[first + 2] - '1'];
    }

    gensim::Dispatcher sim(options);
    for (int channel = 1; channel <= 2; ++channel) {
        const std::size_t count = options.calibrationSteps.empty() ? 4 : perChannel[channel - 1];
        sim.Handle("CALibration:SOURce CH" + std::to_string(channel));
        FUZZ_CHECK(One(sim, "CALibration:COUNt?") == zorbel::FormatInt(static_cast<long long>(count)));
        // One past the last: no step, no answer.
        FUZZ_CHECK(One(sim, "CALibration:SETup " + std::to_string(count + 1)).empty());
        for (std::size_t step = 1; step <= count && step <= 64; ++step) {
            const std::string kind = One(sim, "CALibration:SETup " + std::to_string(step));
            FUZZ_CHECK(kind == "0" || kind == "1" || kind == "2");
            const std::string reference = One(sim, "CALibration:MEASure?");
            const auto comma = reference.find(", ");
            FUZZ_CHECK(comma != std::string::npos);
            double volts = 0, hertz = 0;
            FUZZ_CHECK(zorbel::ParseDouble(reference.substr(0, comma), volts) && std::isfinite(volts));
            FUZZ_CHECK(zorbel::ParseDouble(reference.substr(comma + 2), hertz) && std::isfinite(hertz));
            sim.Handle("CALibration:VALue " + reference.substr(0, comma));
            long long verdict = 0;
            FUZZ_CHECK(zorbel::ParseInt(One(sim, "CALibration?"), verdict));
            // The value written back is kept as written.
            const std::string written = std::to_string(channel) + "," + std::to_string(step);
            FUZZ_CHECK(One(sim, "SIMulator:CALibration:VALue? " + written) == reference.substr(0, comma));
        }
    }
    sim.Handle("CALibration:STORe");
    FUZZ_CHECK(One(sim, "SIMulator:CALibration:STORe?") == "1");
    return 0;
}
