// What XML and LoadVars share for requests: the host's fetch, the
// properties a load leaves on its target (loaded, _bytesLoaded,
// _bytesTotal), the onData call that ends it, the request headers, and the
// text encodings of what goes out and comes back.
#pragma once

#include "swfcontrol/engine/script/Value.h"

#include <string>
#include <string_view>

namespace swf::script {

class Object;
class Vm;

enum class HttpMethod { Get, Post };

// The method a script named ("GET" in any case; anything else is POST).
HttpMethod methodOf(Vm& vm, const Value& name, HttpMethod missing);

// Starts a load of `url` (with `data`: in the query of a GET, the body of a
// POST) whose answer calls target.onData with the text, or with undefined
// when it failed. `from` gives the headers and contentType. False when no
// request was made.
bool startLoad(Vm& vm, Object* from, Object* target, std::u16string_view url, HttpMethod method,
               std::u16string_view data);
// Sends `data` to `url`; the answer goes to the browser window `window`.
bool startSend(Vm& vm, Object* from, std::u16string_view url, std::u16string_view window, HttpMethod method,
               std::u16string_view data);

// Text as the movie sends it and reads it: UTF-8 from SWF 6 unless
// System.useCodepage, the code page before. What is read may begin with a
// byte-order mark, which then decides.
std::string encodeForNetwork(Vm& vm, std::u16string_view text);
std::u16string decodeFromNetwork(Vm& vm, std::string_view bytes, bool byteOrderMark = true);
// escape() as the movie's version has it: every character but ASCII
// letters and digits as %XX of its bytes.
void appendUrlEscaped(Vm& vm, std::u16string& out, std::u16string_view text);

// The methods both classes have.
Value getBytesLoaded(Vm& vm, const Value& self, Args args);
Value getBytesTotal(Vm& vm, const Value& self, Args args);
Value addRequestHeader(Vm& vm, const Value& self, Args args);

} // namespace swf::script
