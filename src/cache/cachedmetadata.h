#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <optional>

// One file's track information as display texts. JSON: an object with the
// keys "title", "artist", "year", "fileType", "bitDepth", "sampleRate",
// "filesize"; a key is written only when its value is present and every key
// is optional when reading.
struct CachedMetadata {
    std::optional<QString> title;
    std::optional<QString> artist;
    std::optional<QString> year;
    std::optional<QString> fileType;
    std::optional<QString> bitDepth;
    std::optional<QString> sampleRate;
    std::optional<QString> filesize;

    QJsonObject toJsonObject() const;
    QByteArray toJson() const;
    // Fails when a present key does not hold a string.
    static std::optional<CachedMetadata> fromJsonObject(const QJsonObject& object,
                                                        QString* error = nullptr);

    friend bool operator==(const CachedMetadata&, const CachedMetadata&) = default;
};
