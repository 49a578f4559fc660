// Catches what this process writes to stdout or stderr through the C runtime,
// for checking diagnostics that go nowhere else. The stream stays in text
// mode, so what is caught is what a reader of the process would see (LF
// written as CR LF).
#pragma once

#include <cstdio>
#include <string>

class CapturedStream {
public:
    explicit CapturedStream(FILE* stream);
    CapturedStream(const CapturedStream&) = delete;
    CapturedStream& operator=(const CapturedStream&) = delete;
    ~CapturedStream();

    // Gives the stream back and returns everything written to it meanwhile.
    std::string finish();

private:
    FILE* stream_;
    int saved_ = -1;
    std::wstring path_;
};
