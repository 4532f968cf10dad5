// Benchmarks on a given number of oneTBB threads.
#pragma once

#include <benchmark/benchmark.h>
#include <tbb/global_control.h>
#include <tbb/task_arena.h>

// Runs the benchmark loop on exactly threads oneTBB threads and labels it.
template <class Loop>
void OnThreads(benchmark::State& state, int threads, const Loop& loop)
{
    tbb::global_control limit(tbb::global_control::max_allowed_parallelism,
                              static_cast<size_t>(threads));
    tbb::task_arena arena(threads);
    arena.execute(loop);
    state.counters["threads"] = threads;
}

