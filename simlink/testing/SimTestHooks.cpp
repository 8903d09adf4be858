#include "simlink/testing/SimTestHooks.h"

#include <utility>

#include "simlink/ClientState.h"
#include "simlink/Session.h"

namespace simlink::testing {

namespace {

EmbeddedSim* embedded(const std::shared_ptr<client::Session>& s) {
    return s ? s->embedded() : nullptr;
}

}  // namespace

void reset() {
    std::shared_ptr<client::Session> old;
    {
        std::lock_guard<std::mutex> g(client::registry_mutex());
        client::Registry& r = client::registry();
        old = std::exchange(r.session, nullptr);
        r.handle = nullptr;
        r.refuse_open = false;
        r.stepped = false;
        r.fail.reset();
    }
    if (old)
        old->close();
    // The program opens its session once and never ends it; only tests come back here, with
    // no other thread using the handle.
    hSimConnect = nullptr;
    clear_calls();
}

void refuse_open(bool refuse) {
    std::lock_guard<std::mutex> g(client::registry_mutex());
    client::registry().refuse_open = refuse;
}

void fail_when(std::function<bool(const Call&)> pred) {
    std::lock_guard<std::mutex> g(client::registry_mutex());
    client::registry().fail =
        pred ? std::make_shared<const client::FailRule>(std::move(pred)) : nullptr;
}

std::vector<Call> calls() {
    std::lock_guard<std::mutex> g(client::log_mutex());
    return client::call_log();
}

std::vector<Call> calls_of(const std::string& fn) {
    std::vector<Call> out;
    std::lock_guard<std::mutex> g(client::log_mutex());
    for (const Call& c : client::call_log())
        if (c.fn == fn)
            out.push_back(c);
    return out;
}

void clear_calls() {
    std::lock_guard<std::mutex> g(client::log_mutex());
    client::call_log().clear();
}

void inject_message(const std::vector<unsigned char>& bytes) {
    if (auto s = client::current_session())
        s->deliver(bytes);
}

void set_stepped(bool stepped) {
    {
        std::lock_guard<std::mutex> g(client::registry_mutex());
        client::registry().stepped = stepped;
    }
    if (auto* e = embedded(client::current_session()))
        e->set_stepped(stepped);
}

void step_frames(int n) {
    auto s = client::current_session();
    if (auto* e = embedded(s))
        e->run_frames(n);
}

uint64_t frames_run() {
    auto s = client::current_session();
    auto* e = embedded(s);
    return e ? e->frames() : 0;
}

bool session_open() {
    return client::current_session() != nullptr;
}

size_t sim_definition_size(DWORD define) {
    auto s = client::current_session();
    auto* e = embedded(s);
    return e ? e->definition_size(define) : 0;
}

std::string sim_event_name(DWORD client_event) {
    auto s = client::current_session();
    auto* e = embedded(s);
    return e ? e->event_name(client_event) : std::string();
}

double sim_variable(const std::string& name, const std::string& unit) {
    auto s = client::current_session();
    auto* e = embedded(s);
    return e ? e->read(name, unit) : 0.0;
}

void set_sim_variable(const std::string& name, const std::string& unit, double value) {
    auto s = client::current_session();
    if (auto* e = embedded(s))
        e->write(name, unit, value);
}

}  // namespace simlink::testing
