// A minimal HTTP/1.0 server on 127.0.0.1 for the stand-in control's remote
// loads: canned answers per path, a gate that holds an answer back until the
// test opens it, and a record of the paths asked for.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class LoopbackHttpServer {
public:
    struct Answer {
        int status = 200;
        std::string reason = "OK";
        std::string contentType = "application/x-shockwave-flash";
        std::string body;
        bool sendLength = true;
        bool gated = false;     // wait for openGate() before sending
        size_t chunkBytes = 0;  // send the body in pieces of this size (0: at once)
    };

    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    bool running() const { return listener_ != INVALID_SOCKET; }
    void add(const std::string& path, const Answer& answer);
    std::wstring url(const std::string& path) const;
    void openGate();
    std::vector<std::string> requests();

private:
    void serve();
    void answer(SOCKET client);

    SOCKET listener_ = INVALID_SOCKET;
    unsigned short port_ = 0;
    HANDLE gate_ = nullptr;
    std::mutex mutex_;
    std::map<std::string, Answer> answers_;
    std::vector<std::string> requests_;
    std::thread thread_;
};
