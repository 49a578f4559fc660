// fetchUrl against the loopback servers of fetch_servers.py: what comes back,
// what lands on standard error, and which requests the servers really saw.
#include <gtest/gtest.h>

#include "movie/FetchUrl.h"
#include "movie/WineTrust.h"
#include "support/CapturedStream.h"
#include "support/LoopbackServers.h"

#include <curl/curl.h>
#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const std::string hello = "Hello from the loopback server\n";

struct Fetched {
    std::string body;
    std::string errors;
};

Fetched fetch(const std::string& url)
{
    CapturedStream errors(stderr);
    Fetched result;
    result.body = fetchUrl(url.c_str());
    result.errors = errors.finish();
    return result;
}

using Requests = std::vector<std::string>;

TEST(FetchUrl, ReturnsTheBodyOfAnOkResponse)
{
    const Fetched got = fetch(loopbackUrl("http", "127.0.0.1", "http", "/hello"));
    EXPECT_EQ(got.body, hello);
    EXPECT_EQ(got.errors, "");
    EXPECT_EQ(loopbackRequests("http"), Requests({"GET /hello"}));
}

TEST(FetchUrl, FollowsRedirectsToTheFinalBody)
{
    {
        SCOPED_TRACE("one redirect on the same server");
        const Fetched got = fetch(loopbackUrl("http", "127.0.0.1", "http", "/moved"));
        EXPECT_EQ(got.body, hello);
        EXPECT_EQ(got.errors, "");
        EXPECT_EQ(loopbackRequests("http"), Requests({"GET /moved", "GET /hello"}));
    }
    {
        SCOPED_TRACE("a chain of two through another server");
        const Fetched got = fetch(loopbackUrl("http", "127.0.0.1", "http", "/chain"));
        EXPECT_EQ(got.body, hello);
        EXPECT_EQ(got.errors, "");
        EXPECT_EQ(loopbackRequests("http"), Requests({"GET /moved", "GET /hello", "GET /chain", "GET /hello"}));
        EXPECT_EQ(loopbackRequests("other"), Requests({"GET /hop"}));
    }
}

TEST(FetchUrl, ReturnsTheBodyOfAnErrorPage)
{
    const Fetched got = fetch(loopbackUrl("http", "127.0.0.1", "http", "/missing"));
    EXPECT_EQ(got.body, "<html><body>No such entry</body></html>");
    EXPECT_EQ(got.errors, "");
}

TEST(FetchUrl, KeepsABodyOfManySmallBlocksWholeAndInOrder)
{
    std::string expected;
    for (std::uint32_t i = 0; i < 40000; ++i)
        expected += static_cast<char>((i * 31 + (i >> 8)) & 0xFF);
    ASSERT_NE(expected.find('\0'), std::string::npos);

    const Fetched got = fetch(loopbackUrl("http", "127.0.0.1", "http", "/blocks"));
    EXPECT_EQ(got.errors, "");
    ASSERT_EQ(got.body.size(), expected.size());
    EXPECT_TRUE(got.body == expected) << "first difference at byte "
                                      << std::mismatch(got.body.begin(), got.body.end(), expected.begin()).first
                                             - got.body.begin();
}

// Failures: one line of libcurl's own text, no line end, and the body holds
// only what arrived before the failure.
TEST(FetchUrl, ReportsARefusedConnectionWithOneLine)
{
    const Fetched got = fetch(loopbackUrl("http", "127.0.0.1", "refused", "/hello"));
    EXPECT_EQ(got.body, "");
    EXPECT_EQ(got.errors, curl_easy_strerror(CURLE_COULDNT_CONNECT));
}

TEST(FetchUrl, ReturnsWhatArrivedBeforeTheConnectionBroke)
{
    const Fetched got = fetch(loopbackUrl("http", "127.0.0.1", "http", "/partial"));
    EXPECT_EQ(got.body, "first half");
    EXPECT_EQ(got.errors, curl_easy_strerror(CURLE_PARTIAL_FILE));
}

