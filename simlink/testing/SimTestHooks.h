#pragma once
// Test hooks of the simulator client layer: refuse the open, fail chosen calls, inject raw
// messages, step the embedded simulator frame by frame, and read back every call made.
// Used by tests and benchmarks only; the program never calls these.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "simlink/SimConnect.h"

namespace simlink::testing {

// One call of the client interface. args are the arguments after the handle, as text
// (integers decimal, floats as written by std::to_string trimmed of trailing zeros, names
// as given, data blocks as space-separated hex bytes, pointers "0" when null, else hex).
// SimConnect_Open has no handle argument: its args are name, window, message, event handle
// and configuration index.
struct Call {
    std::string fn;  // e.g. "SimConnect_TransmitClientEvent"
    bool empty_handle = false;
    std::vector<std::string> args;
    HRESULT result = S_OK;
};

// Back to a fresh process: no session, empty log, no faults, the embedded aircraft at its
// starting state, the frame loop running freely (not stepped). Ends the open session and
// empties hSimConnect so that the next open works; call it between tests, when no other
// thread is using the layer. The program itself never ends its session.
void reset();

void refuse_open(bool refuse);
// Calls for which pred returns true answer E_FAIL (and do nothing); nullptr removes the rule.
void fail_when(std::function<bool(const Call&)> pred);

// The log keeps at least the latest 10000 calls (older ones are dropped in bulk).
std::vector<Call> calls();
std::vector<Call> calls_of(const std::string& fn);
void clear_calls();

// Queues a raw message as if the simulator had sent it; the window is notified as usual.
// Without an open session the message is dropped.
void inject_message(const std::vector<unsigned char>& bytes);

// Stepped mode stops the embedded simulator's frame thread; step_frames then runs frames on
// the caller's thread. Leaving stepped mode restarts the thread.
// The setting holds for later sessions too, until reset().
void set_stepped(bool stepped);
void step_frames(int n);
// Frames the open session's simulator has run (0 without a session).
uint64_t frames_run();
bool session_open();

// What the embedded simulator holds: the number of entries in a data definition, and the
// event name a client event id is mapped to ("" when none). 0 and "" without a session.
size_t sim_definition_size(DWORD define);
std::string sim_event_name(DWORD client_event);

// The embedded aircraft's variables, by simulator name and unit (an unknown unit: the native
// one). Read-only variables ignore writes, as they do for the client.
double sim_variable(const std::string& name, const std::string& unit);
void set_sim_variable(const std::string& name, const std::string& unit, double value);

}  // namespace simlink::testing
