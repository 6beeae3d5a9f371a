#include "playback/durationloader.h"

#include "audio/formatinput.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <QThreadPool>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/error.h>
}

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

struct FormatCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using FormatContext = std::unique_ptr<AVFormatContext, FormatCloser>;

// Sums the packets of the stream: exact where the header only gives an estimate.
double countedSeconds(AVFormatContext* context, int streamIndex) {
    const AVStream* stream = context->streams[streamIndex];
    AVPacket* packet = av_packet_alloc();
    if (!packet)
        return 0;
    int64_t first = AV_NOPTS_VALUE;
    int64_t end = 0;
    while (av_read_frame(context, packet) >= 0) {
        if (packet->stream_index == streamIndex && packet->pts != AV_NOPTS_VALUE) {
            if (first == AV_NOPTS_VALUE || packet->pts < first)
                first = packet->pts;
            end = std::max(end, packet->pts + packet->duration);
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    if (first == AV_NOPTS_VALUE)
        return 0;
    return static_cast<double>(end - first) * av_q2d(stream->time_base);
}

} // namespace

AssetDuration loadAssetDuration(const QUrl& url, const std::atomic<bool>* cancel) {
    if (!url.isLocalFile())
        return {0, QStringLiteral("not a local file: ") + url.toString()};

    AVFormatContext* raw = nullptr;
    if (const int code = openFormatInput(&raw, url.toLocalFile(), cancel); code < 0)
        return {0, formatErrorText(code)};
    FormatContext context(raw);
    if (const int code = avformat_find_stream_info(context.get(), nullptr); code < 0)
        return {0, formatErrorText(code)};
    const int streamIndex =
        av_find_best_stream(context.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (streamIndex < 0)
        return {0, QStringLiteral("the file has no audio track")};

    double seconds = 0;
    const AVStream* audio = context->streams[streamIndex];
    if (context->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE) {
        seconds = countedSeconds(context.get(), streamIndex);
        if (cancel && cancel->load())
            return {0, formatErrorText(AVERROR_EXIT)};
        // The priming the player cuts does not count.
        if (audio->codecpar->sample_rate > 0)
            seconds -=
                double(unstatedPrimingSamples(context.get(), audio)) / audio->codecpar->sample_rate;
    } else {
        const AVStream* stream = context->streams[streamIndex];
        if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
            seconds = static_cast<double>(stream->duration) * av_q2d(stream->time_base);
        else if (context->duration != AV_NOPTS_VALUE && context->duration > 0)
            seconds = static_cast<double>(context->duration) / AV_TIME_BASE;
    }
    if (!std::isfinite(seconds) || seconds <= 0)
        return {0, QStringLiteral("the length of the file is unknown")};
    return {seconds, {}};
}

// The start of playback waits for the duration, so its loads have threads of
// their own and never queue behind waveforms, scans or tag reads on the
// global pool.
static QThreadPool& durationPool() {
    static QThreadPool pool;
    static const bool sized = [] {
        pool.setMaxThreadCount(std::max(4, QThread::idealThreadCount()));
        return true;
    }();
    Q_UNUSED(sized)
    return pool;
}

void waitForDurationLoads() {
    durationPool().waitForDone();
}

void loadAssetDurationAsync(const QUrl& url, QObject* context,
                            std::function<void(const AssetDuration&)> done) {
    const QPointer<QObject> guard(context);
    durationPool().start([url, guard, done = std::move(done)] {
        const AssetDuration result = loadAssetDuration(url);
        QCoreApplication* application = QCoreApplication::instance();
        if (!application)
            return; // the program is ending; nobody waits for it
        // The guard is only read on the GUI thread, where the context lives and dies.
        QMetaObject::invokeMethod(
            application,
            [guard, done, result] {
                if (guard)
                    done(result);
            },
            Qt::QueuedConnection);
    });
}
