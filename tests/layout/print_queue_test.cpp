// Printing the sheet through a real CUPS queue: a private cupsd started for
// the test with a cups-pdf queue whose PDF lands in the test's folder, read
// back with poppler. Skipped where cupsd, cups-pdf or root are missing.
#include "archive.h"
#include "photofixtures.h"
#include "stickersheet.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include "testing.h"
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

const char kCupsd[] = "/usr/sbin/cupsd";
const char kBackend[] = "/usr/lib/cups/backend/cups-pdf";
const char kPpd[] = "/usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd";

bool writeText(const QString& path, const QString& text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) > 0;
}

class PrintQueue : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::geteuid() != 0 || !QFileInfo::exists(kCupsd) || !QFileInfo::exists(kBackend) || !QFileInfo::exists(kPpd)
            || !QFileInfo(QStringLiteral("/etc/cups")).isWritable())
            GTEST_SKIP() << "needs root, cupsd and cups-pdf";
        ASSERT_TRUE(m_dir.isValid());
        const QString root = m_dir.path();
        for (const char* sub : {"etc", "spool", "spool/tmp", "cache", "state", "log", "out", "pdfspool"})
            ASSERT_TRUE(QDir(root).mkpath(sub));
        QFile::setPermissions(root, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                        | QFileDevice::ReadGroup | QFileDevice::ExeGroup
                                        | QFileDevice::ReadOther | QFileDevice::ExeOther);
        m_socket = root + "/cups.sock";
        ASSERT_TRUE(writeText(root + "/etc/cupsd.conf",
                              QStringLiteral("Listen %1\nWebInterface No\nBrowsing No\nDefaultAuthType None\n"
                                             "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n")
                                  .arg(m_socket)));
        ASSERT_TRUE(writeText(root + "/etc/cups-files.conf",
                              QStringLiteral("ServerRoot %1/etc\nRequestRoot %1/spool\nTempDir %1/spool/tmp\n"
                                             "CacheDir %1/cache\nStateDir %1/state\nAccessLog %1/log/access_log\n"
                                             "ErrorLog %1/log/error_log\nPageLog %1/log/page_log\n"
                                             "ServerBin /usr/lib/cups\nDataDir /usr/share/cups\n")
                                  .arg(root)));
        // cups-pdf takes its settings for the URI cups-pdf:/NAME from
        // /etc/cups/cups-pdf-NAME.conf; this one sends everything here.
        m_queue = QStringLiteral("pelmoratest%1").arg(::getpid());
        m_backendConf = QStringLiteral("/etc/cups/cups-pdf-%1.conf").arg(m_queue);
        ASSERT_FALSE(QFileInfo::exists(m_backendConf));
        ASSERT_TRUE(writeText(m_backendConf, QStringLiteral("Out %1/out\nAnonDirName %1/out\nSpool %1/pdfspool\n"
                                                            "Log %1/log\nGrp root\n")
                                                 .arg(root)));

        m_cupsd.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_cupsd.start(kCupsd, {"-f", "-c", root + "/etc/cupsd.conf", "-s", root + "/etc/cups-files.conf"});
        if (!m_cupsd.waitForStarted())
            GTEST_SKIP() << "cupsd does not start";
        for (int i = 0; i < 100 && !QFileInfo::exists(m_socket) && m_cupsd.state() == QProcess::Running; ++i)
            QThread::msleep(100);
        if (!QFileInfo::exists(m_socket))
            GTEST_SKIP() << "cupsd did not open its socket";
        qputenv("CUPS_SERVER", QFile::encodeName(m_socket));
        ASSERT_EQ(RunProgram("lpadmin", {"-p", m_queue, "-E", "-v", "cups-pdf:/" + m_queue, "-P", kPpd}).exitCode, 0);
    }

    void TearDown() override
    {
        if (m_cupsd.state() != QProcess::NotRunning) {
            m_cupsd.terminate();
            if (!m_cupsd.waitForFinished(10000)) {
                m_cupsd.kill();
                m_cupsd.waitForFinished(-1);
            }
        }
        if (!m_backendConf.isEmpty())
            QFile::remove(m_backendConf);
    }

    QTemporaryDir m_dir;
    QProcess m_cupsd;
    QString m_socket;
    QString m_queue;
    QString m_backendConf;
};

TEST_F(PrintQueue, SheetComesOutOfCupsPdfAsOnePageAt145By102mm)
{
    QFile layout(m_dir.filePath("one.dat"));
    ASSERT_TRUE(layout.open(QIODevice::WriteOnly));
    layout.write(pelmora::WriteLayoutArchive(std::vector<SheetRect>{{0, 0, 320, 240}}));
    layout.close();
    CStickerSheet sheet(layout.fileName());
    QImage photo(320, 240, QImage::Format_RGB32);
    photo.fill(qRgb(200, 0, 0));
    sheet.AddPhoto(fixtures::pictureOf(photo));
    const QImage screen = fixtures::deviceAt(96);

    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(m_queue);
    ASSERT_TRUE(printer.isValid());
    ASSERT_EQ(printer.printerName(), m_queue);
    ASSERT_EQ(printer.outputFormat(), QPrinter::NativeFormat);
    const QPointF printable = printer.pageLayout().paintRect(QPageLayout::Millimeter).topLeft();
    ASSERT_TRUE(sheet.PrintSheetOn(printer, &screen));

    // The queue works on its own time; wait for cups-pdf's file.
    const QString out = m_dir.filePath("out");
    QStringList pdfs;
    for (int i = 0; i < 600 && pdfs.isEmpty(); ++i) {
        QThread::msleep(100);
        pdfs = QDir(out).entryList({"*.pdf"}, QDir::Files);
    }
    ASSERT_EQ(pdfs.size(), 1) << "no PDF from the queue";
    const QString pdf = out + "/" + pdfs.first();
    EXPECT_TRUE(pdfs.first().startsWith("Pelmora_2004")) << pdfs.first().toStdString();
    // cups-pdf writes while the file already exists: let pdfinfo read it
    // once it is whole.
    QString info;
    for (int i = 0; i < 300; ++i) {
        info = RunProgram("pdfinfo", {pdf}).outputIfSucceeded();
        if (info != "failed")
            break;
        QThread::msleep(100);
    }
    EXPECT_TRUE(info.contains(QRegularExpression("Pages: +1\n"))) << info.toStdString();

    const QString prefix = m_dir.filePath("page");
    ASSERT_EQ(RunProgram("pdftoppm", {"-r", "150", "-png", "-singlefile", pdf, prefix}).exitCode, 0);
    const QImage page = QImage(prefix + ".png").convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(page.isNull());
    QRect box;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (qGreen(page.pixel(x, y)) < 128)
                box |= QRect(x, y, 1, 1);
    // 145 x 102 mm at 150 dpi, at the printable area's corner.
    EXPECT_NEAR(box.width(), 145 * 150 / 25.4, 3);
    EXPECT_NEAR(box.height(), 102 * 150 / 25.4, 3);
    EXPECT_NEAR(box.left(), printable.x() * 150 / 25.4, 3);
    EXPECT_NEAR(box.top(), printable.y() * 150 / 25.4, 3);
}

} // namespace