TEST(FetchUrl, GivesUpOnASilentServerAfterTenSeconds)
{
    const auto start = std::chrono::steady_clock::now();
    const Fetched got = fetch(loopbackUrl("http", "127.0.0.1", "http", "/stall"));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    // The clock also runs while the trusted roots are exported for the
    // transfer, which takes a second or two on a busy machine under Wine.
    EXPECT_GE(seconds, 9.0);
    EXPECT_LE(seconds, 13.0);
    EXPECT_EQ(got.body, "");
    EXPECT_EQ(got.errors, curl_easy_strerror(CURLE_OPERATION_TIMEDOUT));
    // It was the answer that never came, not the connection.
    EXPECT_EQ(loopbackRequests("http"), Requests({"GET /stall"}));
}

// libcurl itself resolves "localhost" to 127.0.0.1 and ::1, whatever the
// hosts file says, and would fall back to ::1 when 127.0.0.1 refuses.
TEST(FetchUrl, ConnectsOverIpv4Only)
{
    if (!loopbackPort("v6"))
        GTEST_SKIP() << "this machine has no IPv6 loopback (::1) to listen on";

    // The control: libcurl's default resolution does reach the ::1 server.
    CURL* curl = curl_easy_init();
    ASSERT_TRUE(curl);
    const std::string reached = loopbackUrl("http", "localhost", "v6", "/reached");
    curl_easy_setopt(curl, CURLOPT_URL, reached.c_str());
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 10L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendResponseBytes);
    std::string controlBody;
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &controlBody);
    const CURLcode control = curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    if (control != CURLE_OK || loopbackRequests("v6") != Requests({"GET /reached"}))
        GTEST_SKIP() << "localhost does not reach ::1 from here (" << curl_easy_strerror(control)
                     << "), so there is nothing to keep away from";
    ASSERT_EQ(controlBody, hello);

    const Fetched got = fetch(loopbackUrl("http", "localhost", "v6", "/v4-only"));
    EXPECT_EQ(got.body, "");
    EXPECT_EQ(got.errors, curl_easy_strerror(CURLE_COULDNT_CONNECT));
    EXPECT_EQ(loopbackRequests("v6"), Requests({"GET /reached"}));
}

TEST(FetchTls, TrustsTheTestCaOfThePrefix)
{
    {
        SCOPED_TRACE("asked for directly");
        const Fetched got = fetch(loopbackUrl("https", "localhost", "https", "/hello"));
        EXPECT_EQ(got.body, hello);
        EXPECT_EQ(got.errors, "");
        EXPECT_EQ(loopbackRequests("https"), Requests({"GET /hello"}));
    }
    {
        SCOPED_TRACE("redirected to from http://");
        const Fetched got = fetch(loopbackUrl("http", "127.0.0.1", "http", "/to-https"));
        EXPECT_EQ(got.body, hello);
        EXPECT_EQ(got.errors, "");
        EXPECT_EQ(loopbackRequests("http"), Requests({"GET /to-https"}));
        EXPECT_EQ(loopbackRequests("https"), Requests({"GET /hello", "GET /hello"}));
    }
}

