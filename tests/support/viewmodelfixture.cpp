#include "support/viewmodelfixture.h"

#include "cache/atomicfilewriter.h"
#include "cache/mediacachemanager.h"
#include "playback/durationloader.h"
#include "support/testsupport.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QFile>
#include <QSettings>
#include <cmath>

namespace vmtest {

void writeWav(const QString& path, int frames, int sampleRate) {
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    const quint32 dataBytes = static_cast<quint32>(frames) * 2;
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataBytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(sampleRate) << quint32(sampleRate * 2)
        << quint16(2) << quint16(16);
    out.writeRawData("data", 4);
    out << dataBytes;
    for (int i = 0; i < frames; ++i)
        out << qint16(std::lround(3000 * std::sin(2 * M_PI * 440 * i / sampleRate)));
    testsupport::writeFile(path, data);
}

TestLibrary::TestLibrary(int framesPerFile, int sampleRate) {
    const QList<std::pair<QString, QStringList>> layout = {
        {"F", {"f1", "f2", "f3"}},
        {"G", {"g1", "g2", "g3"}},
        {"H", {"h1", "h2"}},
        {"X", {"x1", "x2"}},
    };
    QList<MediaItem> folders;
    for (const auto& [folderName, fileNames] : layout) {
        QList<MediaItem> files;
        for (const QString& name : fileNames) {
            const QString filePath = path(folderName + '/' + name + ".wav");
            writeWav(filePath, framesPerFile, sampleRate);
            files.append(MediaItem::audioFile(filePath));
        }
        folders.append(MediaItem::folder(path(folderName), files));
    }
    m_root = MediaItem::folder(m_dir.path(), folders);
}

QString TestLibrary::path(const QString& relative) const {
    return relative.isEmpty() ? m_dir.path() : m_dir.path() + '/' + relative;
}

MediaItem TestLibrary::folder(const QString& name) const {
    for (const MediaItem& child : *m_root.children) {
        if (child.name() == name)
            return child;
    }
    ADD_FAILURE() << "no folder " << name.toStdString();
    return {};
}

MediaItem TestLibrary::file(const QString& name) const {
    for (const MediaItem& folder : *m_root.children) {
        for (const MediaItem& child : *folder.children) {
            if (child.name() == name + ".wav")
                return child;
        }
    }
    ADD_FAILURE() << "no file " << name.toStdString();
    return {};
}

QList<MediaItem> TestLibrary::files(const QStringList& fileNames) const {
    QList<MediaItem> result;
    for (const QString& name : fileNames)
        result.append(file(name));
    return result;
}

QStringList names(const QList<MediaItem>& items) {
    QStringList result;
    for (const MediaItem& item : items)
        result.append(item.name().section('.', 0, 0));
    return result;
}

QStringList names(const QList<PlayerItem*>& items) {
    QStringList result;
    for (const PlayerItem* item : items)
        result.append(item->url().fileName().section('.', 0, 0));
    return result;
}

void PlaybackFixture::SetUp() {
    AtomicFileWriter::shared().waitForIdle();
    QSettings().clear();
    // Empties the cache tree, the stored queue included.
    testsupport::capturedLines([] { MediaCacheManager::shared().clearCache(); });
    library = std::make_unique<TestLibrary>();
}

void PlaybackFixture::TearDown() {
    vm.reset();
    AtomicFileWriter::shared().waitForIdle();
    // Deferred deletions of players and items.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void PlaybackFixture::makeViewModel(bool useEngine) {
    testsupport::capturedLines([&] { vm = std::make_unique<MediaLibraryViewModel>(); });
    vm->setRootFolder(library->root());
    if (useEngine)
        return;
    vm->setPlayerFactory([this](const QList<PlayerItem*>& items) {
        auto player = std::make_unique<FakeQueuePlayer>(items);
        lastLog = player->log;
        return player;
    });
}

FakeQueuePlayer* PlaybackFixture::fake() const {
    return qobject_cast<FakeQueuePlayer*>(vm ? vm->player() : nullptr);
}

void PlaybackFixture::settle() {
    // Durations come back in a later turn of the event loop.
    waitForDurationLoads();
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

std::optional<PersistedQueue> PlaybackFixture::storedQueue() {
    AtomicFileWriter::shared().waitForIdle();
    QString error;
    return PersistedQueue::fromJson(
        testsupport::readFile(MediaCacheManager::shared().queueFilePath()), &error);
}

void PlaybackFixture::startWithQueue(const QStringList& fileNames, int index) {
    vm->setPlaybackQueue(library->files(fileNames));
    vm->setCurrentQueueIndex(index);
}

} // namespace vmtest
