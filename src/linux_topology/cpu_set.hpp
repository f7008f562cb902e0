#pragma once

#include <bit>
#include <cstdint>
#include <vector>

namespace procgroups {

// The highest CPU number a Linux kernel can write: NR_CPUS is at most 8,192 on
// any architecture (x86-64 with MAXSMP and powerpc; arm64 stops at 4,096,
// s390 at 512), and CPUs are numbered below it. A larger number is damage,
// answered as soon as it is read.
inline constexpr std::uint32_t kMaxCpuNumber = 8191;

// A set of CPU numbers, one bit each, so that set operations cost a word per 64 CPUs.
class CpuSet {
public:
    void add_range(std::uint32_t first, std::uint32_t last);
    void add(std::uint32_t cpu) { add_range(cpu, cpu); }
    void remove(std::uint32_t cpu);
    void add_all(const CpuSet& other);
    void remove_all(const CpuSet& other);
    void keep_only(const CpuSet& other);

    [[nodiscard]] bool contains(std::uint32_t cpu) const;
    [[nodiscard]] std::uint32_t count() const;
    [[nodiscard]] bool empty() const { return count() == 0; }
    // One past the highest CPU number the set can hold without growing.
    [[nodiscard]] std::uint32_t capacity() const;

    template <typename Visit>
    void for_each(Visit visit) const {
        for (std::size_t word = 0; word < words_.size(); ++word) {
            for (std::uint64_t bits = words_[word]; bits != 0; bits &= bits - 1) {
                visit(static_cast<std::uint32_t>(word * 64 + static_cast<std::size_t>(std::countr_zero(bits))));
            }
        }
    }

private:
    std::vector<std::uint64_t> words_;
};

}  // namespace procgroups
