#include "base/console.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

namespace {

TEST(FloatText, ShortestTextThatReadsBackWithAFraction) {
    EXPECT_EQ(floatText(1.0f), "1.0");
    EXPECT_EQ(floatText(0.75f), "0.75");
    EXPECT_EQ(floatText(0.5f), "0.5");
    EXPECT_EQ(floatText(0.1f), "0.1"); // not 0.100000001
    EXPECT_EQ(floatText(0.0f), "0.0");
    EXPECT_EQ(floatText(100.0f), "100.0");
    EXPECT_EQ(floatText(0.1), "0.1");
    EXPECT_EQ(floatText(182.4), "182.4");
    EXPECT_EQ(floatText(-3.0), "-3.0");
    for (float value : {0.3f, 0.7f, 1.0f / 3.0f, 0.123456789f})
        EXPECT_EQ(floatText(value).toFloat(), value);
}

} // namespace
