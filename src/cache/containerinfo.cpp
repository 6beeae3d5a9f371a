#include "cache/containerinfo.h"

#include "audio/formatinput.h"

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
}

namespace {

struct FormatContextCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using FormatContext = std::unique_ptr<AVFormatContext, FormatContextCloser>;

std::optional<QString> metadataText(const AVDictionary* dictionary, const char* key) {
    const AVDictionaryEntry* entry = av_dict_get(dictionary, key, nullptr, 0);
    if (!entry || !entry->value || !*entry->value)
        return std::nullopt;
    return QString::fromUtf8(entry->value);
}

// Container-level tags first; some formats (Ogg, for one) keep them on the stream.
std::optional<QString> tagText(const AVFormatContext* context, const AVStream* audio,
                               const char* key) {
    if (auto text = metadataText(context->metadata, key))
        return text;
    return audio ? metadataText(audio->metadata, key) : std::nullopt;
}

const AVStream* firstAudioStream(const AVFormatContext* context) {
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        if (context->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
            return context->streams[i];
    }
    return nullptr;
}

bool isPcm(AVCodecID id) {
    return id >= AV_CODEC_ID_FIRST_AUDIO && id < AV_CODEC_ID_ADPCM_IMA_QT;
}

} // namespace

std::optional<ContainerInfo> readContainerInfo(const QString& path, QString* error,
                                               const std::atomic<bool>* cancel) {
    AVFormatContext* raw = nullptr;
    const int opened = openFormatInput(&raw, path, cancel);
    if (opened < 0) {
        if (error)
            *error = formatErrorText(opened);
        return std::nullopt;
    }
    FormatContext context(raw);

    // The demuxers of mp3, flac and raw AAC leave the rate to the first
    // packets; only then is the stream complete enough to be chosen.
    const AVStream* first = firstAudioStream(raw);
    if (first && first->codecpar->sample_rate <= 0) {
        for (unsigned i = 0; i < raw->nb_streams; ++i) {
            if (raw->streams[i] != first)
                raw->streams[i]->discard = AVDISCARD_ALL;
        }
        avformat_find_stream_info(raw, nullptr); // a failure leaves the rate at 0
    }
    if (cancel && cancel->load()) {
        if (error)
            *error = formatErrorText(AVERROR_EXIT);
        return std::nullopt;
    }
    const int best = av_find_best_stream(raw, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    const AVStream* audio = best >= 0 ? raw->streams[best] : first;

    ContainerInfo info;
    info.title = tagText(raw, audio, "title");
    info.artist = tagText(raw, audio, "artist");
    for (unsigned i = 0; i < raw->nb_streams; ++i) {
        const AVStream* stream = raw->streams[i];
        if ((stream->disposition & AV_DISPOSITION_ATTACHED_PIC) && stream->attached_pic.size > 0)
            info.artwork.append(QByteArray(reinterpret_cast<const char*>(stream->attached_pic.data),
                                           stream->attached_pic.size));
    }
    if (audio) {
        info.hasAudioStream = true;
        info.sampleRate = std::max(audio->codecpar->sample_rate, 0);
        info.bitsPerRawSample = std::max(audio->codecpar->bits_per_raw_sample, 0);
        // PCM demuxers state the width only as the coded size, which is the same.
        if (info.bitsPerRawSample == 0 && isPcm(audio->codecpar->codec_id))
            info.bitsPerRawSample = av_get_exact_bits_per_sample(audio->codecpar->codec_id);
    }
    return info;
}
