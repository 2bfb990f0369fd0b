// The shared main() of the benchmarks that run against zorbel-gensim.
#pragma once

#include "sim_process.h"

namespace zorbel::bench {

// Starts zorbel-gensim with `config`, hands it to the benchmarks through
// `sim`, runs them and stops the simulator. Exit status for main().
int RunAgainstGensim(int argc, char** argv, const zorbel::test::GensimConfig& config, zorbel::test::Gensim*& sim);

}  // namespace zorbel::bench
