#include "gensim_main.h"

#include <benchmark/benchmark.h>

#include <iostream>
#include <string>

namespace zorbel::bench {

int RunAgainstGensim(int argc, char** argv, const zorbel::test::GensimConfig& config, zorbel::test::Gensim*& sim) {
    benchmark::Initialize(&argc, argv);
    std::string error;
    auto started = zorbel::test::Gensim::Start(config, &error);
    if (!started) {
        std::cerr << "cannot start zorbel-gensim: " << error << '\n';
        return 1;
    }
    sim = started.get();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    sim = nullptr;
    return 0;
}

}  // namespace zorbel::bench
