// The About box: its texts, the agreement, the geometry of template 172,
// the read-only agreement box, the ways it closes, and a screenshot.
#include "aboutdlg.h"
#include "agreement.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

using namespace pelmora;

namespace {

const QString kAddress = QStringLiteral("support@orvane.example");

template <typename T>
T* Control(CAboutDialog& dialog, const char* name)
{
    return dialog.findChild<T*>(QLatin1String(name), Qt::FindDirectChildrenOnly);
}

// Shows the dialog as the booth does (modally) and acts on it once it is up.
int RunModal(CAboutDialog& dialog, std::function<void()> act)
{
    QTimer::singleShot(0, &dialog, [&dialog, act] {
        if (QTest::qWaitForWindowExposed(&dialog))
            act();
    });
    return dialog.exec();
}

TEST(AboutAgreement, TwoPartsOfFixedLengthWithCrLfLines)
{
    const QString first = AgreementPart1();
    const QString second = AgreementPart2();
    EXPECT_EQ(first.size(), 1932);
    EXPECT_EQ(second.size(), 654);

    const QString all = first + second;
    ASSERT_EQ(all.size(), 2586);
    for (qsizetype i = 0; i < all.size(); ++i) {
        if (all[i] == '\n') {
            ASSERT_TRUE(i > 0 && all[i - 1] == '\r') << "bare line feed at " << i;
        }
        if (all[i] == '\r') {
            ASSERT_TRUE(i + 1 < all.size() && all[i + 1] == '\n')
                << "bare carriage return at " << i;
        }
    }
    const QStringList lines = all.split(QStringLiteral("\r\n"));
    ASSERT_GT(lines.size(), 10);
    EXPECT_EQ(lines[0], QStringLiteral("Pelmora 2004"));
    EXPECT_EQ(lines[1], QStringLiteral("Orvane"));
    // Short numbered headings, each followed by its text.
    int headings = 0;
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QString& line = lines[i];
        if (!line.isEmpty() && line[0].isDigit() && line.contains(QLatin1String(". ")) &&
            line.size() < 40) {
            ++headings;
            EXPECT_FALSE(lines[i + 1].isEmpty()) << qPrintable(line);
        }
    }
    EXPECT_GE(headings, 5);
    // The second part continues the first without a seam.
    EXPECT_TRUE(first.endsWith(QLatin1String("\r\n\r\n")));
    EXPECT_FALSE(second.startsWith(QLatin1String("\r\n")));
}

TEST(AboutGeometry, DialogUnitsToPixels)
{
    // The template's numbers with base units 6 by 13 (8-point MS Sans Serif
    // on a 96-dpi screen): halves round away from zero.
    const QSize base(6, 13);
    EXPECT_EQ(MapDialogRect(QRect(0, 0, 272, 210), base), QRect(0, 0, 408, 341));
    EXPECT_EQ(MapDialogRect(QRect(215, 189, 50, 14), base), QRect(323, 307, 75, 23));
    EXPECT_EQ(MapDialogRect(QRect(15, 43, 241, 117), base), QRect(23, 70, 362, 190));
    EXPECT_EQ(MapDialogRect(QRect(15, 185, 130, 8), base), QRect(23, 301, 195, 13));
    EXPECT_EQ(MapDialogRect(QRect(1, 1, 3, 5), QSize(5, 12)), QRect(1, 2, 4, 8));
}

TEST(AboutGeometry, BaseUnitsOfTheDialogFontAreThoseOfAnEightPointSans)
{
    const QFont font = AboutDialogFont();
    EXPECT_EQ(font.pointSize(), 8);
    const QFontInfo info(font);
    EXPECT_TRUE(info.family() == QLatin1String("Liberation Sans") ||
                info.family() == QLatin1String("DejaVu Sans"))
        << qPrintable(info.family());
    const QSize base = DialogBaseUnits(font);
    EXPECT_GE(base.width(), 5);
    EXPECT_LE(base.width(), 7);
    EXPECT_GE(base.height(), 11);
    EXPECT_LE(base.height(), 15);
}

