// The player's one network operation: a blocking GET of a URL into a string.
#pragma once

#include <cstddef>
#include <string>

// Returns the response body byte for byte, whatever the outcome: an HTTP
// error page's body like any other, and after a failed transfer whatever
// arrived before it (usually nothing). A failure is reported only by libcurl's
// error text on standard error, without a line end.
std::string fetchUrl(const char* url);

// libcurl's write callback; response is the std::string being filled.
// Returns the number of bytes taken: all of them, or 0 when the string could
// not grow (which makes libcurl end the transfer with a write error).
size_t appendResponseBytes(char* data, size_t size, size_t count, void* response);
