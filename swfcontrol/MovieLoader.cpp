#include "swfcontrol/MovieLoader.h"

#include <wininet.h>

#include <algorithm>
#include <new>

#include "movie/WindowsText.h"
#if QP_SWF_ENGINE
#include "swfcontrol/DeviceTextGdi.h"
#include "swfcontrol/EngineRuntime.h"
#endif

namespace {

constexpr DWORD chunkBytes = 1024 * 1024;

std::wstring messageText(DWORD code, HMODULE source)
{
    wchar_t* buffer = nullptr;
    DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    if (source)
        flags |= FORMAT_MESSAGE_FROM_HMODULE;
    DWORD length = FormatMessageW(flags, source, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length && buffer ? std::wstring(buffer, length) : std::wstring();
    LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
    if (text.empty())
        text = L"error " + std::to_wstring(code);
    if (text.back() != L'.')
        text += L'.';
    return text;
}

std::wstring internetMessage(DWORD code)
{
    switch (code) {
    case ERROR_INTERNET_TIMEOUT: return L"the server did not answer in time.";
    case ERROR_INTERNET_NAME_NOT_RESOLVED: return L"the server's name could not be resolved.";
    case ERROR_INTERNET_CANNOT_CONNECT: return L"the server could not be reached.";
    case ERROR_INTERNET_CONNECTION_ABORTED:
    case ERROR_INTERNET_CONNECTION_RESET: return L"the connection broke off.";
    case ERROR_HTTP_INVALID_SERVER_RESPONSE: return L"the server's answer was not understood.";
    case ERROR_INTERNET_INVALID_URL:
    case ERROR_INTERNET_UNRECOGNIZED_SCHEME: return L"this URL is not valid.";
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_SEC_INVALID_CERT:
    case ERROR_INTERNET_SEC_CERT_ERRORS: return L"the server's certificate was not accepted.";
    default: return messageText(code, GetModuleHandleW(L"wininet.dll"));
    }
}

std::wstring tooLarge(unsigned long long bytes)
{
    return L"Movie too large: the file has " + std::to_wstring(bytes) + L" bytes; this player reads at most " +
           std::to_wstring(maxMovieBytes / (1024 * 1024)) + L" MB.";
}

// Posts a Progress event only when the whole percent moves on.
class ProgressReporter {
public:
    ProgressReporter(LoadJob& job, unsigned long long total) : job_(job), total_(total) {}
    void update(unsigned long long done)
    {
        if (total_ == 0)
            return;
        int percent = static_cast<int>(done >= total_ ? 100 : done * 100 / total_);
        if (percent > last_) {
            last_ = percent;
            job_.post({LoadEvent::Progress, percent});
        }
    }

private:
    LoadJob& job_;
    unsigned long long total_;
    int last_ = -1;
};

bool readLocal(LoadJob& job, std::vector<unsigned char>& data, std::wstring& reason)
{
    const std::wstring& path = job.location().target;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        reason = L"Could not open " + path + L": " + messageText(GetLastError(), nullptr);
        return false;
    }
    bool ok = false;
    LARGE_INTEGER size = {};
    // A serial port or a pipe could keep a read waiting for ever.
    if (GetFileType(file) != FILE_TYPE_DISK) {
        reason = L"Could not open " + path + L": it is not a file.";
    } else if (!GetFileSizeEx(file, &size)) {
        reason = L"Could not open " + path + L": " + messageText(GetLastError(), nullptr);
    } else if (static_cast<unsigned long long>(size.QuadPart) > maxMovieBytes) {
        reason = tooLarge(static_cast<unsigned long long>(size.QuadPart));
    } else {
        data.resize(static_cast<size_t>(size.QuadPart));
        ProgressReporter progress(job, data.size());
        size_t done = 0;
        ok = true;
        while (done < data.size() && !job.cancelled()) {
            DWORD wanted = static_cast<DWORD>(std::min<size_t>(chunkBytes, data.size() - done));
            DWORD got = 0;
            if (!ReadFile(file, data.data() + done, wanted, &got, nullptr)) {
                reason = L"Could not read " + path + L": " + messageText(GetLastError(), nullptr);
                ok = false;
                break;
            }
            if (got == 0)
                break; // the file shrank while we read it
            done += got;
            progress.update(done);
        }
        data.resize(done);
    }
    CloseHandle(file);
    return ok;
}

// WinINet, loaded from the system folder by the first movie given by URL: a
// control without a movie, or with a local one, never needs it.
struct WinInet {
    decltype(&InternetOpenW) open = nullptr;
    decltype(&InternetSetOptionW) setOption = nullptr;
    decltype(&InternetOpenUrlW) openUrl = nullptr;
    decltype(&HttpQueryInfoW) queryInfo = nullptr;
    decltype(&InternetReadFile) read = nullptr;
    decltype(&InternetCloseHandle) close = nullptr;

