// SPDX-License-Identifier: MIT
// Memory for the few large working arrays of a run (sort keys of 65535
// records take half a megabyte each).
//
// Memory a process touches for the first time costs a page fault per 4 KiB
// page, on some virtual machines 10 to 20 microseconds each: for a large
// catalogue more than all the formatting. Blocks of LargeBlockAllocator of
// a quarter megabyte and more are aligned to 2 MiB and, on Linux, marked for
// transparent huge pages, which the system then fills with one fault per
// 2 MiB. Smaller blocks come from the usual heap.
#pragma once

#include <cstddef>
#include <new>
#include <span>
#include <vector>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace reelport {

template <typename T>
class LargeBlockAllocator {
public:
    using value_type = T;

    LargeBlockAllocator() = default;
    template <typename U>
    LargeBlockAllocator(const LargeBlockAllocator<U>&) noexcept {}

    T* allocate(std::size_t count) {
        const std::size_t bytes = count * sizeof(T);
        if (bytes < kLargeBlock) return std::allocator<T>().allocate(count);
        void* block = ::operator new(roundedUp(bytes), std::align_val_t{kHugePage});
#ifdef __linux__
        (void)madvise(block, roundedUp(bytes), MADV_HUGEPAGE);  // only a hint: without it, small pages
#endif
        return static_cast<T*>(block);
    }

    void deallocate(T* block, std::size_t count) noexcept {
        const std::size_t bytes = count * sizeof(T);
        if (bytes < kLargeBlock) {
            std::allocator<T>().deallocate(block, count);
        } else {
            ::operator delete(block, std::align_val_t{kHugePage});
        }
    }

    template <typename U>
    bool operator==(const LargeBlockAllocator<U>&) const noexcept {
        return true;
    }

private:
    static constexpr std::size_t kHugePage = std::size_t{2} << 20;
    static constexpr std::size_t kLargeBlock = std::size_t{256} << 10;
    static constexpr std::size_t roundedUp(std::size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }
};

// A vector whose storage comes from LargeBlockAllocator.
template <typename T>
using LargeVector = std::vector<T, LargeBlockAllocator<T>>;

// `count` objects of a trivial type from LargeBlockAllocator, left as the
// memory comes (where every one is written before it is read, filling them
// first would only cost time), given back at the end of its life.
template <typename T>
class LargeBuffer {
public:
    explicit LargeBuffer(std::size_t count) : data_(LargeBlockAllocator<T>().allocate(count)), count_(count) {}
    ~LargeBuffer() { LargeBlockAllocator<T>().deallocate(data_, count_); }
    LargeBuffer(const LargeBuffer&) = delete;
    LargeBuffer& operator=(const LargeBuffer&) = delete;

    std::span<T> span() const { return {data_, count_}; }

private:
    T* data_;
    std::size_t count_;
};

// A block of `bytes` bytes whose pages are all in place before its first
// use: on Linux mapped with MAP_POPULATE, so that the system provides them in
// one call instead of a page fault for each 4 KiB page at its first touch (on
// a virtual machine a fault costs several microseconds). Left as the memory
// comes.
class PopulatedBlock {
public:
    explicit PopulatedBlock(std::size_t bytes) : size_(bytes) {
#ifdef __linux__
        void* const mapped = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
        if (mapped == MAP_FAILED) throw std::bad_alloc();
        data_ = static_cast<char*>(mapped);
#else
        data_ = new char[bytes];
#endif
    }
    ~PopulatedBlock() {
#ifdef __linux__
        munmap(data_, size_);
#else
        delete[] data_;
#endif
    }
    PopulatedBlock(const PopulatedBlock&) = delete;
    PopulatedBlock& operator=(const PopulatedBlock&) = delete;

    char* data() const { return data_; }

private:
    [[maybe_unused]] std::size_t size_;  // only munmap needs it
    char* data_;
};

}  // namespace reelport
