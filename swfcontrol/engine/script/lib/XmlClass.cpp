// XML and XMLNode. A node's tree lives in an XmlNode cell that the node's
// script object carries (Object::native), so that a script class extending
// either one gets a node through super(). The DOM's properties are getters
// on XMLNode.prototype; childNodes is one array per node, rewritten
// whenever the children change, as Flash Player keeps it.
#include "swfcontrol/engine/script/Array.h"
#include "swfcontrol/engine/script/Vm.h"
#include "swfcontrol/engine/script/lib/Library.h"
#include "swfcontrol/engine/script/lib/Loading.h"
#include "swfcontrol/engine/script/lib/XmlParser.h"

#include <vector>

namespace swf::script {

namespace {

enum NodeType { ElementNode = 1, TextNode = 3 };

// Nodes one parse may make, beyond which it stops as out of memory.
constexpr std::size_t kMaxParsedNodes = std::size_t(1) << 18;

class XmlNode final : public Cell {
public:
    XmlNode(Object* object, int type) : object(object), type(type) {}

    void trace(Tracer& tracer) override
    {
        tracer.mark(object);
        tracer.mark(name);
        tracer.mark(value);
        tracer.mark(attributes);
        tracer.mark(childArray);
        tracer.mark(parent);
        for (XmlNode* c : children)
            tracer.mark(c);
    }

    // Room for one more child, counted against the heap before it grows.
    void reserveOne(Heap& heap)
    {
        if (children.size() < children.capacity())
            return;
        std::size_t capacity = children.capacity() < 4 ? 4 : children.capacity() * 2;
        resized(heap, capacity * sizeof(XmlNode*));
        children.reserve(capacity);
    }

