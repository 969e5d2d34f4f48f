// Runs a libFuzzer-style target without libFuzzer: every file named on the command line
// once, then --runs=N seeded pseudo-random inputs (default 1000). Half of the random inputs
// are mutations of the given files, so a small corpus steers the run towards valid shapes.
// Used when the project is built with gcc; the clang fuzz build links libFuzzer instead.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    long runs = 1000;
    unsigned seed = 1;
    std::vector<std::vector<uint8_t>> corpus;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.rfind("--runs=", 0) == 0) {
            runs = std::strtol(arg.c_str() + 7, nullptr, 10);
        } else if (arg.rfind("--seed=", 0) == 0) {
            seed = static_cast<unsigned>(std::strtoul(arg.c_str() + 7, nullptr, 10));
        } else {
            std::ifstream in(arg, std::ios::binary);
            if (!in) {
                std::fprintf(stderr, "cannot read %s\n", arg.c_str());
                return 2;
            }
            corpus.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
    }
    for (const auto& input : corpus)
        LLVMFuzzerTestOneInput(input.data(), input.size());

    std::mt19937 rng(seed);
    std::vector<uint8_t> input;
    for (long run = 0; run < runs; ++run) {
        if (!corpus.empty() && (rng() & 1)) {
            input = corpus[rng() % corpus.size()];
            const unsigned flips = 1 + rng() % 8;
            for (unsigned f = 0; f < flips && !input.empty(); ++f)
                input[rng() % input.size()] = static_cast<uint8_t>(rng());
            if (rng() % 4 == 0 && !input.empty())
                input.resize(rng() % input.size());
        } else {
            // Mostly short inputs, sometimes long ones, biased towards small byte values
            // so that lengths and counts inside the data stay plausible.
            const size_t size = (rng() % 8 == 0) ? rng() % 9000 : rng() % 300;
            input.resize(size);
            for (auto& b : input)
                b = static_cast<uint8_t>((rng() % 3 == 0) ? rng() % 8 : rng());
        }
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    std::printf("%ld random inputs and %zu corpus files ran without a fault\n", runs, corpus.size());
    return 0;
}
