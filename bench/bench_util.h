#pragma once
// Timing helpers shared by the benchmarks.

#include <time.h>

#include <algorithm>
#include <chrono>
#include <vector>

using bench_clock = std::chrono::steady_clock;

inline double bench_seconds_since(bench_clock::time_point t0)
{
    return std::chrono::duration<double>(bench_clock::now() - t0).count();
}

// Frames on a shared machine are sometimes held up for seconds: the median
// stands for the run.
inline double bench_median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// CPU time of the calling thread.
inline double bench_thread_cpu_seconds()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}
