// The client layer: one session with the simulator chosen at open, a queue of the messages it
// sends, the window notification, and the call log and faults of the test hooks. Every call
// with the empty handle, or a handle of a session that has ended, answers E_FAIL.

#include "simlink/SimConnect.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "app/Console.h"
#include "simlink/Aircraft.h"
#include "simlink/ClientState.h"
#include "simlink/SimulatorChoice.h"

namespace simlink::client {

namespace {

// Messages are handed over with at least this many bytes behind them, so that a reader of a
// short message's header or of an empty data message's first value stays inside the buffer.
constexpr size_t kMinMessageBytes = sizeof(SIMCONNECT_RECV_SIMOBJECT_DATA);

// The log keeps the latest calls: once it holds this many, the older half goes. Enough for
// any test between two clear_calls(), and a few megabytes at most in a long run.
constexpr size_t kMaxLoggedCalls = 20000;

// A client that never dispatches loses its oldest messages beyond this many, as a full pipe
// to a simulator would, instead of growing without bound.
constexpr size_t kMaxQueuedMessages = 10000;

}  // namespace

Session::Session(std::unique_ptr<SimBackend> backend, EmbeddedSim* embedded, HWND target,
                 DWORD notify_message)
    : backend_(std::move(backend)),
      embedded_(embedded),
      target_(target),
      notify_message_(notify_message) {}

void Session::deliver(std::vector<unsigned char> message) {
    Message m{std::move(message), 0};
    m.size = static_cast<DWORD>(m.bytes.size());
    if (m.bytes.size() < kMinMessageBytes)
        m.bytes.resize(kMinMessageBytes, 0);
    bool post = false;
    {
        std::lock_guard<std::mutex> g(mutex_);
        if (closed_)
            return;
        if (queue_.size() >= kMaxQueuedMessages)
            queue_.pop_front();
        queue_.push_back(std::move(m));
        if (!notified_ && target_) {
            notified_ = true;
            ++posting_;
            post = true;
        }
    }
    if (!post)
        return;
    // Posted with no lock held: the window's relay takes locks of its own.
    target_->post_message(notify_message_);
    std::lock_guard<std::mutex> g(mutex_);
    if (--posting_ == 0)
        idle_.notify_all();
}

std::deque<Session::Message> Session::take() {
    std::lock_guard<std::mutex> g(mutex_);
    notified_ = false;
    return std::exchange(queue_, {});
}

void Session::close() {
    backend_->stop();
    std::unique_lock<std::mutex> g(mutex_);
    closed_ = true;
    queue_.clear();
    idle_.wait(g, [this] { return posting_ == 0; });
}

std::mutex& registry_mutex() {
    static std::mutex m;
    return m;
}

Registry& registry() {
    // The aircraft's tables are made first so that they outlive the registry: its destructor
    // stops the embedded session's frame thread, which reads them, and statics go in reverse.
    static const bool tables_made =
        (simlink::Aircraft::find_variable(""), simlink::Aircraft::knows_event(""), true);
    (void)tables_made;
    static Registry r;
    return r;
}

Registry::~Registry() {
    if (session)
        session->close();
}

std::mutex& log_mutex() {
    static std::mutex m;
    return m;
}

std::vector<simlink::testing::Call>& call_log() {
    static std::vector<simlink::testing::Call> log;
    return log;
}

std::shared_ptr<Session> current_session() {
    std::lock_guard<std::mutex> g(registry_mutex());
    return registry().session;
}

namespace {

using simlink::testing::Call;

std::string dec(uint32_t v) {
    return std::to_string(v);
}

std::string flt(double v) {
    std::string s = std::to_string(v);
    if (s.find('.') != std::string::npos) {
        while (!s.empty() && s.back() == '0')
            s.pop_back();
        if (!s.empty() && s.back() == '.')
            s.pop_back();
    }
    return s == "-0" ? "0" : s;
}

std::string text(const char* s) {
    return s ? s : "";
}

std::string ptr(const void* p) {
    if (!p)
        return "0";
    char b[32];
    std::snprintf(b, sizeof b, "%p", p);
    return b;
}

std::string hex_bytes(const unsigned char* p, size_t n) {
    std::string s;
    s.reserve(n * 3);
    char b[4];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, i ? " %02x" : "%02x", p[i]);
        s += b;
    }
    return s;
}

