#include "framegrab.h"
#include <QCoreApplication>

namespace pelmora {

bool CFrameTarget::Post(QEvent* event)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_window) {
        delete event;
        return false;
    }
    QCoreApplication::postEvent(m_window.data(), event);
    return true;
}

HRESULT CFrameGrabCallback::BufferCB(double sampleTime, const std::uint8_t* bytes, long count)
{
    // Exchanging rather than testing and then storing: whatever number of
    // requests came before this frame, exactly one frame answers them.
    if (m_bIdle.exchange(1) != 0)
        return S_OK;
    if ((!bytes && count != 0) || count < 0)
        return E_FAIL;

    QByteArray frame(reinterpret_cast<const char*>(bytes), qsizetype(count));
    ++*m_inFlight;
    return m_hWndNotify.Post(new CFrameReadyEvent(std::move(frame), sampleTime, m_inFlight)) ? S_OK : E_FAIL;
}

} // namespace pelmora
