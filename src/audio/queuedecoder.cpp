#include "audio/queuedecoder.h"

#include "audio/audiooutput.h"

#include <chrono>
#include <cmath>
#include <pthread.h>

namespace {
constexpr int64_t ChunkFrames = 4096;
constexpr int64_t MinRoomFrames = 1024;
// Frames decoded ahead before a track counts as ready to keep up.
constexpr int64_t BufferedFrames = 8192;
} // namespace

QueueDecoder::QueueDecoder(PlaybackStream& stream, Reports reports)
    : m_stream(stream), m_reports(std::move(reports)) {
    m_thread = std::thread([this] {
        pthread_setname_np(pthread_self(), "tolvane-decode");
        run();
        std::lock_guard lock(m_doneMutex);
        m_done = true;
        m_doneChanged.notify_all();
    });
}

QueueDecoder::~QueueDecoder() {
    stop();
    m_thread.join();
}

void QueueDecoder::stop() {
    m_quit = true; // also the interrupt flag of every file the thread reads
    {
        std::lock_guard lock(m_reportMutex);
        m_reporting = false;
    }
    m_stream.wake();
}

bool QueueDecoder::waitUntilStopped(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_doneMutex);
    return m_doneChanged.wait_for(lock, timeout, [this] { return m_done; });
}

void QueueDecoder::post(Command command, bool edit, bool silence) {
    {
        std::lock_guard lock(m_mutex);
        if (edit)
            command.edit = m_stream.beginEdit(silence);
        m_commands.push_back(std::move(command));
    }
    m_stream.wake();
}

void QueueDecoder::insert(int track, const QString& path, int afterTrack) {
    Command command{Command::Insert};
    command.track = track;
    command.path = path;
    command.after = afterTrack;
    post(std::move(command));
}

void QueueDecoder::remove(int track, bool playing) {
    Command command{Command::Remove};
    command.track = track;
    post(std::move(command), true, playing);
}

void QueueDecoder::removeAll() {
    post(Command{Command::RemoveAll}, true, true);
}

void QueueDecoder::seek(int track, double seconds, uint32_t serial) {
    Command command{Command::Seek};
    command.track = track;
    command.seconds = seconds;
    command.serial = serial;
    post(std::move(command));
}

void QueueDecoder::retire(int track) {
    Command command{Command::Retire};
    command.track = track;
    post(std::move(command), false);
}

// ---- decoder thread

void QueueDecoder::run() {
    for (;;) {
        const uint32_t seen = m_stream.wakeValue();
        if (!applyCommands())
            return;
        if (openAhead())
            continue;
        if (m_next < m_tracks.size()) {
            Track& track = m_tracks[m_next];
            if (!track.started) {
                if (!m_stream.hasSegmentSlot()) {
                    waitForRoom(seen);
                    continue;
                }
                if (track.used && !rewind(track))
                    continue;
                startTrack(track, 0, false, 0);
            }
            if (track.state == Track::Failed) {
                // Nothing follows a track that cannot play until the queue changes.
                m_stream.waitForWake(seen);
                continue;
            }
            FrameRing& ring = m_stream.ring();
            if (ring.freeFrames() < MinRoomFrames) {
                waitForRoom(seen);
                continue;
            }
            int64_t room = 0;
            float* region = ring.writeRegion(ChunkFrames, &room);
            const int got = track.decoder->read(region, int(room));
            track.used = true;
            if (got > 0) {
                ring.commit(got);
                if (m_stream.isStarved())
                    AudioOutput::shared().wakeSink(); // the listener waits for these
                track.written += got;
                if (track.written >= BufferedFrames)
                    reportBuffered(track);
            } else {
                reportBuffered(track);
                ++m_next;
            }
            continue;
        }
        if (!m_endPushed && !m_tracks.empty()) {
            if (!m_stream.hasSegmentSlot()) {
                waitForRoom(seen);
                continue;
            }
            m_endSegment = m_stream.pushSegment(StreamSegment::End, m_tracks.back().id, 0, false);
            m_endPushed = true;
            continue;
        }
        m_stream.waitForWake(seen);
    }
}