    WinInet()
    {
        wchar_t folder[MAX_PATH];
        const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
        HMODULE dll = length && length < MAX_PATH ? LoadLibraryW((std::wstring(folder, length) + L"\\wininet.dll").c_str())
                                                  : nullptr;
        if (!dll)
            return;
        bind(dll, "InternetOpenW", open);
        bind(dll, "InternetSetOptionW", setOption);
        bind(dll, "InternetOpenUrlW", openUrl);
        bind(dll, "HttpQueryInfoW", queryInfo);
        bind(dll, "InternetReadFile", read);
        bind(dll, "InternetCloseHandle", close);
    }
    bool complete() const { return open && setOption && openUrl && queryInfo && read && close; }

    template <class Function>
    static void bind(HMODULE dll, const char* name, Function& function)
    {
        function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
    }
};

// Bound once, by whichever load thread comes first.
const WinInet& winInet()
{
    static const WinInet functions;
    return functions;
}

class InternetHandle {
public:
    explicit InternetHandle(HINTERNET handle) : handle_(handle) {}
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    ~InternetHandle()
    {
        if (handle_)
            winInet().close(handle_);
    }
    HINTERNET get() const { return handle_; }

private:
    HINTERNET handle_;
};

bool fetchRemote(LoadJob& job, std::vector<unsigned char>& data, std::wstring& reason)
{
    const std::wstring& url = job.location().target;
    const std::wstring failed = L"Could not open " + url + L": ";
    const WinInet& net = winInet();
    if (!net.complete()) {
        reason = failed + L"WinINet is not available.";
        return false;
    }
    InternetHandle session(net.open(L"QuibbletonPlayer-SwfControl/1.0", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session.get()) {
        reason = failed + internetMessage(GetLastError());
        return false;
    }
    DWORD connectMs = 15000, transferMs = 30000;
    net.setOption(session.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &connectMs, sizeof connectMs);
    net.setOption(session.get(), INTERNET_OPTION_SEND_TIMEOUT, &transferMs, sizeof transferMs);
    net.setOption(session.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &transferMs, sizeof transferMs);
    // No stored credentials, no dialogs, no cookies: the URL may come from anywhere.
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                  INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTH;
    InternetHandle request(net.openUrl(session.get(), url.c_str(), nullptr, 0, flags, 0));
    if (!request.get()) {
        reason = failed + internetMessage(GetLastError());
        return false;
    }
    DWORD status = 0, size = sizeof status;
    if (net.queryInfo(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) &&
        (status < 200 || status > 299)) {
        wchar_t text[128] = L"";
        DWORD textSize = sizeof text;
        net.queryInfo(request.get(), HTTP_QUERY_STATUS_TEXT, text, &textSize, nullptr);
        reason = failed + L"the server answered " + std::to_wstring(status) + (text[0] ? L" " : L"") + text + L".";
        return false;
    }
    DWORD length = 0;
    size = sizeof length;
    if (!net.queryInfo(request.get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size, nullptr))
        length = 0;
    if (length > maxMovieBytes) {
        reason = tooLarge(length);
        return false;
    }
    data.reserve(length);
    ProgressReporter progress(job, length);
    std::vector<unsigned char> buffer(64 * 1024);
    while (!job.cancelled()) {
        DWORD got = 0;
        if (!net.read(request.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got)) {
            reason = failed + internetMessage(GetLastError());
            return false;
        }
        if (got == 0)
            return true;
        if (data.size() + got > maxMovieBytes) {
            reason = tooLarge(data.size() + got);
            return false;
        }
        data.insert(data.end(), buffer.begin(), buffer.begin() + got);
        progress.update(data.size());
    }
    return false;
}

DWORD WINAPI loadThread(void* parameter)
{
    HMODULE module = nullptr;
    {
        std::shared_ptr<LoadJob>* holder = static_cast<std::shared_ptr<LoadJob>*>(parameter);
        std::shared_ptr<LoadJob> job = std::move(*holder);
        delete holder;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(&loadThread), &module);
        job->run();
    }
    // startLoad took a reference on this DLL for the thread: give it back
    // without returning into code that may then be gone.
    if (module && module != GetModuleHandleW(nullptr))
        FreeLibraryAndExitThread(module, 0);
    return 0;
}

} // namespace

