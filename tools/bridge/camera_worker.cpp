#include "tools/bridge/camera_worker.h"

namespace velmora::bridge {

CameraWorker::CameraWorker(CameraHost& host, std::size_t capacity)
    : m_host(host), m_capacity(capacity), m_thread([this] { Run(); })
{
}

CameraWorker::~CameraWorker()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closing = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

bool CameraWorker::Submit(Job job)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_bounded >= m_capacity) return false;
    ++m_bounded;
    m_jobs.push_back(std::move(job));
    m_isBounded.push_back(true);
    const bool wake = m_idle;
    lock.unlock();
    if (wake) m_wake.notify_one();
    return true;
}

void CameraWorker::SubmitOwed(Job job)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_jobs.push_back(std::move(job));
    m_isBounded.push_back(false);
    const bool wake = m_idle;
    lock.unlock();
    if (wake) m_wake.notify_one();
}

void CameraWorker::Run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (m_jobs.empty()) {
            if (m_closing) return;
            m_idle = true;
            m_wake.wait(lock, [this] { return !m_jobs.empty() || m_closing; });
            m_idle = false;
            continue;
        }
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        // A job counts against the bound until it has run: the bound is on the camera's backlog.
        const bool bounded = m_isBounded.front();
        m_isBounded.pop_front();
        lock.unlock();
        job(m_host);
        job = nullptr;
        lock.lock();
        if (bounded) --m_bounded;
    }
}

}  // namespace velmora::bridge