bool QueueDecoder::applyCommands() {
    for (;;) {
        if (m_quit)
            return false;
        Command command;
        {
            std::lock_guard lock(m_mutex);
            if (m_commands.empty())
                return true;
            command = std::move(m_commands.front());
            m_commands.pop_front();
        }
        apply(command);
        if (command.edit)
            m_stream.endEdit(command.edit);
    }
}

void QueueDecoder::apply(const Command& command) {
    switch (command.kind) {
    case Command::Insert:
        insertTrack(command.track, command.path, command.after);
        break;
    case Command::Remove:
        removeTrack(command.track);
        break;
    case Command::RemoveAll:
        m_tracks.clear();
        m_next = 0;
        if (waitForSegmentSlot()) {
            m_endSegment = m_stream.pushSegment(StreamSegment::End, -1, 0, true);
            m_endPushed = true;
            AudioOutput::shared().wakeSink();
        }
        break;
    case Command::Seek:
        seekTrack(command.track, command.seconds, command.serial);
        break;
    case Command::Retire: {
        const int index = indexOf(command.track);
        if (index >= 0 && size_t(index) < m_next) {
            m_tracks.erase(m_tracks.begin() + index);
            --m_next;
        }
        break;
    }
    }
}

int QueueDecoder::indexOf(int track) const {
    for (size_t i = 0; i < m_tracks.size(); ++i) {
        if (m_tracks[i].id == track)
            return int(i);
    }
    return -1;
}

// Opens the track being decoded and the one after it, one per call, so the
// next track's state is known long before the current one ends.
bool QueueDecoder::openAhead() {
    for (size_t i = m_next; i < m_tracks.size() && i < m_next + 2; ++i) {
        if (m_tracks[i].state == Track::Unopened) {
            open(m_tracks[i]);
            return true;
        }
    }
    return false;
}

void QueueDecoder::open(Track& track) {
    auto decoder = std::make_unique<AudioDecoder>(&m_quit);
    if (!decoder->open(track.path)) {
        track.state = Track::Failed;
        report(m_reports.failed, track.id, decoder->error());
        return;
    }
    if (!m_format.isValid()) {
        m_format = AudioOutput::shared().start(decoder->sourceSampleRate());
        m_stream.setSampleRate(m_format.sampleRate);
    }
    decoder->setOutputFormat(m_format);
    track.decoder = std::move(decoder);
    track.state = Track::Ready;
    track.used = false;
    report(m_reports.opened, track.id, track.decoder->durationSeconds());
}

// Opens the file again so that it plays from its very first sample.
bool QueueDecoder::rewind(Track& track) {
    if (track.state != Track::Ready)
        return true;
    auto decoder = std::make_unique<AudioDecoder>(&m_quit);
    if (!decoder->open(track.path)) {
        track.state = Track::Failed;
        track.decoder.reset();
        report(m_reports.failed, track.id, decoder->error());
        return false;
    }
    decoder->setOutputFormat(m_format);
    track.decoder = std::move(decoder);
    track.used = false;
    return true;
}

void QueueDecoder::reportBuffered(Track& track) {
    if (track.reportedBuffered)
        return;
    track.reportedBuffered = true;
    report(m_reports.buffered, track.id);
}

