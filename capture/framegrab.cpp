#include "framegrab.h"
#include <QCoreApplication>

namespace pelmora {

HRESULT CFrameGrabCallback::BufferCB(double sampleTime, const std::uint8_t* bytes, long count)
{
    // Exchanging rather than testing and then storing: whatever number of
    // requests came before this frame, exactly one frame answers them.
    if (m_bIdle.exchange(1) != 0)
        return S_OK;

    QObject* window = m_hWndNotify.data();
    if (!window || (!bytes && count != 0) || count < 0)
        return E_FAIL;

    QByteArray frame(reinterpret_cast<const char*>(bytes), qsizetype(count));
    QCoreApplication::postEvent(window, new CFrameReadyEvent(std::move(frame), sampleTime));
    return S_OK;
}

} // namespace pelmora
