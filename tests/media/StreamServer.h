#pragma once
// A minimal HTTP/1.0 radio station on 127.0.0.1 for the tests: every request gets an endless
// WAV stream of a sine tone, sent a little faster than real time. It remembers the paths asked
// for, can drop a connection after some seconds of audio, and sees when the client leaves.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class StreamServer {
public:
    // drop_after_seconds: the server closes each connection after that much audio (0: never).
    explicit StreamServer(double drop_after_seconds = 0) : drop_after_(drop_after_seconds) {
        listen_ = socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(listen_, 8);
        socklen_t len = sizeof a;
        getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        acceptor_ = std::thread([this] { accept_loop(); });
    }

    ~StreamServer() {
        quit_ = true;
        acceptor_.join();
        for (auto& t : clients_)
            t.join();
        close(listen_);
    }

    // http://127.0.0.1:<port><path>; the path picks the tone: "/<hz>" or anything else (440).
    // "/page" answers with a web page instead of a stream.
    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

    std::vector<std::string> requests() const {
        std::lock_guard<std::mutex> g(m_);
        return paths_;
    }
    int open_connections() const { return open_.load(); }
    int closed_by_client() const { return client_left_.load(); }

private:
    void accept_loop() {
        while (!quit_) {
            pollfd p{listen_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0)
                continue;
            int fd = accept(listen_, nullptr, nullptr);
            if (fd < 0)
                continue;
            clients_.emplace_back([this, fd] { serve(fd); });
        }
    }

    void serve(int fd) {
        std::string request;
        char buf[1024];
        while (request.find("\r\n\r\n") == std::string::npos) {
            pollfd p{fd, POLLIN, 0};
            if (quit_ || poll(&p, 1, 50) < 0)
                break;
            if (!(p.revents & POLLIN))
                continue;
            ssize_t n = recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                break;
            request.append(buf, static_cast<size_t>(n));
        }
        std::string path = "/";
        if (auto sp = request.find(' '); sp != std::string::npos)
            path = request.substr(sp + 1, request.find(' ', sp + 1) - sp - 1);
        double hz = 440;
        try {
            if (path.size() > 1)
                hz = std::stod(path.substr(1));
        } catch (...) {
        }
        {
            std::lock_guard<std::mutex> g(m_);
            paths_.push_back(path);
        }
        if (path == "/page") {
            send_all(fd,
                     "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n"
                     "<html><body>Not a radio station</body></html>\n");
            close(fd);
            return;
        }
        ++open_;
        bool left = stream(fd, hz);
        --open_;
        if (left)
            ++client_left_;
        close(fd);
    }

    // Returns true when the client went away.
    bool stream(int fd, double hz) {
        constexpr int rate = 22050;
        std::string head =
            "HTTP/1.0 200 OK\r\nContent-Type: audio/wav\r\nConnection: close\r\n\r\n";
        head += wav_header(rate);
        if (!send_all(fd, head))
            return true;
        const auto start = std::chrono::steady_clock::now();
        size_t sent = 0;  // samples
        const size_t limit = drop_after_ > 0 ? static_cast<size_t>(drop_after_ * rate) : SIZE_MAX;
        std::string chunk;
        while (!quit_ && sent < limit) {
            // 4x real time: fast tests, yet paced like a live station.
            const double due =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() *
                    4 * rate +
                rate / 4.0;
            if (sent >= due) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            chunk.clear();
            for (int i = 0; i < 1024; ++i, ++sent) {
                auto v = static_cast<int16_t>(12000 * std::sin(2 * M_PI * hz * sent / rate));
                chunk.push_back(static_cast<char>(v & 0xff));
                chunk.push_back(static_cast<char>((v >> 8) & 0xff));
            }
            if (!send_all(fd, chunk))
                return true;
        }
        return false;
    }

    static std::string wav_header(int rate) {
        std::string s = "RIFF";
        auto put = [&s](uint32_t v, int n) {
            for (int i = 0; i < n; ++i)
                s.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
        };
        put(0xFFFFFFFF, 4);
        s += "WAVEfmt ";
        put(16, 4), put(1, 2), put(1, 2), put(static_cast<uint32_t>(rate), 4);
        put(static_cast<uint32_t>(rate) * 2, 4), put(2, 2), put(16, 2);
        s += "data";
        put(0xFFFFFFFF, 4);
        return s;
    }

    bool send_all(int fd, const std::string& data) {
        size_t at = 0;
        while (at < data.size()) {
            if (quit_)
                return false;
            pollfd p{fd, POLLOUT, 0};
            if (poll(&p, 1, 50) < 0)
                return false;
            if (p.revents & (POLLERR | POLLHUP))
                return false;
            if (!(p.revents & POLLOUT))
                continue;
            ssize_t n = send(fd, data.data() + at, data.size() - at, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            at += static_cast<size_t>(n);
        }
        return true;
    }

    const double drop_after_;
    int listen_ = -1;
    int port_ = 0;
    std::atomic<bool> quit_{false};
    std::thread acceptor_;
    std::vector<std::thread> clients_;  // touched by the acceptor thread, joined at the end
    mutable std::mutex m_;              // guards paths_
    std::vector<std::string> paths_;
    std::atomic<int> open_{0};
    std::atomic<int> client_left_{0};
};