bool QueueDecoder::waitForSegmentSlot() {
    while (!m_stream.hasSegmentSlot()) {
        if (m_quit)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void QueueDecoder::waitForRoom(uint32_t seen) {
    m_stream.setProducerWaiting(true);
    if (m_stream.ring().freeFrames() >= m_stream.ring().capacity() / 2 &&
        m_stream.hasSegmentSlot()) {
        m_stream.setProducerWaiting(false);
        return;
    }
    m_stream.waitForWake(seen);
}

void QueueDecoder::startTrack(Track& track, int64_t startFrame, bool jump, uint32_t serial) {
    track.segment = m_stream.pushSegment(StreamSegment::Track, track.id, startFrame, jump, serial);
    track.started = true;
    track.written = 0;
    // A sink that stopped pulling (a corked device: paused, or idle at the
    // end) looks again: a jump applies while paused, a new track ends idling.
    AudioOutput::shared().wakeSink();
}

// Takes back the segments of the tracks from `index` on that the output has
// not entered, latest first (once one is cancelled the output cannot pass
// it). Returns the first position whose track is now free to decode again.
size_t QueueDecoder::takeBackFrom(size_t index) {
    if (m_endPushed) {
        m_stream.cancelSegment(m_endSegment); // entered: the output is at the end
        m_endPushed = false;
    }
    for (size_t i = m_tracks.size(); i-- > index;) {
        Track& track = m_tracks[i];
        if (!track.started)
            continue;
        if (!m_stream.cancelSegment(track.segment))
            return i + 1;
        track.started = false;
    }
    return index;
}

void QueueDecoder::jumpTo(size_t index, int64_t frame, uint32_t serial) {
    // Everything pushed before the jump is dead once the output applies it.
    for (Track& track : m_tracks)
        track.started = false;
    m_endPushed = false;
    m_next = std::min(index, m_tracks.size());
    if (!waitForSegmentSlot())
        return;
    if (index >= m_tracks.size()) {
        const int last = m_tracks.empty() ? -1 : m_tracks.back().id;
        m_endSegment = m_stream.pushSegment(StreamSegment::End, last, 0, true, serial);
        m_endPushed = true;
        AudioOutput::shared().wakeSink();
        return;
    }
    Track& track = m_tracks[index];
    if (track.state == Track::Unopened)
        open(track);
    if (track.state == Track::Ready && (frame > 0 || track.used)) {
        if (frame == 0) {
            rewind(track);
        } else if (!track.decoder->seek(frame)) {
            if (!rewind(track) || !track.decoder->seek(frame)) {
                report(m_reports.seekFailed, serial);
                serial = 0;
                frame = 0;
            }
        }
        track.used = frame > 0;
    }
    startTrack(track, track.state == Track::Ready ? frame : 0, true, serial);
}

void QueueDecoder::insertTrack(int id, const QString& path, int after) {
    const int afterIndex = after < 0 ? -1 : indexOf(after);
    const size_t position = afterIndex < 0 ? m_tracks.size() : size_t(afterIndex) + 1;
    const size_t freeFrom = takeBackFrom(position);
    Track track;
    track.id = id;
    track.path = path;
    m_tracks.insert(m_tracks.begin() + position, std::move(track));
    if (freeFrom <= position)
        m_next = std::min(m_next, position);
    else if (m_next >= position)
        ++m_next; // the output is past the insertion point already
}

void QueueDecoder::removeTrack(int id) {
    const int found = indexOf(id);
    if (found < 0)
        return;
    const size_t index = size_t(found);
    if (!m_tracks[index].started) {
        m_tracks.erase(m_tracks.begin() + found);
        if (index < m_next)
            --m_next;
        return;
    }
    const size_t freeFrom = takeBackFrom(index);
    if (freeFrom <= index) {
        m_tracks.erase(m_tracks.begin() + found);
        m_next = std::min(m_next, index);
        return;
    }
    // The output has reached the track. Everything after it is taken back
    // now, so the output stays in it until a jump moves it on.
    const bool playing = m_stream.consumerTrack() == id;
    m_tracks.erase(m_tracks.begin() + found);
    if (playing)
        jumpTo(index, 0, 0);
    else if (index < m_next)
        --m_next;
}

void QueueDecoder::seekTrack(int id, double seconds, uint32_t serial) {
    const int index = indexOf(id);
    if (index >= 0 && m_tracks[index].state == Track::Unopened)
        open(m_tracks[index]);
    if (index < 0 || m_tracks[index].state != Track::Ready || !std::isfinite(seconds)) {
        report(m_reports.seekFailed, serial);
        return;
    }
    int64_t frame = std::max<int64_t>(0, std::llround(seconds * m_format.sampleRate));
    const int64_t length = m_tracks[index].decoder->lengthFrames();
    if (length >= 0)
        frame = std::min(frame, length);
    jumpTo(size_t(index), frame, serial);
}
