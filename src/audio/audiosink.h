#pragma once

#include "audio/outputformat.h"

#include <cstdint>

// Fills output buffers; called on the sink's own thread, so it must never
// block, allocate or take a contended lock.
class AudioRenderer {
public:
    virtual ~AudioRenderer() = default;
    // Writes up to `frames` frames to `destination` and returns how many it
    // wrote; the sink treats the rest as silence. `paced` says whether the
    // sink runs on a clock, where a shortfall is an underrun.
    virtual int render(float* destination, int frames, bool paced) = 0;

    // Asked on the sink's thread, between render calls.
    enum class Activity {
        Playing, // frames come, or are awaited (an underrun)
        Paused,  // none until the listener plays again
        Idle,    // none: the queue has ended or nothing is attached
    };
    virtual Activity activity() const { return Activity::Playing; }
    // Whether the frames of the last render call do not follow the ones
    // before (a seek, another player): a sink that buffers drops the rest.
    virtual bool lastRenderJumped() const { return false; }
};

// Where the frames go: the sound device, nowhere, or a file.
class AudioSink {
public:
    virtual ~AudioSink() = default;
    // The sample rate the sink is bound to, or 0 when any rate will do.
    virtual int preferredSampleRate() const { return 0; }
    // Starts pulling from `renderer` on the sink's own thread.
    virtual bool start(const OutputFormat& format, AudioRenderer* renderer) = 0;
    // Stops pulling; no render call is running or will start after it returns.
    virtual void stop() = 0;
    // Frames handed over that have not been heard yet.
    virtual int64_t latencyFrames() const { return 0; }
    // Frames are waiting: a sink that pulls on its own period may pull now.
    virtual void wake() {}
};
