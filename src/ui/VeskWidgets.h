#pragma once
// Qt widgets set up to behave like the Windows controls the templates name.
#include <QString>

class QDialog;
class QFrame;
class QLabel;
class QPlainTextEdit;

namespace mailwright {

// A read-only multi-line edit with a vertical scroll bar: grey like a read-only edit,
// wrapping at words, Tab moving on to the next control.
QPlainTextEdit* MakeReadOnlyEdit();

// A multi-line edit in which Enter inserts a line break, scrolling sideways instead of
// wrapping, without scroll bars (ES_MULTILINE | ES_WANTRETURN | ES_AUTOHSCROLL).
QPlainTextEdit* MakeMultiLineEdit();

// A static text; "&" marks the mnemonic of its buddy control.
QLabel* MakeLabel(const QString& text);

// An etched horizontal line.
QFrame* MakeEtchedLine();

// Runs a dialog modal to its owner (parent) alone, as a Windows dialog disables only its
// owner: the program's other windows, such as the update dialog, stay usable, and a
// dialog without owner blocks nothing. Returns the dialog's result.
int RunModal(QDialog& dialog);

}  // namespace mailwright
