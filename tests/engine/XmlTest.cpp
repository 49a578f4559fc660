// XML, XMLNode and LoadVars where the corpus does not reach: every parse
// status, serialising what scripts build, trees too deep to walk by
// recursion, and requests through the host's fetch.
#include "swfcontrol/engine/script/Array.h"
#include "swfcontrol/engine/script/Vm.h"
#include "swfcontrol/engine/script/lib/XmlParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace swf::script;

// Writes what the parser reports as one line: <a x=1>, "text", </>, ?decl, !doctype.
class Recorder : public XmlSink {
public:
    bool startElement(std::u16string_view name, const std::vector<XmlAttribute>& attributes) override
    {
        out += "<" + encodeUtf8(name);
        for (const XmlAttribute& a : attributes)
            out += " " + encodeUtf8(a.name) + "=" + encodeUtf8(a.value);
        out += ">";
        return true;
    }
    void endElement() override { out += "</>"; }
    bool text(std::u16string_view text) override
    {
        out += "\"" + encodeUtf8(text) + "\"";
        return true;
    }
    bool declaration(std::u16string_view text) override
    {
        out += "?" + encodeUtf8(text);
        return true;
    }
    bool doctype(std::u16string_view text) override
    {
        out += "!" + encodeUtf8(text);
        return true;
    }
    std::string out;
};

TEST(XmlParser, StatusesAndEvents)
{
    struct Row {
        const char* input;
        bool ignoreWhite;
        int status;
        const char* events;
    } rows[] = {
        {"", false, 0, ""},
        {"<a b=\"1\" c='2'/>", false, 0, "<a b=1 c=2></>"},
        {"<a b='1'c='x\"y'>t</a >", false, 0, "<a b=1 c=x\"y>\"t\"</>"},
        {"<a>\n <b/> </a>", true, 0, "<a><b></></>"},
        {"<a>\n <b/> </a>", false, 0, "<a>\"\n \"<b></>\" \"</>"},
        {"x &lt;&gt;&amp;&quot;&apos;&#65;&#x42;&#x1F600; &nope; &#; & y", false, 0,
         "\"x <>&\"'AB\xF0\x9F\x98\x80 &nope; &#; & y\""},
        {"<a v='&amp;lt;'/>", false, 0, "<a v=&lt;></>"},
        {"<![CDATA[<&amp;>]]><!-- gone -->", false, 0, "\"<&amp;>\""},
        {"<?xml version='1.0'?><?pi x?>", false, 0, "?<?xml version='1.0'?>?<?pi x?>"},
        {"<!DOCTYPE d [<!ENTITY e 'x>'>]><d/>", false, 0, "!<!DOCTYPE d [<!ENTITY e 'x>'>]><d></>"},
        {"<![CDATA[x", false, -2, ""},
        {"<?xml", false, -3, ""},
        {"<!DOCTYPE d", false, -4, ""},
        {"<a><!-- x", false, -5, "<a>"},
        {"<>", false, -6, ""},
        {"< a>", false, -6, ""},
        {"<a", false, -6, ""},
        {"<a b>", false, -6, ""},
        {"<a b=1>", false, -6, ""},
        {"<a/ >", false, -6, ""},
        {"<a></a", false, -6, "<a>"},
        {"<a b='1>", false, -8, ""},
        {"<a><b>t", false, -9, "<a><b>\"t\""},
        {"</a>", false, -10, ""},
        {"<a></b>", false, -10, "<a>"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.input);
        Recorder r;
        std::u16string text = decodeUtf8(row.input);
        EXPECT_EQ(parseXml(text, row.ignoreWhite, r), row.status);
        EXPECT_EQ(r.out, row.events);
    }
}

TEST(XmlParser, NestingPastTheLimitStopsAsOutOfMemory)
{
    std::u16string deep;
    for (std::size_t i = 0; i <= kXmlMaxDepth; ++i)
        deep += u"<a>";
    Recorder r;
    EXPECT_EQ(parseXml(deep, false, r), XmlOutOfMemory);
}

