#include "registry/HugeMemory.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace mailwright {
namespace {

constexpr std::size_t kHugePage = 2 * 1024 * 1024;
constexpr std::size_t kSmall = kHugePage / 2;  // smaller blocks come from the heap

std::size_t Rounded(std::size_t size) { return (size + kHugePage - 1) & ~(kHugePage - 1); }

}  // namespace

void* TakeHugeMemory(std::size_t size) {
    if (size < kSmall) return std::malloc(size ? size : 1);
    const std::size_t length = Rounded(size);
    void* mapped = ::mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
    if (aligned > start) ::munmap(mapped, aligned - start);
    if (const std::uintptr_t end = aligned + length; end < start + length + kHugePage)
        ::munmap(reinterpret_cast<void*>(end), start + length + kHugePage - end);
    void* memory = reinterpret_cast<void*>(aligned);
    ::madvise(memory, length, MADV_HUGEPAGE);  // a hint: without it the block still works
    return memory;
}

void GiveBackHugeMemory(void* memory, std::size_t size) {
    if (size < kSmall) std::free(memory);
    else if (memory) ::munmap(memory, Rounded(size));
}

}  // namespace mailwright
