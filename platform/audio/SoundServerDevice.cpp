#include "audio/SoundServerDevice.h"

#include "foundation/Log.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <pulse/pulseaudio.h>
#include <vector>

namespace audio {

namespace {

// Buffering asked for, never left to the server (its defaults hold seconds). Playback: the
// whole latency (server and device), how much it asks for at a time, and how much must be
// there before it starts. Capture: the size of the pieces it hands over, and how much it may
// keep for us while we do not read.
constexpr pa_usec_t kPlaybackLatency = 100 * PA_USEC_PER_MSEC;
// A sound effect is held whole by the server (the longest is half a second), so a busy
// program can never cut one short.
constexpr pa_usec_t kEffectLatency = 600 * PA_USEC_PER_MSEC;
constexpr pa_usec_t kPlaybackRequest = 20 * PA_USEC_PER_MSEC;
constexpr pa_usec_t kCaptureFragment = 20 * PA_USEC_PER_MSEC;
constexpr pa_usec_t kCaptureLimit = 2 * PA_USEC_PER_SEC;

// How long the server may take to answer a question or accept a stream.
constexpr double kAnswerTimeout = 1.0;
// isUsable() runs on the main thread every second after a loss.
constexpr double kUsableTimeout = 0.5;
// After a drain the last sample is heard within the stream's latency; this much more at most.
constexpr pa_usec_t kPlayOutMargin = 200 * PA_USEC_PER_MSEC;
// How often the wait for the last sample asks the server for its clock.
constexpr double kPlayOutPoll = 0.01;
// How long a stream may stay on a device the server removed before it counts as lost: the
// server's move or end of the stream comes well within it.
constexpr pa_usec_t kRemovalGrace = 300 * PA_USEC_PER_MSEC;

constexpr const char* kDefaultSource = "@DEFAULT_SOURCE@";
constexpr const char* kDefaultSink = "@DEFAULT_SINK@";

// Holds the main loop's lock; everything that touches libpulse objects runs under it.
class Locked {
public:
    explicit Locked(pa_threaded_mainloop* mainloop)
        : m_mainloop(mainloop)
    {
        pa_threaded_mainloop_lock(m_mainloop);
    }
    ~Locked() { pa_threaded_mainloop_unlock(m_mainloop); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    pa_threaded_mainloop* m_mainloop;
};

struct SourceFacts {
    std::string name;
    std::string description;
    bool monitor { false };
};

struct PortFacts {
    std::string name;
    std::string description;
};

struct SinkFacts {
    std::string name;
    std::string description;
    std::string activePort;
    std::vector<PortFacts> ports;
};

struct Earpiece {
    std::string sink;
    /// Empty when the sink itself is the earpiece.
    std::string port;
};

// Where a stream goes and what it says it is.
struct StreamPlan {
    /// Empty: the server's default, followed when it changes.
    std::string device;
    std::string port;
    const char* role { "music" };
    const char* mediaName { "Memo" };
    pa_usec_t latency { kPlaybackLatency };
};

std::string errorText(pa_context* context)
{
    return context ? pa_strerror(pa_context_errno(context)) : "no connection";
}

bool usableRate(double rate)
{
    return rate >= 1 && rate <= PA_RATE_MAX && rate == std::floor(rate);
}

// What the server's removal of a source or sink means to a stream that was on it.
class RemovalWatcher {
public:
    virtual void deviceRemovedLocked(bool source, std::uint32_t index) = 0;

protected:
    ~RemovalWatcher() = default;
};

} // namespace

struct SoundServerDevice::Server {
    explicit Server(const Options& options)
        : options(options)
        , mainloop(pa_threaded_mainloop_new())
    {
        pa_threaded_mainloop_set_name(mainloop, "parlivo-sound");
        pa_threaded_mainloop_start(mainloop);
    }
    ~Server()
    {
        {
            Locked lock(mainloop);
            dropContextLocked();
        }
        pa_threaded_mainloop_stop(mainloop);
        pa_threaded_mainloop_free(mainloop);
    }

    void signal() { pa_threaded_mainloop_signal(mainloop, 0); }

    // Waits until ready() holds, or timeout seconds have passed when timeout > 0. Every
    // callback of ours signals the loop, which makes the waiters look again.
    template<typename Ready>
    bool waitLocked(Ready ready, double timeout)
    {
        if (ready())
            return true;
        struct Deadline {
            pa_threaded_mainloop* mainloop;
            bool passed { false };
        } deadline { mainloop };
        pa_mainloop_api* api = pa_threaded_mainloop_get_api(mainloop);
        pa_time_event* event = nullptr;
        if (timeout > 0) {
            timeval when {};
            pa_gettimeofday(&when);
            pa_timeval_add(&when, static_cast<pa_usec_t>(timeout * PA_USEC_PER_SEC));
            event = api->time_new(
                api, &when,
                [](pa_mainloop_api*, pa_time_event*, const timeval*, void* userdata) {
                    auto* d = static_cast<Deadline*>(userdata);
                    d->passed = true;
                    pa_threaded_mainloop_signal(d->mainloop, 0);
                },
                &deadline);
        }
        while (!ready() && !deadline.passed)
            pa_threaded_mainloop_wait(mainloop);
        if (event)
            api->time_free(event);
        return ready();
    }

