// Proves that filling the record buffer allocates nothing. This translation
// unit replaces the global allocation functions for the whole tests_record
// executable (no other file there may replace them); they count only while a
// test has switched counting on, and otherwise behave like the standard ones
// (malloc/free), so every new/delete pair stays matched. They are kept out of
// line: inlined, the compiler would see malloc'd memory reach operator delete
// and warn about a mismatch that is not there.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "record/record_buffer.h"

namespace {

std::atomic<bool> countingOn{false};
std::atomic<long> allocationCount{0};

void* allocate(std::size_t size)
{
    if (countingOn.load(std::memory_order_relaxed))
        allocationCount.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}

}  // namespace

[[gnu::noinline]] void* operator new(std::size_t size)
{
    if (void* p = allocate(size))
        return p;
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

TEST(RecordBufferAllocation, CounterSeesAnAllocation)
{
    long seen = 0;
    {
        CountAllocations counter;
        int* volatile p = new int(3);
        delete p;
        seen = counter.count();
    }
    EXPECT_EQ(seen, 1);
}

TEST(RecordBufferAllocation, FillingAllRecordsAllocatesNothing)
{
    // Texts prepared beforehand, as the channel records hold them.
    static char texts[kMaxChannels][16];
    for (int c = 0; c < kMaxChannels; ++c)
        std::snprintf(texts[c], sizeof texts[c], "%d.25", c);
    static const char kLong[] = "0123456789ABCDEF";

    long seen = -1;
    int written = 0;
    {
        CountAllocations counter;
        for (int r = 0; r < kMaxRecords; ++r) {
            written += putRecordTime(r, 416061296 + r);
            for (int c = 0; c < kMaxChannels; ++c)
                written += putRecordValue(
                    r, c, static_cast<float>(r) + 0.25f * static_cast<float>(c),
                    (r % 7) ? texts[c] : kLong, "%RH");
        }
        // Refused writes past the end allocate nothing either.
        written += putRecordTime(kMaxRecords, 0);
        written += putRecordValue(kMaxRecords, 0, 0.0f, kLong, kLong);
        seen = counter.count();
    }
    EXPECT_EQ(seen, 0);
    EXPECT_EQ(written, kMaxRecords * (kMaxChannels + 1));
    EXPECT_EQ(sTime[kMaxRecords - 1], 416061296 + kMaxRecords - 1);
    EXPECT_EQ(chData[9][kMaxRecords - 1], 15999.0 + 2.25);
    EXPECT_STREQ(chDataStr[3][0], "0123456789");
    EXPECT_STREQ(chDataStr[3][1], "3.25");
}

}  // namespace
