#include "cache/fileinforeader.h"

#include "cache/trackinfoformat.h"
#include "library/mediaitem.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>

// The format headers expect the core ones before them.
// clang-format off
#include <taglib/taglib.h>
#include <taglib/tstring.h>
// clang-format on

#include <taglib/aiffproperties.h>
#include <taglib/apeproperties.h>
#include <taglib/fileref.h>
#include <taglib/flacproperties.h>
#include <taglib/mp4properties.h>
#include <taglib/tfilestream.h>
#include <taglib/tpropertymap.h>
#include <taglib/trueaudioproperties.h>
#include <taglib/wavpackproperties.h>
#include <taglib/wavproperties.h>

namespace {

QString fromTagLib(const TagLib::String& text) {
    return QString::fromStdWString(text.toWString());
}

// Only lossless formats store a sample width; MP4 reports one for AAC too,
// where it means nothing, so it counts only for ALAC.
int bitsPerSample(const TagLib::AudioProperties* properties) {
    if (const auto* flac = dynamic_cast<const TagLib::FLAC::Properties*>(properties))
        return flac->bitsPerSample();
    if (const auto* wav = dynamic_cast<const TagLib::RIFF::WAV::Properties*>(properties))
        return wav->bitsPerSample();
    if (const auto* aiff = dynamic_cast<const TagLib::RIFF::AIFF::Properties*>(properties))
        return aiff->bitsPerSample();
    if (const auto* ape = dynamic_cast<const TagLib::APE::Properties*>(properties))
        return ape->bitsPerSample();
    if (const auto* wavPack = dynamic_cast<const TagLib::WavPack::Properties*>(properties))
        return wavPack->bitsPerSample();
    if (const auto* tta = dynamic_cast<const TagLib::TrueAudio::Properties*>(properties))
        return tta->bitsPerSample();
    if (const auto* mp4 = dynamic_cast<const TagLib::MP4::Properties*>(properties))
        return mp4->codec() == TagLib::MP4::Properties::ALAC ? mp4->bitsPerSample() : 0;
    return 0;
}

// The recording year as a number, else the year of a full recording date.
std::optional<QString> recordingYear(const TagLib::Tag* tag, const TagLib::PropertyMap& map) {
    if (tag->year() > 0)
        return QString::number(tag->year());
    const auto date = map.find("DATE");
    if (date == map.end() || date->second.isEmpty())
        return std::nullopt;
    const QDate parsed = QDate::fromString(fromTagLib(date->second.front()).left(10), Qt::ISODate);
    if (!parsed.isValid())
        return std::nullopt;
    return parsed.toString(QStringLiteral("yyyy"));
}

void readTags(const TagLib::FileRef& file, CachedMetadata& info) {
    const TagLib::Tag* tag = file.tag();
    if (!tag)
        return;
    const TagLib::PropertyMap map = file.file()->properties();
    if (!tag->title().isEmpty())
        info.title = fromTagLib(tag->title());

    QStringList artists;
    const auto found = map.find("ARTIST");
    if (found != map.end()) {
        for (const TagLib::String& name : found->second) {
            if (!name.isEmpty())
                artists.append(fromTagLib(name));
        }
    }
    if (!artists.isEmpty())
        info.artist = joinArtists(artists);
    info.year = recordingYear(tag, map);
}

void readAudioProperties(const TagLib::FileRef& file, CachedMetadata& info) {
    const TagLib::AudioProperties* properties = file.audioProperties();
    if (!properties)
        return;
    if (properties->sampleRate() > 0)
        info.sampleRate = formatIndexSampleRate(properties->sampleRate());
    if (const int bits = bitsPerSample(properties); bits > 0)
        info.bitDepth = formatBitDepth(bits);
}

} // namespace

CachedMetadata readFileInfo(const QUrl& fileUrl) {
    const QString path = normalizedPath(fileUrl);
    CachedMetadata info;
    info.fileType = formatFileType(path);

    const QFileInfo attributes(path);
    // Opening a FIFO or a device would block or never end.
    if (!attributes.isFile())
        return info;
    info.filesize = formatFileSize(attributes.size());

    // Read-only: a file opened for writing wakes sync tools and indexers
    // when it is closed, although nothing was written.
    TagLib::FileStream stream(QFile::encodeName(path).constData(), true);
    if (!stream.isOpen())
        return info;
    const TagLib::FileRef file(&stream, true, TagLib::AudioProperties::Average);
    if (file.isNull() || !file.file()->isValid())
        return info;

    readTags(file, info);
    readAudioProperties(file, info);
    if (!info.filesize && file.file()->length() > 0)
        info.filesize = formatFallbackFileSize(file.file()->length());
    return info;
}
