#pragma once

#include <benchmark/benchmark.h>

#include <string>

namespace orvex::bench {

// Runs `step` (a callable taking the error text) once an iteration; the first step that fails
// ends the run with its error.
template <typename Step>
void RunEach(benchmark::State& state, Step step) {
    std::string error;
    for (auto _ : state) {
        if (!step(error)) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
}

}  // namespace orvex::bench
