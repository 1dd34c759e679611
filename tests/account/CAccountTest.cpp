#include <gtest/gtest.h>

#include "account/CAccount.h"

using namespace mailwright;

namespace {

// Counts the providers alive, to see who releases them.
struct CountedProvider : CProvider {
    static int alive;
    CountedProvider() { ++alive; }
    ~CountedProvider() override { --alive; }
};
int CountedProvider::alive = 0;

CRefCountPtr<CProvider> ProviderWith(bool userNameIsEmail, std::int32_t askUserName) {
    CRefCountPtr<CProvider> p(new CProvider);
    p->m_userNameIsEmail = userNameIsEmail;
    p->m_askUserName = askUserName;
    return p;
}

}  // namespace

TEST(CAccount, EmailLocalPart) {
    const struct {
        const char* address;
        const char* local;
    } cases[] = {
        {"jan.kowalski@wp.pl", "jan.kowalski"},
        {"no-at-sign", ""},
        {"@wp.pl", ""},
        {"a@b@c.pl", "a"},
        {" jan@wp.pl ", " jan"},
    };
    for (const auto& c : cases) {
        const CAccount account("Jan", c.address, ProviderWith(true, 0));
        EXPECT_EQ(account.GetEmailLocalPart(), c.local) << c.address;
    }
}

TEST(CAccount, Pop3UserNameRule) {
    const struct {
        bool userNameIsEmail;
        std::int32_t askUserName;
        const char* expected;
        Pop3UserNameForm form;
    } cases[] = {
        {true, 0, "jan@wp.pl", Pop3UserNameForm::WholeAddress},
        {false, 0, "jan", Pop3UserNameForm::LocalPart},
        {true, 1, "typed", Pop3UserNameForm::Typed},
        {false, 7, "typed", Pop3UserNameForm::Typed},
    };
    for (const auto& c : cases) {
        CAccount account("Jan", "jan@wp.pl", ProviderWith(c.userNameIsEmail, c.askUserName));
        account.SetUserName("typed");
        EXPECT_EQ(account.GetPop3UserName(), c.expected) << c.userNameIsEmail << ' ' << c.askUserName;
        EXPECT_EQ(CAccount::GetPop3UserNameForm(*account.GetProvider()), c.form);
    }
}

TEST(CAccount, FieldsAndProviderTexts) {
    CRefCountPtr<CProvider> p(new CProvider);
    p->m_pop3Server = "pop3.wp.pl";
    p->m_smtpServer = "smtp.wp.pl";
    p->m_altComment = "first";
    p->m_comment = "second";
    p->m_infoUrl = "https://poczta.wp.pl";
    p->m_userNamePrompt = "Login:";
    CAccount account("Jan", " jan@wp.pl ", p);
    EXPECT_EQ(account.GetDisplayName(), "Jan");
    EXPECT_EQ(account.GetEmailAddress(), " jan@wp.pl ");
    EXPECT_EQ(account.GetUserName(), "");
    EXPECT_EQ(account.GetComment(), "second");
    EXPECT_EQ(account.GetInfoUrl(), "https://poczta.wp.pl");
    EXPECT_EQ(account.GetUserNamePrompt(), "Login:");
    // The account shows what the provider holds when it is read.
    p->m_pop3Server = "changed.wp.pl";
    EXPECT_EQ(account.GetPop3Server(), "changed.wp.pl");
    EXPECT_EQ(account.GetSmtpServer(), "smtp.wp.pl");
}

TEST(CAccount, TwoPointersShareOneAccount) {
    CountedProvider::alive = 0;
    CRefCountPtr<CAccount> first;
    {
        CRefCountPtr<CProvider> provider(new CountedProvider);
        provider->m_pop3Server = "pop.o2.pl";
        first = CRefCountPtr<CAccount>(new CAccount("Jan", "jan@o2.pl", provider));
        EXPECT_EQ(provider->GetRefCount(), 2);
    }
    EXPECT_EQ(first->GetRefCount(), 1);
    {
        CRefCountPtr<CAccount> second = first;
        EXPECT_EQ(first->GetRefCount(), 2);
        first.Reset();
        // The copy keeps the account and its provider usable.
        EXPECT_EQ(second->GetPop3Server(), "pop.o2.pl");
        EXPECT_EQ(CountedProvider::alive, 1);
    }
    EXPECT_EQ(CountedProvider::alive, 0);
}
