// CPU time spent, for the load figures of the benchmarks.
#pragma once

namespace bench {

// Of the calling thread.
double threadCpuSeconds();
// Of the whole process.
double processCpuSeconds();

}  // namespace bench
