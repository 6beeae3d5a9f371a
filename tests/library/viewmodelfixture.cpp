#include "viewmodelfixture.h"

#include "cache/atomicfilewriter.h"
#include "library/foldergrant.h"
#include "library/librarystructurecache.h"

#include <QCoreApplication>
#include <QSettings>
#include <QThreadPool>

void ViewModelTest::SetUp() {
    settle();
    QSettings().clear();
}

void ViewModelTest::TearDown() {
    settle();
    destroyViewModel();
    QSettings().clear();
}

MediaLibraryViewModel& ViewModelTest::makeViewModel() {
    destroyViewModel();
    installedTrees.clear();
    treesWhenLoadingEnded.clear();
    m_viewModel = std::make_unique<MediaLibraryViewModel>();
    QObject::connect(m_viewModel.get(), &MediaLibraryViewModel::rootFolderChanged,
                     m_viewModel.get(),
                     [this] { installedTrees.append(m_viewModel->rootFolder()); });
    QObject::connect(m_viewModel.get(), &MediaLibraryViewModel::isLoadingChanged, m_viewModel.get(),
                     [this] {
                         if (!m_viewModel->isLoading())
                             treesWhenLoadingEnded.append(installedTrees.size());
                     });
    return *m_viewModel;
}

void ViewModelTest::destroyViewModel() {
    m_viewModel.reset();
}

void ViewModelTest::settle() {
    // A hand-over may start more work (a cached tree starts a refresh).
    for (int round = 0; round < 10; ++round) {
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
        if (QThreadPool::globalInstance()->activeThreadCount() == 0)
            QCoreApplication::processEvents();
    }
    AtomicFileWriter::shared().waitForIdle();
}

QString libraryStructureFile(const QUrl& root) {
    return LibraryStructureCache::filePath(root);
}

void storeGrant(const QUrl& folder) {
    QString error;
    const auto grant = FolderGrant::create(folder, &error);
    ASSERT_TRUE(grant.has_value()) << error.toStdString();
    QSettings().setValue(QStringLiteral("SyncedFolderBookmark"), grant->toBytes());
}
