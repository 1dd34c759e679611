#include <gtest/gtest.h>

#include "account/VeskEmailAddress.h"

using namespace mailwright;

TEST(VeskEmailAddress, StoresTheTrimmedText) {
    EXPECT_EQ(VeskEmailAddress("  john@example.com \t\r\n"), "john@example.com");
}

TEST(VeskEmailAddress, Validity) {
    const struct {
        const char* text;
        bool valid;
    } cases[] = {
        {"john@example.com", true},
        {"  john@example.com  ", true},
        {"", false},
        {"   ", false},
        {"@example.com", false},
        {"john@@example.com", false},
        {"john@exa@mple.com", false},
        {"john@example", false},
        {"jo.hn@example", false},
        {"john@.com", false},
        {"john@e.com", true},
        {"john@example.", false},
        {"john@example..com", true},
        {"jo hn@example.com", false},
        {"john+tag@example.com", false},
        {"john(x)@example.com", false},
        {"john_doe-1@mail-2.example.com", true},
        {"john@", false},
        {"j\tohn@example.com", true},
        {"j\xc3\xb3zef@example.pl", true},
        // UTF-8 characters whatever the locale: one of two bytes between "@" and the dot is enough.
        {"jan@\xc5\xbc.pl", true},
        {"jan@\xe2\x82\xac", false},
        {"jan@example.\xc5\xbc", true},
        {"\xff@example.com", true},
    };
    for (const auto& c : cases) EXPECT_EQ(VeskEmailAddress(c.text).IsValid(), c.valid) << '"' << c.text << '"';
}

TEST(VeskEmailAddress, EveryForbiddenCharacterInvalidates) {
    // Written out here rather than taken from the class, so that a changed character shows.
    const std::string forbidden = {' ', '\\', '/', ':', ';', '\'', '"', '?', ',', '<', '>', '|', '[', ']',
                                   '{', '}', '(', ')', '+', '=', '!', '#', '$', '%', '^', '&', '*'};
    ASSERT_EQ(forbidden.size(), 27u);
    for (char c = ' '; c <= '~'; ++c) {
        if (c == '@') continue;
        const std::string text = std::string("jo") + c + "hn@example.com";
        const bool isForbidden = forbidden.find(c) != std::string::npos;
        EXPECT_EQ(VeskEmailAddress(text).IsValid(), !isForbidden) << "character '" << c << "'";
    }
}
