#include "movie/FetchUrl.h"

#include "app/StartupTrace.h"
#include "movie/WineTrust.h"

// libcurl brings winsock2.h, which must come before windows.h.
#include <curl/curl.h>
#include <windows.h>

#include <cstdio>
#include <exception>

size_t appendResponseBytes(char* data, size_t size, size_t count, void* response)
{
    const size_t n = size * count;
    try {
        static_cast<std::string*>(response)->append(data, n);
    } catch (const std::exception& error) {
        // Nothing may unwind through libcurl's C frames; 0 ends the transfer.
        printf("%s\n", error.what());
        return 0;
    }
    return n;
}

namespace {

// libcurl times the connection and the TLS handshake from the transfer's start.
void traceTransfer(CURL* curl, std::int64_t start)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    curl_off_t connected = 0, secured = 0;
    curl_easy_getinfo(curl, CURLINFO_CONNECT_TIME_T, &connected);
    curl_easy_getinfo(curl, CURLINFO_APPCONNECT_TIME_T, &secured);
    if (connected > 0)
        traceMarkAt("connect", start + connected * frequency.QuadPart / 1000000);
    if (secured > 0)
        traceMarkAt("tls", start + secured * frequency.QuadPart / 1000000);
}

bool isHttps(const char* url)
{
    static const char scheme[] = "https:";
    for (size_t i = 0; i + 1 < sizeof scheme; ++i) {
        const char c = url[i];
        if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != scheme[i])
            return false;
    }
    return true;
}

void trustRoots(CURL* curl)
{
    std::string roots = trustedRootsPem();
    curl_blob blob = {&roots[0], roots.size(), CURL_BLOB_COPY};
    curl_easy_setopt(curl, CURLOPT_CAINFO_BLOB, &blob);
    traceMark("certificates");
}

CURLcode perform(CURL* curl)
{
    LARGE_INTEGER start = {};
    if (tracing())
        QueryPerformanceCounter(&start);
    const CURLcode result = curl_easy_perform(curl);
    if (tracing())
        traceTransfer(curl, start.QuadPart);
    return result;
}

// A plain http:// transfer went without the roots and stopped where it was
// redirected to https://; it goes on from there with them, within what is
// left of the time limit.
CURLcode continueOverHttps(CURL* curl)
{
    char* target = nullptr;
    curl_off_t spentMicroseconds = 0;
    curl_easy_getinfo(curl, CURLINFO_EFFECTIVE_URL, &target);
    curl_easy_getinfo(curl, CURLINFO_TOTAL_TIME_T, &spentMicroseconds);
    if (!target || !isHttps(target))
        return CURLE_UNSUPPORTED_PROTOCOL;
    const std::string next = target; // the handle owns its copy
    trustRoots(curl);
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_URL, next.c_str());
    const long left = 10000L - static_cast<long>(spentMicroseconds / 1000);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, left > 1 ? left : 1L);
    return perform(curl);
}

} // namespace

std::string fetchUrl(const char* url)
{
    // A handle that cannot be made is not checked: libcurl then refuses every
    // call below as a bad argument, and that error is what gets reported.
    CURL* curl = curl_easy_init();
    std::string response;

    curl_easy_setopt(curl, CURLOPT_URL, url);
    curl_easy_setopt(curl, CURLOPT_IPRESOLVE, static_cast<long>(CURL_IPRESOLVE_V4));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 10L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendResponseBytes);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &response);
    traceMark("setup");

    // Wine's Schannel accepts any server certificate when libcurl leaves the
    // check to it, so there libcurl checks the chain itself against the
    // trusted roots. On Windows the defaults verify and stay untouched.
    // Gathering the roots takes time, so a plain http:// transfer goes
    // without them, but may then not follow a redirect to https:// by itself.
    const bool ownCheck = runningUnderWine();
    const bool secure = isHttps(url);
    if (ownCheck && secure)
        trustRoots(curl);
    else if (ownCheck)
        curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http");

    CURLcode result = perform(curl);
    if (ownCheck && !secure && result == CURLE_UNSUPPORTED_PROTOCOL)
        result = continueOverHttps(curl);
    if (result != CURLE_OK)
        fprintf(stderr, "%s", curl_easy_strerror(result));
    curl_easy_cleanup(curl);
    traceMark("request");
    return response;
}
