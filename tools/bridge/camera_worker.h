// One thread for every camera transfer, fed by a bounded FIFO queue: one transfer at a time, in the
// order the requests arrived, and a full queue refuses instead of growing.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "tools/bridge/camera_host.h"

namespace velmora::bridge {

class CameraWorker {
public:
    using Job = std::function<void(CameraHost&)>;
    using Poster = std::function<void(std::function<void()>)>;

    // capacity: the requests that may wait; the host is used on the worker's thread only.
    CameraWorker(CameraHost& host, std::size_t capacity);
    // Runs what is queued, then ends the thread.
    ~CameraWorker();
    CameraWorker(const CameraWorker&) = delete;
    CameraWorker& operator=(const CameraWorker&) = delete;

    // False, and the job dropped, when capacity jobs wait already. wake false leaves waking the
    // worker to a later Wake, so that a burst of requests costs one wake-up.
    bool Submit(Job job, bool wake = true);
    // Queued past the bound, in order: what must not be refused (an owed release, a device change).
    void SubmitOwed(Job job, bool wake = true);
    // Ahead of every job that waits, in order among themselves, and at once: a macro's steps, whose
    // time must not depend on what else is queued, and the releases of a cancelled macro.
    void SubmitUrgent(Job job);
    // Wakes the worker when jobs wait for it.
    void Wake();

    // Where answers go (the event loop's post), set before the first job that answers.
    void AnswerThrough(Poster poster);
    // From a job, on the worker's thread: answer runs through the poster, in order, together with
    // the answers of the jobs that ran in the same turn (one wake of the loop for a burst of them).
    void Answer(std::function<void()> answer);

    std::size_t Capacity() const { return m_capacity; }

private:
    void Run();
    void Flush();

    CameraHost& m_host;
    const std::size_t m_capacity;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_jobs;
    std::deque<bool> m_isBounded;  // beside m_jobs: queued by Submit
    std::deque<Job> m_urgent;
    std::size_t m_bounded = 0;  // Submit's jobs waiting or running
    bool m_idle = false;
    bool m_closing = false;
    Poster m_poster;
    std::vector<std::function<void()>> m_answers;  // worker thread only
    std::thread m_thread;
};

}  // namespace velmora::bridge
