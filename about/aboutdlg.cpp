#include "aboutdlg.h"

#include "agreement.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace pelmora {

namespace {

// Template 172's client area, in dialog units.
constexpr int kDialogWidthDlu = 272;
constexpr int kDialogHeightDlu = 210;

// MulDiv: a * b / c rounded to nearest, halves away from zero.
int MulDiv(int a, int b, int c)
{
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

QLabel* MakeStatic(QWidget* dialog, const QSize& base, const QRect& dlu, const QString& text,
                   bool wordWrap, const char* name)
{
    auto* label = new QLabel(text, dialog);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(wordWrap);
    label->setGeometry(MapDialogRect(dlu, base));
    return label;
}

} // namespace

QSize DialogBaseUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(letters / 26 + 1) / 2, metrics.height()};
}

QRect MapDialogRect(const QRect& dialogUnits, const QSize& baseUnits)
{
    return {MulDiv(dialogUnits.x(), baseUnits.width(), 4),
            MulDiv(dialogUnits.y(), baseUnits.height(), 8),
            MulDiv(dialogUnits.width(), baseUnits.width(), 4),
            MulDiv(dialogUnits.height(), baseUnits.height(), 8)};
}

QFont AboutDialogFont()
{
    QFont font;
    // Liberation Sans has Arial's metrics, the nearest free relative of the
    // bitmap face the template names; DejaVu Sans is a wider fallback.
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"),
                      QStringLiteral("Sans Serif")});
    font.setPointSize(8);
    return font;
}

CAboutDialog::CAboutDialog(QWidget* parent)
    : QDialog(parent)
    , m_link(this)
{
    setObjectName(QStringLiteral("aboutDialog"));
    // A caption with a close button only: a fixed-size modal frame.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("About Pelmora 2004"));
    setModal(true);
    setFont(AboutDialogFont());
    const QSize base = DialogBaseUnits(font());
    setFixedSize(MapDialogRect(QRect(0, 0, kDialogWidthDlu, kDialogHeightDlu), base).size());

    // The controls in template order, which is also the tab order.
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("IDOK"));
    m_ok->setDefault(true);
    m_ok->setGeometry(MapDialogRect(QRect(215, 189, 50, 14), base));
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    MakeStatic(this, base, QRect(15, 8, 191, 8),
               QStringLiteral("Pelmora 2004        Version:1.81.3"), false, "productLine");
    MakeStatic(this, base, QRect(15, 24, 241, 17), QString(), true, "blankLine");

    m_edit = new QPlainTextEdit(this);
    m_edit->setObjectName(QStringLiteral("control1004"));
    m_edit->setGeometry(MapDialogRect(QRect(15, 43, 241, 117), base));
    m_edit->setReadOnly(true);
    // Read-only, yet the caret moves and the keys scroll, as in any
    // read-only edit box.
    m_edit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_edit->setFocusPolicy(Qt::StrongFocus);
    m_edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_edit->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);

    MakeStatic(this, base, QRect(15, 164, 158, 17),
               QStringLiteral("\u00a9 2004 Orvane. All rights reserved.\n"
                              "Questions or ideas? Write to us:"),
               true, "makerNotice");

    m_link.setObjectName(QStringLiteral("control1008"));
    m_link.setText(QStringLiteral("mailto:") + QLatin1String(kSupportAddress));
    m_link.setGeometry(MapDialogRect(QRect(15, 185, 130, 8), base));
    // Keep the template's order among the siblings: the link comes last.
    m_link.raise();

    m_strAgreement = AgreementPart1();
    m_strAgreement += AgreementPart2();
}

CAboutDialog::~CAboutDialog() = default;

void CAboutDialog::setVisible(bool visible)
{
    if (visible && !m_bInitialised) {
        m_bInitialised = true;
        OnInitDialog();
    }
    QDialog::setVisible(visible);
}

void CAboutDialog::accept()
{
    DoDataExchange(true);
    QDialog::accept();
}

QString CAboutDialog::EditText() const
{
    // The edit box keeps lines as paragraphs; its text reads back with the
    // CR LF breaks it was given.
    return m_edit->toPlainText().replace(QLatin1Char('\n'), QLatin1String("\r\n"));
}

void CAboutDialog::DoDataExchange(bool saveAndValidate)
{
    if (saveAndValidate) {
        m_strAgreement = EditText();
    } else {
        QString text = m_strAgreement;
        m_edit->setPlainText(text.replace(QLatin1String("\r\n"), QLatin1String("\n")));
    }
    if (!m_link.IsAttached())
        m_link.Attach();
}

bool CAboutDialog::OnInitDialog()
{
    DoDataExchange(false);
    const QString address = QLatin1String(kSupportAddress);
    m_link.SetUrl(QStringLiteral("mailto:") + address);
    // Not fitted again: the link keeps the width of the longer "mailto:" text.
    m_link.setText(address);
    m_ok->setFocus();
    return true;
}

} // namespace pelmora
