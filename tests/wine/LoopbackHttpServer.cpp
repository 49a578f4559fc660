#include "wine/LoopbackHttpServer.h"

#include <ws2tcpip.h>

#include <algorithm>

LoopbackHttpServer::LoopbackHttpServer()
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    gate_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int length = sizeof address;
    if (listener_ == INVALID_SOCKET || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 8) != 0 || getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (listener_ != INVALID_SOCKET)
            closesocket(listener_);
        listener_ = INVALID_SOCKET;
        return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    openGate();
    if (listener_ != INVALID_SOCKET) {
        closesocket(listener_); // ends accept() in the serving thread
        listener_ = INVALID_SOCKET;
    }
    if (thread_.joinable())
        thread_.join();
    CloseHandle(gate_);
    WSACleanup();
}

void LoopbackHttpServer::add(const std::string& path, const Answer& answer)
{
    std::lock_guard<std::mutex> lock(mutex_);
    answers_[path] = answer;
}

std::wstring LoopbackHttpServer::url(const std::string& path) const
{
    return L"http://127.0.0.1:" + std::to_wstring(port_) + std::wstring(path.begin(), path.end());
}

void LoopbackHttpServer::openGate() { SetEvent(gate_); }

std::vector<std::string> LoopbackHttpServer::requests()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void LoopbackHttpServer::serve()
{
    for (;;) {
        SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET)
            return;
        answer(client);
        shutdown(client, SD_SEND);
        closesocket(client);
    }
}

void LoopbackHttpServer::answer(SOCKET client)
{
    std::string request;
    char buffer[2048];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        int got = recv(client, buffer, sizeof buffer, 0);
        if (got <= 0)
            return;
        request.append(buffer, static_cast<size_t>(got));
    }
    size_t pathStart = request.find(' ');
    size_t pathEnd = pathStart == std::string::npos ? pathStart : request.find(' ', pathStart + 1);
    std::string path = pathEnd == std::string::npos ? "" : request.substr(pathStart + 1, pathEnd - pathStart - 1);

    Answer reply;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request.substr(0, request.find(' ')) + " " + path);
        auto found = answers_.find(path);
        if (found != answers_.end()) {
            reply = found->second;
        } else {
            reply.status = 404;
            reply.reason = "Not Found";
            reply.contentType = "text/html";
            reply.body = "<html><body>not here</body></html>";
        }
    }
    std::string head = "HTTP/1.0 " + std::to_string(reply.status) + " " + reply.reason + "\r\n" +
                       "Content-Type: " + reply.contentType + "\r\n";
    if (reply.sendLength)
        head += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    send(client, head.data(), static_cast<int>(head.size()), 0);
    if (reply.gated)
        WaitForSingleObject(gate_, 30000);
    size_t chunk = reply.chunkBytes ? reply.chunkBytes : reply.body.size();
    for (size_t sent = 0; sent < reply.body.size(); sent += chunk) {
        size_t piece = std::min(chunk, reply.body.size() - sent);
        if (send(client, reply.body.data() + sent, static_cast<int>(piece), 0) <= 0)
            return;
    }
}
