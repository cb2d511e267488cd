// Proves that the field helpers never allocate.
#include "core/field_helpers.h"

#include <gtest/gtest.h>

#include "alloc_counting.h"

#include <cstdlib>
#include <cstring>

namespace {

ALLOCATION_COUNTER_SELF_TEST(FieldHelpersAllocation)

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
