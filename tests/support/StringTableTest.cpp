#include <gtest/gtest.h>

#include "BuildConfig.h"
#include "support/StringTable.h"

using namespace mailwright;

TEST(StringTable, KnownAndUnknownIdentifiers) {
    EXPECT_EQ(LoadString(IDS_APP_TITLE), "Brightfold Mailwright");
    EXPECT_EQ(LoadString(IDS_ADDITIONAL_INFORMATION), "\n\nAdditional information:\n\n");
    EXPECT_EQ(LoadString(IDS_KEY_MESSAGING_PROFILES),
              "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem\\Profiles");
    EXPECT_EQ(LoadString(IDS_URL_MAKER), "http://" MAILWRIGHT_WEB_HOST "/?sts=504");
    EXPECT_EQ(LoadString(1), "");
    EXPECT_FALSE(HasString(156));
}

TEST(StringTable, UnknownProviderNamesTheSupportAddress) {
    const std::string text = LoadString(IDS_UNKNOWN_PROVIDER);
    EXPECT_EQ(text.rfind("Unfortunately the program has not identified the email address", 0), 0u);
    EXPECT_NE(text.find("sending an email to " MAILWRIGHT_SUPPORT_EMAIL " and provide"), std::string::npos);
}