    Object* object; // the node as scripts see it
    int type;
    String* name = nullptr;
    String* value = nullptr;
    Object* attributes = nullptr;      // made when first needed
    ArrayObject* childArray = nullptr; // childNodes, made when first read
    XmlNode* parent = nullptr;
    std::vector<XmlNode*> children;
    std::size_t index = 0; // among the parent's children
    bool document = false; // made by new XML(): toString writes its declarations
};

XmlNode* nodeOf(const Value& v)
{
    Object* o = v.object();
    return o ? dynamic_cast<XmlNode*>(o->native()) : nullptr;
}

Value nodeValue(XmlNode* n) { return n ? Value(n->object) : Value::null(); }

Value stringOrNull(String* s) { return s ? Value(s) : Value::null(); }

// Native state goes only on objects that have none yet and are no one
// else's kind (a clip, an array).
bool canAttach(Object* o) { return o && !o->native() && o->kind() == Object::Kind::Plain; }

XmlNode* attach(Vm& vm, Object* o, int type)
{
    XmlNode* n = vm.heap().make<XmlNode>(o, type);
    o->setNative(n);
    return n;
}

// A node made by the library takes XMLNode.prototype as it is now, so that
// a movie replacing it changes what parseXML makes.
XmlNode* makeNode(Vm& vm, int type)
{
    Object* proto = nullptr;
    if (vm.ctors.xmlNode)
        proto = vm.ctors.xmlNode->get(vm, vm.n.prototype).object();
    return attach(vm, vm.newObject(proto ? proto : vm.protos.object), type);
}

Object* attributesOf(Vm& vm, XmlNode* n)
{
    if (!n->attributes)
        n->attributes = vm.newObject();
    return n->attributes;
}

// Rewrites the array from the first child that moved: the length and
// every element from there on, as an append sets one element.
void syncChildren(Vm& vm, XmlNode* n, std::size_t from = 0)
{
    ArrayObject* a = n->childArray;
    if (!a)
        return;
    std::size_t count = n->children.size();
    if (a->length() != count)
        a->setLength(vm, count);
    for (std::size_t i = from; i < count; ++i)
        a->put(vm, i, Value(n->children[i]->object));
}

void renumber(XmlNode* n, std::size_t from)
{
    for (std::size_t i = from; i < n->children.size(); ++i)
        n->children[i]->index = i;
}

// `child` has no parent.
void insertChild(Vm& vm, XmlNode* parent, XmlNode* child, std::size_t at)
{
    parent->reserveOne(vm.heap());
    parent->children.insert(parent->children.begin() + static_cast<std::ptrdiff_t>(at), child);
    child->parent = parent;
    renumber(parent, at);
    syncChildren(vm, parent, at);
}

void detach(Vm& vm, XmlNode* child)
{
    XmlNode* parent = child->parent;
    if (!parent)
        return;
    std::size_t at = child->index;
    parent->children.erase(parent->children.begin() + static_cast<std::ptrdiff_t>(at));
    child->parent = nullptr;
    child->index = 0;
    renumber(parent, at);
    syncChildren(vm, parent, at);
}

// Whether `child` may go under `parent`: not into itself, and not below
// a depth whose walk up would take long.
bool canAdopt(XmlNode* parent, XmlNode* child)
{
    std::size_t depth = 0;
    for (XmlNode* a = parent; a; a = a->parent) {
        if (a == child || ++depth > kXmlMaxDepth)
            return false;
    }
    return true;
}

void checkLength(const std::u16string& out)
{
    if (out.size() > String::kMaxLength)
        throw ScriptAbort{ScriptAbort::Reason::Memory};
}

void appendAttributes(Vm& vm, XmlNode* n, std::u16string& out)
{
    if (!n->attributes)
        return;
    // In the order a for..in loop visits them: the last enumerated first.
    std::vector<String*> names;
    n->attributes->enumerate(vm, names);
    for (std::size_t i = names.size(); i-- > 0;) {
        String* key = names[i];
        String* v = vm.toString(n->attributes->get(vm, key));
        out.push_back(' ');
        out += key->view();
        out += u"=\"";
        appendXmlEscaped(out, v->view());
        out.push_back('"');
        checkLength(out);
    }
}

// Scripts may run meanwhile (attribute values' toString) and change the
// tree: every step looks at the children again.
std::u16string serialize(Vm& vm, XmlNode* root)
{
    std::u16string out;
    if (root->document) {
        for (const char* decl : {"xmlDecl", "docTypeDecl"}) {
            Value d = root->object->get(vm, vm.name(decl));
            if (!d.isNullish())
                out += vm.toString(d)->view();
        }
    }
    struct Step {
        XmlNode* node;
        std::size_t next; // child to write next
    };
    std::vector<Step> stack;
    auto open = [&](XmlNode* n) {
        if (n->type != ElementNode) {
            if (n->value)
                appendXmlEscaped(out, n->value->view());
            checkLength(out);
            return false;
        }
        if (n->name) {
            out.push_back('<');
            out += n->name->view();
            appendAttributes(vm, n, out);
            out += n->children.empty() ? u" />" : u">";
            checkLength(out);
        }
        return !n->children.empty();
    };
    if (open(root))
        stack.push_back({root, 0});
    while (!stack.empty()) {
        Step& top = stack.back();
        XmlNode* n = top.node;
        if (top.next < n->children.size()) {
            XmlNode* c = n->children[top.next++];
            if (open(c))
                stack.push_back({c, 0});
            continue;
        }
        if (n->name) {
            out += u"</";
            out += n->name->view();
            out.push_back('>');
            checkLength(out);
        }
        stack.pop_back();
    }
    return out;
}

XmlNode* cloneShallow(Vm& vm, XmlNode* src)
{
    XmlNode* c = makeNode(vm, src->type);
    c->name = src->name;
    c->value = src->value;
    if (src->attributes) {
        std::vector<String*> names;
        src->attributes->enumerate(vm, names);
        Object* to = attributesOf(vm, c);
        for (String* key : names)
            to->set(vm, key, src->attributes->get(vm, key));
    }
    return c;
}

XmlNode* cloneTree(Vm& vm, XmlNode* src, bool deep)
{
    XmlNode* root = cloneShallow(vm, src);
    if (!deep)
        return root;
    std::vector<std::pair<XmlNode*, XmlNode*>> work{{src, root}};
    while (!work.empty()) {
        std::pair<XmlNode*, XmlNode*> p = work.back();
        work.pop_back();
        // Copying attributes may run script that changes the source.
        for (std::size_t i = 0; i < p.first->children.size(); ++i) {
            XmlNode* from = p.first->children[i];
            XmlNode* c = cloneShallow(vm, from);
            insertChild(vm, p.second, c, p.second->children.size());
            work.push_back({from, c});
        }
    }
    return root;
}

// Builds what parseXML reads under a document.
class Builder final : public XmlSink {
public:
    Builder(Vm& vm, XmlNode* doc, Object* idMap) : vm_(vm), current_(doc), idMap_(idMap) {}

