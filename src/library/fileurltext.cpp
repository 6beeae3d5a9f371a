#include "library/fileurltext.h"

#include "library/mediaitem.h"

#include <QUrl>
#include <array>

namespace {
const QString kFileRoot = QStringLiteral("file:///");

// How QUrl writes `name` as the last segment of a local path.
QString encodedByQUrl(const QString& name) {
    return absoluteString(QUrl::fromLocalFile(QLatin1Char('/') + name)).mid(kFileRoot.size());
}

// Encoded form of every printable ASCII character; empty for the others.
const std::array<QString, 128>& asciiEncodings() {
    static const std::array<QString, 128> table = [] {
        std::array<QString, 128> encodings;
        for (char16_t c = 0x20; c < 0x7f; ++c) {
            if (c != u'/')
                encodings[c] = encodedByQUrl(QString(QChar(c)));
        }
        return encodings;
    }();
    return table;
}

bool appendAscii(QString& out, const QString& name) {
    const std::array<QString, 128>& table = asciiEncodings();
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        if (u >= 128 || table[u].isEmpty())
            return false;
        const QString& encoded = table[u];
        if (encoded.size() == 1)
            out.append(c);
        else
            out.append(encoded);
    }
    return true;
}
} // namespace

QString childUrlString(const QString& parentUrlString, const QString& name) {
    QString out;
    out.reserve(parentUrlString.size() + 1 + name.size() + 8);
    out.append(parentUrlString);
    if (!out.endsWith(QLatin1Char('/')))
        out.append(QLatin1Char('/'));
    const qsizetype base = out.size();
    if (!appendAscii(out, name)) {
        out.truncate(base);
        out.append(encodedByQUrl(name));
    }
    return out;
}
