#include "base/console.h"

#include <charconv>
#include <cstdio>

void printLine(const QString& line) {
    // One write, so that a line printed on another thread never lands inside it.
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

template <typename T>
static QString shortestText(T value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    const bool hasFraction = text.contains(QLatin1Char('.')) || text.contains(QLatin1Char('e')) ||
                             text.contains(QLatin1String("inf")) ||
                             text.contains(QLatin1String("nan"));
    if (!hasFraction)
        text += QLatin1String(".0");
    return text;
}

QString floatText(float value) { return shortestText(value); }
QString floatText(double value) { return shortestText(value); }
