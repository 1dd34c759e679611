// The profile list as the choice shows it, and the preselection of Outlook's default profile.
#include <gtest/gtest.h>

#include "TestPrefix.h"
#include "support/StringTable.h"
#include "testlib/RecordingUserInterface.h"
#include "writers/DefaultProfile.h"

namespace mailwright {
namespace {

using testing::ScopedRecordingUserInterface;
using testing::TestPrefix;
using testing::UiCall;

const char* const kMessagingProfiles =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem\\Profiles";

TEST(OutlookProfilesKey, ByVersion) {
    EXPECT_EQ(OutlookProfilesKey(10), kMessagingProfiles);
    EXPECT_EQ(OutlookProfilesKey(14), kMessagingProfiles);
    EXPECT_EQ(OutlookProfilesKey(15), "Software\\Microsoft\\Office\\15.0\\Outlook\\Profiles");
    EXPECT_EQ(OutlookProfilesKey(16), "Software\\Microsoft\\Office\\16.0\\Outlook\\Profiles");
}

TEST(SortAsComboBox, CaseIsIgnoredAndALaterEqualNameComesFirst) {
    EXPECT_EQ(SortAsComboBox({"Zeta", "Alpha"}), (std::vector<std::string>{"Alpha", "Zeta"}));
    EXPECT_EQ(SortAsComboBox({"beta", "Alpha", "Gamma", "alpha2"}),
              (std::vector<std::string>{"Alpha", "alpha2", "beta", "Gamma"}));
    EXPECT_EQ(SortAsComboBox({"Mail", "mail"}), (std::vector<std::string>{"mail", "Mail"}));
    EXPECT_EQ(SortAsComboBox({}), std::vector<std::string>{});
}

class FindDefaultProfileTest : public ::testing::Test {
protected:
    void SetDefault(int version, const char* name) {
        auto key = m_prefix.UserKey(OutlookProfilesKey(version));
        ASSERT_EQ(ERROR_SUCCESS, key->WriteString("DefaultProfile", name));
    }

    TestPrefix m_prefix;
    ScopedRecordingUserInterface m_ui;
};

TEST_F(FindDefaultProfileTest, SearchStartsAtTheSecondEntryAndWrapsRound) {
    const struct {
        const char* defaultName;
        std::vector<std::string> displayed;
        int expected;
    } cases[] = {
        {"Mail", {"Mail", "Mail2"}, 1},           // the second entry begins with the name
        {"mail", {"Mail", "Other"}, 0},           // wraps round; case ignored
        {"Other", {"Mail", "Other", "Other"}, 1}, // the first match wins
        {"Work", {"Home", "Outlook", "work"}, 2},
        {"Missing", {"Home", "Outlook"}, 0},      // no match
        {"Mail", {"Mail"}, 0},
        {"Mail", {}, 0},
    };
    for (const auto& c : cases) {
        SetDefault(12, c.defaultName);
        EXPECT_EQ(FindDefaultProfile(c.displayed, 12), c.expected) << c.defaultName;
    }
    EXPECT_TRUE(m_ui->Calls().empty());
}

TEST_F(FindDefaultProfileTest, TheKeyFollowsTheVersion) {
    SetDefault(12, "Old");
    SetDefault(16, "New");
    const std::vector<std::string> displayed = {"First", "New", "Old"};
    EXPECT_EQ(FindDefaultProfile(displayed, 14), 2);
    EXPECT_EQ(FindDefaultProfile(displayed, 16), 1);
}

TEST_F(FindDefaultProfileTest, FailuresAreReportedAndSelectTheFirstEntry) {
    const std::vector<std::string> displayed = {"A", "B"};
    EXPECT_EQ(FindDefaultProfile(displayed, 16), 0);  // no profiles key
    m_prefix.UserKey(OutlookProfilesKey(16));
    EXPECT_EQ(FindDefaultProfile(displayed, 16), 0);  // no "DefaultProfile"
    m_prefix.UserKey(OutlookProfilesKey(16))->WriteDword("DefaultProfile", 1);
    EXPECT_EQ(FindDefaultProfile(displayed, 16), 0);  // not a string

    const auto& calls = m_ui->Calls();
    ASSERT_EQ(calls.size(), 3u);
    const char* const expected[] = {"Cannot open key in system registry.", "Cannot read value from system registry.",
                                    "Cannot read value from system registry."};
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].kind, UiCall::Error);
        EXPECT_EQ(calls[i].text, expected[i]);
        EXPECT_EQ(calls[i].caption, "Error");
    }
}

}  // namespace
}  // namespace mailwright