    // Waits for an operation to end; true when it completed (not cancelled, not timed out).
    bool finishLocked(pa_operation* operation, double timeout = kAnswerTimeout)
    {
        if (!operation)
            return false;
        pa_operation_set_state_callback(
            operation, [](pa_operation*, void* userdata) { pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(userdata), 0); },
            mainloop);
        bool ended = waitLocked([&] { return pa_operation_get_state(operation) != PA_OPERATION_RUNNING; }, timeout);
        bool done = pa_operation_get_state(operation) == PA_OPERATION_DONE;
        if (!ended)
            pa_operation_cancel(operation);
        pa_operation_set_state_callback(operation, nullptr, nullptr);
        pa_operation_unref(operation);
        return done;
    }

    bool connectedLocked() const { return context && pa_context_get_state(context) == PA_CONTEXT_READY; }

    void dropContextLocked()
    {
        if (!context)
            return;
        pa_context_set_state_callback(context, nullptr, nullptr);
        pa_context_set_subscribe_callback(context, nullptr, nullptr);
        pa_context_disconnect(context);
        pa_context_unref(context);
        context = nullptr;
    }

    bool connectLocked(double timeout, std::string* reason)
    {
        if (connectedLocked())
            return true;
        // A connection that failed or ended is replaced; its streams have failed with it.
        dropContextLocked();
        pa_proplist* properties = pa_proplist_new();
        pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Parlivo");
        if (!options.applicationID.empty()) {
            pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, options.applicationID.c_str());
            pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, options.applicationID.c_str());
        }
        context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(mainloop), "Parlivo", properties);
        pa_proplist_free(properties);
        if (!context) {
            if (reason)
                *reason = "libpulse cannot make a connection";
            return false;
        }
        pa_context_set_state_callback(
            context, [](pa_context*, void* userdata) { static_cast<Server*>(userdata)->signal(); }, this);
        // Never starts a daemon: no answer means no server.
        if (pa_context_connect(context, options.server.empty() ? nullptr : options.server.c_str(), PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            if (reason)
                *reason = errorText(context);
            dropContextLocked();
            return false;
        }
        bool settled = waitLocked(
            [&] {
                pa_context_state_t state = pa_context_get_state(context);
                return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
            },
            timeout);
        if (!connectedLocked()) {
            if (reason)
                *reason = settled ? errorText(context) : "no answer within " + std::to_string(static_cast<int>(std::ceil(timeout))) + " s";
            dropContextLocked();
            return false;
        }
        // Some servers leave a stream whose device went without one instead of ending it; the
        // streams hear of every source and sink that goes.
        pa_context_set_subscribe_callback(
            context,
            [](pa_context*, pa_subscription_event_type_t event, std::uint32_t index, void* userdata) {
                auto* server = static_cast<Server*>(userdata);
                const auto facility = event & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
                if ((event & PA_SUBSCRIPTION_EVENT_TYPE_MASK) != PA_SUBSCRIPTION_EVENT_REMOVE
                    || (facility != PA_SUBSCRIPTION_EVENT_SOURCE && facility != PA_SUBSCRIPTION_EVENT_SINK))
                    return;
                for (RemovalWatcher* watcher : std::vector<RemovalWatcher*>(server->watchers))
                    watcher->deviceRemovedLocked(facility == PA_SUBSCRIPTION_EVENT_SOURCE, index);
            },
            this);
        if (pa_operation* subscribed = pa_context_subscribe(
                context, static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SOURCE), nullptr, nullptr))
            pa_operation_unref(subscribed);
        finishLocked(pa_context_get_server_info(
            context,
            [](pa_context*, const pa_server_info* info, void* userdata) {
                auto* server = static_cast<Server*>(userdata);
                if (info && info->server_name) {
                    std::lock_guard guard(server->nameMutex);
                    server->name = std::string("sound server (") + info->server_name + " " + (info->server_version ? info->server_version : "") + ")";
                }
                server->signal();
            },
            this));
        return true;
    }

    std::optional<SourceFacts> sourceLocked(const std::string& sourceName)
    {
        struct Query {
            std::optional<SourceFacts> facts;
        } query;
        bool done = finishLocked(pa_context_get_source_info_by_name(
            context, sourceName.c_str(),
            [](pa_context*, const pa_source_info* info, int eol, void* userdata) {
                if (eol == 0 && info) {
                    static_cast<Query*>(userdata)->facts
                        = SourceFacts { info->name ? info->name : "", info->description ? info->description : "", info->monitor_of_sink != PA_INVALID_INDEX };
                }
            },
            &query));
        return done ? query.facts : std::nullopt;
    }

    static SinkFacts sinkFacts(const pa_sink_info& info)
    {
        SinkFacts facts { info.name ? info.name : "", info.description ? info.description : "",
            info.active_port && info.active_port->name ? info.active_port->name : "", {} };
        for (std::uint32_t i = 0; i < info.n_ports; ++i) {
            const pa_sink_port_info* port = info.ports[i];
            if (port && port->name)
                facts.ports.push_back({ port->name, port->description ? port->description : "" });
        }
        return facts;
    }

    std::vector<SinkFacts> sinksLocked(const char* sinkName = nullptr)
    {
        struct Query {
            std::vector<SinkFacts> sinks;
        } query;
        auto collect = [](pa_context*, const pa_sink_info* info, int eol, void* userdata) {
            if (eol == 0 && info)
                static_cast<Query*>(userdata)->sinks.push_back(sinkFacts(*info));
        };
        pa_operation* operation = sinkName ? pa_context_get_sink_info_by_name(context, sinkName, collect, &query)
                                           : pa_context_get_sink_info_list(context, collect, &query);
        return finishLocked(operation) ? query.sinks : std::vector<SinkFacts> {};
    }

    // Which source a recording opens: the chosen one when it is there, else the default
    // (""); none when the server offers no microphone.
    std::optional<std::string> microphoneLocked(std::string* reason)
    {
        if (!chosenMicrophone.empty()) {
            if (sourceLocked(chosenMicrophone)) {
                reportedMissingMicrophone = false;
                return chosenMicrophone;
            }
            if (!reportedMissingMicrophone)
                foundation::logf("The chosen microphone '%s' is not there; recording from the default one.", chosenMicrophone.c_str());
            reportedMissingMicrophone = true;
        }
        auto source = sourceLocked(kDefaultSource);
        // The fallback of a server without sources is a sink's monitor: recording it would
        // record the speaker, never the user.
        if (!source || source->monitor) {
            if (reason)
                *reason = source ? "no microphone (the only source is '" + source->name + "', a monitor)" : "no microphone";
            return std::nullopt;
        }
        return std::string();
    }

    std::optional<std::string> speakerLocked(std::string* reason)
    {
        if (!chosenSpeaker.empty()) {
            if (!sinksLocked(chosenSpeaker.c_str()).empty()) {
                reportedMissingSpeaker = false;
                return chosenSpeaker;
            }
            if (!reportedMissingSpeaker)
                foundation::logf("The chosen speaker '%s' is not there; playing on the default one.", chosenSpeaker.c_str());
            reportedMissingSpeaker = true;
        }
        if (sinksLocked(kDefaultSink).empty()) {
            if (reason)
                *reason = "no speaker";
            return std::nullopt;
        }
        return std::string();
    }

    std::optional<Earpiece> earpieceLocked()
    {
        const std::string pattern = earpiecePattern();
        auto matches = [&](const std::string& name, const std::string& description) {
            return isEarpieceName(name, pattern) || isEarpieceName(description, pattern);
        };
        auto defaults = sinksLocked(kDefaultSink);
        const std::string defaultSink = defaults.empty() ? std::string() : defaults.front().name;
        auto sinks = sinksLocked();
        for (const auto& sink : sinks) {
            if (sink.name != defaultSink && matches(sink.name, sink.description))
                return Earpiece { sink.name, {} };
        }
        for (const auto& sink : sinks) {
            for (const auto& port : sink.ports) {
                if (matches(port.name, port.description))
                    return Earpiece { sink.name, port.name };
            }
        }
        return std::nullopt;
    }

    bool setSinkPortLocked(const std::string& sink, const std::string& port)
    {
        return finishLocked(pa_context_set_sink_port_by_name(context, sink.c_str(), port.c_str(), nullptr, nullptr));
    }

    const Options options;
    pa_threaded_mainloop* const mainloop;
    pa_context* context { nullptr };
    std::string chosenMicrophone;
    std::string chosenSpeaker;
    bool reportedMissingMicrophone { false };
    bool reportedMissingSpeaker { false };
    // What streams lost; isUsable() waits for it to be back.
    bool lostMicrophone { false };
    bool lostSpeaker { false };
    // The streams that are connected.
    std::vector<RemovalWatcher*> watchers;

    std::mutex nameMutex;
    std::string name { "sound server" };
};

