#include "cameraopener.h"

namespace pelmora {

CCameraOpener::~CCameraOpener()
{
    Stop();
}

void CCameraOpener::Post(std::function<void()> job)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_stopped)
        return;
    m_jobs.push_back(std::move(job));
    if (!m_thread.joinable())
        m_thread = std::thread([this] { Loop(); });
    m_wake.notify_one();
}

void CCameraOpener::Stop()
{
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stopped = true;
        dropped.swap(m_jobs);
        m_wake.notify_one();
    }
    if (m_thread.joinable())
        m_thread.join();
}

void CCameraOpener::Loop()
{
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopped || !m_jobs.empty(); });
        if (m_stopped)
            return;
        std::function<void()> job = std::move(m_jobs.front());
        m_jobs.pop_front();
        lock.unlock();
        job();
        lock.lock();
    }
}

} // namespace pelmora
