#include "support/CapturedStream.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

CapturedStream::CapturedStream(FILE* stream) : stream_(stream)
{
    wchar_t folder[MAX_PATH];
    wchar_t path[MAX_PATH];
    if (!GetTempPathW(MAX_PATH, folder) || !GetTempFileNameW(folder, L"qpc", 0, path)) {
        ADD_FAILURE() << "no temporary file to capture into";
        return;
    }
    path_ = path;
    fflush(stream_);
    const int target = _wopen(path, _O_WRONLY | _O_TRUNC | _O_TEXT, _S_IREAD | _S_IWRITE);
    saved_ = _dup(_fileno(stream_));
    if (target < 0 || saved_ < 0 || _dup2(target, _fileno(stream_)) != 0) {
        ADD_FAILURE() << "could not redirect the stream";
        if (saved_ >= 0)
            _close(saved_);
        saved_ = -1;
    }
    if (target >= 0)
        _close(target);
}

CapturedStream::~CapturedStream()
{
    finish();
}

std::string CapturedStream::finish()
{
    std::string text;
    if (saved_ >= 0) {
        fflush(stream_);
        _dup2(saved_, _fileno(stream_));
        _close(saved_);
        saved_ = -1;
    }
    if (path_.empty())
        return text;
    if (FILE* file = _wfopen(path_.c_str(), L"rb")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, file)) > 0)
            text.append(buffer, n);
        fclose(file);
    }
    DeleteFileW(path_.c_str());
    path_.clear();
    return text;
}
