#pragma once
#include "hresult.h"
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
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

    // inFlight, when given, counts this event until it is handled or dropped.
    explicit CFrameReadyEvent(QByteArray frame, double sampleTime = 0.0,
                              std::shared_ptr<std::atomic<int>> inFlight = {})
        : QEvent(Type), m_frame(std::move(frame)), m_sampleTime(sampleTime), m_inFlight(std::move(inFlight))
    {
    }
    ~CFrameReadyEvent() override
    {
        if (m_inFlight)
            --*m_inFlight;
    }

    const QByteArray& Frame() const { return m_frame; }
    double SampleTime() const { return m_sampleTime; }

private:
    QByteArray m_frame;
    double m_sampleTime;
    std::shared_ptr<std::atomic<int>> m_inFlight;
};

// The frame-ready message by its traditional name.
inline constexpr QEvent::Type WM_FRAME_READY = CFrameReadyEvent::Type;

// The window that receives delivered frames. The streaming thread posts to it
// under the same lock under which the window thread sets and clears it, so a
// window that clears it as it goes is never posted to afterwards.
class CFrameTarget {
public:
    CFrameTarget& operator=(QObject* window)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_window = window;
        return *this;
    }
    // Clears the target if it is still window.
    void Clear(QObject* window)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_window == window)
            m_window = nullptr;
    }
    // Posts the event, or deletes it and returns false when there is no window.
    bool Post(QEvent* event);

private:
    std::mutex m_lock;
    QPointer<QObject> m_window;
};

// Hands one frame per request from the streaming thread to the main window.
// The two threads share only m_bIdle and m_hWndNotify.
class CFrameGrabCallback {
public:
    // 1: no frame wanted; 0: the next frame the grabber sees is delivered.
    std::atomic<std::uint8_t> m_bIdle{1};
    // Receives CFrameReadyEvent. Set by the main window before any request.
    CFrameTarget m_hWndNotify;

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
    // True while a frame is requested, or one is posted and not yet handled.
    bool IsFramePending() const { return !IsIdle() || m_inFlight->load() > 0; }

private:
    std::shared_ptr<std::atomic<int>> m_inFlight = std::make_shared<std::atomic<int>>(0);
};

} // namespace pelmora
