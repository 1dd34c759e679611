#include <gtest/gtest.h>

#include "support/StringTable.h"
#include "support/VeskException.h"
#include "support/VeskMemoryArchive.h"
#include "support/WinTypes.h"
#include "testlib/RecordingUserInterface.h"

using namespace mailwright;
using namespace mailwright::Error;
using namespace mailwright::testing;

namespace {
constexpr unsigned kErrorBoxStyle = MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST;

std::string Shown(const VeskException& e) {
    ScopedRecordingUserInterface ui;
    e.ReportError();
    EXPECT_EQ(ui->Calls().size(), 1u);
    EXPECT_EQ(ui->Calls()[0].kind, UiCall::Error);
    EXPECT_EQ(ui->Calls()[0].caption, "Error");
    EXPECT_EQ(ui->Calls()[0].style, kErrorBoxStyle);
    return ui->Calls()[0].text;
}
}  // namespace

TEST(VeskException, IdentifiersBecomeStringTableTexts) {
    VeskExceptionText e(IDS_ERR_LOCATING_DATABASE, "AccountCreator", "CMailAccountCreator::Create", 27);
    EXPECT_EQ(e.GetMessageText(), "Error locating database file.");
    EXPECT_EQ(e.GetFile(), "AccountCreator");
    EXPECT_EQ(e.GetFunction(), "CMailAccountCreator::Create");
    EXPECT_EQ(e.GetLine(), 27);
    EXPECT_EQ(LoadString(57344), "Brightfold Mailwright");
    EXPECT_EQ(LoadString(57345), "providers.lst");
    EXPECT_EQ(VeskExceptionText(static_cast<const char*>(nullptr)).GetMessageText(), "");
}

TEST(VeskException, FileKeepsOnlyItsLastComponent) {
    EXPECT_EQ(VeskExceptionText("t", "src\\creation\\AccountCreator", "f", 1).GetFile(), "AccountCreator");
    EXPECT_EQ(VeskExceptionText("t", "src/creation/AccountCreator.cpp", "f", 1).GetFile(), "AccountCreator.cpp");
    EXPECT_EQ(VeskExceptionText("t", "a/b\\c/d", "f", 1).GetFile(), "c/d");
}

TEST(ReportError, EmptyTextFallsBackToFileAndLine) {
    EXPECT_EQ(Shown(VeskExceptionText("", "AccountCreator", "CMailAccountCreator::Create", 27)),
              "Unknown error occured\nFile: AccountCreator, Line: 27");
    EXPECT_EQ(Shown(VeskExceptionText("")), "Unknown error occured\nFile: , Line: 0");
}

TEST(ReportError, ShowsTheTextTrimmed) {
    EXPECT_EQ(Shown(VeskExceptionText("  \n Error locating database file.\r\n ")), "Error locating database file.");
}

TEST(ReportError, CommonFormatsCodeAndText) {
    const std::string text = LoadString(IDS_ERR_OPEN_KEY) + " (1)";
    EXPECT_EQ(Shown(VeskExceptionCommon(5, text)),
              "Access is denied. (0x5)\n\nCannot open key in system registry. (1)");
    EXPECT_EQ(Shown(VeskExceptionCommon(0, "Some text")), "(0) Some text");
    EXPECT_EQ(Shown(VeskExceptionCommon(0xDEAD, "Some text")), "(0xdead) Some text");
    EXPECT_EQ(Shown(VeskExceptionCommon(0x80004005, "")), "Unspecified error (0x80004005)");
}

TEST(VeskException, SaveThenRestoreReproducesEveryField) {
    const VeskExceptionCommon original(1013, "text (3)", "IdentityRegWriter", "CIdentityRegWriter::WriteAccountKeys", 129);
    VeskMemoryArchive archive;
    original.Save(archive);
    archive.SetCursor(0);
    VeskExceptionCommon restored(0, "");
    restored.Restore(archive);
    EXPECT_TRUE(archive.AtEnd());
    EXPECT_EQ(restored.GetCode(), 1013u);
    EXPECT_EQ(restored.GetMessageText(), original.GetMessageText());
    EXPECT_EQ(restored.GetFile(), "IdentityRegWriter");
    EXPECT_EQ(restored.GetFunction(), "CIdentityRegWriter::WriteAccountKeys");
    EXPECT_EQ(restored.GetLine(), 129);

    const VeskExceptionText text("message", "PRFFile", "CPRFFile::CPRFFile", 8);
    VeskMemoryArchive textArchive;
    text.Save(textArchive);
    textArchive.SetCursor(0);
    VeskExceptionText back("");
    back.Restore(textArchive);
    EXPECT_EQ(back.GetMessageText(), "message");
    EXPECT_EQ(back.GetFile(), "PRFFile");
    EXPECT_EQ(back.GetLine(), 8);
}

TEST(VeskException, CloneKeepsKindAndFields) {
    const VeskExceptionCommon original(2, "t", "F", "G", 3);
    std::unique_ptr<VeskException> clone(original.Clone());
    EXPECT_EQ(clone->GetKind(), 2);
    EXPECT_EQ(clone->GetMessageText(), original.GetMessageText());
    EXPECT_EQ(VeskExceptionText("x").GetKind(), 4);
}
