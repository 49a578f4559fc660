// The opt-in record of calls on IShockwaveFlash, for tests that watch the
// control from outside its process. When the environment variable
// QP_SWFCONTROL_LOG names a file, each call appends one UTF-8 line to it,
// ended by LF and written at once: the method name, and for a call with an
// argument a space and the argument, in which backslash, CR, LF, tab and
// other control characters are escaped as \\ \r \n \t \xHH.
#pragma once

#include <windows.h>

#include <string>

constexpr const wchar_t* callLogVariable = L"QP_SWFCONTROL_LOG";

// A call without an argument.
void logCall(const wchar_t* method);
// A call with one argument; a null BSTR is logged as empty.
void logCall(const wchar_t* method, const wchar_t* argument);

// The line as logged, without its LF; exposed for tests.
std::string callLogLine(const wchar_t* method, const wchar_t* argument);
