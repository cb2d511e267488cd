// Counts allocations while a CountAllocations object lives. The global
// allocation functions are replaced in alloc_counting.cpp, which every test
// executable links once.
#pragma once

#include <atomic>
#include <cstdlib>
#include <new>

namespace alloccount {
extern std::atomic<bool> countingOn;
extern std::atomic<long> allocationCount;
}  // namespace alloccount

namespace {

class CountAllocations {
public:
    CountAllocations()
    {
        alloccount::allocationCount = 0;
        alloccount::countingOn = true;
    }
    ~CountAllocations() { alloccount::countingOn = false; }
    CountAllocations(const CountAllocations&) = delete;
    CountAllocations& operator=(const CountAllocations&) = delete;
    long count() const { return alloccount::allocationCount.load(); }
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
