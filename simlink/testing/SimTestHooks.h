#pragma once
// Test hooks of the simulator client layer: refuse the open, fail chosen calls, inject raw
// messages, step the embedded simulator frame by frame, and read back every call made.
// Used by tests and benchmarks only; the program never calls these.

#include <functional>
#include <string>
#include <vector>

#include "simlink/SimConnect.h"

namespace simlink::testing {

// One call of the client interface. args are the arguments after the handle, as text
// (integers decimal, floats as written by std::to_string trimmed of trailing zeros, names
// as given, data blocks as space-separated hex bytes).
struct Call {
    std::string fn;  // e.g. "SimConnect_TransmitClientEvent"
    bool empty_handle = false;
    std::vector<std::string> args;
    HRESULT result = S_OK;
};

// Back to a fresh process: no session, empty log, no faults, the embedded aircraft at its
// starting state, the frame loop running freely (not stepped).
void reset();

void refuse_open(bool refuse);
// Calls for which pred returns true answer E_FAIL (and do nothing); nullptr removes the rule.
void fail_when(std::function<bool(const Call&)> pred);

std::vector<Call> calls();
std::vector<Call> calls_of(const std::string& fn);
void clear_calls();

// Queues a raw message as if the simulator had sent it; the window is notified as usual.
void inject_message(const std::vector<unsigned char>& bytes);

// Stepped mode stops the embedded simulator's frame thread; step_frames then runs frames on
// the caller's thread. Leaving stepped mode restarts the thread.
void set_stepped(bool stepped);
void step_frames(int n);

// The embedded aircraft's variables, by simulator name and unit.
double sim_variable(const std::string& name, const std::string& unit);
void set_sim_variable(const std::string& name, const std::string& unit, double value);

}  // namespace simlink::testing
