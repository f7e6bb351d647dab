#pragma once
#include <QColor>
#include <QCursor>
#include <QFont>
#include <QLabel>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

namespace pelmora {

// Launch results as the shell's document launcher reports them: above 32 is
// success, the rest are the error codes whose texts OpenErrorText knows.
inline constexpr int kLaunchOpened = 33;
inline constexpr int kLaunchOutOfResources = 0;
inline constexpr int kLaunchFileNotFound = 2;   // SE_ERR_FNF
inline constexpr int kLaunchPathNotFound = 3;   // SE_ERR_PNF
inline constexpr int kLaunchAccessDenied = 5;   // SE_ERR_ACCESSDENIED
inline constexpr int kLaunchNoAssociation = 31; // SE_ERR_NOASSOC

// The message a failed launch shows: "Unable to open hyperlink:\n\n" and the
// text for the code.
QString OpenErrorText(int code);

// The registered command for HTML documents cut where the document's name
// would go: at the first quoted placeholder "\"%1\"", else at the first
// "%1", else (desktop entries name the document with field codes) at the
// first quoted "%u", "%U", "%f" or "%F", else at the first unquoted one.
// A command without any placeholder stays whole.
QString CutAtPlaceholder(const QString& command);

// The fallback's command line: the cut command, a blank and the URL. A
// command "prog \"%1\"" thus gives "prog  URL", with two blanks.
QString FallbackCommandLine(const QString& command, const QString& url);

// The desktop services the link uses, replaceable so that tests can play
// the desktop. Every member has a working default.
struct LinkLauncher {
    // The desktop's own opener for the URL (QDesktopServices::openUrl).
    std::function<bool(const QUrl&)> openUrl;
    // The command line registered for opening HTML documents (the Exec line
    // of the default text/html handler), or nothing when none is registered.
    std::function<std::optional<QString>()> htmlCommand;
    // Starts a program detached; returns a launch result.
    std::function<int(const QString& program, const QStringList& arguments)> startDetached;

    static LinkLauncher Desktop();
};

// The Exec line of the desktop's default handler for text/html, found with
// "xdg-mime query default text/html" and the handler's desktop entry in the
// XDG data folders; nothing when either step fails.
std::optional<QString> DesktopHtmlCommand();

// Starts a program detached and turns the outcome into a launch result: 33
// when it started, 2 when there is no such program, 3 when the folder of a
// program given by path is missing, 5 when it cannot be executed, 0 for any
// other failure.
int StartDetachedProgram(const QString& program, const QStringList& arguments);

// A static text control that behaves as a hyperlink: the link colour, red
// (and underlined, in mode -1) while the pointer is over it, the visited
// colour after a successful open, a hand cursor and the URL as tooltip; a
// click opens the URL through the desktop.
//
// The widget exists from construction, like a dialog's static control;
// Attach() is what subclassing the control does (the set-up), and until it
// runs the control counts as having no window: SetUrl, SetVisited and
// SetUnderlineMode only store their values.
class CLinkLabel : public QLabel
{
public:
    explicit CLinkLabel(QWidget* parent = nullptr);
    ~CLinkLabel() override;

    void Attach();
    bool IsAttached() const { return m_bAttached; }

    void SetUrl(const QString& url);
    QString GetUrl() const { return m_strUrl; }
    void SetVisited(bool visited);
    bool IsVisited() const { return m_bVisited; }
    void SetUnderlineMode(int mode);
    int GetUnderlineMode() const { return m_nUnderline; }
    void SetFitToText(bool fit) { m_bFitToText = fit; }
    bool IsHovering() const { return m_bHover; }

    // The colour the text is painted in now.
    QColor TextColour() const;

    void FitToText();
    int OpenUrl(const QString& url);
    void ReportOpenError(int code);

    void SetLauncher(LinkLauncher launcher) { m_launcher = std::move(launcher); }

    // Link blue, visited purple and hover red, the colours web browsers use.
    QColor m_clrLink{0, 0, 238};
    QColor m_clrVisited{85, 26, 139};
    QColor m_clrHover{255, 0, 0};

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void OnClicked();
    void LoadHandCursor();

    bool m_bHover = false;
    bool m_bVisited = false;
    int m_nUnderline = -1;
    bool m_bFitToText = true;
    QString m_strUrl;
    QFont m_fontUnderlined;
    QFont m_fontPlain;
    std::optional<QCursor> m_hHandCursor;
    // Id of the running pointer-watch timer, 0 while none runs.
    int m_nTimerId = 0;
    bool m_bAttached = false;
    LinkLauncher m_launcher = LinkLauncher::Desktop();
};

} // namespace pelmora
