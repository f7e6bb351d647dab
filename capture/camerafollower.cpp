#include "camerafollower.h"
#include "camerachain.h"
#include "camerawatch.h"
#include "framegrab.h"
#include <algorithm>
#include <chrono>
#include <QSocketNotifier>
#include <QTimer>

namespace pelmora {

namespace {

// A camera that has sent nothing for this long delivers no frames: many
// times the frame interval of even a slow camera.
constexpr qint64 kStaleFrameMs = 1000;
// Cameras that could not be opened or started are tried again after a
// second, then after twice as long each time, at least every few seconds.
constexpr int kFirstRetryMs = 1000;
constexpr int kLongestRetryMs = 4000;

qint64 SteadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

CCameraFollower::CCameraFollower(GstElement* pipeline, GstElement* grabber, CFrameGrabCallback* callback,
                                 CCameraWatch* watch, QObject* parent)
    : QObject(parent), m_pipeline(pipeline), m_grabber(grabber), m_callback(callback), m_watch(watch)
{
    // A request made just before the camera stalled or went without a word
    // would otherwise be answered whenever it wakes up.
    m_watchdog = new QTimer(this);
    QObject::connect(m_watchdog, &QTimer::timeout, this, [this] {
        if (!IsDelivering() && m_callback)
            m_callback->CancelRequest();
    });
    m_retry = new QTimer(this);
    m_retry->setSingleShot(true);
    QObject::connect(m_retry, &QTimer::timeout, this, [this] { Raise(CameraEvent::RetryDue); });
}

CCameraFollower::~CCameraFollower()
{
    Shutdown();
}

void CCameraFollower::Shutdown()
{
    m_opener.Stop();
    m_watchdog->stop();
    m_retry->stop();
    delete m_busNotifier;
    m_busNotifier = nullptr;
}

void CCameraFollower::Adopt(std::unique_ptr<CaptureDevice> device)
{
    m_deviceName = device->DisplayName();
    m_device = std::move(device);
    m_attached = m_opening = 1;
    m_generation.store(1);
    m_state = CameraState::Ready;
}

void CCameraFollower::StartWatching()
{
    if (m_busNotifier)
        return;
    GstBusPtr bus(gst_element_get_bus(m_pipeline));
    GPollFD pollfd{};
    gst_bus_get_pollfd(bus.get(), &pollfd);
    // The descriptor is readable while messages wait, so reading the bus needs
    // no GLib main loop: Qt's loop (and every modal loop) serves it.
    m_busNotifier = new QSocketNotifier(pollfd.fd, QSocketNotifier::Read, this);
    QObject::connect(m_busNotifier, &QSocketNotifier::activated, this, [this] { DrainBus(); });
    if (!m_watch)
        m_watch = new CCameraWatch(this);
    m_watch->Listen([this](GstDevice* device, bool added) { OnCameraNotice(device, added); });
    m_watchdog->start(250);
    // A camera lost before anyone watched is replaced now, if another is there.
    Raise(CameraEvent::RetryDue);
}

bool CCameraFollower::Run()
{
    m_wantRunning = true;
    Raise(CameraEvent::Run);
    return HasCamera();
}

bool CCameraFollower::HasCamera() const
{
    return m_state == CameraState::Ready || m_state == CameraState::Starting || m_state == CameraState::Live;
}

bool CCameraFollower::IsDelivering() const
{
    return m_state == CameraState::Live && SteadyMs() - m_lastFrameMs.load() < kStaleFrameMs;
}

void CCameraFollower::FrameSeen()
{
    m_lastFrameMs.store(SteadyMs());
    if (m_cameraFrames.fetch_add(1) != 0)
        return;
    QMetaObject::invokeMethod(
        this,
        [this, generation = m_generation.load()] {
            if (generation != m_attached)
                return;
            Raise(CameraEvent::FirstFrame);
            m_retryMs = 0;
        },
        Qt::QueuedConnection);
}

void CCameraFollower::DrainBus()
{
    GstBusPtr bus(gst_element_get_bus(m_pipeline));
    while (GstMessagePtr message{gst_bus_pop(bus.get())}) {
        const GstMessageType type = GST_MESSAGE_TYPE(message.get());
        // A camera taken out already (unplugged, replaced) may still have had
        // its say, and so may one whose opening is under way: the opening's
        // result tells about that one.
        if ((type != GST_MESSAGE_ERROR && type != GST_MESSAGE_EOS) || !HasCamera() ||
            !gst_object_has_as_ancestor(GST_MESSAGE_SRC(message.get()), GST_OBJECT(m_pipeline)))
            continue;
        if (type == GST_MESSAGE_ERROR) {
            GError* error = nullptr;
            gst_message_parse_error(message.get(), &error, nullptr);
            GErrorPtr owned(error);
            m_lastError = owned ? QString::fromUtf8(owned->message) : QString();
        }
        Raise(CameraEvent::Failed);
    }
}

void CCameraFollower::OnCameraNotice(GstDevice* device, bool added)
{
    m_notice.reset(GST_DEVICE(gst_object_ref(device)));
    // Plugged in again, or gone: a camera passed over is a fresh one next time.
    ForgetPassedOver(device);
    if (added)
        Raise(CameraEvent::Plugged);
    else if (m_state == CameraState::Opening || (m_device && SameDevice(m_device->Device(), device)))
        Raise(CameraEvent::Unplugged);
    m_notice.reset();
}

void CCameraFollower::Raise(CameraEvent event)
{
    const std::optional<CameraStep> step = NextCameraStep(m_state, event);
    if (!step)
        return;
    m_state = step->next;
    Perform(step->action);
}

void CCameraFollower::Perform(CameraAction action)
{
    switch (action) {
    case CameraAction::None:
        break;
    case CameraAction::Play:
        m_opener.Post([this, pipeline = m_pipeline, generation = m_attached] {
            const bool started = gst_element_set_state(pipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
            // A refused start is this camera's failure; the reason posted with
            // it goes when the pipeline stops.
            QMetaObject::invokeMethod(
                this,
                [this, generation, started] {
                    if (!started && generation == m_attached)
                        Raise(CameraEvent::Failed);
                },
                Qt::QueuedConnection);
        });
        break;
    case CameraAction::PlayIfWanted:
        if (m_wantRunning)
            Raise(CameraEvent::Run);
        break;
    case CameraAction::Replace:
    case CameraAction::PassOverReplace:
        LetGo(action == CameraAction::PassOverReplace);
        OpenFirst(Candidates());
        break;
    case CameraAction::RetryLater:
        if (std::exchange(m_pluggedWhileOpening, false)) {
            Raise(CameraEvent::Plugged);
        } else if (m_watch && !m_watch->Devices().empty()) {
            m_retryMs = std::clamp(m_retryMs * 2, kFirstRetryMs, kLongestRetryMs);
            m_retry->start(m_retryMs);
        }
        break;
    case CameraAction::OpenAgainAfter:
        m_pluggedWhileOpening = true;
        break;
    case CameraAction::DropWhenAttached:
        if (m_notice)
            m_goneWhileOpening.emplace_back(GST_DEVICE(gst_object_ref(m_notice.get())));
        break;
    case CameraAction::RetryAll:
        m_passedOver.clear();
        OpenFirst(Candidates());
        break;
    }
}

void CCameraFollower::LetGo(bool passOver)
{
    if (m_callback)
        m_callback->CancelRequest();
    if (passOver && m_device)
        m_passedOver.push_back(std::move(m_device));
    m_device.reset();
    Q_EMIT CameraChanged();
}

void CCameraFollower::OpenFirst(CaptureDeviceList candidates)
{
    const int generation = ++m_opening;
    m_goneWhileOpening.clear();
    m_pluggedWhileOpening = false;
    auto list = std::make_shared<CaptureDeviceList>(std::move(candidates));
    m_opener.Post([this, generation, list, pipeline = m_pipeline, grabber = m_grabber] {
        // Stopping joins the old camera's streaming thread: the frames the
        // grabber counts from here on are the new camera's.
        gst_element_set_state(pipeline, GST_STATE_NULL);
        DetachCamera(GST_BIN(pipeline), grabber);
        m_cameraFrames.store(0);
        m_generation.store(generation);
        auto attached = std::make_shared<std::unique_ptr<CaptureDevice>>();
        for (std::unique_ptr<CaptureDevice>& candidate : *list) {
            if (!candidate || FAILED(AttachCamera(GST_BIN(pipeline), grabber, *candidate)))
                continue;
            if (gst_element_set_state(pipeline, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE) {
                *attached = std::move(candidate);
                break;
            }
            gst_element_set_state(pipeline, GST_STATE_NULL);
            DetachCamera(GST_BIN(pipeline), grabber);
        }
        QMetaObject::invokeMethod(
            this, [this, generation, attached] { OnOpened(generation, std::move(*attached)); },
            Qt::QueuedConnection);
    });
}

void CCameraFollower::OnOpened(int generation, std::unique_ptr<CaptureDevice> device)
{
    if (generation != m_opening || m_state != CameraState::Opening)
        return;
    if (!device) {
        Raise(CameraEvent::NoneOpened);
        return;
    }
    const bool gone = std::any_of(m_goneWhileOpening.begin(), m_goneWhileOpening.end(),
                                  [&](const GstDevicePtr& left) { return SameDevice(left.get(), device->Device()); });
    m_goneWhileOpening.clear();
    m_deviceName = device->DisplayName();
    m_lastError.clear();
    m_device = std::move(device);
    m_attached = generation;
    Raise(CameraEvent::Attached);
    if (gone)
        Raise(CameraEvent::Unplugged);
}

CaptureDeviceList CCameraFollower::Candidates() const
{
    CaptureDeviceList chosen;
    for (std::unique_ptr<CaptureDevice>& device : m_watch ? m_watch->Devices() : CaptureDeviceList{}) {
        const bool passedOver = std::any_of(m_passedOver.begin(), m_passedOver.end(), [&](const auto& failed) {
            return SameDevice(failed->Device(), device->Device());
        });
        if (!passedOver)
            chosen.push_back(std::move(device));
    }
    return chosen;
}

void CCameraFollower::ForgetPassedOver(GstDevice* device)
{
    std::erase_if(m_passedOver, [device](const auto& failed) { return SameDevice(failed->Device(), device); });
}

} // namespace pelmora
