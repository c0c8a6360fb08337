// What the kernel knows of a running process: its CPU time and its resident
// memory, from /proc.
#pragma once

#include <optional>
#include <sys/types.h>

namespace bench {

// User plus system CPU time of the process, in seconds.
std::optional<double> CpuSeconds(pid_t pid);
// VmRSS of the process, in kB.
std::optional<long> ResidentKb(pid_t pid);

} // namespace bench
