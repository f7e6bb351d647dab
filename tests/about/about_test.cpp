// The About box: the agreement, template 172 on screen, and the ways it closes.
#include "aboutdlg.h"
#include "agreement.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

using namespace pelmora;

namespace {

const QString kMailto = QStringLiteral("mailto:support@orvane.example");

TEST(AboutAgreement, TwoPartsWithCrLfLinesOnly)
{
    const QString first = AgreementPart1();
    const QString all = first + AgreementPart2();
    EXPECT_EQ(all.count(QStringLiteral("\r\n")), all.count('\n')) << "bare line feed";
    EXPECT_EQ(all.count(QStringLiteral("\r\n")), all.count('\r')) << "bare carriage return";
    EXPECT_TRUE(all.startsWith(QStringLiteral("Pelmora 2004\r\nOrvane\r\n")));
    // The second part continues the first without a seam.
    EXPECT_TRUE(first.endsWith(QLatin1String("\r\n\r\n")));
    EXPECT_FALSE(AgreementPart2().startsWith(QLatin1String("\r\n")));
}

TEST(AboutGeometry, DialogUnitsToPixelsRoundHalvesAwayFromZero)
{
    // Base units 6 by 13 are 8-point MS Sans Serif on a 96-dpi screen; 322.5, 1.5 and 7.5 round up.
    EXPECT_EQ(MapDialogRect(QRect(215, 189, 50, 14), QSize(6, 13)), QRect(323, 307, 75, 23));
    EXPECT_EQ(MapDialogRect(QRect(1, 1, 3, 5), QSize(5, 12)), QRect(1, 2, 4, 8));

    const QFont font = AboutDialogFont();
    EXPECT_EQ(font.pointSize(), 8);
    const QSize base = DialogBaseUnits(font);
    EXPECT_TRUE(base.width() >= 5 && base.width() <= 7 && base.height() >= 11 && base.height() <= 15)
        << base.width() << "x" << base.height() << " " << qPrintable(QFontInfo(font).family());
}

TEST(AboutDialog, TemplateControlsReadOnlyAgreementAndScreenshot)
{
    CAboutDialog dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("About Pelmora 2004"));
    const QSize base = DialogBaseUnits(dialog.font());
    EXPECT_EQ(dialog.size(), MapDialogRect(QRect(0, 0, 272, 210), base).size());
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize()) << "a fixed frame";

    const struct {
        const char* name;
        QRect units;
        const char* text; // nullptr: not compared
    } controls[] = {
        {"IDOK", {215, 189, 50, 14}, "OK"}, {"blankLine", {15, 24, 241, 17}, ""},
        {"productLine", {15, 8, 191, 8}, "Pelmora 2004        Version:1.81.3"},
        {"control1004", {15, 43, 241, 117}, nullptr}, {"makerNotice", {15, 164, 158, 17}, nullptr}};
    for (const auto& c : controls) {
        auto* w = dialog.findChild<QWidget*>(QLatin1String(c.name), Qt::FindDirectChildrenOnly);
        ASSERT_TRUE(w) << c.name;
        EXPECT_TRUE(w->isVisible()) << c.name;
        EXPECT_EQ(w->geometry(), MapDialogRect(c.units, base)) << c.name;
        EXPECT_TRUE(!c.text || w->property("text").toString() == QLatin1String(c.text)) << c.name;
    }
    auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("IDOK"));
    EXPECT_TRUE(ok->isDefault());
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    EXPECT_EQ(QApplication::focusWidget(), ok) << "the first tab stop";

    // The link shows the address and keeps the width of its mailto text.
    CLinkLabel& link = dialog.m_link;
    EXPECT_EQ(link.objectName(), QStringLiteral("control1008"));
    EXPECT_EQ(link.text(), QStringLiteral("support@orvane.example"));
    EXPECT_EQ(link.GetUrl(), kMailto);
    EXPECT_EQ(link.font().pointSize(), 8);
    QFont underlined = link.font();
    underlined.setUnderline(true);
    const QFontMetrics metrics(underlined);
    EXPECT_EQ(link.geometry(), QRect(MapDialogRect(QRect(15, 185, 130, 8), base).topLeft(),
                                     QSize(metrics.horizontalAdvance(kMailto), metrics.height())));
    EXPECT_TRUE(dialog.grab().toImage().save(QStringLiteral(ABOUT_SHOT_DIR "/about.png")));

    auto* edit = dialog.findChild<QPlainTextEdit*>(QStringLiteral("control1004"));
    ASSERT_TRUE(edit);
    EXPECT_TRUE(edit->isReadOnly());
    EXPECT_EQ(edit->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QScrollBar* bar = edit->verticalScrollBar();
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_PageDown);
    const int afterOnePage = bar->value();
    EXPECT_GT(afterOnePage, 0);
    QTest::keyClick(edit, Qt::Key_PageDown);
    EXPECT_GT(bar->value(), afterOnePage);
    for (Qt::Key key : {Qt::Key_X, Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Return})
        QTest::keyClick(edit, key);
    const QString lines = QString(dialog.m_strAgreement).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_EQ(edit->toPlainText(), lines);
}

TEST(AboutDialog, OkEnterEscapeAndCloseEndItAndTheLinkWorksInside)
{
    int opens = 0;
    const std::pair<std::function<void(CAboutDialog&)>, int> ways[] = {
        {[](CAboutDialog& d) { QTest::mouseClick(d.findChild<QPushButton*>("IDOK"), Qt::LeftButton); },
         QDialog::Accepted},
        {[](CAboutDialog& d) { QTest::keyClick(d.findChild<QPushButton*>("IDOK"), Qt::Key_Return); },
         QDialog::Accepted},
        {[](CAboutDialog& d) { d.close(); }, QDialog::Rejected},
        {[](CAboutDialog& d) {
             QTest::mouseMove(&d.m_link, QPoint(4, 4));
             QTest::mouseClick(&d.m_link, Qt::LeftButton, {}, QPoint(4, 4));
             QTest::keyClick(&d, Qt::Key_Escape);
         }, QDialog::Rejected},
    };
    for (const auto& way : ways) {
        CAboutDialog dialog;
        dialog.m_link.SetLauncher({[&opens](const QUrl& url) { return ++opens, url == QUrl(kMailto); }, nullptr, nullptr});
        // Shown as the booth shows it (modally), acted on once it is up.
        QTimer::singleShot(0, &dialog, [&] {
            if (QTest::qWaitForWindowExposed(&dialog))
                way.first(dialog);
        });
        EXPECT_EQ(dialog.exec(), way.second);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.m_strAgreement, AgreementPart1() + AgreementPart2()) << "read back unchanged";
        EXPECT_EQ(dialog.m_link.IsVisited(), opens == 1);
    }
    EXPECT_EQ(opens, 1);
    CAboutDialog again;
    again.show();
    EXPECT_FALSE(again.m_link.IsVisited());
}

} // namespace
