#pragma once
#include "hresult.h"
#include <atomic>
#include <cstdint>
#include <QByteArray>
#include <QEvent>
#include <QObject>
#include <QPointer>

namespace pelmora {

// A grabbed frame on its way to the main window: 320 by 240 pixels, blue-green-
// red, bottom row first, 960 bytes a row, 230,400 bytes. The event owns its copy
// of the bytes, because the grabber's buffer is gone once the callback returns.
class CFrameReadyEvent : public QEvent {
public:
    static constexpr QEvent::Type Type = QEvent::Type(QEvent::User + 1);

    explicit CFrameReadyEvent(QByteArray frame, double sampleTime = 0.0)
        : QEvent(Type), m_frame(std::move(frame)), m_sampleTime(sampleTime)
    {
    }

    const QByteArray& Frame() const { return m_frame; }
    double SampleTime() const { return m_sampleTime; }

private:
    QByteArray m_frame;
    double m_sampleTime;
};

// The frame-ready message by its traditional name.
inline constexpr QEvent::Type WM_FRAME_READY = CFrameReadyEvent::Type;

// Hands one frame per request from the streaming thread to the main window.
// The two threads share only m_bIdle and m_hWndNotify and take no lock.
class CFrameGrabCallback {
public:
    // 1: no frame wanted; 0: the next frame the grabber sees is delivered.
    std::atomic<std::uint8_t> m_bIdle{1};
    // Receives CFrameReadyEvent. Set once by the main window before any request.
    QPointer<QObject> m_hWndNotify;

    // Window thread: ask for the next frame. A second request before that
    // frame arrives changes nothing.
    void RequestFrame() { m_bIdle.store(0); }
    // Window thread: a request that no frame has answered yet is dropped.
    void CancelRequest() { m_bIdle.store(1); }

    // Streaming thread, once per frame passing the grabber. S_OK when idle or
    // when the frame was posted; E_FAIL when there is no window to post to
    // (the request is then used up and lost).
    HRESULT BufferCB(double sampleTime, const std::uint8_t* bytes, long count);

    // The grabber's other callback is never selected.
    HRESULT SampleCB(double, void*) { return E_NOTIMPL; }

    bool IsIdle() const { return m_bIdle.load(std::memory_order_relaxed) != 0; }
};

} // namespace pelmora