namespace {

using Server = SoundServerDevice::Server;

// What the input and output streams share: the stream's life on the server, and how a loss
// is told apart from our own stop.
class ServerStream : public RemovalWatcher {
public:
    ServerStream(std::shared_ptr<SoundServerDevice> device, Server& server, bool input, const StreamBasicDescription& format,
        StreamPlan plan)
        : m_device(std::move(device))
        , m_server(server)
        , m_input(input)
        , m_spec { PA_SAMPLE_S16LE, static_cast<std::uint32_t>(format.mSampleRate), static_cast<std::uint8_t>(format.mChannelsPerFrame) }
        , m_plan(std::move(plan))
    {
    }
    virtual ~ServerStream() = default;
    ServerStream(const ServerStream&) = delete;
    ServerStream& operator=(const ServerStream&) = delete;

protected:
    Status connectLocked()
    {
        disconnectLocked();
        m_interrupted = false;
        m_failure.clear();
        std::string reason;
        if (!m_server.connectLocked(kAnswerTimeout, &reason)) {
            m_failure = "the sound server does not answer (" + reason + ")";
            return kQueueDeviceError;
        }
        pa_proplist* properties = pa_proplist_new();
        pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, m_plan.role);
        pa_proplist_sets(properties, PA_PROP_MEDIA_NAME, m_plan.mediaName);
        m_stream = pa_stream_new_with_proplist(m_server.context, m_plan.mediaName, &m_spec, nullptr, properties);
        pa_proplist_free(properties);
        if (!m_stream) {
            m_failure = "the sound server refused the stream (" + errorText(m_server.context) + ")";
            return kQueueDeviceError;
        }
        pa_stream_set_state_callback(
            m_stream, [](pa_stream*, void* userdata) { static_cast<ServerStream*>(userdata)->m_server.signal(); }, this);
        pa_stream_set_moved_callback(
            m_stream, [](pa_stream*, void* userdata) { static_cast<ServerStream*>(userdata)->movedLocked(); }, this);
        setCallbacksLocked();
        const char* device = m_plan.device.empty() ? nullptr : m_plan.device.c_str();
        pa_buffer_attr attributes {};
        int result;
        if (m_input) {
            attributes.maxlength = static_cast<std::uint32_t>(pa_usec_to_bytes(kCaptureLimit, &m_spec));
            attributes.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(kCaptureFragment, &m_spec));
            attributes.tlength = attributes.prebuf = attributes.minreq = static_cast<std::uint32_t>(-1);
            result = pa_stream_connect_record(m_stream, device, &attributes, PA_STREAM_ADJUST_LATENCY);
        } else {
            attributes.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(m_plan.latency, &m_spec));
            attributes.minreq = static_cast<std::uint32_t>(pa_usec_to_bytes(kPlaybackRequest, &m_spec));
            attributes.prebuf = attributes.minreq;
            attributes.maxlength = 4 * attributes.tlength;
            attributes.fragsize = static_cast<std::uint32_t>(-1);
            auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
            result = pa_stream_connect_playback(m_stream, device, &attributes, flags, nullptr, nullptr);
        }
        if (result == 0)
            m_server.waitLocked([&] { return pa_stream_get_state(m_stream) != PA_STREAM_CREATING; }, kAnswerTimeout);
        if (result != 0 || pa_stream_get_state(m_stream) != PA_STREAM_READY) {
            m_failure = "the sound server refused the stream (" + errorText(m_server.context) + ")";
            disconnectLocked();
            return kQueueDeviceError;
        }
        const char* name = pa_stream_get_device_name(m_stream);
        m_deviceName = name ? name : "";
        m_server.watchers.push_back(this);
        return noErr;
    }

    // The device the stream is on went. A server that moves the stream elsewhere (or ends it)
    // says so at about the same time; one that leaves it without a device does not, so after
    // a moment a stream still on the removed device is lost.
    void deviceRemovedLocked(bool source, std::uint32_t index) override
    {
        if (source != m_input || !m_stream || pa_stream_get_device_index(m_stream) != index || m_removalCheck)
            return;
        timeval when {};
        pa_gettimeofday(&when);
        pa_timeval_add(&when, kRemovalGrace);
        pa_mainloop_api* api = pa_threaded_mainloop_get_api(m_server.mainloop);
        m_removedIndex = index;
        m_removalCheck = api->time_new(
            api, &when,
            [](pa_mainloop_api* api, pa_time_event* event, const timeval*, void* userdata) {
                auto* self = static_cast<ServerStream*>(userdata);
                api->time_free(event);
                self->m_removalCheck = nullptr;
                if (self->m_stream && pa_stream_get_state(self->m_stream) == PA_STREAM_READY
                    && pa_stream_get_device_index(self->m_stream) == self->m_removedIndex)
                    self->failLocked("'" + self->m_deviceName + "' was removed");
            },
            this);
    }

    void disconnectLocked()
    {
        if (m_removalCheck) {
            pa_threaded_mainloop_get_api(m_server.mainloop)->time_free(m_removalCheck);
            m_removalCheck = nullptr;
        }
        std::erase(m_server.watchers, this);
        if (!m_stream)
            return;
        pa_stream_set_state_callback(m_stream, nullptr, nullptr);
        pa_stream_set_moved_callback(m_stream, nullptr, nullptr);
        pa_stream_set_read_callback(m_stream, nullptr, nullptr);
        pa_stream_set_write_callback(m_stream, nullptr, nullptr);
        if (pa_stream_get_state(m_stream) == PA_STREAM_READY)
            pa_stream_disconnect(m_stream);
        pa_stream_unref(m_stream);
        m_stream = nullptr;
    }

    bool aliveLocked() const { return m_stream && pa_stream_get_state(m_stream) == PA_STREAM_READY && m_failure.empty(); }

    // The stream ended without our stop, or must not go on: the device or the server is gone.
    void failLocked(const std::string& reason = {})
    {
        if (m_failure.empty()) {
            if (!reason.empty())
                m_failure = reason;
            else if (!m_server.connectedLocked())
                m_failure = "the sound server went away (" + errorText(m_server.context) + ")";
            else if (pa_context_errno(m_server.context) == PA_ERR_KILLED)
                m_failure = "'" + m_deviceName + "' was removed";
            else
                m_failure = "the stream failed (" + errorText(m_server.context) + ")";
        }
        (m_input ? m_server.lostMicrophone : m_server.lostSpeaker) = true;
        m_server.signal();
    }

    virtual void setCallbacksLocked() = 0;
    virtual void movedLocked() = 0;

    void interruptLocked()
    {
        m_interrupted = true;
        m_server.signal();
    }

    std::shared_ptr<SoundServerDevice> m_device;
    Server& m_server;
    const bool m_input;
    const pa_sample_spec m_spec;
    const StreamPlan m_plan;
    pa_stream* m_stream { nullptr };
    std::string m_deviceName;
    std::string m_failure;
    bool m_interrupted { false };
    pa_time_event* m_removalCheck { nullptr };
    std::uint32_t m_removedIndex { PA_INVALID_INDEX };
};

