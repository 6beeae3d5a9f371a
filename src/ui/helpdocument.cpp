#include "ui/helpdocument.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringDecoder>

QString HelpDocument::load(const QString& path) {
    QFile file(path);
    if (!file.exists())
        return QStringLiteral("Help documentation file not found.");
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("Error loading help documentation: ") + file.errorString();
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return QStringLiteral("Error loading help documentation: ") + file.errorString();
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    if (utf8.hasError())
        return QStringLiteral("Error loading help documentation: ") +
               QCoreApplication::translate("HelpDocument", "The file is not valid UTF-8 text.");
    return text;
}
