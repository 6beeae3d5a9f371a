#include "ui/cursorhider.h"

#include <QCursor>
#include <QGuiApplication>

CursorHider::~CursorHider() {
    setHidden(false);
}

void CursorHider::setHidden(bool hidden) {
    if (hidden == m_hidden)
        return;
    m_hidden = hidden;
    if (hidden) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::BlankCursor));
        ++s_outstanding;
    } else {
        QGuiApplication::restoreOverrideCursor();
        --s_outstanding;
    }
    emit hiddenChanged();
}