class ServerInputStream final : public InputStream, private ServerStream {
public:
    ServerInputStream(std::shared_ptr<SoundServerDevice> device, Server& server, const StreamBasicDescription& format, StreamPlan plan)
        : ServerStream(std::move(device), server, true, format, std::move(plan))
    {
    }
    ~ServerInputStream() override
    {
        Locked lock(m_server.mainloop);
        cancelCheckLocked();
        disconnectLocked();
    }

    Pacing pacing() const override { return Pacing::Device; }

    Status start() override
    {
        Locked lock(m_server.mainloop);
        cancelCheckLocked();
        m_captured.clear();
        m_taken = 0;
        m_checkingMove = false;
        return connectLocked();
    }

    // What the server delivered until now stays readable; the stream ends.
    void stop() override
    {
        Locked lock(m_server.mainloop);
        if (!m_checkingMove)
            takeDeliveredLocked();
        cancelCheckLocked();
        disconnectLocked();
        m_server.signal();
    }

    std::size_t read(std::int16_t* samples, std::size_t frames) override
    {
        Locked lock(m_server.mainloop);
        const std::size_t wanted = frames * m_spec.channels;
        std::size_t done = 0;
        for (;;) {
            std::size_t count = std::min(m_captured.size() - m_taken, wanted - done);
            std::copy_n(m_captured.begin() + static_cast<std::ptrdiff_t>(m_taken), count, samples + done);
            m_taken += count;
            done += count;
            compactLocked();
            if (done == wanted || !m_stream || m_interrupted || !m_failure.empty())
                break;
            if (pa_stream_get_state(m_stream) != PA_STREAM_READY) {
                failLocked();
                break;
            }
            m_server.waitLocked(
                [&] {
                    return m_captured.size() > m_taken || m_interrupted || !m_stream || !m_failure.empty()
                        || pa_stream_get_state(m_stream) != PA_STREAM_READY;
                },
                0);
        }
        return done / m_spec.channels;
    }