class TestHost : public Host {
public:
    void trace(std::u16string_view) override {}
    double now() override { return 0; }
    double dateNow() override { return 0; }
    double localOffsetMinutes(double) override { return 0; }
    Object* root(Object*) override { return nullptr; }
    Object* level(uint32_t) override { return nullptr; }
    void play(Object*) override {}
    void stop(Object*) override {}
    void nextFrame(Object*) override {}
    void prevFrame(Object*) override {}
    void gotoFrame(Object*, uint32_t, bool) override {}
    int64_t frameOfLabel(Object*, String*) override { return -1; }
    uint32_t currentFrame(Object*) override { return 0; }
    bool frameLoaded(Object*, uint32_t) override { return true; }
    void callFrame(Object*, uint32_t) override {}
    void cloneSprite(Object*, String*, int32_t) override {}
    void removeSprite(Object*) override {}
    void startDrag(Object*, bool, const double*) override {}
    void stopDrag() override {}
    void getUrl(Object*, String*, const Value&, uint8_t) override {}
    String* targetPath(Object*, bool) override { return nullptr; }
    void toggleQuality() override {}
    void stopSounds() override {}
    bool fetch(uint32_t id, const UrlRequest& request) override
    {
        requests.push_back({id, request});
        return accept;
    }
    struct Request {
        uint32_t id;
        UrlRequest request;
    };
    std::vector<Request> requests;
    bool accept = true;
};

class XmlScript : public ::testing::Test {
protected:
    Value global(const char* name) { return vm.global()->get(vm, vm.name(name)); }
    Value str(const std::string& utf8) { return Value(vm.strUtf8(utf8)); }
    Value make(const char* cls, std::vector<Value> args = {})
    {
        return vm.construct(global(cls), Args(args.data(), args.size()));
    }
    Value xml(const std::string& text) { return make("XML", {str(text)}); }
    Value call(const Value& o, const char* method, std::vector<Value> args = {})
    {
        return vm.callMethod(o, vm.name(method), Args(args.data(), args.size()));
    }
    Value get(const Value& o, const char* name) { return o.object()->get(vm, vm.name(name)); }
    void set(const Value& o, const char* name, const Value& v) { o.object()->set(vm, vm.name(name), v); }
    std::string text(const Value& v) { return vm.toString(v)->utf8(); }

    TestHost host;
    Vm vm{host};
};

TEST_F(XmlScript, ToStringWritesWhatScriptsBuild)
{
    struct Row {
        const char* input;
        const char* output;
    } rows[] = {
        {"<a x=\"1\" y='&lt;\"&apos;'>t&amp;</a>", "<a x=\"1\" y=\"&lt;&quot;&apos;\">t&amp;</a>"},
        {"<a x='1' x='2'/>", "<a x=\"1\" />"},
        {"<?xml version=\"1.0\"?><!DOCTYPE a><a><![CDATA[<>]]></a>",
         "<?xml version=\"1.0\"?><!DOCTYPE a><a>&lt;&gt;</a>"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.input);
        EXPECT_EQ(text(xml(row.input)), row.output);
    }

    // Attributes set by script come out newest first.
    Value doc = xml("<a/>");
    Value a = get(doc, "firstChild");
    Value attributes = get(a, "attributes");
    set(attributes, "p", str("1"));
    set(attributes, "q", str("2"));
    EXPECT_EQ(text(doc), "<a q=\"2\" p=\"1\" />");
    // A node without a name writes only its children.
    set(a, "nodeName", Value::null());
    call(a, "appendChild", {call(doc, "createTextNode", {str("<")})});
    EXPECT_EQ(text(doc), "&lt;");
}

TEST_F(XmlScript, EditsKeepTheTreeAndChildNodesInStep)
{
    Value doc = xml("<a><b/></a><c/>");
    Value a = get(doc, "firstChild");
    Value b = get(a, "firstChild");
    Value c = get(doc, "lastChild");
    Value docChildren = get(doc, "childNodes");
    Value aChildren = get(a, "childNodes");

    // Moving a node from one parent to another updates both.
    call(a, "appendChild", {c});
    EXPECT_EQ(text(doc), "<a><b /><c /></a>");
    EXPECT_EQ(text(docChildren), "<a><b /><c /></a>");
    EXPECT_EQ(text(aChildren), "<b />,<c />");
    EXPECT_EQ(get(c, "previousSibling").object(), b.object());

    // A node never goes under itself or its own descendants.
    call(b, "appendChild", {a});
    call(b, "appendChild", {b});
    call(c, "insertBefore", {doc, b});
    EXPECT_EQ(text(doc), "<a><b /><c /></a>");

    call(a, "insertBefore", {call(doc, "createElement", {str("n")}), b});
    EXPECT_EQ(text(aChildren), "<n />,<b />,<c />");
    call(b, "removeNode");
    EXPECT_EQ(text(aChildren), "<n />,<c />");
    EXPECT_TRUE(get(b, "parentNode").isNull());

    // parseXML replaces the children; the old ones are left without a parent.
    call(doc, "parseXML", {str("<z/>")});
    EXPECT_EQ(text(docChildren), "<z />");
    EXPECT_TRUE(get(a, "parentNode").isNull());
}

