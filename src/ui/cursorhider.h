#pragma once

#include <QObject>
#include <QtQml/qqmlregistration.h>

// Hides the mouse pointer while `hidden` is set, for the whole application.
// Every hide is matched by exactly one show: clearing the flag, or the object
// going away while it is set, restores the pointer.
class CursorHider : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool hidden READ isHidden WRITE setHidden NOTIFY hiddenChanged)

public:
    explicit CursorHider(QObject* parent = nullptr) : QObject(parent) {}
    ~CursorHider() override;

    bool isHidden() const { return m_hidden; }
    void setHidden(bool hidden);

    // Hides still in force across all hiders of the process.
    static int outstandingHides() { return s_outstanding; }

signals:
    void hiddenChanged();

private:
    bool m_hidden = false;
    static inline int s_outstanding = 0;
};