TEST(AboutDialog, TemplateControlsTextsAndGeometry)
{
    CAboutDialog dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));

    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("About Pelmora 2004"));
    EXPECT_TRUE(dialog.isModal());
    const QSize base = DialogBaseUnits(dialog.font());
    EXPECT_EQ(dialog.size(), MapDialogRect(QRect(0, 0, 272, 210), base).size());
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize()) << "a fixed frame";

    auto* ok = Control<QPushButton>(dialog, "IDOK");
    auto* product = Control<QLabel>(dialog, "productLine");
    auto* blank = Control<QLabel>(dialog, "blankLine");
    auto* edit = Control<QPlainTextEdit>(dialog, "control1004");
    auto* notice = Control<QLabel>(dialog, "makerNotice");
    ASSERT_TRUE(ok && product && blank && edit && notice);

    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(ok->geometry(), MapDialogRect(QRect(215, 189, 50, 14), base));
    EXPECT_EQ(product->text(), QStringLiteral("Pelmora 2004        Version:1.81.3"));
    EXPECT_EQ(product->geometry(), MapDialogRect(QRect(15, 8, 191, 8), base));
    EXPECT_TRUE(blank->text().isEmpty());
    EXPECT_EQ(blank->geometry(), MapDialogRect(QRect(15, 24, 241, 17), base));
    EXPECT_EQ(edit->geometry(), MapDialogRect(QRect(15, 43, 241, 117), base));
    EXPECT_EQ(notice->geometry(), MapDialogRect(QRect(15, 164, 158, 17), base));
    EXPECT_EQ(notice->text().count('\n'), 1) << "two lines";
    EXPECT_TRUE(notice->text().contains(QLatin1String("Orvane")));
    for (QWidget* w : {static_cast<QWidget*>(ok), static_cast<QWidget*>(product),
                       static_cast<QWidget*>(blank), static_cast<QWidget*>(edit),
                       static_cast<QWidget*>(notice), static_cast<QWidget*>(&dialog.m_link)})
        EXPECT_TRUE(w->isVisible()) << qPrintable(w->objectName());

    // Every control lies inside the dialog.
    for (QWidget* w : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        EXPECT_TRUE(dialog.rect().contains(w->geometry())) << qPrintable(w->objectName());

    // The first tab stop, OK, has the focus.
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    EXPECT_EQ(QApplication::focusWidget(), ok);
}

TEST(AboutDialog, LinkKeepsTheWidthOfTheMailtoText)
{
    CAboutDialog dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    CLinkLabel& link = dialog.m_link;
    EXPECT_EQ(link.objectName(), QStringLiteral("control1008"));
    EXPECT_TRUE(link.IsAttached());
    EXPECT_EQ(link.text(), kAddress);
    EXPECT_EQ(link.GetUrl(), QStringLiteral("mailto:") + kAddress);
    EXPECT_EQ(link.toolTip(), QStringLiteral("mailto:") + kAddress);
    EXPECT_FALSE(link.IsVisited());
    // The link draws in the dialog's font, and measured itself with it.
    EXPECT_EQ(QFontInfo(link.font()).family(), QFontInfo(dialog.font()).family());
    EXPECT_EQ(link.font().pointSize(), 8);

    QFont underlined = link.font();
    underlined.setUnderline(true);
    const QFontMetrics metrics(underlined);
    const QSize base = DialogBaseUnits(dialog.font());
    const QRect placed = MapDialogRect(QRect(15, 185, 130, 8), base);
    EXPECT_EQ(link.geometry(),
              QRect(placed.topLeft(),
                    QSize(metrics.horizontalAdvance(QStringLiteral("mailto:") + kAddress),
                          metrics.height())));
    EXPECT_GT(link.width(), metrics.horizontalAdvance(kAddress));
}

