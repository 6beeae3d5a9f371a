#include "support/viewmodelfixture.h"

#include "cache/atomicfilewriter.h"
#include "cache/mediacachemanager.h"
#include "playback/durationloader.h"
#include "support/testsupport.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSettings>
#include <cmath>
#include <cstdio>

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
    fflush(stdout);
    ::testing::internal::CaptureStdout();
    m_capturing = true;
}

void PlaybackFixture::TearDown() {
    vm.reset();
    AtomicFileWriter::shared().waitForIdle();
    // Deferred deletions of players and items.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (!m_capturing)
        return;
    takeLines();
    ::testing::internal::GetCapturedStdout();
    if (HasFailure())
        std::fputs(m_transcript.toUtf8().constData(), stdout);
}

QStringList PlaybackFixture::takeLines(const QString& pattern) {
    fflush(stdout);
    m_transcript += QString::fromStdString(::testing::internal::GetCapturedStdout());
    ::testing::internal::CaptureStdout();
    QStringList lines = m_transcript.mid(m_handedOut).split('\n');
    m_handedOut = m_transcript.size();
    lines.removeAll(QString());
    return pattern.isEmpty() ? lines : lines.filter(QRegularExpression(pattern));
}

void PlaybackFixture::makeViewModel(bool useEngine) {
    vm = std::make_unique<MediaLibraryViewModel>();
    vm->setRootFolder(library->root());
    takeLines(); // what a start prints
    if (useEngine)
        return;
    vm->setPlayerFactory([this](const QList<PlayerItem*>& items) {
        auto player = std::make_unique<FakeQueuePlayer>(items);
        lastLog = player->log;
        ++playersMade;
        return player;
    });
}

FakeQueuePlayer* PlaybackFixture::fake() const {
    return qobject_cast<FakeQueuePlayer*>(vm ? vm->player() : nullptr);
}

QStringList PlaybackFixture::playerItems() const {
    return vm && vm->player() ? names(vm->player()->items()) : QStringList();
}

void PlaybackFixture::settle() {
    // Durations come back in a later turn of the event loop, whose handlers
    // may load the next file and so start another.
    for (int i = 0; i < 3; ++i) {
        waitForDurationLoads();
        QCoreApplication::processEvents();
    }
}

std::optional<PersistedQueue> PlaybackFixture::storedQueue() {
    AtomicFileWriter::shared().waitForIdle();
    QString error;
    return PersistedQueue::fromJson(
        testsupport::readFile(MediaCacheManager::shared().queueFilePath()), &error);
}

void PlaybackFixture::expectQueueStored() const {
    const auto stored = storedQueue();
    ASSERT_TRUE(stored);
    EXPECT_EQ(names(stored->queue), names(vm->playbackQueue()));
    EXPECT_EQ(stored->index, vm->currentQueueIndex());
}

void PlaybackFixture::startWithQueue(const QStringList& fileNames, int index) {
    vm->setPlaybackQueue(library->files(fileNames));
    vm->setCurrentQueueIndex(index);
}

MediaItem PlaybackFixture::item(const QString& name) const {
    if (name.endsWith('/'))
        return MediaItem::folder(library->path(name.chopped(1)));
    if (name.contains('.')) {
        testsupport::writeFile(library->path("F/" + name), "x");
        return MediaItem::audioFile(library->path("F/" + name));
    }
    return name[0].isUpper() ? library->folder(name) : library->file(name);
}

void PlaybackFixture::run(const QString& script) {
    using Step = std::function<void(const QStringList& names, int last)>;
    auto ids = [this](const QStringList& names) {
        QStringList ids;
        for (const QString& name : names)
            ids << item(name).id();
        return ids;
    };
    const QMap<QString, Step> steps = {
        {"queue", [&](auto& names, int last) { startWithQueue(names, last); }},
        {"select", [&](auto& names, int) { vm->setSelectedFolder(item(names[0])); }},
        {"load", [&](auto& names, int) { vm->loadFile(item(names[0]), false); }},
        {"playFolder", [&](auto& names, int) { vm->playFolder(item(names[0])); }},
        {"playItem", [&](auto& names, int) { vm->playItem(item(names[0]), 0, true); }},
        {"jump", [&](auto& names, int last) { vm->playItem(item(names[0]), last, false); }},
        {"playNext", [&](auto& names, int) { vm->playNext(item(names[0])); }},
        {"playNow", [&](auto& names, int) { vm->playNow(item(names[0])); }},
        {"addToQueue", [&](auto& names, int) { vm->addToQueue(item(names[0])); }},
        {"clear", [&](auto&, int) { vm->clearQueue(); }},
        {"next", [&](auto&, int) { vm->nextTrack(); }},
        {"previous", [&](auto&, int) { vm->previousTrack(); }},
        {"index", [&](auto&, int last) { vm->setCurrentQueueIndex(last); }},
        {"refresh", [&](auto&, int) { vm->refreshNextPlayerItem(); }},
        {"insert", [&](auto& names, int last) { vm->insertItems(ids(names), last); }},
        {"move",
         [&](auto& names, int last) {
             QList<int> offsets;
             for (const QString& offset : names)
                 offsets << offset.toInt();
             vm->moveFolderGroups(offsets, last);
         }},
        {"start", [&](auto&, int) { fake()->play(); }},
        {"time", [&](auto&, int last) { fake()->reachTime(last / 10.0); }},
        {"end", [&](auto&, int) { fake()->advance(); }},
        {"fail", [&](auto&, int) { fake()->currentItem()->setFailed("broken"); }},
        {"refuse", [&](auto&, int) { fake()->acceptsItems = false; }},
        {"enqueue",
         [&](auto& names, int) {
             if (fake()->items().size() > 1)
                 fake()->remove(fake()->items()[1]);
             fake()->insert(vm->makePlayerItem(item(names[0]).url()));
         }},
    };
    for (const QString& text : script.split(';', Qt::SkipEmptyParts)) {
        QStringList words = text.split(' ', Qt::SkipEmptyParts);
        const Step step = steps.value(words.takeFirst());
        if (!step) {
            ADD_FAILURE() << "no step " << text.toStdString();
            continue;
        }
        // The last word is also the number of the steps that take one.
        const int last = words.isEmpty() ? 0 : words.last().toInt();
        step(words.size() > 1 ? words.mid(0, words.size() - 1) : words, last);
    }
}

} // namespace vmtest
