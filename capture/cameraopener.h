#pragma once
// The slow work on the camera end (stopping the stream, opening a camera,
// asking it for its formats, starting it) runs here, on a thread of its own,
// one job after another, so that the window thread never waits for a
// camera's driver.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace pelmora {

class CCameraOpener {
public:
    CCameraOpener() = default;
    ~CCameraOpener();
    CCameraOpener(const CCameraOpener&) = delete;
    CCameraOpener& operator=(const CCameraOpener&) = delete;

    // Runs the job after those posted before it.
    void Post(std::function<void()> job);
    // Waits for the job under way, drops the waiting ones and ends the
    // thread; later jobs are dropped.
    void Stop();

private:
    void Loop();

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopped = false;
    std::thread m_thread;
};

} // namespace pelmora