TEST(AboutDialog, AgreementBoxIsReadOnlyKeepsLinesAndScrolls)
{
    CAboutDialog dialog;
    EXPECT_EQ(dialog.m_strAgreement, AgreementPart1() + AgreementPart2());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* edit = Control<QPlainTextEdit>(dialog, "control1004");
    ASSERT_TRUE(edit);
    EXPECT_TRUE(edit->isReadOnly());
    EXPECT_EQ(edit->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(edit->frameShape(), QFrame::StyledPanel);

    // One paragraph per CR LF line, each with its own text.
    const QStringList lines = dialog.m_strAgreement.split(QStringLiteral("\r\n"));
    ASSERT_EQ(edit->document()->blockCount(), lines.size());
    QTextBlock block = edit->document()->firstBlock();
    for (const QString& line : lines) {
        EXPECT_EQ(block.text(), line);
        block = block.next();
    }

    QScrollBar* bar = edit->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0) << "the agreement is longer than its box";
    EXPECT_EQ(bar->value(), 0);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_PageDown);
    const int afterOnePage = bar->value();
    EXPECT_GT(afterOnePage, 0);
    QTest::keyClick(edit, Qt::Key_PageDown);
    EXPECT_GT(bar->value(), afterOnePage);

    // Typing changes nothing.
    QTest::keyClicks(edit, QStringLiteral("xyz"));
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(edit->document()->blockCount(), lines.size());
    EXPECT_EQ(edit->toPlainText(), lines.join('\n'));
}

TEST(AboutDialog, OkEscapeAndCloseAllEndItAndKeepTheAgreement)
{
    const QString agreement = AgreementPart1() + AgreementPart2();
    {
        CAboutDialog dialog;
        const int result = RunModal(dialog, [&dialog] {
            QTest::mouseClick(Control<QPushButton>(dialog, "IDOK"), Qt::LeftButton);
        });
        EXPECT_EQ(result, QDialog::Accepted);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.m_strAgreement, agreement) << "read back from the box unchanged";
    }
    {
        CAboutDialog dialog;
        const int result = RunModal(dialog, [&dialog] {
            QTest::keyClick(Control<QPushButton>(dialog, "IDOK"), Qt::Key_Return);
        });
        EXPECT_EQ(result, QDialog::Accepted) << "Enter presses the default button";
    }
    {
        CAboutDialog dialog;
        const int result =
            RunModal(dialog, [&dialog] { QTest::keyClick(&dialog, Qt::Key_Escape); });
        EXPECT_EQ(result, QDialog::Rejected);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.m_strAgreement, agreement);
    }
    {
        CAboutDialog dialog;
        const int result = RunModal(dialog, [&dialog] { dialog.close(); });
        EXPECT_EQ(result, QDialog::Rejected);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.m_strAgreement, agreement);
    }
}

TEST(AboutDialog, EachShowingStartsUnvisitedAndTheLinkWorksInside)
{
    CAboutDialog dialog;
    int opens = 0;
    dialog.m_link.SetLauncher({[&opens](const QUrl& url) {
                                   ++opens;
                                   return url ==
                                          QUrl(QStringLiteral("mailto:support@orvane.example"));
                               },
                               nullptr, nullptr});
    const int result = RunModal(dialog, [&dialog] {
        QTest::mouseMove(&dialog.m_link, QPoint(4, 4));
        QTest::mouseClick(&dialog.m_link, Qt::LeftButton, {}, QPoint(4, 4));
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(opens, 1);
    EXPECT_TRUE(dialog.m_link.IsVisited());

    CAboutDialog again;
    again.show();
    EXPECT_FALSE(again.m_link.IsVisited());
}

TEST(AboutDialog, Screenshot)
{
    CAboutDialog dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    const QImage shot = dialog.grab().toImage();
    EXPECT_EQ(shot.size(), dialog.size() * dialog.devicePixelRatio());
    EXPECT_TRUE(shot.save(QStringLiteral(ABOUT_SHOT_DIR "/about.png")));

    // And with the pointer over the link.
    QTest::mouseMove(&dialog, QPoint(2, 2));
    QTest::mouseMove(&dialog.m_link, QPoint(4, 4));
    EXPECT_TRUE(dialog.m_link.IsHovering());
    EXPECT_TRUE(dialog.grab().toImage().save(QStringLiteral(ABOUT_SHOT_DIR "/about-hover.png")));
}

} // namespace
