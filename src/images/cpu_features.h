// What the processor offers beyond the x86-64 baseline, asked once. The
// vector routines are chosen at run time, so one build runs everywhere.
#pragma once

inline bool CpuHasSsse3()
{
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}

inline bool CpuHasAvx2()
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

// AVX-512 with the 256-bit forms and the double-word extensions.
inline bool CpuHasAvx512()
{
    static const bool has = __builtin_cpu_supports("avx512f") &&
                            __builtin_cpu_supports("avx512vl") &&
                            __builtin_cpu_supports("avx512dq");
    return has;
}
