#pragma once
// The process's CPU time, to show that waiting on a dead or idle port does not spin.

#include <time.h>

inline double cpu_seconds() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}