// Wine's Schannel would take both of these certificates; libcurl must check
// them itself and never send the request.
TEST(FetchTls, RejectsCertificatesItCannotVerify)
{
    ASSERT_TRUE(runningUnderWine()) << "these tests run under Wine, where the check is libcurl's own";
    struct Case {
        const char* server;
        const char* what;
    };
    const Case cases[] = {
        {"untrusted", "a self-signed certificate for localhost"},
        {"otherhost", "a certificate of the trusted CA for another host"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Fetched got = fetch(loopbackUrl("https", "localhost", c.server, "/hello"));
        EXPECT_EQ(got.body, "");
        EXPECT_EQ(got.errors, curl_easy_strerror(CURLE_PEER_FAILED_VERIFICATION));
        EXPECT_EQ(loopbackRequests(c.server), Requests());

        // Reached through a redirect from a plain http:// URL, the same check.
        const Fetched redirected = fetch(loopbackUrl("http", "127.0.0.1", "http", (std::string("/to-") + c.server).c_str()));
        EXPECT_EQ(redirected.body, "");
        EXPECT_EQ(redirected.errors, curl_easy_strerror(CURLE_PEER_FAILED_VERIFICATION));
        EXPECT_EQ(loopbackRequests(c.server), Requests());
    }
}

TEST(WineTrust, ExportsTheRootsOfThePrefixAndTheHost)
{
    std::string ca;
    if (FILE* file = _wfopen(testPkiFile("ca.pem").c_str(), L"rb")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, file)) > 0)
            ca.append(buffer, n);
        fclose(file);
    }
    ASSERT_NE(ca.find("-----BEGIN CERTIFICATE-----"), std::string::npos) << "no test CA to look for";

    // Compare the base64 bodies: line lengths and line ends differ.
    auto base64Body = [](const std::string& pem, size_t from, size_t* next) {
        const std::string begin = "-----BEGIN CERTIFICATE-----", end = "-----END CERTIFICATE-----";
        size_t start = pem.find(begin, from);
        size_t stop = start == std::string::npos ? start : pem.find(end, start);
        if (stop == std::string::npos) {
            *next = std::string::npos;
            return std::string();
        }
        std::string body;
        for (size_t i = start + begin.size(); i < stop; ++i)
            if (pem[i] != '\r' && pem[i] != '\n')
                body += pem[i];
        *next = stop + end.size();
        return body;
    };
    size_t next = 0;
    const std::string wanted = base64Body(ca, 0, &next);

    // Opening Wine's merged root store copies the host's roots into the
    // registry, beside the test CA, for as long as the Wine server runs.
    for (bool copied : {false, true}) {
        SCOPED_TRACE(copied ? "after the host's roots were copied" : "as the session stands");
        if (copied) {
            HCERTSTORE merged = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                              CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG, L"Root");
            ASSERT_TRUE(merged);
            CertCloseStore(merged, 0);
        }
        const std::string roots = trustedRootsPem();
        size_t count = 0;
        bool found = false;
        for (size_t at = 0; at != std::string::npos;) {
            const std::string body = base64Body(roots, at, &at);
            if (body.empty())
                break;
            ++count;
            found = found || body == wanted;
        }
        EXPECT_TRUE(found) << "the test CA is not among the " << count << " trusted roots (the prefix is trusted "
                              "by scripts/lib/wine-env.sh; delete the prefix's .qp-test-ca to redo it)";
        // The host's bundle comes along with it (ca-certificates has over a hundred).
        EXPECT_GT(count, 50u);
    }
}

TEST(AppendResponseBytes, AppendsEveryBlockAtTheEnd)
{
    struct Case {
        const char* what;
        std::string before;
        std::string block;
        size_t size;
        size_t count;
        std::string after;
    };
    const Case cases[] = {
        {"to an empty string", "", "abc", 1, 3, "abc"},
        {"after what is there", "head:", "tail", 1, 4, "head:tail"},
        {"NUL bytes as they are", "a", std::string("\0b\0", 3), 1, 3, std::string("a\0b\0", 4)},
        {"size times count", "", "abcdef", 3, 2, "abcdef"},
        {"an empty block", "kept", "x", 1, 0, "kept"},
        {"elements of size 0", "kept", "x", 0, 5, "kept"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string response = c.before;
        std::string block = c.block;
        EXPECT_EQ(appendResponseBytes(&block[0], c.size, c.count, &response), c.size * c.count);
        EXPECT_EQ(response, c.after);
    }
}

TEST(AppendResponseBytes, ReportsAStringThatCannotGrow)
{
    std::string response = "kept";
    char block[16] = "unread";
    CapturedStream output(stdout);
    // Longer than any string may be, on either architecture: the append
    // refuses before it reads a byte, so nothing past the block is touched.
    const size_t taken = appendResponseBytes(block, 1, response.max_size(), &response);
    const std::string printed = output.finish();

    EXPECT_EQ(taken, 0u);
    EXPECT_EQ(response, "kept");
    // One message line; stdout is in text mode.
    ASSERT_GE(printed.size(), 3u);
    EXPECT_EQ(printed.substr(printed.size() - 2), "\r\n");
    EXPECT_EQ(printed.find('\n'), printed.size() - 1);
}

} // namespace
