#pragma once
// What a simulator must provide behind the client functions of simlink/SimConnect.h. The front
// layer (SimConnect.cpp) owns the session handle, the message queue, the window notification
// and the test hooks; a backend only keeps definitions, requests and event names, and hands
// finished messages to its sink.

#include <cstddef>
#include <string_view>
#include <vector>

#include "simlink/SimConnect.h"

namespace simlink {

// Receives the messages a backend produces, from any of its threads. A backend calls it
// without holding any lock of its own.
class MessageSink {
public:
    virtual void deliver(std::vector<unsigned char> message) = 0;

protected:
    ~MessageSink() = default;
};

class SimBackend {
public:
    virtual ~SimBackend() = default;

    // Connects to the simulator; false when it cannot be reached.
    virtual bool start(MessageSink& sink) = 0;
    // After stop() returns the sink is never called again.
    virtual void stop() = 0;

    virtual HRESULT add_to_definition(DWORD define, std::string_view name, std::string_view unit,
                                      DWORD type, float epsilon) = 0;
    virtual HRESULT clear_definition(DWORD define) = 0;
    virtual HRESULT request_data(DWORD request, DWORD define, DWORD object, DWORD period,
                                 DWORD flags) = 0;
    // data holds exactly size readable bytes.
    virtual HRESULT set_data(DWORD define, DWORD object, const unsigned char* data,
                             size_t size) = 0;
    virtual HRESULT map_event(DWORD client_event, std::string_view name) = 0;
    virtual HRESULT transmit_event(DWORD object, DWORD client_event, DWORD data) = 0;
};

}  // namespace simlink
