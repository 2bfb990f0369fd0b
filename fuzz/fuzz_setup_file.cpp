// The setup file reader (".set", a profile file): any file is loaded into a
// model or refused for a value that is not a finite number; what the model
// then writes must load into a second model that writes exactly the same
// lines again (values are "%G", so the first write may round, the second
// must not change anything).
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "offline_generator.h"
#include "zorbel/model/device_settings.h"
#include "zorbel/model/setup_file.h"
#include "zorbel/profile_file.h"

namespace {

int gMemfd = -1;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gMemfd = memfd_create("zorbel-fuzz-setup", MFD_CLOEXEC);
    if (gMemfd < 0) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 20)) return 0;
    if (ftruncate(gMemfd, 0) != 0 || lseek(gMemfd, 0, SEEK_SET) != 0) std::abort();
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = write(gMemfd, data + done, size - done);
        if (n <= 0) std::abort();
        done += static_cast<std::size_t>(n);
    }

    zorbel::fuzz::OfflineGenerator generator;
    zorbel::DeviceSettings first(generator);
    if (const zorbel::Result read = zorbel::ReadSetupFile(first, "/proc/self/fd/" + std::to_string(gMemfd)); !read) {
        // Only a value that is not a finite number refuses a readable file,
        // and the refused load changed nothing.
        FUZZ_CHECK(read.Why().find("is not a finite number") != std::string::npos);
        FUZZ_CHECK(first.PendingCommands().empty());
        FUZZ_CHECK(first.Record(0).limits == zorbel::LimitsBlock::BuiltIn());
        return 0;
    }
    FUZZ_CHECK(first.CurrentChannel() <= 1);
    for (std::uint16_t ch : {0, 1}) {
        const zorbel::ChannelRecord r = first.Record(ch);
        FUZZ_CHECK(r.outputState <= 1);
        FUZZ_CHECK(r.waveType >= 1 && r.waveType <= 7);
    }

    const auto written = zorbel::SetupFileEntries(first);
    zorbel::ProfileFile file;
    for (const auto& entry : written) FUZZ_CHECK(file.SetString(entry.section, entry.key, entry.value));
    zorbel::DeviceSettings second(generator);
    FUZZ_CHECK(zorbel::ApplySetupProfile(second, file).Ok());
    const auto again = zorbel::SetupFileEntries(second);
    FUZZ_CHECK(again.size() == written.size());
    for (std::size_t i = 0; i < written.size(); ++i) {
        FUZZ_CHECK(again[i].section == written[i].section && again[i].key == written[i].key);
        FUZZ_CHECK(again[i].value == written[i].value);
    }
    return 0;
}
