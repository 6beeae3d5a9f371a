#pragma once

#include "app/medialibraryviewmodel.h"
#include "libraryfixture.h"

#include <QList>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

// A view model on empty settings, with the trees it installed recorded.
class ViewModelTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    MediaLibraryViewModel& makeViewModel();
    MediaLibraryViewModel& viewModel() { return *m_viewModel; }
    void destroyViewModel();

    // Runs background scans and their hand-overs to the end.
    static void settle();

    // Every value rootFolder took, in order.
    QList<std::optional<MediaItem>> installedTrees;
    // How many trees had been installed each time isLoading went false.
    QList<int> treesWhenLoadingEnded;

private:
    std::unique_ptr<MediaLibraryViewModel> m_viewModel;
};

QString libraryStructureFile(const QUrl& root);
void storeGrant(const QUrl& folder);
