#include "swfcontrol/engine/script/lib/Loading.h"

#include "swfcontrol/engine/script/Array.h"
#include "swfcontrol/engine/script/Vm.h"

namespace swf::script {

namespace {

// The code page's byte for a character, or '?'.
char toCp1252(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c < 0x100))
        return static_cast<char>(c);
    static const std::u16string high = [] {
        std::string bytes;
        for (int b = 0x80; b < 0xA0; ++b)
            bytes.push_back(static_cast<char>(b));
        return decodeAnsi(bytes);
    }();
    std::size_t i = high.find(c);
    return i == std::u16string::npos ? '?' : static_cast<char>(0x80 + i);
}

bool usesCodepage(Vm& vm)
{
    if (vm.version() < 6)
        return true;
    Object* system = vm.global()->get(vm, vm.name("System")).object();
    return system && vm.toBoolean(system->get(vm, vm.name("useCodepage")));
}

const uint16_t kHidden = DontEnum | DontDelete;

void progress(Vm& vm, Object* target, double loaded, double total)
{
    target->define(vm, vm.name("_bytesLoaded"), Value(loaded), kHidden);
    target->define(vm, vm.name("_bytesTotal"), total < 0 ? Value() : Value(total), kHidden);
}

void done(Vm& vm, Object* target, const std::string* body, int httpStatus)
{
    if (httpStatus != 0) {
        Value f = target->get(vm, vm.name("onHTTPStatus"));
        if (f.isObject() && f.object()->isFunction()) {
            Value status(httpStatus);
            vm.call(f, Value(target), Args(&status, 1));
        }
    }
    RootedValues hold(vm.heap());
    hold.values.push_back(Value());
    if (body) {
        double size = static_cast<double>(body->size());
        progress(vm, target, size, size);
        hold.values[0] = Value(vm.str(decodeFromNetwork(vm, *body)));
    }
    Value f = target->get(vm, vm.name("onData"));
    if (f.isObject() && f.object()->isFunction())
        vm.call(f, Value(target), Args(hold.values.data(), 1));
}

UrlRequest request(Vm& vm, Object* from, std::u16string_view url, HttpMethod method, std::u16string_view data)
{
    UrlRequest r;
    r.url = std::u16string(url);
    r.post = method == HttpMethod::Post;
    if (r.post) {
        r.body = encodeForNetwork(vm, data);
        r.contentType = vm.toText(from->get(vm, vm.name("contentType")));
    } else if (!data.empty()) {
        r.url += r.url.find(u'?') == std::u16string::npos ? u'?' : u'&';
        r.url += data;
    }
    Object* headers = from->get(vm, vm.name("_customHeaders")).object();
    if (headers && headers->kind() == Object::Kind::Array) {
        ArrayObject* list = static_cast<ArrayObject*>(headers);
        for (std::size_t i = 0; i + 1 < list->length(); i += 2)
            r.headers.emplace_back(vm.toText(list->at(i)), vm.toText(list->at(i + 1)));
    }
    return r;
}

} // namespace

HttpMethod methodOf(Vm& vm, const Value& name, HttpMethod missing)
{
    if (name.isUndefined())
        return missing;
    std::u16string m = vm.toText(name);
    bool get = m.size() == 3 && (m[0] | 0x20) == 'g' && (m[1] | 0x20) == 'e' && (m[2] | 0x20) == 't';
    return get ? HttpMethod::Get : HttpMethod::Post;
}

bool startLoad(Vm& vm, Object* from, Object* target, std::u16string_view url, HttpMethod method,
               std::u16string_view data)
{
    static const Vm::FetchHandler kHandler = {progress, done};
    if (vm.fetch(request(vm, from, url, method, data), target, kHandler) == 0)
        return false;
    target->set(vm, vm.name("loaded"), Value(false));
    progress(vm, target, 0, -1);
    return true;
}

bool startSend(Vm& vm, Object* from, std::u16string_view url, std::u16string_view window, HttpMethod method,
               std::u16string_view data)
{
    UrlRequest r = request(vm, from, url, method, data);
    r.window = std::u16string(window);
    return vm.host().fetch(0, r);
}

std::string encodeForNetwork(Vm& vm, std::u16string_view text)
{
    if (!usesCodepage(vm))
        return encodeUtf8(text);
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text)
        out.push_back(toCp1252(c));
    return out;
}

std::u16string decodeFromNetwork(Vm& vm, std::string_view bytes, bool byteOrderMark)
{
    if (!byteOrderMark)
        return usesCodepage(vm) ? decodeAnsi(bytes) : decodeUtf8(bytes);
    auto starts = [&](const char* mark, std::size_t n) { return bytes.size() >= n && bytes.compare(0, n, mark) == 0; };
    if (starts("\xEF\xBB\xBF", 3))
        return decodeUtf8(bytes.substr(3));
    bool little = starts("\xFF\xFE", 2);
    if (little || starts("\xFE\xFF", 2)) {
        std::u16string out;
        out.reserve(bytes.size() / 2);
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            unsigned a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
            out.push_back(static_cast<char16_t>(little ? a | b << 8 : a << 8 | b));
        }
        return out;
    }
    return usesCodepage(vm) ? decodeAnsi(bytes) : decodeUtf8(bytes);
}

void appendUrlEscaped(Vm& vm, std::u16string& out, std::u16string_view text)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string bytes = encodeForNetwork(vm, text);
    for (char ch : bytes) {
        unsigned char b = static_cast<unsigned char>(ch);
        if ((b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z')) {
            out.push_back(b);
        } else {
            out.push_back('%');
            out.push_back(static_cast<char16_t>(hex[b >> 4]));
            out.push_back(static_cast<char16_t>(hex[b & 15]));
        }
    }
}

Value getBytesLoaded(Vm& vm, const Value& self, Args)
{
    Object* o = self.object();
    return o ? o->get(vm, vm.name("_bytesLoaded")) : Value();
}

Value getBytesTotal(Vm& vm, const Value& self, Args)
{
    Object* o = self.object();
    return o ? o->get(vm, vm.name("_bytesTotal")) : Value();
}

// addRequestHeader(name, value), or addRequestHeader([name, value, ...]).
Value addRequestHeader(Vm& vm, const Value& self, Args args)
{
    Object* o = self.object();
    if (!o)
        return Value();
    String* key = vm.name("_customHeaders");
    Object* existing = o->get(vm, key).object();
    ArrayObject* list = existing && existing->kind() == Object::Kind::Array ? static_cast<ArrayObject*>(existing)
                                                                            : nullptr;
    if (!list) {
        list = vm.newArray();
        o->define(vm, key, Value(list), DontEnum);
    }
    if (Object* pairs = args[0].object()) {
        if (pairs->kind() != Object::Kind::Array)
            return Value();
        ArrayObject* given = static_cast<ArrayObject*>(pairs);
        for (std::size_t i = 0; i + 1 < given->length(); i += 2) {
            if (given->at(i).isString() && given->at(i + 1).isString()) {
                list->push(vm, given->at(i));
                list->push(vm, given->at(i + 1));
            }
        }
    } else if (args[0].isString() && args[1].isString()) {
        list->push(vm, args[0]);
        list->push(vm, args[1]);
    }
    return Value();
}

} // namespace swf::script
