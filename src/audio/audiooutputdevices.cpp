#include "audio/audiooutputdevices.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QSet>
#include <algorithm>

// What the server reported in one round of questions.
struct AudioOutputDevices::Snapshot {
    QList<OutputDevice> devices;
    QByteArray defaultDevice;
    QByteArray streamDevice; // the output of this process's stream, if any
    QList<uint32_t> streams; // this process's streams (sink inputs)
    QList<uint32_t> streamSinks;
};

#ifdef TOLVANE_HAVE_PULSE

#include <pulse/pulseaudio.h>

struct AudioOutputDevices::Connection {
    AudioOutputDevices* owner = nullptr;
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    // Loop thread only: the round being gathered and the sinks' indexes.
    Snapshot pending;
    QList<QPair<uint32_t, QByteArray>> sinkIndexes;
    int answersDue = 0;
    bool refreshAgain = false;
    QByteArray wanted; // under the loop's lock
    bool moveEveryStream = false;
    QSet<uint32_t> seenStreams;

    ~Connection() {
        if (loop)
            pa_threaded_mainloop_stop(loop);
        if (context) {
            pa_context_set_state_callback(context, nullptr, nullptr);
            pa_context_set_subscribe_callback(context, nullptr, nullptr);
            pa_context_disconnect(context);
            pa_context_unref(context);
        }
        if (loop)
            pa_threaded_mainloop_free(loop);
    }

    static void onState(pa_context* context, void* self) {
        auto* connection = static_cast<Connection*>(self);
        if (pa_context_get_state(context) == PA_CONTEXT_READY) {
            pa_context_set_subscribe_callback(context, onEvent, self);
            const auto mask =
                pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SINK_INPUT |
                                       PA_SUBSCRIPTION_MASK_SERVER);
            if (pa_operation* operation = pa_context_subscribe(context, mask, nullptr, nullptr))
                pa_operation_unref(operation);
            connection->refresh();
        }
        pa_threaded_mainloop_signal(connection->loop, 0);
    }

    static void onEvent(pa_context*, pa_subscription_event_type_t, uint32_t, void* self) {
        static_cast<Connection*>(self)->refresh();
    }

    // Asks for the outputs, the default and the streams; one round at a time.
    void refresh() {
        if (answersDue > 0) {
            refreshAgain = true;
            return;
        }
        pending = {};
        sinkIndexes.clear();
        answersDue = 3;
        auto run = [this](pa_operation* operation) {
            if (operation)
                pa_operation_unref(operation);
            else
                answered();
        };
        run(pa_context_get_server_info(context, onServer, this));
        run(pa_context_get_sink_info_list(context, onSink, this));
        run(pa_context_get_sink_input_info_list(context, onStream, this));
    }

    static void onServer(pa_context*, const pa_server_info* info, void* self) {
        auto* connection = static_cast<Connection*>(self);
        if (info && info->default_sink_name)
            connection->pending.defaultDevice = info->default_sink_name;
        connection->answered();
    }

    static void onSink(pa_context*, const pa_sink_info* info, int eol, void* self) {
        auto* connection = static_cast<Connection*>(self);
        if (eol) {
            connection->answered();
            return;
        }
        if (!info || !info->name)
            return;
        const QByteArray name(info->name);
        const QString description = info->description && *info->description
                                        ? QString::fromUtf8(info->description)
                                        : QString::fromUtf8(name);
        connection->pending.devices.append({name, description});
        connection->sinkIndexes.append({info->index, name});
    }

    static void onStream(pa_context*, const pa_sink_input_info* info, int eol, void* self) {
        auto* connection = static_cast<Connection*>(self);
        if (eol) {
            connection->answered();
            return;
        }
        if (!info || !info->proplist)
            return;
        const char* pid = pa_proplist_gets(info->proplist, PA_PROP_APPLICATION_PROCESS_ID);
        if (!pid || QByteArray(pid).toLongLong() != QCoreApplication::applicationPid())
            return;
        connection->pending.streams.append(info->index);
        connection->pending.streamSinks.append(info->sink);
    }

    void answered() {
        if (--answersDue > 0)
            return;
        for (qsizetype i = 0; i < pending.streams.size(); ++i) {
            for (const auto& [index, name] : std::as_const(sinkIndexes)) {
                if (index == pending.streamSinks[i] && pending.streamDevice.isEmpty())
                    pending.streamDevice = name;
            }
        }
        // A stream that starts (or starts again) goes where the user sent the
        // sound; one moved elsewhere by another program is left there.
        if (!wanted.isEmpty())
            moveStreams(pending, wanted);
        moveEveryStream = false;
        seenStreams = QSet<uint32_t>(pending.streams.cbegin(), pending.streams.cend());
        QPointer<AudioOutputDevices> guard(owner);
        QMetaObject::invokeMethod(
            owner,
            [guard, snapshot = pending] {
                if (guard)
                    guard->apply(snapshot);
            },
            Qt::QueuedConnection);
        if (refreshAgain) {
            refreshAgain = false;
            refresh();
        }
    }

    void moveStreams(const Snapshot& snapshot, const QByteArray& device) {
        bool known = false;
        uint32_t sinkIndex = PA_INVALID_INDEX;
        for (const auto& [index, name] : std::as_const(sinkIndexes)) {
            if (name == device) {
                known = true;
                sinkIndex = index;
            }
        }
        if (!known)
            return;
        for (qsizetype i = 0; i < snapshot.streams.size(); ++i) {
            const bool isNew = !seenStreams.contains(snapshot.streams[i]);
            if (snapshot.streamSinks[i] == sinkIndex || !(isNew || moveEveryStream))
                continue;
            if (pa_operation* operation = pa_context_move_sink_input_by_name(
                    context, snapshot.streams[i], device.constData(), nullptr, nullptr))
                pa_operation_unref(operation);
        }
    }
};

