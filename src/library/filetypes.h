#pragma once

#include <QString>
#include <QUrl>

// Extensions compared with the lower-cased path extension.
inline constexpr const char* audioFileExtensions[] = {"mp3", "m4a", "wav", "flac", "aac"};
inline constexpr const char* imageFileExtensions[] = {"jpg", "jpeg", "png", "webp"};

// Lower-cased text after the last '.' of the last path component ("" when none).
QString lowercasedExtension(const QString& fileName);
bool isAudioFileName(const QString& fileName);
bool isImageFileName(const QString& fileName);
bool isAudioFileUrl(const QUrl& url);