void log_call(Call c) {
    std::lock_guard<std::mutex> g(log_mutex());
    auto& log = call_log();
    if (log.size() >= kMaxLoggedCalls)
        log.erase(log.begin(), log.begin() + log.size() / 2);
    log.push_back(std::move(c));
}

std::shared_ptr<const FailRule> fail_rule() {
    std::lock_guard<std::mutex> g(registry_mutex());
    return registry().fail;
}

std::shared_ptr<Session> session_for(HANDLE h) {
    std::lock_guard<std::mutex> g(registry_mutex());
    const Registry& r = registry();
    if (!h || h != r.handle)
        return nullptr;
    return r.session;
}

// Runs one call: the fault rule first, then the session's backend. The rule runs with no lock
// held, so it may itself look at the log or the simulator.
template <typename Body>
HRESULT run(Call c, HANDLE h, Body body) {
    c.empty_handle = h == nullptr;
    HRESULT r = E_FAIL;
    auto rule = fail_rule();
    if (!(rule && (*rule)(c))) {
        if (auto s = session_for(h))
            r = body(*s);
    }
    c.result = r;
    log_call(std::move(c));
    return r;
}

std::vector<unsigned char> open_message() {
    // Header, then the simulator's name in 256 bytes.
    std::vector<unsigned char> m(12 + 256, 0);
    const uint32_t head[3] = {static_cast<uint32_t>(m.size()), 4, SIMCONNECT_RECV_ID_OPEN};
    std::memcpy(m.data(), head, sizeof head);
    static const char kName[] = "Tarnwell embedded simulator";
    std::memcpy(m.data() + 12, kName, sizeof kName);
    return m;
}

HRESULT open_session(HANDLE* ph, HWND hwnd, DWORD notify) {
    bool stepped;
    {
        std::lock_guard<std::mutex> g(registry_mutex());
        if (registry().refuse_open)
            return E_FAIL;
        stepped = registry().stepped;
    }
    const SimulatorSettings settings = read_simulator_settings();
    for (const std::string& p : settings.problems)
        console::write("Simulator settings ", kSimulatorSettingsFile, ": ", p);
    std::unique_ptr<SimBackend> backend = make_backend(settings);
    if (!backend)
        return E_FAIL;
    auto* embedded = dynamic_cast<EmbeddedSim*>(backend.get());
    if (embedded)
        embedded->set_stepped(stepped);
    auto session = std::make_shared<Session>(std::move(backend), embedded, hwnd, notify);
    if (!session->backend().start(*session))
        return E_FAIL;

    // One session at a time: a new open ends the one before, whose handle then fails.
    std::shared_ptr<Session> old;
    HANDLE handle;
    bool stepped_now;
    {
        std::lock_guard<std::mutex> g(registry_mutex());
        Registry& r = registry();
        old = std::exchange(r.session, session);
        handle = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x51C0000) + ++r.generation);
        r.handle = handle;
        stepped_now = r.stepped;
    }
    // set_stepped() during the open reached the old session; the new one follows it here.
    if (embedded && stepped_now != stepped)
        embedded->set_stepped(stepped_now);
    if (old)
        old->close();
    *ph = handle;
    session->deliver(open_message());
    return S_OK;
}

}  // namespace

}  // namespace simlink::client

using simlink::client::Call;
using simlink::client::Session;
namespace sc = simlink::client;

HRESULT SimConnect_Open(HANDLE* phSimConnect, const char* szName, HWND hWnd, DWORD UserEventWin32,
                        HANDLE hEventHandle, DWORD ConfigIndex) {
    Call c{"SimConnect_Open",
           false,
           {sc::text(szName), sc::ptr(hWnd), sc::dec(UserEventWin32), sc::ptr(hEventHandle),
            sc::dec(ConfigIndex)},
           E_FAIL};
    HRESULT r = E_FAIL;
    auto rule = sc::fail_rule();
    if (phSimConnect && !(rule && (*rule)(c)))
        r = sc::open_session(phSimConnect, hWnd, UserEventWin32);
    c.result = r;
    sc::log_call(std::move(c));
    return r;
}

