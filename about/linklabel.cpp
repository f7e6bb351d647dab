#include "linklabel.h"

#include "paths.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QStyle>

namespace pelmora {

CLinkLabel::CLinkLabel(QWidget* parent)
    : QLabel(parent)
{
    // A plain static control: its text as it stands, from the top left.
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

CLinkLabel::~CLinkLabel()
{
    if (m_nTimerId != 0)
        killTimer(m_nTimerId);
}

void CLinkLabel::Attach()
{
    if (m_bAttached)
        return;
    if (m_strUrl.isEmpty())
        m_strUrl = text();
    if (text().isEmpty())
        setText(m_strUrl);
    // A widget always has a font (its own, its parent's or the
    // application's), so there is always one to copy.
    m_fontPlain = font();
    m_fontUnderlined = font();
    m_fontUnderlined.setUnderline(true);
    m_bAttached = true;
    FitToText();
    LoadHandCursor();
    setToolTip(m_strUrl);
    // Pointer moves arrive without a button held only with tracking on.
    setMouseTracking(true);
    // "Always underlined" would otherwise wait for a change of mode: the
    // pointer's coming and going never underlines in this mode.
    if (m_nUnderline == 1)
        setFont(m_fontUnderlined);
}

void CLinkLabel::SetUrl(const QString& url)
{
    m_strUrl = url;
    if (!m_bAttached)
        return;
    FitToText();
    setToolTip(m_strUrl);
}

void CLinkLabel::SetVisited(bool visited)
{
    m_bVisited = visited;
    if (m_bAttached)
        update();
}

void CLinkLabel::SetUnderlineMode(int mode)
{
    if (mode == m_nUnderline)
        return;
    if (m_bAttached) {
        setFont(mode == 1 ? m_fontUnderlined : m_fontPlain);
        update();
    }
    m_nUnderline = mode;
}

QColor CLinkLabel::TextColour() const
{
    if (m_bHover)
        return m_clrHover;
    return m_bVisited ? m_clrVisited : m_clrLink;
}

void CLinkLabel::FitToText()
{
    if (!m_bAttached || !m_bFitToText)
        return;
    const QRect window = geometry();
    const QRect client = contentsRect();
    // Measured with the underlined font, so the control never has to grow
    // when the underline comes.
    const QFontMetrics metrics(m_fontUnderlined);
    const int neededWidth = metrics.horizontalAdvance(text()) + (window.width() - client.width());
    const int neededHeight = metrics.height() + (window.height() - client.height());

    // Edges as the platform keeps them: right and bottom exclusive.
    int left = window.x();
    int top = window.y();
    int right = window.x() + window.width();
    int bottom = window.y() + window.height();
    const Qt::Alignment align = alignment();
    if (align & Qt::AlignVCenter) {
        const int shrink = (window.height() - neededHeight) / 2;
        top += shrink;
        bottom -= shrink;
    } else {
        bottom = top + neededHeight;
    }
    if (align & Qt::AlignHCenter) {
        const int shrink = (window.width() - neededWidth) / 2;
        left += shrink;
        right -= shrink;
    } else if (align & Qt::AlignRight) {
        left = right - neededWidth;
    } else {
        right = left + neededWidth;
    }
    setGeometry(left, top, right - left, bottom - top);
}

void CLinkLabel::LoadHandCursor()
{
    if (m_hHandCursor)
        return;
    m_hHandCursor = QCursor(Qt::PointingHandCursor);
    setCursor(*m_hHandCursor);
}

int CLinkLabel::OpenUrl(const QString& url)
{
    const bool opened = m_launcher.openUrl && m_launcher.openUrl(QUrl(url, QUrl::TolerantMode));
    // The desktop says only yes or no; no means it knows no program for it.
    const int result = opened ? kLaunchOpened : kLaunchNoAssociation;
    if (result > 32)
        return result;

    // Fallback: the program registered for HTML documents, given the URL.
    const std::optional<QString> command =
        m_launcher.htmlCommand ? m_launcher.htmlCommand() : std::nullopt;
    if (!command)
        return result;
    QStringList arguments = QProcess::splitCommand(CutAtPlaceholder(*command));
    if (arguments.isEmpty())
        return kLaunchFileNotFound;
    const QString program = arguments.takeFirst();
    // The URL goes over as one argument, whatever blanks or quotes it holds,
    // so it can never turn into options or further arguments.
    arguments.append(url);
    return m_launcher.startDetached ? m_launcher.startDetached(program, arguments)
                                    : kLaunchOutOfResources;
}

void CLinkLabel::ReportOpenError(int code)
{
    QMessageBox box(QMessageBox::Warning, QFileInfo(ExecutablePath()).completeBaseName(),
                    OpenErrorText(code), QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("linkOpenError"));
    box.exec();
}

void CLinkLabel::OnClicked()
{
    m_bHover = false;
    const int result = OpenUrl(m_strUrl);
    m_bVisited = result > 32;
    if (m_bVisited) {
        SetVisited(true);
    } else {
        QApplication::beep();
        ReportOpenError(result);
    }
}

void CLinkLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // The dialog's face colour behind the text, as the control's erase does.
    painter.fillRect(rect(), palette().color(QPalette::Window));
    drawFrame(&painter);
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText,
                     m_bAttached ? TextColour() : palette().color(QPalette::WindowText));
    const int flags = int(alignment()) | (wordWrap() ? int(Qt::TextWordWrap) : 0);
    style()->drawItemText(&painter, contentsRect(), flags, colours, isEnabled(), text(),
                          QPalette::WindowText);
}

void CLinkLabel::mouseMoveEvent(QMouseEvent* event)
{
    if (m_bAttached && !m_bHover) {
        m_bHover = true;
        if (m_nUnderline == -1)
            setFont(m_fontUnderlined);
        update();
        // One watch at a time: a click clears the hover flag but leaves the
        // watch running, and the next move must not start a second one.
        if (m_nTimerId == 0)
            m_nTimerId = startTimer(100);
    }
    QLabel::mouseMoveEvent(event);
}

void CLinkLabel::mousePressEvent(QMouseEvent* event)
{
    // A static control reports its click as the button goes down.
    if (m_bAttached && event->button() == Qt::LeftButton) {
        OnClicked();
        event->accept();
        return;
    }
    QLabel::mousePressEvent(event);
}

void CLinkLabel::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_nTimerId || m_nTimerId == 0) {
        QLabel::timerEvent(event);
        return;
    }
    // The pointer leaves without a message to the control when it moves
    // fast or onto another window, so the watch looks where it is now.
    const QPoint pointer = mapFromGlobal(QCursor::pos());
    if (!contentsRect().contains(pointer)) {
        m_bHover = false;
        killTimer(m_nTimerId);
        m_nTimerId = 0;
        if (m_nUnderline != 1)
            setFont(m_fontPlain);
        update(rect().adjusted(0, 0, 0, 10));
    }
}

} // namespace pelmora
