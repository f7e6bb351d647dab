#pragma once
#include "linklabel.h"

#include <QDialog>
#include <QFont>
#include <QRect>
#include <QSize>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace pelmora {

// The address the About box's link writes to.
inline constexpr char kSupportAddress[] = "support@orvane.example";

// Dialog base units of a font: the average width of its letters (the 52
// letters A-Z and a-z, halved and rounded as the platform does) and its
// height, in pixels.
QSize DialogBaseUnits(const QFont& font);

// A rectangle in dialog units converted to pixels: x * width / 4 and
// y * height / 8 of the base units, rounded to nearest. Position and size
// are converted each on its own, as dialog templates are.
QRect MapDialogRect(const QRect& dialogUnits, const QSize& baseUnits);

// The font dialog template 172 is laid out in: a sans-serif face at 8
// points, standing in for "MS Sans Serif".
QFont AboutDialogFont();

// Dialog template 172: the product, the agreement, the maker's notice and a
// link that writes to the support address. Closes with OK, Escape or the
// caption's close button; the result means nothing.
class CAboutDialog : public QDialog
{
public:
    explicit CAboutDialog(QWidget* parent = nullptr);
    ~CAboutDialog() override;

    void setVisible(bool visible) override;
    void accept() override;

    QString m_strAgreement;
    CLinkLabel m_link;

protected:
    // Moves m_strAgreement into edit box 1004 (or back when saving) and
    // attaches m_link to control 1008.
    virtual void DoDataExchange(bool saveAndValidate);
    // Runs once, as the dialog first shows.
    virtual bool OnInitDialog();

private:
    QString EditText() const;

    QPushButton* m_ok = nullptr;
    QPlainTextEdit* m_edit = nullptr;
    bool m_bInitialised = false;
};

} // namespace pelmora
