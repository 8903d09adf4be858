#pragma once
// The simulator built into Tarnwell: one aircraft (simlink/Aircraft.h) flown by a frame loop
// on a thread of its own, with the data definitions, data requests and client events of the
// client interface kept here, as a simulator keeps them for its clients.
//
// Threads and locks: mutex_ guards the aircraft, the definitions, the requests, the event
// names and sink_; client calls take it briefly from any thread. A frame takes it to advance
// the aircraft and build the data messages, and hands the messages to the sink after letting
// it go. control_mutex_ serialises starting and stopping the frame thread.

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "simlink/Aircraft.h"
#include "simlink/SimBackend.h"

namespace simlink {

class EmbeddedSim final : public SimBackend {
public:
    explicit EmbeddedSim(double frames_per_second = 30);
    ~EmbeddedSim() override;

    bool start(MessageSink& sink) override;
    void stop() override;
    HRESULT add_to_definition(DWORD define, std::string_view name, std::string_view unit,
                              DWORD type, float epsilon) override;
    HRESULT clear_definition(DWORD define) override;
    HRESULT request_data(DWORD request, DWORD define, DWORD object, DWORD period,
                         DWORD flags) override;
    HRESULT set_data(DWORD define, DWORD object, const unsigned char* data, size_t size) override;
    HRESULT map_event(DWORD client_event, std::string_view name) override;
    HRESULT transmit_event(DWORD object, DWORD client_event, DWORD data) override;

    // Stepped: no frame thread; frames run only through run_frames, on the caller's thread.
    void set_stepped(bool stepped);
    void run_frames(int n);
    uint64_t frames() const;

    // What the simulator holds, for tests: entries of a definition, name mapped to an event.
    size_t definition_size(DWORD define) const;
    std::string event_name(DWORD client_event) const;

    double read(std::string_view name, std::string_view unit) const;
    void write(std::string_view name, std::string_view unit, double value);

private:
    struct Entry {
        Aircraft::Binding binding;
        DWORD type;
        float epsilon;
    };
    struct Request {
        DWORD define = 0;
        DWORD object = 0;
        DWORD period = 0;
        DWORD flags = 0;
        bool sent = false;
        std::vector<double> last;  // the values of the last message, in definition order
    };

    void run_frame();
    void frame_loop();
    void start_thread();                                         // control_mutex_ held
    void stop_thread();                                          // control_mutex_ held
    void collect(std::vector<std::vector<unsigned char>>& out);  // mutex_ held

    const double frame_seconds_;

    mutable std::mutex mutex_;  // guards everything below up to control_mutex_
    std::condition_variable idle_;
    Aircraft aircraft_;
    std::map<DWORD, std::vector<Entry>> definitions_;
    std::map<DWORD, Request> requests_;
    std::map<DWORD, std::string> events_;
    MessageSink* sink_ = nullptr;
    int delivering_ = 0;  // frames handing messages to sink_ right now
    uint64_t frames_ = 0;

    std::mutex control_mutex_;  // guards thread_, stepped_, started_
    std::thread thread_;
    bool stepped_ = false;
    bool started_ = false;

    std::mutex wake_mutex_;  // guards quit_
    std::condition_variable wake_;
    bool quit_ = false;
};

}  // namespace simlink