LoadJob::LoadJob(const MovieLocation& location, HWND window, UINT message, WPARAM generation)
    : location_(location), window_(window), message_(message), generation_(generation)
{
}

std::vector<LoadEvent> LoadJob::takeEvents()
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<LoadEvent> taken;
    taken.swap(events_);
    return taken;
}

void LoadJob::post(LoadEvent event)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(event);
    }
    if (!cancelled_)
        PostMessageW(window_, message_, generation_, 0);
}

void LoadJob::finish(bool ok, const std::wstring& reason, const swf::Movie& movie,
                     std::unique_ptr<MovieRuntime> runtime)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ok_ = ok;
        reason_ = reason;
        movie_ = movie;
        runtime_ = std::move(runtime);
    }
    post({LoadEvent::Done, ok ? 100 : 0});
}

void LoadJob::run()
{
    std::vector<unsigned char> data;
    std::wstring reason;
    bool read = location_.kind == MovieLocation::RemoteUrl ? fetchRemote(*this, data, reason)
                                                            : readLocal(*this, data, reason);
    if (cancelled_)
        return;
    if (!read) {
        finish(false, reason, swf::Movie());
        return;
    }
    swf::Limits limits;
    limits.maxMovieBytes = maxMovieBytes;
    swf::ReadResult result = swf::readMovie(data.data(), data.size(), limits);
    if (!result.ok) {
        finish(false, widenText(result.reason), result.movie);
        return;
    }
    // Made here, off the window's thread: loading decodes every bitmap.
#if QP_SWF_ENGINE
    std::string why;
    std::unique_ptr<MovieRuntime> runtime = loadEngineRuntime(data.data(), data.size(), why, makeGdiDeviceText());
    if (!runtime) {
        finish(false, widenText(why), result.movie);
        return;
    }
#else
    std::unique_ptr<MovieRuntime> runtime(new FrameCounterRuntime(result.movie));
#endif
    if (cancelled_)
        return;
    finish(true, std::wstring(), result.movie, std::move(runtime));
}

std::unique_ptr<MovieRuntime> LoadJob::takeRuntime()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return std::move(runtime_);
}

std::shared_ptr<LoadJob> startLoad(const MovieLocation& location, HWND window, UINT message, WPARAM generation)
{
    std::shared_ptr<LoadJob> job = std::make_shared<LoadJob>(location, window, message, generation);
    job->post({LoadEvent::Started});
    if (location.kind != MovieLocation::LocalFile && location.kind != MovieLocation::RemoteUrl) {
        job->finish(false, location.reason, swf::Movie());
        return job;
    }
    // The thread holds the DLL loaded until it has finished.
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&loadThread), &module);
    std::shared_ptr<LoadJob>* holder = new (std::nothrow) std::shared_ptr<LoadJob>(job);
    HANDLE thread = holder ? CreateThread(nullptr, 0, loadThread, holder, 0, nullptr) : nullptr;
    if (!thread) {
        delete holder;
        if (module)
            FreeLibrary(module);
        job->finish(false, L"Could not open " + location.target + L": no worker thread could be started.", swf::Movie());
        return job;
    }
    CloseHandle(thread);
    return job;
}
