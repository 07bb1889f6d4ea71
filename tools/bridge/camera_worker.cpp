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

bool CameraWorker::Submit(Job job, bool wake)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_bounded >= m_capacity) return false;
    ++m_bounded;
    m_jobs.push_back(std::move(job));
    m_isBounded.push_back(true);
    wake = wake && m_idle;
    lock.unlock();
    if (wake) m_wake.notify_one();
    return true;
}

void CameraWorker::SubmitOwed(Job job, bool wake)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_jobs.push_back(std::move(job));
    m_isBounded.push_back(false);
    wake = wake && m_idle;
    lock.unlock();
    if (wake) m_wake.notify_one();
}

void CameraWorker::SubmitUrgent(Job job)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_urgent.push_back(std::move(job));
    const bool wake = m_idle;
    lock.unlock();
    if (wake) m_wake.notify_one();
}

void CameraWorker::Wake()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const bool wake = m_idle && !(m_jobs.empty() && m_urgent.empty());
    lock.unlock();
    if (wake) m_wake.notify_one();
}

void CameraWorker::AnswerThrough(Poster poster)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_poster = std::move(poster);
}

void CameraWorker::Answer(std::function<void()> answer)
{
    m_answers.push_back(std::move(answer));
}

void CameraWorker::Flush()
{
    if (m_answers.empty()) return;
    m_poster([answers = std::move(m_answers)] {
        for (const auto& answer : answers) answer();
    });
    m_answers.clear();
}

void CameraWorker::Run()
{
    // A turn's answers wait for the queue to empty, or for this many of them.
    constexpr std::size_t kAnswersATurn = 32;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (!m_answers.empty() && (m_jobs.empty() || m_answers.size() >= kAnswersATurn)) {
            lock.unlock();
            Flush();
            lock.lock();
            continue;
        }
        if (!m_urgent.empty()) {
            Job job = std::move(m_urgent.front());
            m_urgent.pop_front();
            lock.unlock();
            job(m_host);
            job = nullptr;
            // Its answer goes at once, with those of the turn so far.
            Flush();
            lock.lock();
            continue;
        }
        if (m_jobs.empty()) {
            if (m_closing) return;
            m_idle = true;
            m_wake.wait(lock, [this] { return !m_jobs.empty() || !m_urgent.empty() || m_closing; });
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
