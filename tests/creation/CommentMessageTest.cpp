#include <gtest/gtest.h>

#include "creation/CommentMessage.h"
#include "testlib/FakeProcessList.h"
#include "testlib/MemorySession.h"

using namespace mailwright;
using namespace mailwright::testing;

namespace {
const std::string kCreated = "Your account has been created successfully.";
const std::string kPassword =
    "When sending or receiving messages for the first time you will be asked to provide a password.";
const std::string kUserAndPassword =
    "When sending or receiving messages for the first time you will be asked to provide the username and "
    "password.";
}  // namespace

TEST(CommentMessage, HintOnlyForTheRunningClientOfTheAccount) {
    ScopedMemorySession session;  // the session whose Wine runs the fake processes
    const struct {
        const char* running;
        MailClientKind client;
        std::string expected;
    } cases[] = {
        {"/usr/bin/bash", MailClientOutlookExpress, kCreated + "\n" + kPassword},
        {"C:\\x\\msimn.exe", MailClientOutlookExpress,
         "Restart Outlook Express to import the new account.\n" + kCreated + "\n" + kPassword},
        {"C:\\x\\wlmail.exe", MailClientWindowsMail,
         "In order to import a new account reopen Windows Mail.\n" + kCreated + "\n" + kUserAndPassword},
        {"C:\\x\\wlmail.exe", MailClientWindowsLiveMail, kCreated + "\n" + kPassword},
        {"C:\\x\\OUTLOOK.EXE", MailClientOutlook,
         "To import a new mail account run MS Outlook again.\n" + kCreated + "\n" + kPassword},
        {"C:\\x\\OUTLOOK.EXE", MailClientOutlookExpress, kCreated + "\n" + kPassword},
    };
    for (const auto& c : cases) {
        FakeProcessList processes({"/sbin/init", c.running});
        const ResultMessage message = BuildCommentMessage("", "", c.client);
        EXPECT_EQ(message.text, c.expected) << c.running;
        EXPECT_EQ(message.boldLength, 0u);
    }
}

TEST(CommentMessage, CommentFollowsABoldHeader) {
    FakeProcessList processes({"/sbin/init"});
    const ResultMessage message = BuildCommentMessage("Log in with your full address.", "http://x.example/", MailClientOutlook);
    const std::string header = "\n\nAdditional information:\n\n";
    EXPECT_EQ(message.text, kCreated + "\n" + kPassword + header + "Log in with your full address.");
    EXPECT_EQ(message.text.substr(message.boldStart, message.boldLength), header);
    EXPECT_EQ(message.infoUrl, "http://x.example/");
}

TEST(CommentMessage, OriginOfDiscoveredSettingsFollowsTheSuccessMessage) {
    FakeProcessList processes({"/sbin/init"});
    const std::string origin = "Your domain is not in the program's database. The account uses the settings published by x.test.";
    const ResultMessage message = BuildCommentMessage("Log in with your full address.", "", MailClientOutlook, origin);
    const std::string header = "\n\nAdditional information:\n\n";
    EXPECT_EQ(message.text, kCreated + "\n" + origin + "\n" + kPassword + header + "Log in with your full address.");
    EXPECT_EQ(message.text.substr(message.boldStart, message.boldLength), header);
}
