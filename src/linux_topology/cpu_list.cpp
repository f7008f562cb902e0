#include "linux_topology/cpu_list.hpp"

namespace procgroups {

bool take_decimal(std::string_view& text, std::uint32_t largest, std::uint32_t& number) {
    if (text.empty() || !is_digit(text.front()) || (text.front() == '0' && text.size() > 1 && is_digit(text[1]))) {
        return false;
    }
    std::uint64_t value = 0;
    while (!text.empty() && is_digit(text.front())) {
        value = value * 10 + static_cast<std::uint64_t>(text.front() - '0');
        if (value > largest) {
            return false;
        }
        text.remove_prefix(1);
    }
    number = static_cast<std::uint32_t>(value);
    return true;
}

bool parse_cpu_list(std::string_view text, CpuSet& cpus) {
    return parse_cpu_ranges(text, adding_to(cpus));
}

}  // namespace procgroups
