#include "library/libraryscanner.h"

#include "base/console.h"
#include "library/artworknames.h"
#include "library/directorylisting.h"
#include "library/filetypes.h"
#include "library/fileurltext.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QFile>
#include <QLocale>
#include <algorithm>
#include <sys/stat.h>
#include <vector>

namespace {

// The artwork candidate of one folder while its entries go by in listing order.
class ArtworkCandidate {
public:
    void offer(const QString& name, const QString& urlString) {
        const QString lowered = name.toLower();
        if (isFolderJpgName(lowered)) {
            m_url = urlString;
            m_named = true;
        } else if (hasArtworkKeyword(lowered)) {
            if (!m_named) {
                m_url = urlString;
                m_named = true;
            }
        } else if (m_url.isEmpty()) {
            m_url = urlString;
        }
    }
    const QString& url() const { return m_url; }

private:
    QString m_url;
    bool m_named = false;
};

// A child waiting to be sorted, with the key its name sorts by.
struct SortableChild {
    QCollatorSortKey key;
    QString name;
    MediaItem item;
};

// The user's language decides the order; the C locale has no collation rules
// (and no numeric mode), so it sorts as English does.
QLocale collationLocale() {
    const QLocale system;
    if (system.language() == QLocale::C)
        return QLocale(QLocale::English, QLocale::UnitedStates);
    return system;
}

enum class EntryKind { Folder, File, Skip, Unreadable };

struct Ancestor {
    quint64 device;
    quint64 inode;
};

class Scanner {
public:
    explicit Scanner(const std::atomic<bool>* cancelled)
        : m_collator(collationLocale()), m_cancelled(cancelled) {
        m_collator.setNumericMode(true);
        m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    }

    MediaItem scan(const QByteArray& nativePath, const QString& urlString, const QString& name);

private:
    EntryKind kindOf(const QByteArray& nativePath, const DirectoryEntry& entry, int* error) const;
    void sortChildren(std::vector<SortableChild>& children) const;

    bool isCancelled() const { return m_cancelled && m_cancelled->load(std::memory_order_relaxed); }

    QCollator m_collator;
    const std::atomic<bool>* m_cancelled;
    std::vector<Ancestor> m_ancestors;
};

// A symbolic link to a folder is followed unless the folder is one of the
// folders being scanned above it, which would make the scan endless.
EntryKind Scanner::kindOf(const QByteArray& path, const DirectoryEntry& entry, int* error) const {
    using Type = DirectoryEntry::Type;
    Type type = entry.type;
    struct stat info;
    if (type == Type::Unknown) {
        if (lstat(path.constData(), &info) != 0) {
            *error = errno;
            return EntryKind::Unreadable;
        }
        type = S_ISDIR(info.st_mode)   ? Type::Directory
               : S_ISLNK(info.st_mode) ? Type::SymbolicLink
               : S_ISREG(info.st_mode) ? Type::File
                                       : Type::Special;
    }
    if (type == Type::Directory)
        return EntryKind::Folder;
    if (type == Type::File)
        return EntryKind::File;
    // A FIFO would block whoever opens it, a device never ends.
    if (type == Type::Special)
        return EntryKind::Skip;
    if (stat(path.constData(), &info) != 0)
        return EntryKind::File; // a dangling link: it may come back
    if (!S_ISDIR(info.st_mode))
        return S_ISREG(info.st_mode) ? EntryKind::File : EntryKind::Skip;
    const bool isLoop = std::any_of(m_ancestors.begin(), m_ancestors.end(), [&](const Ancestor& a) {
        return a.device == quint64(info.st_dev) && a.inode == quint64(info.st_ino);
    });
    return isLoop ? EntryKind::Skip : EntryKind::Folder;
}

void Scanner::sortChildren(std::vector<SortableChild>& children) const {
    std::stable_sort(
        children.begin(), children.end(),
        [](const SortableChild& a, const SortableChild& b) { return a.key.compare(b.key) < 0; });
}

MediaItem Scanner::scan(const QByteArray& nativePath, const QString& urlString,
                        const QString& name) {
    const DirectoryListing listing = listDirectory(nativePath);
    QString error = listing.error;
    m_ancestors.push_back({listing.device, listing.inode});

    std::vector<SortableChild> folders;
    std::vector<SortableChild> files;
    ArtworkCandidate artwork;
    QString firstAudioFile;

    for (const DirectoryEntry& entry : listing.entries) {
        if (isCancelled())
            break;
        const QByteArray childPath = nativePath + '/' + entry.nativeName;
        int entryError = 0;
        const EntryKind kind = kindOf(childPath, entry, &entryError);
        if (kind == EntryKind::Unreadable) {
            error = systemErrorText(entryError);
            break;
        }
        if (kind == EntryKind::Skip)
            continue;
        if (kind == EntryKind::Folder) {
            const QString childUrl = childUrlString(urlString, entry.name);
            folders.push_back({m_collator.sortKey(entry.name), entry.name,
                               scan(childPath, childUrl, entry.name)});
        } else if (isAudioFileName(entry.name)) {
            QString childUrl = childUrlString(urlString, entry.name);
            if (firstAudioFile.isEmpty())
                firstAudioFile = childUrl;
            MediaItem file = MediaItem::fromId(std::move(childUrl), false);
            file.containsAudio = true;
            files.push_back({m_collator.sortKey(entry.name), entry.name, std::move(file)});
        } else if (isImageFileName(entry.name)) {
            artwork.offer(entry.name, childUrlString(urlString, entry.name));
        }
    }
    m_ancestors.pop_back();
    if (!error.isEmpty())
        printLine(QStringLiteral("Error scanning directory ") + name + QStringLiteral(": ") +
                  error);

    sortChildren(folders);
    sortChildren(files);

    MediaItem folder = MediaItem::fromId(urlString, true);
    if (!artwork.url().isEmpty()) {
        folder.artworkURL = QUrl(artwork.url(), QUrl::StrictMode);
    } else {
        for (const SortableChild& child : folders) {
            if (child.item.artworkURL && isArtworkFolderName(child.name.toLower())) {
                folder.artworkURL = child.item.artworkURL;
                break;
            }
        }
    }
    if (!firstAudioFile.isEmpty())
        folder.firstAudioFileURL = QUrl(firstAudioFile, QUrl::StrictMode);

    QList<MediaItem> children;
    children.reserve(qsizetype(folders.size() + files.size()));
    for (SortableChild& child : folders)
        children.append(std::move(child.item));
    for (SortableChild& child : files)
        children.append(std::move(child.item));
    folder.containsAudio = std::any_of(children.cbegin(), children.cend(),
                                       [](const MediaItem& child) { return child.containsAudio; });
    folder.children = std::move(children);
    return folder;
}

QString withoutTrailingSeparators(QString path) {
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

} // namespace

MediaItem scanDirectory(const QUrl& folder, const std::atomic<bool>* cancelled) {
    const QString path = withoutTrailingSeparators(folder.toLocalFile());
    const QString urlString = absoluteString(QUrl::fromLocalFile(path));
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString name = slash < 0 ? path : path.mid(slash + 1);
    return Scanner(cancelled).scan(QFile::encodeName(path), urlString, name);
}