AudioOutputDevices::AudioOutputDevices(QObject* parent) : QObject(parent) {}

AudioOutputDevices::~AudioOutputDevices() = default;

bool AudioOutputDevices::start() {
    if (m_connection)
        return true;
    auto connection = std::make_unique<Connection>();
    connection->owner = this;
    connection->loop = pa_threaded_mainloop_new();
    if (!connection->loop)
        return false;
    connection->context =
        pa_context_new(pa_threaded_mainloop_get_api(connection->loop), "Tolvane outputs");
    if (!connection->context)
        return false;
    pa_context_set_state_callback(connection->context, Connection::onState, connection.get());
    if (pa_context_connect(connection->context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        pa_threaded_mainloop_start(connection->loop) < 0)
        return false;
    pa_threaded_mainloop_lock(connection->loop);
    pa_context_state_t state;
    while ((state = pa_context_get_state(connection->context)) != PA_CONTEXT_READY &&
           PA_CONTEXT_IS_GOOD(state))
        pa_threaded_mainloop_wait(connection->loop);
    pa_threaded_mainloop_unlock(connection->loop);
    if (state != PA_CONTEXT_READY)
        return false;
    m_connection = std::move(connection);
    return true;
}

bool AudioOutputDevices::choose(const QByteArray& name) {
    if (!m_connection)
        return false;
    const bool known = std::any_of(m_devices.cbegin(), m_devices.cend(),
                                   [&](const OutputDevice& d) { return d.name == name; });
    if (!known)
        return false;
    pa_threaded_mainloop_lock(m_connection->loop);
    m_connection->wanted = name;
    m_connection->moveEveryStream = true;
    m_connection->refresh(); // moves the stream once the server has answered
    pa_threaded_mainloop_unlock(m_connection->loop);
    m_chosenDevice = name;
    if (!m_streamDevice.isEmpty())
        m_streamDevice = name; // until the server confirms it
    emit changed();
    return true;
}

#else // no PulseAudio client library: no outputs to list

struct AudioOutputDevices::Connection {};
AudioOutputDevices::AudioOutputDevices(QObject* parent) : QObject(parent) {}
AudioOutputDevices::~AudioOutputDevices() = default;
bool AudioOutputDevices::start() {
    return false;
}
bool AudioOutputDevices::choose(const QByteArray&) {
    return false;
}

#endif

QByteArray AudioOutputDevices::currentDevice() const {
    if (!m_streamDevice.isEmpty())
        return m_streamDevice;
    return m_chosenDevice.isEmpty() ? m_defaultDevice : m_chosenDevice;
}

void AudioOutputDevices::apply(const Snapshot& snapshot) {
    m_devices = snapshot.devices;
    m_defaultDevice = snapshot.defaultDevice;
    m_streamDevice = snapshot.streamDevice;
    if (!m_chosenDevice.isEmpty() &&
        std::none_of(m_devices.cbegin(), m_devices.cend(),
                     [&](const OutputDevice& d) { return d.name == m_chosenDevice; }))
        m_chosenDevice.clear(); // unplugged: the server's choice applies again
    emit changed();
}
