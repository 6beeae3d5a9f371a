#pragma once

#include "audio/outputformat.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <vector>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
struct SwrContext;

// Decodes one audio file with FFmpeg into interleaved float frames of the
// output format, resampling when the rates differ.
//
// The frames are the track's own samples without encoder delay or padding:
// FFmpeg removes them for mp3 (LAME header) and skips the priming of m4a (edit
// list); the end padding of m4a is cut here, at the length an "iTunSMPB" tag
// gives, else at the edit list's end (stream start time plus duration). Raw
// ADTS AAC states nothing: its one frame of priming is cut here, its end
// padding cannot be known and plays.
// Used from one thread at a time; once `cancel` is set, opening and reading
// end at FFmpeg's next check instead of waiting for a stuck file.
class AudioDecoder {
public:
    explicit AudioDecoder(const std::atomic<bool>* cancel = nullptr);
    ~AudioDecoder();
    AudioDecoder(const AudioDecoder&) = delete;
    AudioDecoder& operator=(const AudioDecoder&) = delete;

    // Opens the file and decodes its first audio, so a file that opens but
    // holds nothing playable fails here. On failure error() says why.
    bool open(const QString& path);
    QString error() const { return m_error; }

    int sourceSampleRate() const { return m_sourceRate; }
    // Seconds, 0 when unknown.
    double durationSeconds() const;

    // Must be called once after open() and before reading.
    bool setOutputFormat(const OutputFormat& format);
    // Length in output frames, or -1 when unknown.
    int64_t lengthFrames() const;

    // Decodes up to `maxFrames` frames into `destination`; 0 means the end.
    int read(float* destination, int maxFrames);
    // Makes the next read start exactly at output frame `frame`.
    bool seek(int64_t frame);

private:
    bool decodeNextFrame();
    bool convertPendingFrame();
    bool configureResampler(const AVFrame* frame);
    int64_t sourceSampleOf(int64_t pts) const;
    void close();

    const std::atomic<bool>* m_cancel;
    QString m_error;
    AVFormatContext* m_format = nullptr;
    AVCodecContext* m_codec = nullptr;
    AVStream* m_stream = nullptr;
    int m_streamIndex = -1;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    SwrContext* m_resampler = nullptr;
    int m_resamplerInFormat = -1;
    int m_resamplerInRate = 0;
    uint64_t m_resamplerInLayout = 0;

    OutputFormat m_output;
    int m_sourceRate = 0;
    bool m_lossless = false;
    int64_t m_firstPts = 0;         // pts of the first sample, in stream time base
    int64_t m_priming = 0;          // source samples before the first one to play
    int64_t m_endSample = -1;       // source samples to play in all, -1: until the data ends
    int64_t m_nextSample = 0;       // source position of the next decoded frame
    int64_t m_discardBefore = 0;    // source samples before this are dropped (seeking)
    int64_t m_seekLanding = 0;      // where a seek aimed, for frames without a timestamp
    bool m_positionFromPts = false; // take the next frame's position from its pts
    bool m_haveFrame = false;       // m_frame holds decoded samples not yet converted
    bool m_inputEnded = false;
    bool m_decoderDrained = false;
    bool m_resamplerFlushed = false;
    int m_failedPackets = 0;

    std::vector<const uint8_t*> m_planes; // the resampler's input
    std::vector<float> m_pending;         // converted frames not handed out yet
    int m_pendingFrames = 0;
    int m_pendingOffset = 0;
};
