#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <memory>

// One output of the sound server: its name there and what users read.
struct OutputDevice {
    QByteArray name;
    QString description;
    friend bool operator==(const OutputDevice&, const OutputDevice&) = default;
};

// The sound server's outputs, followed as they come and go (a headset plugged
// in or out), and which one this program plays on. Choosing another moves the
// playing stream there as it runs, so the queue, the position and the joins
// between tracks are untouched; a stream that starts later (or starts again)
// goes to the chosen output too.
//
// It keeps its own connection to the server, on the client library's thread;
// what it learns reaches the GUI thread as `changed`.
class AudioOutputDevices : public QObject {
    Q_OBJECT

public:
    explicit AudioOutputDevices(QObject* parent = nullptr);
    ~AudioOutputDevices() override;

    // Reaches the sound server (never starts one); false when there is none.
    bool start();

    const QList<OutputDevice>& devices() const { return m_devices; }
    // Where this program's sound goes: the output of its stream, else the
    // chosen one, else the server's default; empty without a server.
    QByteArray currentDevice() const;
    // Moves playback to the output of this name; false when there is none.
    bool choose(const QByteArray& name);

signals:
    void changed();

private:
    struct Snapshot;
    struct Connection;
    void apply(const Snapshot& snapshot);

    std::unique_ptr<Connection> m_connection;
    QList<OutputDevice> m_devices;
    QByteArray m_defaultDevice;
    QByteArray m_streamDevice;
    QByteArray m_chosenDevice;
};
