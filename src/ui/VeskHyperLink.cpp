#include "ui/VeskHyperLink.h"

#include <QApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

#include "support/IUserInterface.h"
#include "support/TextUtil.h"
#include "support/VeskCatalog.h"
#include "support/WinTypes.h"
#include "ui/UiText.h"
#include "ui/VeskLinkOpener.h"

namespace mailwright {
namespace {

constexpr int SW_SHOW = 5;

struct OpenErrorText {
    int code;
    const char* text;
};

constexpr OpenErrorText kOpenErrors[] = {
    {0, UiTextNoop("link", "The operating system is out\nof memory or resources.")},
    {2, UiTextNoop("link", "The specified file was not found.")},
    {3, UiTextNoop("link", "The specified path was not found.")},
    {5, UiTextNoop("link", "The operating system denied\naccess to the specified file.")},
    {8, UiTextNoop("link", "There was not enough memory to complete the operation.")},
    {11, UiTextNoop("link", "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).")},
    {26, UiTextNoop("link", "A sharing violation occurred. ")},
    {27, UiTextNoop("link", "The filename association is\nincomplete or invalid.")},
    {28, UiTextNoop("link", "The DDE transaction could not\nbe completed because the request timed out.")},
    {29, UiTextNoop("link", "The DDE transaction failed.")},
    {30, UiTextNoop("link", "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed.")},
    {31, UiTextNoop("link", "There is no application associated\nwith the given filename extension.")},
    {32, UiTextNoop("link", "The specified dynamic-link library was not found.")},
};

bool IsAddressFieldCode(char c) { return c == 'u' || c == 'U' || c == 'f' || c == 'F'; }

// Where the first field code that stands for the address begins; with `quoted`, only a
// code between double quotation marks counts, and the position is that of the opening mark.
std::string::size_type FindAddressCode(const std::string& command, bool quoted) {
    for (std::string::size_type i = 0; i + 1 < command.size(); ++i) {
        if (command[i] != '%') continue;
        if (command[i + 1] == '%') {
            ++i;
            continue;
        }
        if (!IsAddressFieldCode(command[i + 1])) continue;
        if (!quoted) return i;
        if (i > 0 && command[i - 1] == '"' && i + 2 < command.size() && command[i + 2] == '"') return i - 1;
    }
    return std::string::npos;
}

// The other field codes (icon, name, file of the entry) mean nothing here; "%%" is a percent sign.
std::string DropFieldCodes(const std::string& command) {
    std::string text;
    for (std::string::size_type i = 0; i < command.size(); ++i) {
        if (command[i] != '%' || i + 1 == command.size()) {
            text += command[i];
            continue;
        }
        if (command[++i] == '%') text += '%';
    }
    return text;
}

// The address as one word of a command line: blanks and quoting characters
// percent-encoded, so that it cannot split into further arguments.
std::string AddressAsOneWord(const std::string& address) {
    std::string word;
    for (char c : address) {
        if (c == ' ' || c == '\t' || c == '"' || c == '\'' || c == '\\') word += Format("%%%02X", static_cast<unsigned char>(c));
        else word += c;
    }
    return word;
}

}  // namespace

VeskHyperLink::VeskHyperLink(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setMouseTracking(true);
}

VeskHyperLink::~VeskHyperLink() { m_timer.stop(); }

void VeskHyperLink::Attach() {
    m_rcText = rect();
    m_strText = text();
    if (m_strText.isEmpty()) {
        setText(ToQString(m_strUrl));
        m_strText = text();
    } else if (!m_strText.contains(QLatin1String("://"))) {
        m_strUrl = "http://" + ToAnsi(m_strText);
    }
    m_fontNormal = font();
    m_fontUnderline = font();
    m_fontUnderline.setUnderline(true);
    FitToText();
    setCursor(Qt::PointingHandCursor);
    setFont(m_fontUnderline);
    update();
    m_nUnderline = 1;
}

void VeskHyperLink::SetLink(const std::string& url, const std::string& tooltip) {
    m_strUrl = url;
    FitToText();
    setToolTip(ToQString(tooltip.empty() ? url : tooltip));
}

void VeskHyperLink::FitToText() {
    if (!m_bAdjustToFit) return;
    const QSize textSize = QFontMetrics(m_fontUnderline).size(Qt::TextExpandTabs, text());
    // The frame around the client area stays as it is.
    const QRect window = geometry();
    const QRect client = contentsRect().translated(window.topLeft());
    const int width = textSize.width() + (window.width() - client.width());
    const int height = textSize.height() + (window.height() - client.height());

    QRect fitted = window;
    if (alignment() & Qt::AlignVCenter) {
        fitted.setTop(window.top() + (window.height() - height) / 2);
    }
    fitted.setHeight(height);
    if (alignment() & Qt::AlignHCenter) {
        fitted.setLeft(window.left() + (window.width() - width) / 2);
        fitted.setWidth(width);
    } else if (alignment() & Qt::AlignRight) {
        fitted.setLeft(window.right() + 1 - width);
        fitted.setWidth(width);
    } else {
        fitted.setWidth(width);
    }
    setGeometry(fitted);
}

int VeskHyperLink::OpenLink(const std::string& url, int showCommand) {
    (void)showCommand;  // the desktop decides how its browser window shows
    VeskLinkOpener& opener = LinkOpener();
    const int shellResult = opener.ShellOpen(url);
    if (shellResult > 32) return shellResult;
    const std::optional<std::string> command = opener.HtmlHandlerCommand();
    if (!command) return shellResult;
    return opener.Exec(CommandWithAddress(*command, AddressAsOneWord(url)));
}

void VeskHyperLink::ShowOpenError(int code) {
    std::string text;
    for (const OpenErrorText& entry : kOpenErrors) {
        if (entry.code == code) text = VeskCatalog::Translate("link", entry.text);
    }
    // The translation keeps the English text's placeholders, or it is not used.
    if (text.empty()) text = Format(ToAnsi(UiText("link", "Unknown Error (%d) occurred.")).c_str(), code);
    AppMessageBox(ToAnsi(UiText("link", "Unable to open hyperlink:\n\n")) + text, MB_ICONEXCLAMATION);
}

std::string VeskHyperLink::CommandWithAddress(const std::string& command, const std::string& address) {
    std::string::size_type cut = FindAddressCode(command, true);
    if (cut == std::string::npos) cut = FindAddressCode(command, false);
    return DropFieldCodes(command.substr(0, cut)) + " " + address;
}

void VeskHyperLink::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(TextColour());
    painter.setFont(m_fontUnderline);
    painter.drawText(m_rcText, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextExpandTabs, m_strText);
}

