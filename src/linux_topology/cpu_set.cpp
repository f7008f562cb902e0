#include "linux_topology/cpu_set.hpp"

#include <algorithm>
#include <bit>

namespace procgroups {

void CpuSet::add_range(std::uint32_t first, std::uint32_t last) {
    const std::size_t last_word = last / 64;
    if (words_.size() <= last_word) {
        words_.resize(last_word + 1);
    }
    for (std::size_t word = first / 64; word <= last_word; ++word) {
        const std::uint32_t low = word == first / 64 ? first % 64 : 0;
        const std::uint32_t high = word == last_word ? last % 64 : 63;
        const std::uint64_t upto_high = high == 63 ? ~std::uint64_t{0} : (std::uint64_t{1} << (high + 1)) - 1;
        words_[word] |= upto_high & ~((std::uint64_t{1} << low) - 1);
    }
}

void CpuSet::add_all(const CpuSet& other) {
    if (words_.size() < other.words_.size()) {
        words_.resize(other.words_.size());
    }
    for (std::size_t word = 0; word < other.words_.size(); ++word) {
        words_[word] |= other.words_[word];
    }
}

void CpuSet::remove_all(const CpuSet& other) {
    const std::size_t shared = std::min(words_.size(), other.words_.size());
    for (std::size_t word = 0; word < shared; ++word) {
        words_[word] &= ~other.words_[word];
    }
}

void CpuSet::keep_only(const CpuSet& other) {
    words_.resize(std::min(words_.size(), other.words_.size()));
    for (std::size_t word = 0; word < words_.size(); ++word) {
        words_[word] &= other.words_[word];
    }
}

void CpuSet::remove(std::uint32_t cpu) {
    if (const std::size_t word = cpu / 64; word < words_.size()) {
        words_[word] &= ~(std::uint64_t{1} << (cpu % 64));
    }
}

bool CpuSet::contains(std::uint32_t cpu) const {
    const std::size_t word = cpu / 64;
    return word < words_.size() && ((words_[word] >> (cpu % 64)) & 1U) != 0;
}

std::uint32_t CpuSet::count() const {
    std::uint32_t total = 0;
    for (const std::uint64_t bits : words_) {
        total += static_cast<std::uint32_t>(std::popcount(bits));
    }
    return total;
}

std::uint32_t CpuSet::capacity() const {
    return static_cast<std::uint32_t>(words_.size() * 64);
}

}  // namespace procgroups
