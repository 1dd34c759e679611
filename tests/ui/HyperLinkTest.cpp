#include <gtest/gtest.h>

#include <QCursor>
#include <QDialog>
#include <QTest>

#include "support/WinTypes.h"
#include "testlib/RecordingUserInterface.h"
#include "testlib/TempFolder.h"
#include "ui/VeskDialogUnits.h"
#include "ui/VeskHyperLink.h"
#include "UiTestSupport.h"

using namespace mailwright;
using namespace mailwright::testing;

namespace {

struct CommandCase {
    const char* handler;
    const char* expected;
};

// The address takes the place of the first field code in quotes, else of the first field code.
const CommandCase kCommands[] = {
    {"firefox-esr %u", "firefox-esr  http://a.example/x"},
    {"\"/opt/web browser/run\" --new-window \"%U\"", "\"/opt/web browser/run\" --new-window  http://a.example/x"},
    {"browser %f \"%u\"", "browser   http://a.example/x"},
    {"browser", "browser http://a.example/x"},
    {"browser --icon %i --name %c %u", "browser --icon  --name   http://a.example/x"},
    {"run 100%% %u", "run 100%  http://a.example/x"},
};

TEST(VeskHyperLink, AddressTakesThePlaceOfTheHandlersFieldCode) {
    for (const CommandCase& c : kCommands) {
        EXPECT_EQ(VeskHyperLink::CommandWithAddress(c.handler, "http://a.example/x"), c.expected) << c.handler;
    }
}

TEST(VeskHyperLink, ReadsTheCommandOfADesktopEntry) {
    TempFolder folder;
    folder.WriteFile("browser.desktop",
                     "[Desktop Entry]\nName=Web\nExec=/usr/bin/web\\sbrowser --private %u\n"
                     "[Desktop Action new]\nExec=web --other %u\n");
    folder.WriteFile("action-only.desktop", "[Desktop Action new]\nExec=web %u\n");
    folder.WriteFile("empty.desktop", "[Desktop Entry]\nExec=\n");
    EXPECT_EQ(ReadDesktopEntryExec(folder.Sub("browser.desktop")), "/usr/bin/web browser --private %u");
    EXPECT_EQ(ReadDesktopEntryExec(folder.Sub("action-only.desktop")), std::nullopt);
    EXPECT_EQ(ReadDesktopEntryExec(folder.Sub("empty.desktop")), std::nullopt);
    EXPECT_EQ(ReadDesktopEntryExec(folder.Sub("missing.desktop")), std::nullopt);
}

struct OpenCase {
    const char* name;
    int shellResult;
    std::optional<std::string> handler;
    int execResult;
    int expected;
    std::vector<std::string> calls;
};

TEST(VeskHyperLink, OpensWithTheDesktopFirstAndFallsBackToTheHtmlHandler) {
    const std::string url = "http://a.example/p?q=\"x y\"";
    const OpenCase cases[] = {
        {"opener works", 42, "web %u", 33, 42, {"shell " + url}},
        {"no opener, no handler", 31, std::nullopt, 33, 31, {"shell " + url, "handler"}},
        {"handler runs", 31, "web \"%u\"", 33, 33,
         {"shell " + url, "handler", "exec web  http://a.example/p?q=%22x%20y%22"}},
        {"handler missing", 31, "web %u", 2, 2, {"shell " + url, "handler", "exec web  http://a.example/p?q=%22x%20y%22"}},
    };
    for (const OpenCase& c : cases) {
        ScopedFakeLinkOpener opener;
        opener->shellResult = c.shellResult;
        opener->handlerCommand = c.handler;
        opener->execResult = c.execResult;
        VeskHyperLink link(QStringLiteral("Link"));
        EXPECT_EQ(link.OpenLink(url, 5), c.expected) << c.name;
        EXPECT_EQ(opener->calls, c.calls) << c.name;
    }
}

TEST(VeskHyperLink, ShowOpenErrorNamesTheFailure) {
    const std::pair<int, const char*> cases[] = {
        {31, "Unable to open hyperlink:\n\nThere is no application associated\nwith the given filename extension."},
        {2, "Unable to open hyperlink:\n\nThe specified file was not found."},
        {26, "Unable to open hyperlink:\n\nA sharing violation occurred. "},
        {0, "Unable to open hyperlink:\n\nThe operating system is out\nof memory or resources."},
        {4, "Unable to open hyperlink:\n\nUnknown Error (4) occurred."},
        {-7, "Unable to open hyperlink:\n\nUnknown Error (-7) occurred."},
    };
    for (const auto& [code, text] : cases) {
        ScopedRecordingUserInterface ui;
        VeskHyperLink::ShowOpenError(code);
        ASSERT_EQ(ui->Calls().size(), 1u);
        EXPECT_EQ(ui->Calls()[0].kind, UiCall::Message);
        EXPECT_EQ(ui->Calls()[0].text, text);
        EXPECT_EQ(ui->Calls()[0].style, MB_ICONEXCLAMATION);
    }
}

// A dialog with one link control of the template width.
struct LinkDialog {
    explicit LinkDialog(Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop) {
        dialog.setFont(DialogFont());
        dialog.resize(400, 100);
        link = new VeskHyperLink(QStringLiteral("More about configuring account."), &dialog);
        link->setAlignment(alignment);
        link->setGeometry(template_);
        link->Attach();
    }
    QDialog dialog;
    VeskHyperLink* link;
    QRect template_{20, 30, 300, 20};
};

TEST(VeskHyperLink, ShrinksToItsTextKeepingTheEdgeOfItsAlignment) {
    struct Case {
        Qt::Alignment alignment;
        const char* name;
    };
    for (const Case& c : {Case{Qt::AlignLeft | Qt::AlignTop, "left"}, Case{Qt::AlignRight | Qt::AlignTop, "right"},
                          Case{Qt::AlignHCenter | Qt::AlignVCenter, "centre"}}) {
        LinkDialog d(c.alignment);
        QFont underlined = DialogFont();
        underlined.setUnderline(true);
        const QSize text = QFontMetrics(underlined).size(Qt::TextExpandTabs, d.link->text());
        const QRect fitted = d.link->geometry();
        EXPECT_EQ(fitted.size(), text) << c.name;
        EXPECT_LT(fitted.width(), d.template_.width()) << c.name;
        if (c.alignment & Qt::AlignRight) {
            EXPECT_EQ(fitted.right(), d.template_.right()) << c.name;
        } else if (c.alignment & Qt::AlignHCenter) {
            EXPECT_LE(std::abs(fitted.center().x() - d.template_.center().x()), 1) << c.name;
            EXPECT_LE(std::abs(fitted.center().y() - d.template_.center().y()), 1) << c.name;
        } else {
            EXPECT_EQ(fitted.topLeft(), d.template_.topLeft()) << c.name;
        }
    }
}

TEST(VeskHyperLink, TakesTheAddressAndTooltip) {
    LinkDialog d;
    d.link->SetLink("http://www.brightfold.example/", "");
    EXPECT_EQ(d.link->GetUrl(), "http://www.brightfold.example/");
    EXPECT_EQ(d.link->toolTip(), QStringLiteral("http://www.brightfold.example/"));
    d.link->SetLink("http://www.brightfold.example/", "Brightfold");
    EXPECT_EQ(d.link->toolTip(), QStringLiteral("Brightfold"));
    EXPECT_EQ(d.link->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(d.link->font().underline());
}

TEST(VeskHyperLink, TextWithoutSchemeBecomesAnHttpAddressUntilSetLink) {
    QDialog dialog;
    auto* link = new VeskHyperLink(QStringLiteral("www.brightfold.example"), &dialog);
    link->Attach();
    EXPECT_EQ(link->GetUrl(), "http://www.brightfold.example");
}

QRgb PixelColourOfText(VeskHyperLink& link) {
    // The darkest pixel of the rendering is the text's own colour.
    const QImage image = link.grab().toImage();
    QRgb darkest = qRgb(255, 255, 255);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < qGray(darkest)) darkest = image.pixel(x, y);
    return darkest & 0xFFFFFF;
}

TEST(VeskHyperLink, HoverColourReturnsWhenTheCursorLeaves) {
    LinkDialog d;
    d.dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d.dialog));
    EXPECT_EQ(PixelColourOfText(*d.link), VeskHyperLink::kLinkColour);

    QCursor::setPos(d.link->mapToGlobal(QPoint(5, 5)));
    QTest::mouseMove(d.link, QPoint(5, 5));
    ASSERT_TRUE(d.link->IsOverControl());
    EXPECT_EQ(PixelColourOfText(*d.link), VeskHyperLink::kHoverColour);

    // Still over it: the timer keeps the hover colour.
    QTest::qWait(3 * VeskHyperLink::kHoverPeriodMs);
    EXPECT_TRUE(d.link->IsOverControl());

    QCursor::setPos(d.dialog.mapToGlobal(QPoint(390, 90)));
    // The next tick of the 100 ms timer notices; a loaded machine may be slow to deliver it.
    QTRY_VERIFY_WITH_TIMEOUT(!d.link->IsOverControl(), 5000);
    EXPECT_EQ(PixelColourOfText(*d.link), VeskHyperLink::kLinkColour);
}

TEST(VeskHyperLink, AFailedOpenBeepsAndShowsTheError) {
    ScopedRecordingUserInterface ui;
    ScopedFakeLinkOpener opener;
    LinkDialog d;
    d.link->SetLink("http://www.brightfold.example/", "");
    d.dialog.show();
    QTest::mouseClick(d.link, Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
    EXPECT_FALSE(d.link->IsVisited());
    ASSERT_EQ(ui->Calls().size(), 1u);
    EXPECT_EQ(ui->Calls()[0].text,
              "Unable to open hyperlink:\n\nThere is no application associated\nwith the given filename extension.");

    opener->shellResult = 42;
    QTest::mouseClick(d.link, Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
    EXPECT_TRUE(d.link->IsVisited());
    EXPECT_EQ(ui->Calls().size(), 1u);
    EXPECT_EQ(opener->calls.back(), "shell http://www.brightfold.example/");
}

}  // namespace