TEST_F(XmlScript, NamesAndNamespaces)
{
    Value doc = xml("<p:a xmlns:p='urn:p' xmlns='urn:d'><b/><p:c/></p:a>");
    Value a = get(doc, "firstChild");
    Value b = get(a, "firstChild");
    Value c = get(a, "lastChild");
    EXPECT_EQ(text(get(a, "prefix")), "p");
    EXPECT_EQ(text(get(a, "localName")), "a");
    EXPECT_EQ(text(get(c, "namespaceURI")), "urn:p");
    EXPECT_EQ(text(get(b, "namespaceURI")), "urn:d");
    EXPECT_EQ(text(get(b, "prefix")), "");
    EXPECT_EQ(text(call(b, "getPrefixForNamespace", {str("urn:p")})), "p");
    EXPECT_EQ(text(call(b, "getNamespaceForPrefix", {str("p")})), "urn:p");
    EXPECT_TRUE(call(b, "getNamespaceForPrefix", {str("q")}).isNull());
    Value t = call(doc, "createTextNode", {str("t")});
    EXPECT_TRUE(get(t, "nodeName").isNull());
    EXPECT_TRUE(get(t, "namespaceURI").isNull());
}

// What super() does in a script class extending XML or XMLNode: the
// constructor runs on a plain object, which becomes a node; an object that
// is one already stays as it is.
TEST_F(XmlScript, ConstructorsRunOnPlainObjects)
{
    Value plain(vm.newObject(get(global("XML"), "prototype").object()));
    Value arg = str("<a/>");
    EXPECT_EQ(vm.call(global("XML"), plain, Args(&arg, 1)).object(), plain.object());
    EXPECT_EQ(text(plain), "<a />");
    Value again = str("<b/>");
    vm.call(global("XML"), plain, Args(&again, 1));
    EXPECT_EQ(text(plain), "<a />");

    Value half(vm.newObject(get(global("XMLNode"), "prototype").object()));
    Value one(1);
    vm.call(global("XMLNode"), half, Args(&one, 1));
    EXPECT_TRUE(get(half, "nodeType").isUndefined());
}

// Every walk over a tree is a loop: a chain far deeper than any C++ stack
// would take by recursion serialises and clones.
TEST_F(XmlScript, DeepTreesNeedNoRecursion)
{
    Value doc = xml("");
    Value top = call(doc, "createElement", {str("e")});
    RootedValues hold(vm.heap());
    hold.values.push_back(doc);
    hold.values.push_back(top);
    for (int i = 0; i < 100000; ++i) {
        Value parent = call(doc, "createElement", {str("e")});
        call(parent, "appendChild", {top});
        top = parent;
        hold.values[1] = top;
    }
    call(doc, "appendChild", {top});
    Value copy = call(doc, "cloneNode", {Value(true)});
    std::string s = text(copy);
    EXPECT_EQ(s.size(), 100000u * 7 + 5);
    EXPECT_EQ(s.substr(0, 10), "<e><e><e><");
    // Too deep to take a child: the walk up that rules out cycles is bounded.
    Value leaf = top;
    for (std::size_t i = 0; i < kXmlMaxDepth + 10; ++i)
        leaf = get(leaf, "firstChild");
    call(leaf, "appendChild", {call(doc, "createElement", {str("x")})});
    EXPECT_EQ(vm.toNumber(get(get(leaf, "childNodes"), "length")), 1);
}

TEST_F(XmlScript, LoadVarsEncodesAndDecodes)
{
    Value lv = make("LoadVars");
    call(lv, "decode", {str("a=1+2%20%C3%A9&&b&=x&c=%zz%4")});
    EXPECT_EQ(text(get(lv, "a")), "1 2 \xC3\xA9");
    EXPECT_EQ(text(get(lv, "b")), "");
    EXPECT_EQ(text(get(lv, "c")), "%zz%4");
    Value fresh = make("LoadVars");
    set(fresh, "k", str("\xC3\xA9 _.-"));
    set(fresh, "n", Value(1.5));
    EXPECT_EQ(text(fresh), "n=1%2E5&k=%C3%A9%20%5F%2E%2D");
}

