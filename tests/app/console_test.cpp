#include "base/console.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

namespace {

// The shortest text that reads back as the same value, always with a fraction.
TEST(FloatText, ShortestTextThatReadsBackWithAFraction) {
    const std::pair<QString, const char*> rows[] = {
        {floatText(1.0f), "1.0"},    {floatText(0.75f), "0.75"},   {floatText(0.1f), "0.1"},
        {floatText(0.0f), "0.0"},    {floatText(100.0f), "100.0"}, {floatText(0.1), "0.1"},
        {floatText(182.4), "182.4"}, {floatText(-3.0), "-3.0"}};
    for (const auto& [text, expected] : rows)
        EXPECT_EQ(text, expected);
    for (float value : {0.3f, 0.7f, 1.0f / 3.0f, 0.123456789f})
        EXPECT_EQ(floatText(value).toFloat(), value);
}

} // namespace
