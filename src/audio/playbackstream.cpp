#include "audio/playbackstream.h"

#include <sys/eventfd.h>
#include <unistd.h>

PlaybackStream::PlaybackStream()
    : m_ring(RingFrames, Channels), m_notifier(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

PlaybackStream::~PlaybackStream() {
    if (m_notifier >= 0)
        close(m_notifier);
}

// A counter bump on an eventfd: one system call, no lock, no allocation, so
// the audio thread can wake the GUI thread instead of being polled.
void PlaybackStream::notifyGui() {
    const uint64_t one = 1;
    if (m_notifier >= 0 && write(m_notifier, &one, sizeof one) < 0)
        return; // the counter is full: the GUI thread has plenty to read
}

void PlaybackStream::clearNotification() {
    uint64_t count = 0;
    if (m_notifier >= 0 && read(m_notifier, &count, sizeof count) < 0)
        return; // nothing was pending
}

// ---- decoder thread

bool PlaybackStream::hasSegmentSlot() const {
    return m_segmentWrite.load(std::memory_order_relaxed) -
               m_segmentRead.load(std::memory_order_seq_cst) <
           SegmentSlots;
}

uint64_t PlaybackStream::pushSegment(int kind, int trackId, int64_t startFrame, bool jump,
                                     uint32_t seekSerial) {
    const uint64_t index = m_segmentWrite.load(std::memory_order_relaxed);
    StreamSegment& segment = slot(index);
    segment.kind = kind;
    segment.trackId = trackId;
    segment.startFrame = startFrame;
    segment.startPosition = m_ring.writePosition();
    segment.jump = jump;
    segment.seekSerial = seekSerial;
    segment.state.store(StreamSegment::Pending, std::memory_order_relaxed);
    // Published before any frame of it, so a consumer that sees those frames
    // sees the segment too.
    m_segmentWrite.store(index + 1, std::memory_order_seq_cst);
    return index;
}

bool PlaybackStream::cancelSegment(uint64_t index) {
    if (index < m_segmentRead.load(std::memory_order_seq_cst))
        return false;
    int expected = StreamSegment::Pending;
    return slot(index).state.compare_exchange_strong(expected, StreamSegment::Cancelled,
                                                     std::memory_order_seq_cst);
}

uint32_t PlaybackStream::beginEdit(bool silence) {
    const uint32_t serial = m_editsPosted.load(std::memory_order_relaxed) + 1;
    if (silence)
        m_silenceUntil.store(serial, std::memory_order_seq_cst);
    m_editsPosted.store(serial, std::memory_order_seq_cst);
    return serial;
}

void PlaybackStream::wake() {
    m_wake.fetch_add(1, std::memory_order_seq_cst);
    m_wake.notify_one();
}

// ---- audio thread

void PlaybackStream::postEvent(const StreamSegment& segment) {
    const uint64_t write = m_eventWrite.load(std::memory_order_relaxed);
    if (write - m_eventRead.load(std::memory_order_acquire) >= EventSlots)
        return; // the GUI thread is far behind; it catches up with the next event
    StreamEvent& event = m_events[write % EventSlots];
    event.jump = segment.jump;
    event.end = segment.kind == StreamSegment::End;
    event.trackId = segment.trackId;
    event.startFrame = segment.startFrame;
    event.position = segment.startPosition;
    event.seekSerial = segment.seekSerial;
    m_eventWrite.store(write + 1, std::memory_order_release);
    notifyGui();
}

bool PlaybackStream::applyLatestJump() {
    const uint64_t end = m_segmentWrite.load(std::memory_order_seq_cst);
    uint64_t read = m_segmentRead.load(std::memory_order_relaxed);
    uint64_t jump = end;
    for (uint64_t i = read; i < end; ++i) {
        if (slot(i).jump)
            jump = i;
    }
    if (jump == end)
        return false;
    // The producer never cancels a jump, nor a segment before its last jump.
    StreamSegment& segment = slot(jump);
    segment.state.store(StreamSegment::Entered, std::memory_order_seq_cst);
    m_ring.skipTo(segment.startPosition);
    m_currentKind = segment.kind;
    m_currentTrack = segment.kind == StreamSegment::Track ? segment.trackId : -1;
    m_consumerTrack.store(m_currentTrack, std::memory_order_seq_cst);
    postEvent(segment);
    m_segmentRead.store(jump + 1, std::memory_order_seq_cst);
    return true;
}

// Handles the segment at the read position; false when it is a cancelled
// segment with nothing after it yet (the producer has not caught up).
bool PlaybackStream::enter(uint64_t segmentEnd) {
    const uint64_t read = m_segmentRead.load(std::memory_order_relaxed);
    StreamSegment& segment = slot(read);
    int expected = StreamSegment::Pending;
    if (segment.state.compare_exchange_strong(expected, StreamSegment::Entered,
                                              std::memory_order_seq_cst)) {
        m_currentKind = segment.kind;
        m_currentTrack = segment.kind == StreamSegment::Track ? segment.trackId : -1;
        m_consumerTrack.store(m_currentTrack, std::memory_order_seq_cst);
        postEvent(segment);
        m_segmentRead.store(read + 1, std::memory_order_seq_cst);
        return true;
    }
    if (read + 1 >= segmentEnd)
        return false;
    // Everything from a cancelled segment up to the next one is dead.
    m_segmentRead.store(read + 1, std::memory_order_seq_cst);
    m_ring.skipTo(slot(read + 1).startPosition);
    return true;
}

int PlaybackStream::render(float* destination, int frames, bool paced) {
    const uint64_t segmentsBefore = m_segmentRead.load(std::memory_order_relaxed);
    // Read before the segments, so an edit seen as applied has its jump seen.
    const uint32_t applied = m_editsApplied.load(std::memory_order_seq_cst);
    const bool editPending = applied != m_editsPosted.load(std::memory_order_seq_cst);
    const bool silenced = int32_t(m_silenceUntil.load(std::memory_order_seq_cst) - applied) > 0;
    m_jumped = applyLatestJump();
    int produced = 0;
    if (m_playing.load(std::memory_order_acquire) && !silenced) {
        const int channels = m_ring.channels();
        while (produced < frames) {
            // Frames first, then segments: a frame seen implies its segment seen.
            const int64_t written = m_ring.writtenPosition();
            const uint64_t segmentEnd = m_segmentWrite.load(std::memory_order_seq_cst);
            const uint64_t segmentRead = m_segmentRead.load(std::memory_order_relaxed);
            const int64_t position = m_ring.readPosition();
            int64_t limit = written;
            if (segmentRead < segmentEnd) {
                const StreamSegment& next = slot(segmentRead);
                if (next.startPosition <= position) {
                    if (editPending || !enter(segmentEnd))
                        break;
                    continue;
                }
                limit = std::min(limit, next.startPosition);
            }
            if (m_currentKind != StreamSegment::Track)
                break;
            const int64_t available = limit - position;
            if (available <= 0)
                break;
            const int count = int(std::min<int64_t>(available, frames - produced));
            m_ring.read(destination + produced * channels, count);
            produced += count;
        }
    }
    applyVolume(destination, produced);
    const bool starved = paced && produced < frames && !editPending &&
                         m_currentKind != StreamSegment::End &&
                         m_playing.load(std::memory_order_relaxed);
    if (starved != m_starved.load(std::memory_order_relaxed)) {
        m_starved.store(starved, std::memory_order_relaxed);
        notifyGui();
    }

    if (m_producerWaiting.load(std::memory_order_seq_cst) &&
        (m_ring.freeFrames() >= m_ring.capacity() / 2 ||
         m_segmentRead.load(std::memory_order_relaxed) != segmentsBefore)) {
        if (m_producerWaiting.exchange(false, std::memory_order_seq_cst))
            wake();
    }
    return produced;
}

AudioRenderer::Activity PlaybackStream::activity() const {
    if (!m_playing.load(std::memory_order_acquire))
        return Activity::Paused;
    // At the end, unless tracks were queued after it since.
    if (m_currentKind == StreamSegment::End && m_segmentRead.load(std::memory_order_relaxed) ==
                                                   m_segmentWrite.load(std::memory_order_seq_cst))
        return Activity::Idle;
    return Activity::Playing;
}

// A change of volume glides over one buffer instead of stepping (a click).
void PlaybackStream::applyVolume(float* samples, int frames) {
    const float target = m_volume.load(std::memory_order_relaxed);
    // Out of silence the new volume takes over at once.
    const float start = m_silentBefore ? target : m_appliedVolume;
    m_appliedVolume = target;
    m_silentBefore = frames == 0;
    if (frames == 0)
        return;
    if (start == target) {
        if (target != 1.0f) {
            for (int i = 0, n = frames * Channels; i < n; ++i)
                samples[i] *= target;
        }
        return;
    }
    for (int frame = 0; frame < frames; ++frame) {
        const float gain = start + (target - start) * float(frame + 1) / float(frames);
        for (int channel = 0; channel < Channels; ++channel)
            samples[frame * Channels + channel] *= gain;
    }
}

// ---- GUI thread

const StreamEvent* PlaybackStream::peekEvent() const {
    const uint64_t read = m_eventRead.load(std::memory_order_relaxed);
    if (read == m_eventWrite.load(std::memory_order_acquire))
        return nullptr;
    return &m_events[read % EventSlots];
}

void PlaybackStream::popEvent() {
    m_eventRead.store(m_eventRead.load(std::memory_order_relaxed) + 1, std::memory_order_release);
}
