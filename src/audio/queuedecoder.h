#pragma once

#include "audio/audiodecoder.h"
#include "audio/playbackstream.h"

#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// The decoder thread of one player: decodes its tracks one after the other
// into the player's stream, so the first frame of a track follows the last
// frame of the one before it. It opens the next track while the current one
// still decodes and keeps the ring ahead of the output.
//
// Queue edits arrive as commands. A track whose frames are buffered but not
// yet played is taken back by cancelling its segment; the playing track is
// left by a jump.
class QueueDecoder {
public:
    // Told on the decoder thread; the player hands them to the GUI thread.
    struct Reports {
        std::function<void(int track, double seconds)> opened;
        std::function<void(int track, const QString& error)> failed;
        std::function<void(int track)> buffered;
        std::function<void(uint32_t seekSerial)> seekFailed;
    };

    QueueDecoder(PlaybackStream& stream, Reports reports);
    // Stops and joins the thread.
    ~QueueDecoder();
    QueueDecoder(const QueueDecoder&) = delete;
    QueueDecoder& operator=(const QueueDecoder&) = delete;

    // `afterTrack` -1: at the end.
    void insert(int track, const QString& path, int afterTrack = -1);
    // `playing`: the track is the one the listener hears, which stops at once.
    void remove(int track, bool playing = false);
    void removeAll();
    void seek(int track, double seconds, uint32_t serial);
    // The output has moved past `track`; its decoder can go.
    void retire(int track);

    // Tells the thread to end and interrupts the file access it may be
    // blocked in. No report is running or starts once this returns.
    void stop();
    // Whether the thread ended within `timeout` after stop(). A thread stuck
    // in a read that no interrupt reaches (a hung network share) does not.
    bool waitUntilStopped(std::chrono::milliseconds timeout);

private:
    struct Command {
        enum Kind { Insert, Remove, RemoveAll, Seek, Retire };
        explicit Command(Kind kind = Insert) : kind(kind) {}
        Kind kind;
        int track = -1;
        QString path;
        int after = -1;
        double seconds = 0;
        uint32_t serial = 0;
        uint32_t edit = 0;
    };
    struct Track {
        int id = -1;
        QString path;
        std::unique_ptr<AudioDecoder> decoder;
        enum { Unopened, Ready, Failed } state = Unopened;
        bool started = false; // its segment is in the stream and may still play
        uint64_t segment = 0;
        bool used = false; // the decoder has been read from
        int64_t written = 0;
        bool reportedBuffered = false;
    };

    void post(Command command, bool edit = true, bool silence = false);
    void run();
    bool applyCommands();
    void apply(const Command& command);
    int indexOf(int track) const;
    bool openAhead();
    void open(Track& track);
    bool rewind(Track& track);
    bool waitForSegmentSlot();
    void waitForRoom(uint32_t seen);
    void startTrack(Track& track, int64_t startFrame, bool jump, uint32_t serial);
    size_t takeBackFrom(size_t index);
    void jumpTo(size_t index, int64_t frame, uint32_t serial);
    void insertTrack(int track, const QString& path, int after);
    void removeTrack(int track);
    void seekTrack(int track, double seconds, uint32_t serial);
    void reportBuffered(Track& track);
    template <typename Callback, typename... Args>
    void report(const Callback& callback, Args... args) {
        std::lock_guard lock(m_reportMutex);
        if (m_reporting && callback)
            callback(args...);
    }

    PlaybackStream& m_stream;
    Reports m_reports;
    std::mutex m_mutex;
    std::deque<Command> m_commands;
    std::atomic<bool> m_quit{false};
    std::mutex m_reportMutex;
    bool m_reporting = true;
    std::mutex m_doneMutex;
    std::condition_variable m_doneChanged;
    bool m_done = false;
    std::thread m_thread;

    // Decoder thread only.
    std::vector<Track> m_tracks;
    size_t m_next = 0; // the track being decoded, or the next to decode
    bool m_endPushed = false;
    uint64_t m_endSegment = 0;
    OutputFormat m_format;
};
