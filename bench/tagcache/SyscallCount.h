#pragma once

#include <atomic>

// The process's file system calls since the counters were last reset.
struct TSyscallCount {
    std::atomic<long> Opens{0};
    std::atomic<long> Reads{0}; // read and pread
    std::atomic<long> Closes{0};
    std::atomic<long> Stats{0};
    std::atomic<long> Others{0}; // lseek, access
    void Reset() {
        Opens = 0;
        Reads = 0;
        Closes = 0;
        Stats = 0;
        Others = 0;
    }
    long Total() const { return Opens + Reads + Closes + Stats + Others; }
};

extern TSyscallCount SyscallCount;
