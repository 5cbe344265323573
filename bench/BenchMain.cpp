// Google Benchmark's own main, followed by the destruction of the application the benchmarks made,
// while everything Qt built after it still exists.
#include "BenchApplication.h"

#include <benchmark/benchmark.h>

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    bench::applicationSlot().reset();
    return 0;
}