void VeskHyperLink::mouseMoveEvent(QMouseEvent* event) {
    if (!m_bOverControl) {
        m_bOverControl = true;
        InvalidateWithParent();
        m_timer.start(kHoverPeriodMs, this);
    }
    QLabel::mouseMoveEvent(event);
}

void VeskHyperLink::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) OnClicked();
    QLabel::mousePressEvent(event);
}

// A static control reports a double-click as one click: the press before it has opened
// the address already. (Qt's default would take the second press for another click.)
void VeskHyperLink::mouseDoubleClickEvent(QMouseEvent* event) { event->accept(); }

void VeskHyperLink::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_timer.timerId()) {
        if (!rect().contains(mapFromGlobal(QCursor::pos()))) {
            m_bOverControl = false;
            m_timer.stop();
            update(rect().adjusted(0, 0, 0, 10));
        }
        return;
    }
    QLabel::timerEvent(event);
}

void VeskHyperLink::moveEvent(QMoveEvent* event) {
    QLabel::moveEvent(event);
    InvalidateWithParent();
}

void VeskHyperLink::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    InvalidateWithParent();
}

void VeskHyperLink::OnClicked() {
    m_bOverControl = false;
    const int result = OpenLink(m_strUrl, SW_SHOW);
    if (result > 32) {
        m_bVisited = true;
        update();
        return;
    }
    m_bVisited = false;
    QApplication::beep();
    ShowOpenError(result);
}

void VeskHyperLink::InvalidateWithParent() {
    if (QWidget* parent = parentWidget()) parent->update(geometry());
    update();
}

}  // namespace mailwright