Value recordLoad(Vm& vm, const Value& self, Args args)
{
    vm.global()->set(vm, vm.name("heard"), self);
    vm.global()->set(vm, vm.name("success"), args[0]);
    return Value();
}

TEST_F(XmlScript, LoadsAnswerThroughOnDataAndKeepTheirTarget)
{
    Value doc = make("XML");
    set(doc, "onLoad", Value(vm.newNative(recordLoad)));
    call(doc, "addRequestHeader", {str("X-A"), str("1")});
    EXPECT_TRUE(vm.toBoolean(call(doc, "load", {str("a.xml")})));
    ASSERT_EQ(host.requests.size(), 1u);
    const UrlRequest& r = host.requests[0].request;
    EXPECT_EQ(encodeUtf8(r.url), "a.xml");
    EXPECT_FALSE(r.post);
    ASSERT_EQ(r.headers.size(), 1u);
    EXPECT_EQ(encodeUtf8(r.headers[0].first), "X-A");
    EXPECT_FALSE(vm.toBoolean(get(doc, "loaded")));
    EXPECT_EQ(vm.toNumber(call(doc, "getBytesLoaded")), 0);

    // Nothing else holds the object while it waits.
    doc = Value();
    vm.collectNow();
    uint32_t id = host.requests[0].id;
    vm.fetchProgress(id, 3, 9);
    std::string body = "\xEF\xBB\xBF<r>\xC3\xA9</r>";
    vm.fetchDone(id, &body);
    Value heard = vm.global()->get(vm, vm.name("heard"));
    ASSERT_TRUE(heard.isObject());
    EXPECT_TRUE(vm.toBoolean(vm.global()->get(vm, vm.name("success"))));
    EXPECT_TRUE(vm.toBoolean(get(heard, "loaded")));
    EXPECT_EQ(text(heard), "<r>\xC3\xA9</r>");
    EXPECT_EQ(vm.toNumber(call(heard, "getBytesTotal")), body.size());
    vm.fetchDone(id, &body); // answered already: nothing happens

    // A failure calls onLoad(false).
    EXPECT_TRUE(vm.toBoolean(call(heard, "load", {str("b.xml")})));
    vm.fetchDone(host.requests.back().id, nullptr);
    EXPECT_FALSE(vm.toBoolean(vm.global()->get(vm, vm.name("success"))));
}

TEST_F(XmlScript, RequestsCarryTheirData)
{
    Value lv = make("LoadVars");
    set(lv, "v", str("a b"));
    Value target = make("LoadVars");
    EXPECT_TRUE(vm.toBoolean(call(lv, "sendAndLoad", {str("s?x=1"), target, str("get")})));
    EXPECT_EQ(encodeUtf8(host.requests.back().request.url), "s?x=1&v=a%20b");
    EXPECT_FALSE(vm.toBoolean(get(target, "loaded")));

    EXPECT_TRUE(vm.toBoolean(call(lv, "sendAndLoad", {str("s"), target})));
    const UrlRequest& post = host.requests.back().request;
    EXPECT_TRUE(post.post);
    EXPECT_EQ(post.body, "v=a%20b");
    EXPECT_EQ(encodeUtf8(post.contentType), "application/x-www-form-urlencoded");

    EXPECT_TRUE(vm.toBoolean(call(xml("<a/>"), "send", {str("u"), str("_blank")})));
    EXPECT_EQ(host.requests.back().id, 0u);
    EXPECT_EQ(host.requests.back().request.body, "<a />");
    EXPECT_EQ(encodeUtf8(host.requests.back().request.window), "_blank");

    EXPECT_FALSE(vm.toBoolean(call(lv, "sendAndLoad", {str("s")})));
    EXPECT_FALSE(vm.toBoolean(call(lv, "load")));
    host.accept = false;
    EXPECT_FALSE(vm.toBoolean(call(lv, "load", {str("s")})));
    host.accept = true;
    std::size_t waiting = 2;
    while (vm.toBoolean(call(lv, "load", {str("s")})))
        ++waiting;
    EXPECT_EQ(waiting, Vm::kMaxPendingFetches);
}

} // namespace