    bool startElement(std::u16string_view name, const std::vector<XmlAttribute>& attributes) override
    {
        if (++count_ > kMaxParsedNodes)
            return false;
        XmlNode* e = makeNode(vm_, ElementNode);
        // Names repeat through a document: one string each.
        e->name = vm_.intern(name);
        if (!attributes.empty()) {
            Object* a = attributesOf(vm_, e);
            // for..in visits the newest first, and Flash Player's loops
            // and toString see a node's attributes as they were written.
            // Of two with one name the first written stays.
            for (std::size_t i = attributes.size(); i-- > 0;)
                a->set(vm_, vm_.intern(attributes[i].name), Value(vm_.str(attributes[i].value)));
            String* idName = vm_.name("id");
            if (idMap_ && a->hasOwn(vm_, idName))
                idMap_->set(vm_, vm_.toName(a->get(vm_, idName)), Value(e->object));
        }
        append(e);
        current_ = e;
        return true;
    }

    void endElement() override { current_ = current_->parent; }

    bool text(std::u16string_view text) override
    {
        if (++count_ > kMaxParsedNodes)
            return false;
        XmlNode* t = makeNode(vm_, TextNode);
        t->value = vm_.str(text);
        append(t);
        return true;
    }

    bool declaration(std::u16string_view text) override
    {
        declaration_ = declaration_ ? vm_.concat(declaration_, vm_.str(text)) : vm_.str(text);
        return true;
    }

    bool doctype(std::u16string_view text) override
    {
        doctype_ = vm_.str(text);
        return true;
    }

    String* declaration() const { return declaration_; }
    String* doctype() const { return doctype_; }

private:
    // New nodes have no childNodes array yet: nothing to keep in step
    // but the document's, afterwards.
    void append(XmlNode* n)
    {
        current_->reserveOne(vm_.heap());
        n->parent = current_;
        n->index = current_->children.size();
        current_->children.push_back(n);
    }

