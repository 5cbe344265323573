#pragma once

// The process's own memory, as the benchmarks that open scripts report it per megabyte of text.
#include <unistd.h>

#include <cstdio>

namespace bench {

// Resident memory of the process, in bytes; 0 when the kernel does not say.
inline double residentBytes()
{
    FILE* statm = std::fopen("/proc/self/statm", "r");
    long pages = 0;
    long resident = 0;
    if (statm) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE));
}

} // namespace bench
