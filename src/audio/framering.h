#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <vector>

// Single-producer single-consumer ring of interleaved float frames.
//
// Positions are absolute frame counts that only grow, so a position names one
// frame of the stream for its whole life and the two sides can talk about
// frames by position. Neither side ever blocks or allocates.
class FrameRing {
public:
    // `capacityFrames` is rounded up to a power of two.
    FrameRing(int64_t capacityFrames, int channels) : m_channels(channels) {
        int64_t capacity = 1;
        while (capacity < capacityFrames)
            capacity <<= 1;
        m_capacity = capacity;
        m_samples.assign(size_t(capacity * channels), 0.0f);
    }

    int channels() const { return m_channels; }
    int64_t capacity() const { return m_capacity; }

    // ---- producer side
    int64_t writePosition() const { return m_write.load(std::memory_order_relaxed); }
    int64_t freeFrames() const {
        return m_capacity -
               (m_write.load(std::memory_order_relaxed) - m_read.load(std::memory_order_seq_cst));
    }
    // The contiguous writable space at the write position, at most `maxFrames`.
    float* writeRegion(int64_t maxFrames, int64_t* frames) {
        const int64_t write = m_write.load(std::memory_order_relaxed);
        const int64_t offset = write & (m_capacity - 1);
        *frames = std::max<int64_t>(0, std::min({maxFrames, freeFrames(), m_capacity - offset}));
        return m_samples.data() + offset * m_channels;
    }
    // Publishes `frames` frames written into the last region.
    void commit(int64_t frames) {
        m_write.store(m_write.load(std::memory_order_relaxed) + frames, std::memory_order_release);
    }

    // ---- consumer side
    int64_t readPosition() const { return m_read.load(std::memory_order_relaxed); }
    // Everything before this position has been written.
    int64_t writtenPosition() const { return m_write.load(std::memory_order_acquire); }
    // Copies `frames` frames (which must have been written) and moves past them.
    void read(float* destination, int64_t frames) {
        int64_t read = m_read.load(std::memory_order_relaxed);
        while (frames > 0) {
            const int64_t offset = read & (m_capacity - 1);
            const int64_t run = std::min(frames, m_capacity - offset);
            std::memcpy(destination, m_samples.data() + offset * m_channels,
                        size_t(run * m_channels) * sizeof(float));
            destination += run * m_channels;
            read += run;
            frames -= run;
        }
        m_read.store(read, std::memory_order_seq_cst);
    }
    // Drops the frames before `position` (at most the written position).
    void skipTo(int64_t position) {
        if (position > m_read.load(std::memory_order_relaxed))
            m_read.store(position, std::memory_order_seq_cst);
    }

private:
    int m_channels;
    int64_t m_capacity = 0;
    std::vector<float> m_samples;
    alignas(64) std::atomic<int64_t> m_write{0};
    alignas(64) std::atomic<int64_t> m_read{0};
};
