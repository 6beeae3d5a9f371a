#include "audio/clockedsink.h"

#include <chrono>
#include <pthread.h>

namespace {
constexpr auto Period = std::chrono::milliseconds(20);
constexpr int FastChunkFrames = 16384;
} // namespace

ClockedSink::~ClockedSink() {
    stop();
}

bool ClockedSink::start(const OutputFormat& format, AudioRenderer* renderer) {
    stop();
    if (!format.isValid() || !renderer || !prepare(format))
        return false;
    m_format = format;
    m_renderer = renderer;
    const int chunk = m_realTime ? format.sampleRate / 5 : FastChunkFrames;
    m_buffer.assign(size_t(chunk) * format.channels, 0.0f);
    m_stopping = false;
    m_thread = std::thread([this] {
        pthread_setname_np(pthread_self(), "tolvane-output");
        m_realTime ? runRealTime() : runFast();
    });
    return true;
}

void ClockedSink::stop() {
    if (!m_thread.joinable())
        return;
    m_stopping = true;
    wake();
    m_thread.join();
    finish();
}

void ClockedSink::wake() {
    {
        std::lock_guard lock(m_mutex);
        m_wakeRequested = true;
    }
    m_woken.notify_one();
}

void ClockedSink::sleep(std::chrono::milliseconds period) {
    std::unique_lock lock(m_mutex);
    m_woken.wait_for(lock, period, [this] { return m_wakeRequested; });
    m_wakeRequested = false;
}

void ClockedSink::runRealTime() {
    using Clock = std::chrono::steady_clock;
    const int64_t rate = m_format.sampleRate;
    const int64_t maxBehind = rate / 5; // after a stall, do not race to catch up
    const int chunk = int(m_buffer.size() / m_format.channels);
    const Clock::time_point origin = Clock::now();
    int64_t done = 0;
    while (!m_stopping.load(std::memory_order_relaxed)) {
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - origin);
        const int64_t due = elapsed.count() * rate / 1000000000;
        if (due - done > maxBehind)
            done = due - maxBehind;
        while (done < due) {
            const int want = int(std::min<int64_t>(due - done, chunk));
            const int got = m_renderer->render(m_buffer.data(), want, true);
            if (got > 0)
                consume(m_buffer.data(), got);
            done += want;
        }
        sleep(Period);
    }
}

void ClockedSink::runFast() {
    const int chunk = int(m_buffer.size() / m_format.channels);
    while (!m_stopping.load(std::memory_order_relaxed)) {
        const int got = m_renderer->render(m_buffer.data(), chunk, false);
        if (got > 0)
            consume(m_buffer.data(), got);
        else
            sleep(std::chrono::milliseconds(1));
    }
}
