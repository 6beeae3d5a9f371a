#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

namespace testsupport {

// Gives this process its own empty HOME and XDG directories (settings, cache,
// runtime), so tests never touch a user's files; also the offscreen platform
// and the null audio output unless the environment chose others.
void isolateUserDirectories();

QByteArray readFile(const QString& path);
// Creates the parent folders too.
void writeFile(const QString& path, const QByteArray& bytes);

// Standard output written while `body` runs, as lines.
QStringList capturedLines(const std::function<void()>& body);

// Runs the Qt event loop until `done` holds or `timeoutMs` passes.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// Runs a program to its end; returns its exit code (-1 when it did not start).
int runProgram(const QString& program, const QStringList& arguments, QByteArray* output = nullptr,
               int timeoutMs = 60000);

} // namespace testsupport

#include <QList>
#include <QString>
#include <ostream>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* out) {
    *out << '[' << list.join(QStringLiteral(" | ")).toStdString() << ']';
}
