#include "audio/formatinput.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
}

namespace {

constexpr int NotARegularFile = FFERRTAG('N', 'R', 'E', 'G');

int interrupted(void* cancel) {
    return static_cast<const std::atomic<bool>*>(cancel)->load(std::memory_order_relaxed) ? 1 : 0;
}

} // namespace

int openFormatInput(AVFormatContext** context, const QString& path,
                    const std::atomic<bool>* cancel) {
    *context = nullptr;
    const QByteArray name = QFile::encodeName(path);
    struct stat info;
    if (stat(name.constData(), &info) != 0)
        return AVERROR(errno);
    if (!S_ISREG(info.st_mode))
        return NotARegularFile;
    if (cancel && cancel->load(std::memory_order_relaxed))
        return AVERROR_EXIT;
    // Every reader reports what fails in its own way; FFmpeg's own complaints
    // about damaged files (a scan or a duration may come before any player)
    // would only clutter the terminal.
    static const bool quiet = [] {
        av_log_set_level(AV_LOG_FATAL);
        return true;
    }();
    (void)quiet;
    AVFormatContext* created = avformat_alloc_context();
    if (!created)
        return AVERROR(ENOMEM);
    if (cancel)
        created->interrupt_callback = {interrupted, const_cast<std::atomic<bool>*>(cancel)};
    const int result = avformat_open_input(&created, name.constData(), nullptr, nullptr);
    if (result < 0)
        return result; // FFmpeg has freed the context
    *context = created;
    return 0;
}

QString formatErrorText(int code) {
    if (code == NotARegularFile)
        return QStringLiteral("not a regular file");
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

int64_t unstatedPrimingSamples(const AVFormatContext* context, const AVStream* stream) {
    if (!context || !context->iformat || !stream ||
        std::strcmp(context->iformat->name, "aac") != 0 ||
        stream->codecpar->codec_id != AV_CODEC_ID_AAC)
        return 0;
    return stream->codecpar->frame_size > 0 ? stream->codecpar->frame_size : 1024;
}
