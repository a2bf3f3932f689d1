// Case-insensitive tests touch ASCII letters only.
#include "platform/TextCase.h"

#include <gtest/gtest.h>

using namespace tessaly::text;

TEST(TextCase, AsciiLettersOnly) {
    EXPECT_EQ(asciiLowercase("Com.Apple.FINDER-2"), "com.apple.finder-2");
    EXPECT_EQ(asciiLowercase("\xC3\x89t\xC3\xA9"), "\xC3\x89t\xC3\xA9"); // UTF-8 bytes untouched

    struct Case {
        const char* a;
        const char* b;
        bool equal;
        bool contains;
    } cases[] = {
        {"com.apple.Finder", "COM.APPLE.FINDER", true, true},
        {"Photo Editor Cache", "editor", false, true},
        {"abc", "abcd", false, false},
        {"abc", "", false, false}, // an empty needle is never found
        {"", "", true, false},
        {"[x]", "{X}", false, false}, // '[' and '{' differ by the letter bit
    };
    for (const Case& c : cases) {
        EXPECT_EQ(equalsIgnoringCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
        EXPECT_EQ(containsIgnoringCase(c.a, c.b), c.contains) << c.a << " / " << c.b;
    }
}
