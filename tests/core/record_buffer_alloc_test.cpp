// Proves that filling the record buffer allocates nothing.
#include <gtest/gtest.h>

#include "alloc_counting.h"

#include <cstdio>
#include <cstdlib>

#include "core/record_buffer.h"

namespace {

ALLOCATION_COUNTER_SELF_TEST(RecordBufferAllocation)

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
