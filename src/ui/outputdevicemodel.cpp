#include "ui/outputdevicemodel.h"

#include "audio/audiooutput.h"

#include <QFileInfo>

OutputDeviceModel::OutputDeviceModel(QObject* parent) : QAbstractListModel(parent) {
    connect(&m_devices, &AudioOutputDevices::changed, this, &OutputDeviceModel::rebuild);
    if (AudioOutput::shared().kind() == AudioOutput::Kind::Device)
        m_devices.start();
    rebuild();
}

void OutputDeviceModel::rebuild() {
    QList<Row> rows;
    switch (AudioOutput::shared().kind()) {
    case AudioOutput::Kind::Null:
        rows.append({{"null", tr("No Sound (Silent Output)")}, true, false});
        break;
    case AudioOutput::Kind::Wav: {
        const QString spec = qEnvironmentVariable("TOLVANE_AUDIO_OUTPUT");
        const QString file = QFileInfo(spec.mid(4)).fileName();
        rows.append(
            {{"wav", file.isEmpty() ? tr("WAV File") : tr("WAV File: %1").arg(file)}, true, false});
        break;
    }
    case AudioOutput::Kind::Device: {
        const QByteArray current = m_devices.currentDevice();
        for (const OutputDevice& device : m_devices.devices())
            rows.append({device, device.name == current, true});
        if (rows.isEmpty())
            rows.append({{"", tr("No Sound Device")}, true, false});
        break;
    }
    }
    const bool countChanges = rows.size() != m_rows.size();
    beginResetModel();
    m_rows = rows;
    endResetModel();
    if (countChanges)
        emit countChanged();
}

bool OutputDeviceModel::choose(int row) {
    if (row < 0 || row >= m_rows.size() || !m_rows[row].isChoosable)
        return false;
    return m_devices.choose(m_rows[row].device.name);
}

int OutputDeviceModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant OutputDeviceModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Row& row = m_rows[index.row()];
    switch (role) {
    case NameRole:
        return QString::fromUtf8(row.device.name);
    case Qt::DisplayRole:
    case DescriptionRole:
        return row.device.description;
    case IsCurrentRole:
        return row.isCurrent;
    case IsChoosableRole:
        return row.isChoosable;
    default:
        return {};
    }
}

QHash<int, QByteArray> OutputDeviceModel::roleNames() const {
    return {{NameRole, "name"},
            {DescriptionRole, "description"},
            {IsCurrentRole, "isCurrent"},
            {IsChoosableRole, "isChoosable"}};
}
