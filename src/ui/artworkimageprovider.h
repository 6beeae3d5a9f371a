#pragma once

#include <QQuickAsyncImageProvider>
#include <functional>

class MediaLibraryViewModel;

// Artwork for the views as "image://artwork/..." URLs, loaded off the GUI
// thread:
//   image://artwork/item/<id>?px=1&v=N   a library item's own artwork
//   image://artwork/current/<N>?px=1     the loaded track's artwork
// <id> is the item's absolute URL string, percent-encoded as one component;
// px=1 asks for the pixelated mosaic; r=F rounds the corners with a radius of
// F times the shorter side; v and N only make a new URL when the
// picture behind it changed. A missing picture is an error, so the view
// shows its placeholder.
class ArtworkImageProvider : public QQuickAsyncImageProvider {
public:
    // The view model whose library and track are shown; asked on the GUI
    // thread for every request (it may be gone by then).
    using ViewModelSource = std::function<MediaLibraryViewModel*()>;
    explicit ArtworkImageProvider(ViewModelSource viewModel);

    QQuickImageResponse* requestImageResponse(const QString& id,
                                              const QSize& requestedSize) override;

private:
    ViewModelSource m_viewModel;
};
