#include <gtest/gtest.h>

#include "account/EmailAddressParts.h"

namespace mailwright {
namespace {

TEST(EmailAddressParts, CutAtTheFirstAt) {
    const struct {
        const char* address;
        const char* localPart;
        const char* domain;
    } cases[] = {
        {"jan@wp.pl", "jan", "wp.pl"}, {"no-at.pl", "", "no-at.pl"}, {"a@b@c.pl", "a", "b@c.pl"},
        {"@x.pl", "", "x.pl"},         {"x@", "x", ""},             {" jan@wp.pl ", " jan", "wp.pl "},
    };
    for (const auto& c : cases) {
        const EmailAddressParts parts = SplitEmailAddress(c.address);
        EXPECT_EQ(parts.localPart, c.localPart) << c.address;
        EXPECT_EQ(parts.domain, c.domain) << c.address;
    }
}

}  // namespace
}  // namespace mailwright