    void interrupt() override
    {
        Locked lock(m_server.mainloop);
        interruptLocked();
    }

    std::string failure() const override
    {
        Locked lock(m_server.mainloop);
        return m_failure;
    }

private:
    void setCallbacksLocked() override
    {
        pa_stream_set_read_callback(
            m_stream,
            [](pa_stream*, std::size_t, void* userdata) {
                auto* self = static_cast<ServerInputStream*>(userdata);
                // While a move is checked, what arrives may come from the new source.
                if (!self->m_checkingMove)
                    self->takeDeliveredLocked();
                self->m_server.signal();
            },
            this);
    }

    // Everything the server delivered goes into our buffer at once, so a stream that fails
    // later loses none of it.
    void takeDeliveredLocked()
    {
        while (m_stream && pa_stream_get_state(m_stream) == PA_STREAM_READY && pa_stream_readable_size(m_stream) > 0) {
            const void* data = nullptr;
            std::size_t bytes = 0;
            if (pa_stream_peek(m_stream, &data, &bytes) < 0 || bytes == 0)
                break;
            std::size_t count = bytes / sizeof(std::int16_t);
            // A hole in the capture keeps its length as silence.
            if (data)
                m_captured.insert(m_captured.end(), static_cast<const std::int16_t*>(data), static_cast<const std::int16_t*>(data) + count);
            else
                m_captured.insert(m_captured.end(), count, 0);
            pa_stream_drop(m_stream);
        }
    }

    void compactLocked()
    {
        if (m_taken == m_captured.size()) {
            m_captured.clear();
            m_taken = 0;
        } else if (m_taken > 65536 && m_taken > m_captured.size() / 2) {
            m_captured.erase(m_captured.begin(), m_captured.begin() + static_cast<std::ptrdiff_t>(m_taken));
            m_taken = 0;
        }
    }

