#include "movie/FetchUrl.h"

#include "movie/WineTrust.h"

#include <curl/curl.h>

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

    // Wine's Schannel accepts any server certificate when libcurl leaves the
    // check to it, so there libcurl checks the chain itself against the
    // trusted roots. On Windows the defaults verify and stay untouched.
    if (runningUnderWine()) {
        std::string roots = trustedRootsPem();
        curl_blob blob = {&roots[0], roots.size(), CURL_BLOB_COPY};
        curl_easy_setopt(curl, CURLOPT_CAINFO_BLOB, &blob);
    }

    const CURLcode result = curl_easy_perform(curl);
    if (result != CURLE_OK)
        fprintf(stderr, "%s", curl_easy_strerror(result));
    curl_easy_cleanup(curl);
    return response;
}