HRESULT SimConnect_CallDispatch(HANDLE hSimConnect, DispatchProc pfcnDispatch, void* pContext) {
    Call c{"SimConnect_CallDispatch",
           false,
           {sc::ptr(reinterpret_cast<void*>(pfcnDispatch)), sc::ptr(pContext)}};
    return sc::run(std::move(c), hSimConnect, [&](Session& s) {
        if (!pfcnDispatch)
            return E_FAIL;
        // The callback runs here, on the caller's thread, with no lock held.
        for (auto& m : s.take())
            pfcnDispatch(reinterpret_cast<SIMCONNECT_RECV*>(m.bytes.data()), m.size, pContext);
        return S_OK;
    });
}

HRESULT SimConnect_AddToDataDefinition(HANDLE hSimConnect, DWORD DefineID, const char* DatumName,
                                       const char* UnitsName, DWORD DatumType, float fEpsilon,
                                       DWORD DatumID) {
    Call c{"SimConnect_AddToDataDefinition",
           false,
           {sc::dec(DefineID), sc::text(DatumName), sc::text(UnitsName), sc::dec(DatumType),
            sc::flt(fEpsilon), sc::dec(DatumID)}};
    return sc::run(std::move(c), hSimConnect, [&](Session& s) {
        return s.backend().add_to_definition(DefineID, sc::text(DatumName), sc::text(UnitsName),
                                             DatumType, fEpsilon);
    });
}

HRESULT SimConnect_ClearDataDefinition(HANDLE hSimConnect, DWORD DefineID) {
    Call c{"SimConnect_ClearDataDefinition", false, {sc::dec(DefineID)}};
    return sc::run(std::move(c), hSimConnect,
                   [&](Session& s) { return s.backend().clear_definition(DefineID); });
}

HRESULT SimConnect_RequestDataOnSimObject(HANDLE hSimConnect, DWORD RequestID, DWORD DefineID,
                                          DWORD ObjectID, DWORD Period, DWORD Flags, DWORD origin,
                                          DWORD interval, DWORD limit) {
    Call c{"SimConnect_RequestDataOnSimObject",
           false,
           {sc::dec(RequestID), sc::dec(DefineID), sc::dec(ObjectID), sc::dec(Period),
            sc::dec(Flags), sc::dec(origin), sc::dec(interval), sc::dec(limit)}};
    return sc::run(std::move(c), hSimConnect, [&](Session& s) {
        return s.backend().request_data(RequestID, DefineID, ObjectID, Period, Flags);
    });
}

HRESULT SimConnect_SetDataOnSimObject(HANDLE hSimConnect, DWORD DefineID, DWORD ObjectID,
                                      DWORD Flags, DWORD ArrayCount, DWORD cbUnitSize,
                                      void* pDataSet) {
    const auto* bytes = static_cast<const unsigned char*>(pDataSet);
    Call c{"SimConnect_SetDataOnSimObject",
           false,
           {sc::dec(DefineID), sc::dec(ObjectID), sc::dec(Flags), sc::dec(ArrayCount),
            sc::dec(cbUnitSize), bytes ? sc::hex_bytes(bytes, cbUnitSize) : std::string()}};
    return sc::run(std::move(c), hSimConnect, [&](Session& s) {
        if (!bytes && cbUnitSize != 0)
            return E_FAIL;
        return s.backend().set_data(DefineID, ObjectID, bytes, cbUnitSize);
    });
}

HRESULT SimConnect_MapClientEventToSimEvent(HANDLE hSimConnect, DWORD EventID,
                                            const char* EventName) {
    Call c{"SimConnect_MapClientEventToSimEvent", false, {sc::dec(EventID), sc::text(EventName)}};
    return sc::run(std::move(c), hSimConnect,
                   [&](Session& s) { return s.backend().map_event(EventID, sc::text(EventName)); });
}

HRESULT SimConnect_TransmitClientEvent(HANDLE hSimConnect, DWORD ObjectID, DWORD EventID,
                                       DWORD dwData, DWORD GroupID, DWORD Flags) {
    Call c{
        "SimConnect_TransmitClientEvent",
        false,
        {sc::dec(ObjectID), sc::dec(EventID), sc::dec(dwData), sc::dec(GroupID), sc::dec(Flags)}};
    return sc::run(std::move(c), hSimConnect, [&](Session& s) {
        return s.backend().transmit_event(ObjectID, EventID, dwData);
    });
}