    // The server moved the recording: to another microphone it goes on; to a monitor (the
    // microphone went and only a sink's monitor is left) it is a loss. Until the server
    // said which, nothing more is taken: everything taken so far came from the old source.
    void movedLocked() override
    {
        cancelCheckLocked();
        m_checkingMove = true;
        m_check = pa_context_get_source_info_by_index(
            m_server.context, pa_stream_get_device_index(m_stream),
            [](pa_context*, const pa_source_info* info, int eol, void* userdata) {
                auto* self = static_cast<ServerInputStream*>(userdata);
                if (eol == 0 && info) {
                    self->m_movedTo = info->name ? info->name : "";
                    self->m_movedToMonitor = info->monitor_of_sink != PA_INVALID_INDEX && self->m_movedTo != self->m_server.chosenMicrophone;
                    return;
                }
                self->moveCheckedLocked(eol > 0);
            },
            this);
        if (!m_check)
            moveCheckedLocked(false);
    }

    void moveCheckedLocked(bool answered)
    {
        cancelCheckLocked();
        m_checkingMove = false;
        if (!answered || m_movedToMonitor) {
            failLocked("'" + m_deviceName + "' was removed");
            return;
        }
        foundation::logf("The sound server moved the recording from '%s' to '%s'.", m_deviceName.c_str(), m_movedTo.c_str());
        m_deviceName = m_movedTo;
        takeDeliveredLocked();
        m_server.signal();
    }

    void cancelCheckLocked()
    {
        if (!m_check)
            return;
        pa_operation_cancel(m_check);
        pa_operation_unref(m_check);
        m_check = nullptr;
    }

    std::vector<std::int16_t> m_captured;
    std::size_t m_taken { 0 };
    bool m_checkingMove { false };
    pa_operation* m_check { nullptr };
    std::string m_movedTo;
    bool m_movedToMonitor { false };
};

class ServerOutputStream final : public OutputStream, private ServerStream {
public:
    ServerOutputStream(std::shared_ptr<SoundServerDevice> device, Server& server, const StreamBasicDescription& format, StreamPlan plan)
        : ServerStream(std::move(device), server, false, format, std::move(plan))
    {
    }
    ~ServerOutputStream() override
    {
        Locked lock(m_server.mainloop);
        stopLocked();
    }

    Pacing pacing() const override { return Pacing::Device; }

    Status start() override
    {
        Locked lock(m_server.mainloop);
        stopLocked();
        m_written = 0;
        m_played = 0;
        if (!m_plan.port.empty() && m_server.connectLocked(kAnswerTimeout, nullptr)) {
            // The earpiece is a port of its sink: it becomes the sink's port while this plays.
            auto sinks = m_server.sinksLocked(m_plan.device.c_str());
            if (!sinks.empty() && sinks.front().activePort != m_plan.port && m_server.setSinkPortLocked(m_plan.device, m_plan.port))
                m_portBefore = sinks.front().activePort;
        }
        return connectLocked();
    }

    void stop() override
    {
        Locked lock(m_server.mainloop);
        stopLocked();
    }

