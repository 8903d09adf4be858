#include "simlink/EmbeddedSim.h"

#include <chrono>
#include <cmath>
#include <cstring>

namespace simlink {

namespace {

constexpr DWORD kInt32 = 1, kInt64 = 2;
constexpr DWORD kPeriodOnce = 1, kPeriodVisualFrame = 2, kPeriodSecond = 4;

size_t type_size(DWORD type) {
    switch (type) {
        case kInt32:
        case SIMCONNECT_DATATYPE_FLOAT32:
            return 4;
        case kInt64:
        case SIMCONNECT_DATATYPE_FLOAT64:
            return 8;
        default:
            return 0;
    }
}

void put32(std::vector<unsigned char>& m, size_t at, uint32_t v) {
    std::memcpy(&m[at], &v, 4);
}

void put_value(std::vector<unsigned char>& m, size_t at, DWORD type, double v) {
    switch (type) {
        case kInt32: {
            const int32_t i = std::isfinite(v) ? static_cast<int32_t>(std::llround(v)) : 0;
            std::memcpy(&m[at], &i, 4);
            break;
        }
        case SIMCONNECT_DATATYPE_FLOAT32: {
            const float f = static_cast<float>(v);
            std::memcpy(&m[at], &f, 4);
            break;
        }
        case kInt64: {
            const int64_t i = std::isfinite(v) ? std::llround(v) : 0;
            std::memcpy(&m[at], &i, 8);
            break;
        }
        default:
            std::memcpy(&m[at], &v, 8);
            break;
    }
}

double get_value(const unsigned char* p, DWORD type) {
    switch (type) {
        case kInt32: {
            int32_t i;
            std::memcpy(&i, p, 4);
            return i;
        }
        case SIMCONNECT_DATATYPE_FLOAT32: {
            float f;
            std::memcpy(&f, p, 4);
            return f;
        }
        case kInt64: {
            int64_t i;
            std::memcpy(&i, p, 8);
            return static_cast<double>(i);
        }
        default: {
            double d;
            std::memcpy(&d, p, 8);
            return d;
        }
    }
}

}  // namespace

EmbeddedSim::EmbeddedSim(double frames_per_second)
    : frame_seconds_(1.0 / (frames_per_second > 0 ? frames_per_second : 30)) {}

EmbeddedSim::~EmbeddedSim() {
    stop();
}

bool EmbeddedSim::start(MessageSink& sink) {
    {
        std::lock_guard<std::mutex> g(mutex_);
        sink_ = &sink;
    }
    std::lock_guard<std::mutex> c(control_mutex_);
    started_ = true;
    if (!stepped_)
        start_thread();
    return true;
}

void EmbeddedSim::stop() {
    {
        std::lock_guard<std::mutex> c(control_mutex_);
        started_ = false;
        stop_thread();
    }
    // A stepped frame on another thread may still be handing over its messages.
    std::unique_lock<std::mutex> g(mutex_);
    sink_ = nullptr;
    idle_.wait(g, [this] { return delivering_ == 0; });
}

void EmbeddedSim::start_thread() {
    if (thread_.joinable())
        return;
    {
        std::lock_guard<std::mutex> w(wake_mutex_);
        quit_ = false;
    }
    thread_ = std::thread([this] { frame_loop(); });
}

void EmbeddedSim::stop_thread() {
    if (!thread_.joinable())
        return;
    {
        std::lock_guard<std::mutex> w(wake_mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void EmbeddedSim::frame_loop() {
    using clock = std::chrono::steady_clock;
    const auto period =
        std::chrono::duration_cast<clock::duration>(std::chrono::duration<double>(frame_seconds_));
    auto next = clock::now();
    for (;;) {
        run_frame();
        next += period;
        const auto now = clock::now();
        // After a long stall (a debugger, a loaded machine) carry on from now instead of
        // running the missed frames in a burst.
        if (next < now - std::chrono::seconds(1))
            next = now;
        std::unique_lock<std::mutex> w(wake_mutex_);
        if (wake_.wait_until(w, next, [this] { return quit_; }))
            return;
    }
}

void EmbeddedSim::set_stepped(bool stepped) {
    std::lock_guard<std::mutex> c(control_mutex_);
    stepped_ = stepped;
    if (stepped)
        stop_thread();
    else if (started_)
        start_thread();
}

void EmbeddedSim::run_frames(int n) {
    for (int i = 0; i < n; ++i)
        run_frame();
}

uint64_t EmbeddedSim::frames() const {
    std::lock_guard<std::mutex> g(mutex_);
    return frames_;
}

void EmbeddedSim::run_frame() {
    std::vector<std::vector<unsigned char>> out;
    MessageSink* sink;
    {
        std::lock_guard<std::mutex> g(mutex_);
        if (!sink_)
            return;
        aircraft_.step(frame_seconds_);
        ++frames_;
        collect(out);
        if (out.empty())
            return;
        sink = sink_;
        ++delivering_;
    }
    for (auto& m : out)
        sink->deliver(std::move(m));
    std::lock_guard<std::mutex> g(mutex_);
    if (--delivering_ == 0)
        idle_.notify_all();
}

void EmbeddedSim::collect(std::vector<std::vector<unsigned char>>& out) {
    for (auto it = requests_.begin(); it != requests_.end();) {
        Request& r = it->second;
        const bool due = r.period == SIMCONNECT_PERIOD_SIM_FRAME ||
                         r.period == kPeriodVisualFrame || r.period == kPeriodOnce ||
                         (r.period == kPeriodSecond &&
                          frames_ % static_cast<uint64_t>(std::lround(1 / frame_seconds_)) == 0);
        if (!due) {
            ++it;
            continue;
        }
        static const std::vector<Entry> kNone;
        auto d = definitions_.find(r.define);
        const std::vector<Entry>& entries = d == definitions_.end() ? kNone : d->second;
        std::vector<double> values;
        values.reserve(entries.size());
        for (const Entry& e : entries)
            values.push_back(aircraft_.read(e.binding));

        bool send = !r.sent || !(r.flags & SIMCONNECT_DATA_REQUEST_FLAG_CHANGED) ||
                    values.size() != r.last.size();
        for (size_t i = 0; !send && i < values.size(); ++i) {
            const double diff = std::fabs(values[i] - r.last[i]);
            send = diff > entries[i].epsilon || (std::isnan(diff) && values[i] != r.last[i]);
        }
        if (send) {
            size_t bytes = 0;
            for (const Entry& e : entries)
                bytes += type_size(e.type);
            std::vector<unsigned char> m(40 + bytes, 0);
            put32(m, 0, static_cast<uint32_t>(m.size()));
            put32(m, 4, 4);  // message version
            put32(m, 8, SIMCONNECT_RECV_ID_SIMOBJECT_DATA);
            put32(m, 12, it->first);
            put32(m, 16, r.object);
            put32(m, 20, r.define);
            put32(m, 24, r.flags);
            put32(m, 28, 1);  // entry 1 of 1
            put32(m, 32, 1);
            put32(m, 36, static_cast<uint32_t>(entries.size()));
            size_t at = 40;
            for (size_t i = 0; i < entries.size(); ++i) {
                put_value(m, at, entries[i].type, values[i]);
                at += type_size(entries[i].type);
            }
            out.push_back(std::move(m));
            r.last = std::move(values);
            r.sent = true;
        }
        if (r.period == kPeriodOnce)
            it = requests_.erase(it);
        else
            ++it;
    }
}

HRESULT EmbeddedSim::add_to_definition(DWORD define, std::string_view name, std::string_view unit,
                                       DWORD type, float epsilon) {
    if (type_size(type) == 0)
        return E_FAIL;
    Entry e{Aircraft::bind(name, unit), type, std::isfinite(epsilon) ? std::fabs(epsilon) : 0};
    std::lock_guard<std::mutex> g(mutex_);
    definitions_[define].push_back(std::move(e));
    return S_OK;
}

HRESULT EmbeddedSim::clear_definition(DWORD define) {
    std::lock_guard<std::mutex> g(mutex_);
    definitions_.erase(define);
    return S_OK;
}

HRESULT EmbeddedSim::request_data(DWORD request, DWORD define, DWORD object, DWORD period,
                                  DWORD flags) {
    std::lock_guard<std::mutex> g(mutex_);
    if (period == SIMCONNECT_PERIOD_NEVER) {
        requests_.erase(request);
        return S_OK;
    }
    // A request with the same number replaces the earlier one and starts afresh.
    Request& r = requests_[request];
    r = Request{};
    r.define = define;
    r.object = object;
    r.period = period;
    r.flags = flags;
    return S_OK;
}

HRESULT EmbeddedSim::set_data(DWORD define, DWORD, const unsigned char* data, size_t size) {
    std::lock_guard<std::mutex> g(mutex_);
    auto d = definitions_.find(define);
    if (d == definitions_.end())
        return S_OK;
    // Entries take their bytes in order; what does not fit the block is left alone.
    size_t at = 0;
    for (const Entry& e : d->second) {
        const size_t n = type_size(e.type);
        if (at + n > size)
            break;
        aircraft_.write(e.binding, get_value(data + at, e.type));
        at += n;
    }
    return S_OK;
}

HRESULT EmbeddedSim::map_event(DWORD client_event, std::string_view name) {
    std::lock_guard<std::mutex> g(mutex_);
    events_[client_event] = std::string(name);
    return S_OK;
}

HRESULT EmbeddedSim::transmit_event(DWORD, DWORD client_event, DWORD data) {
    std::lock_guard<std::mutex> g(mutex_);
    auto it = events_.find(client_event);
    if (it != events_.end())
        aircraft_.fire(it->second, data);
    return S_OK;
}

size_t EmbeddedSim::definition_size(DWORD define) const {
    std::lock_guard<std::mutex> g(mutex_);
    auto d = definitions_.find(define);
    return d == definitions_.end() ? 0 : d->second.size();
}

std::string EmbeddedSim::event_name(DWORD client_event) const {
    std::lock_guard<std::mutex> g(mutex_);
    auto e = events_.find(client_event);
    return e == events_.end() ? std::string() : e->second;
}

double EmbeddedSim::read(std::string_view name, std::string_view unit) const {
    std::lock_guard<std::mutex> g(mutex_);
    return aircraft_.read(name, unit);
}

void EmbeddedSim::write(std::string_view name, std::string_view unit, double value) {
    std::lock_guard<std::mutex> g(mutex_);
    aircraft_.write(name, unit, value);
}

}  // namespace simlink
