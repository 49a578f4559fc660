// What tests/servers/with_servers.py hands a Windows test program about the
// loopback servers it runs around it (see that script for how to set a test
// program up; the servers themselves are described in loopback.py).
#pragma once

#include <string>
#include <vector>

// The port of the named server of the set, or 0 when the set has none by
// that name (for example no IPv6 server on a machine without ::1).
int loopbackPort(const char* name);

// scheme://host:port/path for the named server.
std::string loopbackUrl(const char* scheme, const char* host, const char* name, const char* path);

// The requests the named server received so far, as "METHOD target".
std::vector<std::string> loopbackRequests(const char* name);

// A file of the test certificate folder (ca.pem, localhost.pem ...), as a
// Windows path.
std::wstring testPkiFile(const char* file);