    std::size_t write(const std::int16_t* samples, std::size_t frames) override
    {
        Locked lock(m_server.mainloop);
        const std::size_t frameBytes = pa_frame_size(&m_spec);
        std::size_t done = 0;
        while (done < frames && !m_interrupted) {
            if (!aliveLocked()) {
                failLocked();
                break;
            }
            std::size_t room = pa_stream_writable_size(m_stream);
            if (room == static_cast<std::size_t>(-1)) {
                failLocked();
                break;
            }
            std::size_t count = std::min(room / frameBytes, frames - done);
            if (count == 0) {
                m_server.waitLocked([&] { return m_interrupted || !aliveLocked() || pa_stream_writable_size(m_stream) >= frameBytes; }, 0);
                continue;
            }
            if (pa_stream_write(m_stream, samples + done * m_spec.channels, count * frameBytes, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
                failLocked();
                break;
            }
            done += count;
            m_written += static_cast<std::int64_t>(count);
        }
        return done;
    }

    // The server plays what it holds; then the wait goes on until its clock has passed the
    // last sample, so that sample has been heard when a stop follows.
    bool drain() override
    {
        Locked lock(m_server.mainloop);
        if (!m_stream)
            return true;
        if (!aliveLocked()) {
            failLocked();
            return false;
        }
        pa_operation* operation = pa_stream_drain(
            m_stream, [](pa_stream*, int, void* userdata) { static_cast<Server*>(userdata)->signal(); }, &m_server);
        if (!operation) {
            failLocked();
            return false;
        }
        m_server.waitLocked([&] { return pa_operation_get_state(operation) != PA_OPERATION_RUNNING || m_interrupted || !aliveLocked(); }, 0);
        if (pa_operation_get_state(operation) == PA_OPERATION_RUNNING)
            pa_operation_cancel(operation);
        pa_operation_unref(operation);
        if (m_interrupted)
            return false;
        if (!aliveLocked()) {
            failLocked();
            return false;
        }
        pa_usec_t latency = 0;
        int negative = 0;
        if (pa_stream_get_latency(m_stream, &latency, &negative) != 0 || negative)
            latency = 0;
        const pa_usec_t until = pa_rtclock_now() + latency + kPlayOutMargin;
        while (playedLocked() < m_written && !m_interrupted && aliveLocked() && pa_rtclock_now() < until) {
            if (pa_operation* update = pa_stream_update_timing_info(m_stream, nullptr, nullptr))
                pa_operation_unref(update);
            m_server.waitLocked([&] { return m_interrupted; }, kPlayOutPoll);
        }
        if (!m_interrupted && !aliveLocked()) {
            failLocked();
            return false;
        }
        return !m_interrupted;
    }

    void setPaused(bool paused) override
    {
        Locked lock(m_server.mainloop);
        if (!aliveLocked())
            return;
        // A corked stream keeps what it holds and goes on from there.
        if (pa_operation* operation = pa_stream_cork(m_stream, paused ? 1 : 0, nullptr, nullptr))
            pa_operation_unref(operation);
    }

    std::int64_t framesPlayed() const override
    {
        Locked lock(m_server.mainloop);
        return playedLocked();
    }

    void interrupt() override
    {
        Locked lock(m_server.mainloop);
        interruptLocked();
    }

    std::string failure() const override
    {
        Locked lock(m_server.mainloop);
        return m_failure;
    }

private:
    void setCallbacksLocked() override
    {
        pa_stream_set_write_callback(
            m_stream, [](pa_stream*, std::size_t, void* userdata) { static_cast<ServerOutputStream*>(userdata)->m_server.signal(); }, this);
    }

    void movedLocked() override
    {
        const char* name = pa_stream_get_device_name(m_stream);
        foundation::logf("The sound server moved the playback from '%s' to '%s'.", m_deviceName.c_str(), name ? name : "");
        m_deviceName = name ? name : "";
    }

    // Frames heard, from the server's clock: never more than was written, and never back.
    std::int64_t playedLocked() const
    {
        pa_usec_t time = 0;
        if (m_stream && pa_stream_get_time(m_stream, &time) == 0) {
            auto frames = static_cast<std::int64_t>(static_cast<double>(time) * m_spec.rate / PA_USEC_PER_SEC);
            m_played = std::max(m_played, std::min(frames, m_written));
        }
        return m_played;
    }

    void stopLocked()
    {
        playedLocked();
        disconnectLocked();
        if (!m_portBefore.empty() && m_server.connectedLocked())
            m_server.setSinkPortLocked(m_plan.device, m_portBefore);
        m_portBefore.clear();
        m_server.signal();
    }

    std::int64_t m_written { 0 };
    mutable std::int64_t m_played { 0 };
    std::string m_portBefore;
};

bool refuse(Status status, const std::string& why, Status* error, std::string* reason)
{
    if (error)
        *error = status;
    if (reason)
        *reason = why;
    return false;
}

// Whether the server can take the format; the reason when not.
bool acceptsFormat(const StreamBasicDescription& format, Status* error, std::string* reason)
{
    if (!isLinearPCM16(format))
        return refuse(kQueueUnsupportedFormatError, "not 16-bit linear PCM", error, reason);
    if (!usableRate(format.mSampleRate) || format.mChannelsPerFrame < 1 || format.mChannelsPerFrame > PA_CHANNELS_MAX)
        return refuse(kQueueUnsupportedFormatError, "the sound server takes whole rates up to " + std::to_string(PA_RATE_MAX) + " Hz", error,
            reason);
    return true;
}

} // namespace

SoundServerDevice::SoundServerDevice(const Options& options)
    : m_server(std::make_unique<Server>(options))
{
}

std::shared_ptr<SoundServerDevice> SoundServerDevice::create(const Options& options)
{
    return std::shared_ptr<SoundServerDevice>(new SoundServerDevice(options));
}

SoundServerDevice::~SoundServerDevice() = default;

bool SoundServerDevice::connect(std::string* reason)
{
    Locked lock(m_server->mainloop);
    return m_server->connectLocked(m_server->options.connectTimeout, reason);
}

std::string SoundServerDevice::name() const
{
    std::lock_guard guard(m_server->nameMutex);
    return m_server->name;
}

std::unique_ptr<InputStream> SoundServerDevice::openInput(const StreamBasicDescription& format, Status* error, std::string* reason)
{
    if (!acceptsFormat(format, error, reason))
        return nullptr;
    Locked lock(m_server->mainloop);
    std::string why;
    if (!m_server->connectLocked(m_server->options.connectTimeout, &why)) {
        refuse(kQueueNoDeviceError, "no microphone: the sound server does not answer (" + why + ")", error, reason);
        return nullptr;
    }
    auto microphone = m_server->microphoneLocked(&why);
    if (!microphone) {
        refuse(kQueueNoDeviceError, why, error, reason);
        return nullptr;
    }
    return std::make_unique<ServerInputStream>(shared_from_this(), *m_server, format, StreamPlan { *microphone, {}, "production", "Recording" });
}

