#pragma once

#include "audio/audiosink.h"
#include "audio/framering.h"

#include <array>
#include <atomic>
#include <cstdint>

// Where a run of frames in the stream comes from. The decoder thread pushes a
// segment before the first frame of a track, so the audio thread always knows
// which track the frames it plays belong to.
struct StreamSegment {
    enum Kind { Track, End };
    enum State { Pending, Entered, Cancelled };

    int kind = Track;
    // For End: the last track before it, or -1.
    int trackId = -1;
    // Frame within the track at `startPosition` (a seek starts later than 0).
    int64_t startFrame = 0;
    int64_t startPosition = 0;
    // Applied as soon as the audio thread sees it, dropping every frame and
    // segment before it (seeking, removing the playing track).
    bool jump = false;
    uint32_t seekSerial = 0;
    std::atomic<int> state{Pending};
};

// What the audio thread reports to the player on the GUI thread.
struct StreamEvent {
    bool jump = false;
    bool end = false;
    int trackId = -1;
    int64_t startFrame = 0;
    int64_t position = 0;
    uint32_t seekSerial = 0;
};

// The frames of one player between its decoder thread (producer), the audio
// thread (consumer) and the GUI thread (events and control).
//
// The consumer walks the ring; it never reads past the start of a segment it
// has not entered. Entering is a compare-and-swap Pending -> Entered, racing
// the producer's Pending -> Cancelled, so the producer can take back a track
// that has not started to play (queue edits) without rewinding the ring: the
// frames of a cancelled segment are dead and skipped up to the next segment.
// Jump segments are applied at once, also while paused.
class PlaybackStream final : public AudioRenderer {
public:
    static constexpr int Channels = 2;
    static constexpr int64_t RingFrames = 1 << 17;
    static constexpr int SegmentSlots = 256;
    static constexpr int EventSlots = 256;

    PlaybackStream();
    ~PlaybackStream() override;
    PlaybackStream(const PlaybackStream&) = delete;
    PlaybackStream& operator=(const PlaybackStream&) = delete;

    // ---- audio thread
    int render(float* destination, int frames, bool paced) override;
    Activity activity() const override;
    bool lastRenderJumped() const override { return m_jumped; }

    // ---- decoder thread
    FrameRing& ring() { return m_ring; }
    bool hasSegmentSlot() const;
    // Pushes a segment at the current write position; returns its index.
    uint64_t pushSegment(int kind, int trackId, int64_t startFrame, bool jump,
                         uint32_t seekSerial = 0);
    // Pending -> Cancelled; false when the audio thread entered it already.
    bool cancelSegment(uint64_t index);
    // The track the audio thread is in (-1: none or the end).
    int consumerTrack() const { return m_consumerTrack.load(std::memory_order_seq_cst); }
    // Sleeping until the audio thread has made room or a command arrives.
    uint32_t wakeValue() const { return m_wake.load(std::memory_order_seq_cst); }
    void setProducerWaiting(bool waiting) {
        m_producerWaiting.store(waiting, std::memory_order_seq_cst);
    }
    void waitForWake(uint32_t seen) { m_wake.wait(seen, std::memory_order_seq_cst); }
    void wake();
    void setSampleRate(int rate) { m_sampleRate.store(rate, std::memory_order_release); }
    // The edit `serial` has been applied to the stream.
    void endEdit(uint32_t serial) { m_editsApplied.store(serial, std::memory_order_seq_cst); }

    // ---- any thread, in the order the edits reach the decoder thread
    // Until an edit is applied the audio thread enters no new segment, so it
    // never plays into a track the edit takes back; with `silence` it plays
    // nothing at all (the edit stops the playing track). Returns its serial.
    uint32_t beginEdit(bool silence);

    // ---- GUI thread
    int sampleRate() const { return m_sampleRate.load(std::memory_order_acquire); }
    void setPlaying(bool playing) { m_playing.store(playing, std::memory_order_release); }
    bool isPlaying() const { return m_playing.load(std::memory_order_relaxed); }
    void setVolume(float volume) { m_volume.store(volume, std::memory_order_relaxed); }
    // The position of the next frame the audio thread will play.
    int64_t playedPosition() const { return m_ring.readPosition(); }
    // Whether the last paced render ran short inside a track.
    bool isStarved() const { return m_starved.load(std::memory_order_relaxed); }
    // Becomes readable when an event is posted or the starved state changes.
    int notifier() const { return m_notifier; }
    void clearNotification();
    // The oldest event not taken yet, or nullptr.
    const StreamEvent* peekEvent() const;
    void popEvent();

private:
    StreamSegment& slot(uint64_t index) { return m_segments[index % SegmentSlots]; }
    bool applyLatestJump();
    bool enter(uint64_t segmentEnd);
    void postEvent(const StreamSegment& segment);
    void applyVolume(float* samples, int frames);
    void notifyGui();

    FrameRing m_ring;
    std::array<StreamSegment, SegmentSlots> m_segments;
    alignas(64) std::atomic<uint64_t> m_segmentWrite{0};
    alignas(64) std::atomic<uint64_t> m_segmentRead{0};

    std::array<StreamEvent, EventSlots> m_events;
    alignas(64) std::atomic<uint64_t> m_eventWrite{0};
    alignas(64) std::atomic<uint64_t> m_eventRead{0};

    // Consumer state, touched by the audio thread only.
    int m_currentKind = -1;
    int m_currentTrack = -1;
    float m_appliedVolume = 1.0f;
    bool m_silentBefore = true;
    bool m_jumped = false;

    alignas(64) std::atomic<int> m_consumerTrack{-1};
    std::atomic<bool> m_playing{false};
    std::atomic<float> m_volume{1.0f};
    std::atomic<bool> m_starved{false};
    std::atomic<int> m_sampleRate{0};
    int m_notifier = -1;
    alignas(64) std::atomic<uint32_t> m_wake{0};
    std::atomic<bool> m_producerWaiting{false};
    alignas(64) std::atomic<uint32_t> m_editsPosted{0};
    std::atomic<uint32_t> m_silenceUntil{0};
    alignas(64) std::atomic<uint32_t> m_editsApplied{0};
};
