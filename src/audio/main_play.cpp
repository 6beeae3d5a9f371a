// tolvane-play FILE...: plays the files as one gapless queue on the output
// chosen by TOLVANE_AUDIO_OUTPUT, prints each track change and exits when the
// last file ends. A file that cannot be played is reported and skipped. The
// lines "pause", "play" and "seek SECONDS" on standard input do what they say.

#include "base/console.h"
#include "base/quitonsignal.h"
#include "audio/queueplayer.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSocketNotifier>
#include <QUrl>
#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList files = app.arguments().mid(1);
    if (files.isEmpty()) {
        std::fprintf(stderr, "usage: tolvane-play FILE...\n");
        return 2;
    }
    quitOnTerminationSignals();

    QList<PlayerItem*> items;
    QHash<PlayerItem*, QString> names;
    for (const QString& file : files) {
        auto* item = new PlayerItem(QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()));
        items.append(item);
        names.insert(item, file);
    }
    std::unique_ptr<QueuePlayer> player = makeQueuePlayer(items);
    int failures = 0;
    QSet<PlayerItem*> announced;
    // A track is announced once it is current and known to play.
    auto announce = [&](PlayerItem* item) {
        if (item && item == player->currentItem() &&
            item->status() == PlayerItem::Status::ReadyToPlay && !announced.contains(item)) {
            announced.insert(item);
            printLine(QStringLiteral("Playing: ") + names.value(item));
        }
    };

    QObject::connect(player.get(), &QueuePlayer::currentItemChanged, &app, [&](PlayerItem* item) {
        if (!item)
            app.quit();
        else
            announce(item);
    });
    for (PlayerItem* item : items) {
        QObject::connect(item, &PlayerItem::statusChanged, &app,
                         [&, item](PlayerItem::Status status) {
                             if (status != PlayerItem::Status::Failed) {
                                 announce(item);
                                 return;
                             }
                             ++failures;
                             printLine(QStringLiteral("Cannot play: ") + names.value(item) +
                                       QStringLiteral(": ") + item->error());
                             player->remove(item);
                         });
    }
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[256];
        const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            input.setEnabled(false); // the end of the input, or none
            return;
        }
        pending.append(buffer, got);
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1)) {
            const QByteArray command = pending.left(end).trimmed();
            if (command == "pause")
                player->pause();
            else if (command == "play")
                player->play();
            else if (command.startsWith("seek "))
                player->seek(command.mid(5).toDouble());
        }
    });
    player->play();
    const int result = app.exec();
    player.reset();
    return result != 0 ? result : failures > 0 ? 1 : 0;
}
