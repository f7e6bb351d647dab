// Exporting photos as numbered bitmap files.
#include "photooutput.h"

#include "bmp.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

QString exportName(const QString& folder, int number)
{
    // Joined, not formatted: a folder such as "out%1x" holds text that a
    // second arg() would take for its own placeholder. A folder given with a
    // trailing slash gives two in a row, which names the same file.
    return folder + QStringLiteral("/Pelmora ") + QString::number(number) + QStringLiteral(".bmp");
}

bool writeAll(int fd, const char* bytes, qsizetype size)
{
    while (size > 0) {
        const ssize_t done = ::write(fd, bytes, size_t(size));
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes += done;
        size -= done;
    }
    return true;
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

QString ExportReport::StoppedMessage(int photoCount) const
{
    // One arg() call over all four: the folder's and the reason's own text
    // are never searched for placeholders.
    return QStringLiteral("The photos could not all be saved to the folder \"%1\".\n\n%2\n\n"
                          "%3 of %4 photos were saved.")
        .arg(QDir::toNativeSeparators(folder), reason, QString::number(written.size()),
             QString::number(photoCount));
}

// Each file's header describes the pixel rows CopyPixels gives, which are
// those of the decoded picture, not the picture's size on some screen: on a
// screen of another resolution a header of that size would not match the rows
// behind it.
int pelmora::ExportPhotoFiles(std::span<const CPicture> photos, const QString& folder, ExportReport* report)
{
    ExportReport local;
    ExportReport& out = report ? *report : local;
    out = ExportReport();
    out.folder = folder;
    if (photos.empty())
        return 0;

    auto stop = [&out](const QString& file, const QString& reason) {
        out.failedFile = file;
        out.reason = reason;
        return 0;
    };

    int n = 1;
    for (const CPicture& photo : photos) {
        QString name;
        int fd = -1;
        for (;;) {
            name = exportName(folder, n);
            const QByteArray path = QFile::encodeName(name);
            // The system would refuse it too; saying so before trying keeps
            // the reason plain.
            if (path.size() >= PATH_MAX)
                return stop(name, QStringLiteral("The file name is too long."));
            // The system would read a name only up to a zero byte: another
            // file than the one named.
            if (path.contains('\0'))
                return stop(name, QStringLiteral("The folder name is not valid."));
            // O_EXCL: the name is taken only if no file (or link) had it.
            fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0)
                break;
            if (errno != EEXIST)
                return stop(name, systemReason(errno));
            if (n == INT_MAX)
                return stop(name, QStringLiteral("No free file number is left."));
            ++n;
        }
        ++n;

        auto abandon = [&](const QString& reason) {
            ::close(fd);
            // A file without all its pixels is no photo; the user's other
            // files are untouched, as this one was made by us just now.
            ::unlink(QFile::encodeName(name).constData());
            return stop(name, reason);
        };

        const QImage* bitmap = photo.GetBitmap();
        if (bitmap == nullptr || bitmap->isNull())
            return abandon(QStringLiteral("The photo's pixels could not be read."));
        const int w = bitmap->width();
        const int h = bitmap->height();
        const qsizetype pixelBytes = qsizetype(pelmora::BmpRowStride(w)) * h;
        QByteArray file = pelmora::BmpHeader(w, h, std::uint32_t(pixelBytes));
        file.resize(pelmora::kBmpHeaderSize + pixelBytes);
        if (photo.CopyPixels(pixelBytes, file.data() + pelmora::kBmpHeaderSize) != pixelBytes)
            return abandon(QStringLiteral("The photo's pixels could not be read."));
        if (!writeAll(fd, file.constData(), file.size()))
            return abandon(systemReason(errno));
        // Some file systems report a full disk only when the file is closed.
        if (::close(fd) != 0) {
            const int error = errno;
            ::unlink(QFile::encodeName(name).constData());
            return stop(name, systemReason(error));
        }
        out.written.append(name);
    }
    return int(photos.size());
}
