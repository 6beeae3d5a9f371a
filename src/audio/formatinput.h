#pragma once

#include <QString>
#include <atomic>
#include <cstdint>

struct AVFormatContext;
struct AVStream;

// Opens a local audio file for demuxing; every reader of audio files goes
// through here.
//
// Only regular files are opened: a FIFO blocks in open(2) itself, where no
// FFmpeg callback reaches, and a device never ends. The context gets an
// interrupt callback: once `cancel` is set, a blocked open, probe or read
// returns AVERROR_EXIT at FFmpeg's next check, so whoever waits for the
// reader waits no longer than that. Returns 0 or an FFmpeg error code.
int openFormatInput(AVFormatContext** context, const QString& path,
                    const std::atomic<bool>* cancel = nullptr);

// The text of an error code of openFormatInput() or of FFmpeg.
QString formatErrorText(int code);

// Samples of encoder delay at the start of `stream` that neither the
// container nor the decoder removes: raw ADTS AAC carries no edit list and no
// gapless tag, so the one frame of priming every AAC encoder adds stays in
// the decoded signal. 0 for everything else.
int64_t unstatedPrimingSamples(const AVFormatContext* context, const AVStream* stream);
