#include "sound.h"
#include "gsthandle.h"
#include "livewait.h"
#include "paths.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace pelmora {

namespace {

// A pipeline that never prerolls (a file that is not a sound, a sink that
// never opens) is given up after this long.
constexpr qint64 kStartBoundMs = 3000;
// Beyond the sound's own length, for the sink to drain and report its end.
constexpr qint64 kEndMarginMs = 1000;
// When the length cannot be told, the wait still ends.
constexpr qint64 kUnknownLengthBoundMs = 30000;

bool IsRegularFile(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() && info.isFile();
}

// Plays the file to its end; false when it could not be played.
bool PlayToEnd(const QString& path)
{
    if (!EnsureGStreamer())
        return false;
    GstElementPtr player = MakeElement("playbin");
    if (!player)
        return false;
    const QByteArray uri = QUrl::fromLocalFile(path).toEncoded();
    g_object_set(player.get(), "uri", uri.constData(), nullptr);
    // Audio only: a file that carries pictures too must not open a window.
    if (GstElementPtr videoSink = MakeElement("fakesink"))
        g_object_set(player.get(), "video-sink", videoSink.get(), nullptr);

    GstBusPtr bus(gst_element_get_bus(player.get()));
    bool played = false;
    if (gst_element_set_state(player.get(), GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE) {
        QDeadlineTimer deadline(kStartBoundMs);
        bool prerolled = false;
        for (;;) {
            const qint64 remaining = deadline.remainingTime();
            if (remaining <= 0)
                break;
            // The window thread keeps painting the live video while it waits.
            GstMessagePtr message;
            WaitPaintingUntil(
                [&] {
                    message.reset(gst_bus_pop_filtered(
                        bus.get(), GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR |
                                                  GST_MESSAGE_ASYNC_DONE)));
                    return message != nullptr;
                },
                int(remaining));
            if (!message)
                break;
            if (GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_EOS) {
                played = true;
                break;
            }
            if (GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_ERROR)
                break;
            if (!prerolled) {
                prerolled = true;
                gint64 duration = -1;
                const bool known = gst_element_query_duration(player.get(), GST_FORMAT_TIME, &duration)
                                   && duration >= 0;
                deadline.setRemainingTime(known ? duration / GST_MSECOND + kEndMarginMs
                                                : kUnknownLengthBoundMs);
            }
        }
    }
    gst_element_set_state(player.get(), GST_STATE_NULL);
    return played;
}

} // namespace

QString FindSoundFile(const QString& name)
{
    if (name.isEmpty())
        return {};
    QString path = name;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (path.contains(QLatin1Char('/')))
        return IsRegularFile(path) ? QFileInfo(path).absoluteFilePath() : QString();
    const QString inCurrent = QDir::current().absoluteFilePath(path);
    if (IsRegularFile(inCurrent))
        return inCurrent;
    const QString besideProgram = ExecutableFolder() + QLatin1Char('/') + path;
    if (IsRegularFile(besideProgram))
        return besideProgram;
    return {};
}

bool PlaySoundFile(const QString& name)
{
    const QString path = FindSoundFile(name);
    if (!path.isEmpty() && PlayToEnd(path))
        return true;
    // The platform plays its default sound for a sound it cannot play.
    QApplication::beep();
    return false;
}

} // namespace pelmora
