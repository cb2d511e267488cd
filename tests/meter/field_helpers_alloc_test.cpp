// Proves that the field helpers never allocate. This translation unit replaces
// the global allocation functions for the whole test executable; they only
// count while a test has switched counting on, and otherwise behave like the
// standard ones (malloc/free), so every new/delete pair stays matched. They are
// kept out of line: inlined, the compiler would see malloc'd memory reach
// operator delete and warn about a mismatch that is not there.
#include "meter/field_helpers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
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

TEST(FieldHelpersAllocation, CounterSeesAnAllocation)
{
    // Guards against a counter that cannot fire.
    long seen = 0;
    {
        CountAllocations counter;
        int* volatile p = new int(3);
        delete p;
        seen = counter.count();
    }
    EXPECT_EQ(seen, 1);
}

TEST(FieldHelpersAllocation, NoneAllocate)
{
    char frame[64];
    char field[32];
    ChannelRecord rec{};
    long seen = 0;
    {
        CountAllocations counter;
        std::strcpy(frame, "T0023.5C:H045.2%RH07\r");
        EXPECT_EQ(CheckLrc(frame), 1);
        EXPECT_EQ(GetCharPos(frame, '@'), 18);
        const char* pos = frame + 1;
        pos += GetStrTerm(field, pos) + 1;
        analysisValStr(field, &rec);
        pos += 1;
        GetStrTerm(field, pos);
        analysisValStr(field, &rec);
        std::strcpy(field, "-0000");
        analysisValStr(field, &rec);
        std::strcpy(field, "E02C");
        analySisErrorStr(field, &rec);
        seen = counter.count();
    }
    EXPECT_EQ(seen, 0);
    EXPECT_STREQ(rec.valStr, "E02");
}

}  // namespace