    Vm& vm_;
    XmlNode* current_;
    Object* idMap_;
    std::size_t count_ = 0;
    String* declaration_ = nullptr;
    String* doctype_ = nullptr;
};

void parseInto(Vm& vm, XmlNode* doc, String* text)
{
    for (XmlNode* c : doc->children) {
        c->parent = nullptr;
        c->index = 0;
    }
    doc->children.clear();
    Object* o = doc->object;
    bool ignoreWhite = vm.toBoolean(o->get(vm, vm.name("ignoreWhite")));
    Object* idMap = vm.version() >= 8 ? o->get(vm, vm.name("idMap")).object() : nullptr;
    Builder builder(vm, doc, idMap);
    XmlStatus status;
    try {
        status = parseXml(text->view(), ignoreWhite, builder);
    } catch (...) {
        syncChildren(vm, doc);
        throw;
    }
    syncChildren(vm, doc);
    o->set(vm, vm.name("status"), Value(static_cast<int>(status)));
    if (builder.declaration())
        o->set(vm, vm.name("xmlDecl"), Value(builder.declaration()));
    if (builder.doctype())
        o->set(vm, vm.name("docTypeDecl"), Value(builder.doctype()));
}

// --- XMLNode -------------------------------------------------------------------

// new XMLNode(type, value): a node only with both.
Value xmlNodeCall(Vm& vm, const Value& self, Args args)
{
    Object* o = self.object();
    if (args.size() < 2 || !canAttach(o))
        return Value();
    XmlNode* n = attach(vm, o, vm.toInt32(args[0]));
    (n->type == ElementNode ? n->name : n->value) = vm.toString(args[1]);
    return self;
}

Value getNodeType(Vm&, const Value& self, Args)
{
    XmlNode* n = nodeOf(self);
    return n ? Value(n->type) : Value();
}

Value getNodeName(Vm&, const Value& self, Args)
{
    XmlNode* n = nodeOf(self);
    return n ? stringOrNull(n->name) : Value();
}

// Assigning undefined leaves the name as it was.
Value setNodeName(Vm& vm, const Value& self, Args args)
{
    XmlNode* n = nodeOf(self);
    if (n && !args[0].isUndefined())
        n->name = args[0].isNull() ? nullptr : vm.toString(args[0]);
    return Value();
}

Value getNodeValue(Vm&, const Value& self, Args)
{
    XmlNode* n = nodeOf(self);
    return n ? stringOrNull(n->value) : Value();
}

Value setNodeValue(Vm& vm, const Value& self, Args args)
{
    XmlNode* n = nodeOf(self);
    if (n && !args[0].isUndefined())
        n->value = args[0].isNull() ? nullptr : vm.toString(args[0]);
    return Value();
}

Value getAttributes(Vm& vm, const Value& self, Args)
{
    XmlNode* n = nodeOf(self);
    return n ? Value(attributesOf(vm, n)) : Value();
}

Value setAttributes(Vm&, const Value& self, Args args)
{
    XmlNode* n = nodeOf(self);
    if (n && args[0].isObject())
        n->attributes = args[0].object();
    return Value();
}

Value getChildNodes(Vm& vm, const Value& self, Args)
{
    XmlNode* n = nodeOf(self);
    if (!n)
        return Value();
    if (!n->childArray) {
        n->childArray = vm.newArray();
        syncChildren(vm, n);
    }
    return Value(n->childArray);
}

Value getParentNode(Vm&, const Value& self, Args)
{
    XmlNode* n = nodeOf(self);
    return n ? nodeValue(n->parent) : Value();
}

Value getFirstChild(Vm&, const Value& self, Args)
{
    XmlNode* n = nodeOf(self);
    return n ? nodeValue(n->children.empty() ? nullptr : n->children.front()) : Value();
}

Value getLastChild(Vm&, const Value& self, Args)
{
    XmlNode* n = nodeOf(self);
    return n ? nodeValue(n->children.empty() ? nullptr : n->children.back()) : Value();
}

Value getNextSibling(Vm&, const Value& self, Args)
{
    XmlNode* n = nodeOf(self);
    if (!n)
        return Value();
    XmlNode* p = n->parent;
    return nodeValue(p && n->index + 1 < p->children.size() ? p->children[n->index + 1] : nullptr);
}

Value getPreviousSibling(Vm&, const Value& self, Args)
{
    XmlNode* n = nodeOf(self);
    if (!n)
        return Value();
    XmlNode* p = n->parent;
    return nodeValue(p && n->index > 0 ? p->children[n->index - 1] : nullptr);
}

// "a:b" is prefix "a", local name "b"; with no colon the prefix is "".
bool splitName(XmlNode* n, std::u16string_view& prefix, std::u16string_view& local)
{
    if (!n || !n->name)
        return false;
    std::u16string_view whole = n->name->view();
    std::size_t colon = whole.find(u':');
    prefix = colon == std::u16string_view::npos ? std::u16string_view() : whole.substr(0, colon);
    local = colon == std::u16string_view::npos ? whole : whole.substr(colon + 1);
    return true;
}

Value getLocalName(Vm& vm, const Value& self, Args)
{
    XmlNode* n = nodeOf(self);
    std::u16string_view prefix, local;
    if (!n)
        return Value();
    return splitName(n, prefix, local) ? Value(vm.str(local)) : Value::null();
}

Value getPrefix(Vm& vm, const Value& self, Args)
{
    XmlNode* n = nodeOf(self);
    std::u16string_view prefix, local;
    if (!n)
        return Value();
    return splitName(n, prefix, local) ? Value(vm.str(prefix)) : Value::null();
}

// The URI an xmlns attribute here or on an ancestor gives `prefix`.
Value namespaceFor(Vm& vm, XmlNode* n, std::u16string_view prefix)
{
    std::u16string attribute = u"xmlns";
    if (!prefix.empty()) {
        attribute.push_back(':');
        attribute += prefix;
    }
    String* key = vm.intern(attribute);
    for (; n; n = n->parent) {
        Value v;
        if (n->attributes && n->attributes->lookup(vm, key, v))
            return v;
    }
    return Value::null();
}

Value getNamespaceUri(Vm& vm, const Value& self, Args)
{
    XmlNode* n = nodeOf(self);
    std::u16string_view prefix, local;
    if (!n)
        return Value();
    if (n->type != ElementNode || !splitName(n, prefix, local))
        return Value::null();
    return namespaceFor(vm, n, prefix);
}

Value getNamespaceForPrefix(Vm& vm, const Value& self, Args args)
{
    XmlNode* n = nodeOf(self);
    if (!n || args.empty())
        return Value::null();
    return namespaceFor(vm, n, vm.toString(args[0])->view());
}

Value getPrefixForNamespace(Vm& vm, const Value& self, Args args)
{
    XmlNode* n = nodeOf(self);
    if (!n || args.empty())
        return Value::null();
    String* uri = vm.toString(args[0]);
    for (; n; n = n->parent) {
        if (!n->attributes)
            continue;
        std::vector<String*> names;
        n->attributes->enumerate(vm, names);
        for (String* key : names) {
            std::u16string_view k = key->view();
            if (k.substr(0, 5) != u"xmlns" || (k.size() > 5 && k[5] != ':'))
                continue;
            if (!vm.toString(n->attributes->get(vm, key))->equals(uri))
                continue;
            return Value(vm.str(k.size() > 5 ? k.substr(6) : std::u16string_view()));
        }
    }
    return Value::null();
}

Value appendChild(Vm& vm, const Value& self, Args args)
{
    XmlNode* parent = nodeOf(self);
    XmlNode* child = nodeOf(args[0]);
    // A child of this node already stays where it is.
    if (!parent || !child || child->parent == parent || !canAdopt(parent, child))
        return Value();
    detach(vm, child);
    insertChild(vm, parent, child, parent->children.size());
    return Value();
}

Value insertBefore(Vm& vm, const Value& self, Args args)
{
    XmlNode* parent = nodeOf(self);
    XmlNode* child = nodeOf(args[0]);
    XmlNode* before = nodeOf(args[1]);
    if (!parent || !child || !before || before->parent != parent || child == before || child->parent == parent ||
        !canAdopt(parent, child))
        return Value();
    detach(vm, child);
    insertChild(vm, parent, child, before->index);
    return Value();
}

Value removeNode(Vm& vm, const Value& self, Args)
{
    if (XmlNode* n = nodeOf(self))
        detach(vm, n);
    return Value();
}

Value cloneNode(Vm& vm, const Value& self, Args args)
{
    XmlNode* n = nodeOf(self);
    if (!n)
        return Value();
    return Value(cloneTree(vm, n, vm.toBoolean(args[0]))->object);
}

Value hasChildNodes(Vm&, const Value& self, Args)
{
    XmlNode* n = nodeOf(self);
    return Value(n && !n->children.empty());
}

Value nodeToString(Vm& vm, const Value& self, Args)
{
    XmlNode* n = nodeOf(self);
    if (!n)
        return Value(vm.empty());
    return Value(vm.str(serialize(vm, n)));
}

// --- XML -------------------------------------------------------------------------

// new XML(text): a document, parsed from the text when there is one.
Value xmlCall(Vm& vm, const Value& self, Args args)
{
    Object* o = self.object();
    if (!canAttach(o))
        return Value();
    XmlNode* doc = attach(vm, o, ElementNode);
    doc->document = true;
    if (vm.version() >= 8)
        o->set(vm, vm.name("idMap"), Value(vm.newObject()));
    if (!args.empty() && !args[0].isUndefined())
        parseInto(vm, doc, vm.toString(args[0]));
    else
        o->set(vm, vm.name("status"), Value(0));
    return self;
}

Value parseXmlMethod(Vm& vm, const Value& self, Args args)
{
    XmlNode* doc = nodeOf(self);
    if (doc)
        parseInto(vm, doc, vm.toString(args[0]));
    return Value();
}

Value createElement(Vm& vm, const Value&, Args args)
{
    XmlNode* n = makeNode(vm, ElementNode);
    n->name = args.empty() ? nullptr : vm.toString(args[0]);
    return Value(n->object);
}

Value createTextNode(Vm& vm, const Value&, Args args)
{
    XmlNode* n = makeNode(vm, TextNode);
    n->value = args.empty() ? nullptr : vm.toString(args[0]);
    return Value(n->object);
}

String* textOf(Vm& vm, const Value& self) { return vm.toString(vm.callMethod(self, vm.n.toString_, Args())); }

Value xmlLoad(Vm& vm, const Value& self, Args args)
{
    Object* o = self.object();
    if (!o || args.empty() || args[0].isUndefined())
        return Value(false);
    return Value(startLoad(vm, o, o, vm.toString(args[0])->view(), HttpMethod::Get, std::u16string_view()));
}

Value xmlSendAndLoad(Vm& vm, const Value& self, Args args)
{
    Object* o = self.object();
    Object* target = args[1].object();
    if (!o || !target || args[0].isUndefined())
        return Value(false);
    String* url = vm.toString(args[0]);
    return Value(startLoad(vm, o, target, url->view(), HttpMethod::Post, textOf(vm, self)->view()));
}

// send(url, window, method)
Value xmlSend(Vm& vm, const Value& self, Args args)
{
    Object* o = self.object();
    if (!o || args.empty() || args[0].isUndefined())
        return Value(false);
    String* url = vm.toString(args[0]);
    String* window = args[1].isUndefined() ? vm.empty() : vm.toString(args[1]);
    HttpMethod method = methodOf(vm, args[2], HttpMethod::Post);
    return Value(startSend(vm, o, url->view(), window->view(), method, textOf(vm, self)->view()));
}

// What a load does when it ends, unless the movie says otherwise.
Value xmlOnData(Vm& vm, const Value& self, Args args)
{
    Object* o = self.object();
    if (!o)
        return Value();
    Value result(false);
    if (!args[0].isNullish()) {
        Value text = args[0];
        vm.callMethod(self, vm.name("parseXML"), Args(&text, 1));
        o->set(vm, vm.name("loaded"), Value(true));
        result = Value(true);
    }
    vm.callMethod(self, vm.name("onLoad"), Args(&result, 1));
    return Value();
}

Value nothing(Vm&, const Value&, Args) { return Value(); }

void property(Vm& vm, Object* proto, const char* name, NativeFunction::Fn get, NativeFunction::Fn set)
{
    proto->defineVirtual(vm, vm.name(name), vm.newNative(get), set ? vm.newNative(set) : nullptr, DontEnum);
}

} // namespace

void installXmlClasses(Vm& vm)
{
    Object* nodeProto = vm.newObject();
    NativeFunction* nodeCtor = vm.newClass(xmlNodeCall, nullptr, nodeProto);
    vm.ctors.xmlNode = nodeCtor;
    property(vm, nodeProto, "nodeType", getNodeType, nullptr);
    property(vm, nodeProto, "nodeName", getNodeName, setNodeName);
    property(vm, nodeProto, "nodeValue", getNodeValue, setNodeValue);
    property(vm, nodeProto, "attributes", getAttributes, setAttributes);
    property(vm, nodeProto, "childNodes", getChildNodes, nullptr);
    property(vm, nodeProto, "parentNode", getParentNode, nullptr);
    property(vm, nodeProto, "firstChild", getFirstChild, nullptr);
    property(vm, nodeProto, "lastChild", getLastChild, nullptr);
    property(vm, nodeProto, "nextSibling", getNextSibling, nullptr);
    property(vm, nodeProto, "previousSibling", getPreviousSibling, nullptr);
    property(vm, nodeProto, "localName", getLocalName, nullptr);
    property(vm, nodeProto, "prefix", getPrefix, nullptr);
    property(vm, nodeProto, "namespaceURI", getNamespaceUri, nullptr);
    vm.methods(nodeProto, {{"appendChild", appendChild},
                           {"insertBefore", insertBefore},
                           {"removeNode", removeNode},
                           {"cloneNode", cloneNode},
                           {"hasChildNodes", hasChildNodes},
                           {"getNamespaceForPrefix", getNamespaceForPrefix},
                           {"getPrefixForNamespace", getPrefixForNamespace},
                           {"toString", nodeToString}});
    vm.global()->define(vm, vm.name("XMLNode"), Value(nodeCtor), DontEnum);

    Object* xmlProto = vm.newObject(nodeProto);
    NativeFunction* xmlCtor = vm.newClass(xmlCall, nullptr, xmlProto);
    vm.methods(xmlProto, {{"parseXML", parseXmlMethod},
                          {"createElement", createElement},
                          {"createTextNode", createTextNode},
                          {"load", xmlLoad},
                          {"sendAndLoad", xmlSendAndLoad},
                          {"send", xmlSend},
                          {"getBytesLoaded", getBytesLoaded},
                          {"getBytesTotal", getBytesTotal},
                          {"addRequestHeader", addRequestHeader},
                          {"onLoad", nothing}});
    // onData runs the movie's onLoad, which may run long: collections may
    // happen inside it.
    xmlProto->define(vm, vm.name("onData"), Value(vm.newNative(xmlOnData, nullptr, NativeFunction::MayCollect)),
                     DontEnum);
    vm.constant(xmlProto, "contentType", Value(vm.strAscii("application/x-www-form-urlencoded")), DontEnum);
    vm.constant(xmlProto, "ignoreWhite", Value(false), DontEnum);
    vm.global()->define(vm, vm.name("XML"), Value(xmlCtor), DontEnum);
}

} // namespace swf::script
