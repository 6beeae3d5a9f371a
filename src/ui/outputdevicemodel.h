#pragma once

#include "audio/audiooutputdevices.h"

#include <QAbstractListModel>
#include <QtQml/qqmlregistration.h>

// The audio outputs the output button offers: the sound server's outputs with
// the one in use marked, or the single output that plays when the program
// runs without a device (no sound, or a WAV file).
class OutputDeviceModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)

public:
    enum Role { NameRole = Qt::UserRole + 1, DescriptionRole, IsCurrentRole, IsChoosableRole };

    explicit OutputDeviceModel(QObject* parent = nullptr);

    // Plays on the output of this row from now on.
    Q_INVOKABLE bool choose(int row);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void countChanged();

private:
    struct Row {
        OutputDevice device;
        bool isCurrent = false;
        bool isChoosable = false;
    };
    void rebuild();

    AudioOutputDevices m_devices;
    QList<Row> m_rows;
};
