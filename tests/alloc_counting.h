// Counts allocations while a CountAllocations object lives. This header
// replaces the global allocation functions: include it in exactly one source
// file of a test executable. The replacements count only while counting is on
// and otherwise behave like the standard ones (malloc/free), so every
// new/delete pair stays matched. They are kept out of line: inlined, the
// compiler would see malloc'd memory reach operator delete and warn about a
// mismatch that is not there.
#pragma once

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<bool> countingOn{false};
std::atomic<long> allocationCount{0};

void* allocate(std::size_t size)
{
    if (countingOn.load(std::memory_order_relaxed)) {
        allocationCount.fetch_add(1, std::memory_order_relaxed);
    }
    return std::malloc(size == 0 ? 1 : size);
}

}  // namespace

[[gnu::noinline]] void* operator new(std::size_t size)
{
    if (void* p = allocate(size)) {
        return p;
    }
    throw std::bad_alloc();
}

[[gnu::noinline]] void* operator new[](std::size_t size)
{
    return operator new(size);
}

[[gnu::noinline]] void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return allocate(size);
}

[[gnu::noinline]] void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return allocate(size);
}

[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete[](void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

class CountAllocations {
public:
    CountAllocations()
    {
        allocationCount = 0;
        countingOn = true;
    }
    ~CountAllocations() { countingOn = false; }
    CountAllocations(const CountAllocations&) = delete;
    CountAllocations& operator=(const CountAllocations&) = delete;
    long count() const { return allocationCount.load(); }
};

}  // namespace

// Defines a test proving that the counter of this executable can fire, so
// that a count of 0 elsewhere means something.
#define ALLOCATION_COUNTER_SELF_TEST(suite)          \
    TEST(suite, CounterSeesAnAllocation)             \
    {                                                \
        long seen = 0;                               \
        {                                            \
            CountAllocations counter;                \
            int* volatile p = new int(3);            \
            delete p;                                \
            seen = counter.count();                  \
        }                                            \
        EXPECT_EQ(seen, 1);                          \
    }