std::unique_ptr<OutputStream> SoundServerDevice::openPlayback(OutputPurpose purpose, bool earpiece, const StreamBasicDescription& format,
    Status* error, std::string* reason)
{
    if (!acceptsFormat(format, error, reason))
        return nullptr;
    Locked lock(m_server->mainloop);
    std::string why;
    if (!m_server->connectLocked(m_server->options.connectTimeout, &why)) {
        refuse(kQueueNoDeviceError, "no speaker: the sound server does not answer (" + why + ")", error, reason);
        return nullptr;
    }
    StreamPlan plan;
    if (purpose == OutputPurpose::SystemSound) {
        plan.role = "event";
        plan.mediaName = "Sound effect";
        plan.latency = kEffectLatency;
    }
    if (earpiece) {
        auto found = m_server->earpieceLocked();
        if (!found) {
            refuse(kQueueDeviceError, "no earpiece", error, reason);
            return nullptr;
        }
        plan.device = found->sink;
        plan.port = found->port;
    } else {
        auto speaker = m_server->speakerLocked(&why);
        if (!speaker) {
            refuse(kQueueNoDeviceError, why, error, reason);
            return nullptr;
        }
        plan.device = *speaker;
    }
    return std::make_unique<ServerOutputStream>(shared_from_this(), *m_server, format, std::move(plan));
}

std::unique_ptr<OutputStream> SoundServerDevice::openOutput(const StreamBasicDescription& format, Status* error, std::string* reason)
{
    return openPlayback(OutputPurpose::Memo, false, format, error, reason);
}

std::unique_ptr<OutputStream> SoundServerDevice::openOutputFor(OutputPurpose purpose, const StreamBasicDescription& format, Status* error,
    std::string* reason)
{
    return openPlayback(purpose, false, format, error, reason);
}

bool SoundServerDevice::hasEarpiece()
{
    Locked lock(m_server->mainloop);
    return m_server->connectLocked(m_server->options.connectTimeout, nullptr) && m_server->earpieceLocked();
}

std::unique_ptr<OutputStream> SoundServerDevice::openEarpiece(const StreamBasicDescription& format, Status* error, std::string* reason)
{
    return openPlayback(OutputPurpose::Memo, true, format, error, reason);
}

bool SoundServerDevice::isUsable()
{
    Locked lock(m_server->mainloop);
    Server& server = *m_server;
    if (!server.connectLocked(kUsableTimeout, nullptr))
        return false;
    bool usable = (!server.lostMicrophone || server.microphoneLocked(nullptr)) && (!server.lostSpeaker || server.speakerLocked(nullptr));
    if (usable)
        server.lostMicrophone = server.lostSpeaker = false;
    return usable;
}

void SoundServerDevice::setChosenMicrophone(const std::string& name)
{
    Locked lock(m_server->mainloop);
    m_server->chosenMicrophone = name;
    m_server->reportedMissingMicrophone = false;
}

void SoundServerDevice::setChosenSpeaker(const std::string& name)
{
    Locked lock(m_server->mainloop);
    m_server->chosenSpeaker = name;
    m_server->reportedMissingSpeaker = false;
}

bool SoundServerDevice::hasMicrophone(std::string* reason)
{
    Locked lock(m_server->mainloop);
    std::string why;
    if (!m_server->connectLocked(m_server->options.connectTimeout, &why)) {
        if (reason)
            *reason = "no microphone: the sound server does not answer (" + why + ")";
        return false;
    }
    return m_server->microphoneLocked(reason).has_value();
}

bool SoundServerDevice::hasSpeaker(std::string* reason)
{
    Locked lock(m_server->mainloop);
    std::string why;
    if (!m_server->connectLocked(m_server->options.connectTimeout, &why)) {
        if (reason)
            *reason = "no speaker: the sound server does not answer (" + why + ")";
        return false;
    }
    return m_server->speakerLocked(reason).has_value();
}

std::vector<DeviceDescription> SoundServerDevice::namedDevices(bool input)
{
    Locked lock(m_server->mainloop);
    std::vector<DeviceDescription> devices;
    if (!m_server->connectLocked(m_server->options.connectTimeout, nullptr))
        return devices;
    if (!input) {
        for (const auto& sink : m_server->sinksLocked())
            devices.push_back({ sink.name, sink.description });
        return devices;
    }
    // A sink's monitor records the speaker, not the user: no microphone to offer.
    m_server->finishLocked(pa_context_get_source_info_list(
        m_server->context,
        [](pa_context*, const pa_source_info* info, int eol, void* userdata) {
            if (eol == 0 && info && info->name && info->monitor_of_sink == PA_INVALID_INDEX)
                static_cast<std::vector<DeviceDescription>*>(userdata)->push_back({ info->name, info->description ? info->description : "" });
        },
        &devices));
    return devices;
}

} // namespace audio
