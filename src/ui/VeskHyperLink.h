#pragma once
#include <QBasicTimer>
#include <QColor>
#include <QFont>
#include <QLabel>
#include <QRect>
#include <string>

namespace mailwright {

// A static text that works as a link: underlined, coloured, with a hand cursor and a
// tooltip, opening its address in the user's web browser when clicked.
class VeskHyperLink : public QLabel {
    Q_OBJECT

public:
    explicit VeskHyperLink(const QString& text = QString(), QWidget* parent = nullptr);
    ~VeskHyperLink() override;

    // Prepares the control once it has its place in the dialog: fonts, cursor, and the
    // size of its text (PreSubclassWindow).
    void Attach();

    // The target address and the tooltip text (the address when the text is empty).
    void SetLink(const std::string& url, const std::string& tooltip);

    // Shrinks or grows the control to its text, keeping the edge its alignment names.
    void FitToText();

    // Opens the address: the desktop's URL opener first, else the text/html handler's
    // command with the address in place of its field code. The shell's result code.
    virtual int OpenLink(const std::string& url, int showCommand);

    // Tells the user why an address could not be opened.
    static void ShowOpenError(int code);

    // The handler's command with the address in place of its field code (the stand-in
    // for "%1"): cut before the first field code in quotes, else before the first field
    // code, then a blank and the address appended.
    static std::string CommandWithAddress(const std::string& command, const std::string& address);

    const std::string& GetUrl() const { return m_strUrl; }
    // The text painted, and where: the control's rectangle when it was attached, which
    // fitting the control to its text leaves as it was.
    const QString& GetText() const { return m_strText; }
    const QRect& GetTextRect() const { return m_rcText; }
    bool IsOverControl() const { return m_bOverControl; }
    bool IsVisited() const { return m_bVisited; }
    // The colour the text is painted in now.
    QColor TextColour() const { return QColor(m_bOverControl ? m_crHover : m_crLink); }

    static constexpr QRgb kLinkColour = 0x0042FF;
    static constexpr QRgb kHoverColour = 0xB22026;
    static constexpr int kHoverPeriodMs = 100;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void OnClicked();
    void InvalidateWithParent();

    QRgb m_crLink = kLinkColour;
    QRgb m_crVisited = kLinkColour;  // kept for a visited link; the painting does not use it
    QRgb m_crHover = kHoverColour;
    bool m_bOverControl = false;
    bool m_bVisited = false;
    int m_nUnderline = 1;
    bool m_bAdjustToFit = true;
    std::string m_strUrl;
    QFont m_fontUnderline;
    QFont m_fontNormal;
    QBasicTimer m_timer;
    QRect m_rcText;
    QString m_strText;
};

}  // namespace mailwright
