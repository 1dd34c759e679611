#include "ui/VeskWidgets.h"

#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>

namespace mailwright {

QPlainTextEdit* MakeReadOnlyEdit() {
    auto* edit = new QPlainTextEdit;
    edit->setReadOnly(true);
    edit->setTabChangesFocus(true);
    edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    edit->setPalette(palette);
    return edit;
}

QPlainTextEdit* MakeMultiLineEdit() {
    auto* edit = new QPlainTextEdit;
    edit->setTabChangesFocus(true);
    edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edit->document()->setDocumentMargin(1);
    return edit;
}

QLabel* MakeLabel(const QString& text) {
    auto* label = new QLabel(text);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    return label;
}

QFrame* MakeEtchedLine() {
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

int RunModal(QDialog& dialog) {
    dialog.setWindowModality(Qt::WindowModal);
    return dialog.exec();
}

}  // namespace mailwright
