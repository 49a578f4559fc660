#include "support/LoopbackServers.h"

#include "support/ProcessDriver.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

std::string environment(const std::string& name)
{
    char value[MAX_PATH * 2];
    const DWORD length = GetEnvironmentVariableA(name.c_str(), value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

std::string serverVariable(const char* name, const char* what)
{
    std::string key = "QP_SERVER_";
    for (const char* c = name; *c; ++c)
        key += static_cast<char>(toupper(static_cast<unsigned char>(*c)));
    return environment(key + "_" + what);
}

} // namespace

int loopbackPort(const char* name)
{
    return atoi(serverVariable(name, "PORT").c_str());
}

std::string loopbackUrl(const char* scheme, const char* host, const char* name, const char* path)
{
    return std::string(scheme) + "://" + host + ":" + std::to_string(loopbackPort(name)) + path;
}

std::vector<std::string> loopbackRequests(const char* name)
{
    std::vector<std::string> requests;
    const std::string log = serverVariable(name, "LOG");
    if (log.empty())
        return requests;
    FILE* file = _wfopen(winePath(log).c_str(), L"rb");
    if (!file)
        return requests;
    // Request targets can be tens of kilobytes long: read whole lines.
    std::string request;
    for (int c; (c = fgetc(file)) != EOF;) {
        if (c == '\n') {
            if (!request.empty() && request.back() == '\r')
                request.pop_back();
            requests.push_back(request);
            request.clear();
        } else {
            request += static_cast<char>(c);
        }
    }
    fclose(file);
    return requests;
}

std::wstring testPkiFile(const char* file)
{
    return winePath(environment("QP_TESTPKI") + "/" + file);
}
