#pragma once

// The kernel's CPU list format ("0-3,8,10-11"), read strictly: node numbers,
// distances and topology ids are numbers as the same code writes them.
#include <cstdint>
#include <string_view>

#include "linux_topology/cpu_set.hpp"

namespace procgroups {

[[nodiscard]] constexpr bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// Takes a decimal number off the front of text as the kernel writes it, with
// no sign and no leading zero; false past `largest`.
[[nodiscard]] bool take_decimal(std::string_view& text, std::uint32_t largest, std::uint32_t& number);

// Takes a decimal CPU number off the front of text; false past kMaxCpuNumber.
[[nodiscard]] inline bool take_cpu_number(std::string_view& text, std::uint32_t& number) {
    return take_decimal(text, kMaxCpuNumber, number);
}

// Parses a CPU list in the kernel's format ("0-3,8,10-11": ranges ascending,
// apart, an optional trailing newline, nothing after a NUL), handing each range, checked, to
// take_range(first, last). Returns false for anything else, or as soon as
// take_range does.
template <typename TakeRange>
[[nodiscard]] bool parse_cpu_ranges(std::string_view text, TakeRange take_range) {
    text = text.substr(0, text.find('\0'));
    if (!text.empty() && text.back() == '\n') {
        text.remove_suffix(1);
    }
    std::uint64_t lowest = 0;  // where the next range may start
    while (!text.empty()) {
        std::uint32_t first = 0;
        if (!take_cpu_number(text, first) || first < lowest) {
            return false;
        }
        std::uint32_t last = first;
        if (!text.empty() && text.front() == '-') {
            text.remove_prefix(1);
            if (!take_cpu_number(text, last) || last < first) {
                return false;
            }
        }
        if (!take_range(first, last)) {
            return false;
        }
        lowest = std::uint64_t{last} + 1;
        if (!text.empty()) {
            if (text.front() != ',' || text.size() == 1) {
                return false;
            }
            text.remove_prefix(1);
        }
    }
    return true;
}

// A take_range for parse_cpu_ranges that adds each range to cpus.
inline auto adding_to(CpuSet& cpus) {
    return [&cpus](std::uint32_t first, std::uint32_t last) {
        cpus.add_range(first, last);
        return true;
    };
}

// parse_cpu_ranges into a set; on failure cpus is left partly filled.
[[nodiscard]] bool parse_cpu_list(std::string_view text, CpuSet& cpus);

}  // namespace procgroups
