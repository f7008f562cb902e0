// Any bytes as a CPU list: the parser must accept or refuse, never misbehave.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "linux_topology/cpu_list.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    procgroups::CpuSet cpus;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (procgroups::parse_cpu_list(text, cpus)) {
        // Whatever was accepted lies within the numbers Linux can give a CPU.
        cpus.for_each([](std::uint32_t cpu) {
            if (cpu > procgroups::kMaxCpuNumber) {
                __builtin_trap();
            }
        });
    }
    return 0;
}
