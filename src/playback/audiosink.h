#pragma once

#include "playback/outputformat.h"

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
