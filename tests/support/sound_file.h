// Sound files written with libsndfile for the import tests (link the test
// with PkgConfig::SNDFILE). `frames` holds interleaved samples at full
// scale -1..1, which a float file keeps as they are, beyond 1 too.
#pragma once

#include <sndfile.h>

#include <string>
#include <vector>

namespace zorbel::test {

inline bool WriteSoundFile(const std::string& path, int format, int channels, const std::vector<double>& frames) {
    SF_INFO info{};
    info.samplerate = 48000;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return false;
    const sf_count_t count = static_cast<sf_count_t>(frames.size()) / channels;
    const bool written = sf_writef_double(file, frames.data(), count) == count;
    return sf_close(file) == 0 && written;
}

}  // namespace zorbel::test
