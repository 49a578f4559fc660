// Script objects: an ordered table of named properties, each with the
// ASSetPropFlags flags, plain or virtual (addProperty's getter and setter),
// a __proto__ chain, and watchers.
//
// Names are interned Strings. Movies before SWF 7 look names up ignoring
// case; the table finds either way in one probe, hashing by the folded
// twin. Subclasses with names of their own (arrays' elements and length,
// display objects' `_x` and children) override getOwn/setOwn/enumerateOwn.
//
// Destructors of cells run in any order at a sweep: an object's destructor
// never looks at the cells it references.
#pragma once

#include "swfcontrol/engine/script/Heap.h"
#include "swfcontrol/engine/script/Value.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace swf::script {

class Vm;
class String;
class Function;

enum PropertyFlag : uint16_t {
    DontEnum = 0x01,
    DontDelete = 0x02,
    ReadOnly = 0x04,
    // The versions of code that see the property at all.
    OnlySwf6Up = 0x80,
    IgnoreSwf6 = 0x100,
    OnlySwf7Up = 0x400,
    OnlySwf8Up = 0x1000,
    OnlySwf9Up = 0x2000,
    OnlySwf10Up = 0x4000,
};

// Whether code of `version` sees a property with these flags.
bool visibleTo(uint16_t flags, unsigned version);

struct Property {
    String* name = nullptr; // interned; null in a removed slot
    Value value;            // a plain property's
    Function* getter = nullptr; // a virtual property's (addProperty)
    Function* setter = nullptr; // may be null: assignments are then ignored
    uint32_t seq = 0; // when it was made, against its object's others
    uint16_t flags = 0;
    bool isVirtual = false;
};

class PropertyMap {
public:
    PropertyMap() = default;
    PropertyMap(const PropertyMap&) = delete;
    PropertyMap& operator=(const PropertyMap&) = delete;

    Property* find(String* name, bool caseSensitive);
    // A new last property; the name must not be there yet (in the same case).
    Property& add(String* name);
    void remove(Property& p);
    std::size_t size() const { return live_; }
    // Orders properties and (in arrays) elements by when they were made.
    uint32_t nextSeq() { return ++seq_; }
    // In the order they were added.
    template <class F>
    void forEach(F f)
    {
        for (std::size_t i = 0; i < entries_.size(); ++i)
            if (entries_[i].name)
                f(entries_[i]);
    }
    // Bytes held outside the map, for the heap.
    std::size_t ownedBytes() const;
    void trace(Tracer& tracer);

private:
    void rehash(std::size_t buckets);
    std::vector<Property> entries_;
    std::vector<int32_t> index_; // open addressing by folded name; -1 empty, -2 removed
    std::size_t live_ = 0;
    std::size_t removed_ = 0;
    uint32_t seq_ = 0;
};

class Object : public Cell {
public:
    enum class Kind : uint8_t {
        Plain,
        Function,
        Array,
        Boolean,
        Number,
        String,
        Date,
        Arguments,
        Display, // a movie clip, button or text field: the movie's own
        Super,   // `super` in a method
        Native,  // any other object a built-in class makes
    };

    explicit Object(Object* proto = nullptr, Kind kind = Kind::Plain);

    Kind kind() const { return kind_; }
    bool isFunction() const { return kind_ == Kind::Function; }
    Function* asFunction();

    // __proto__ is a property like others (it can be set, deleted and
    // hidden) kept apart for speed.
    Object* proto() const { return hasProto_ ? proto_.object() : nullptr; }
    Value protoValue() const { return hasProto_ ? proto_ : Value(); }
    void setProto(const Value& proto)
    {
        proto_ = proto;
        hasProto_ = true;
    }

    // --- as scripts see the object ------------------------------------
    // The value of a name: the object's own, then its prototypes', calling
    // getters with this object as `this`, then __resolve.
    Value get(Vm& vm, String* name);
    // Like get but without __resolve; false when nothing has the name.
    bool lookup(Vm& vm, String* name, Value& out);
    // An assignment: a setter on the object or a prototype runs; watchers
    // see the value; read-only properties stay.
    void set(Vm& vm, String* name, const Value& value);
    // `delete`: false for a property that is not there or may not go.
    bool remove(Vm& vm, String* name);
    bool hasOwn(Vm& vm, String* name);
    bool hasProperty(Vm& vm, String* name); // here or on a prototype
    // The names for..in visits, each once: the object's own enumerable
    // names, oldest first, then each prototype's. ActionEnumerate pushes
    // them in this order, so a loop visits them last to first.
    void enumerate(Vm& vm, std::vector<String*>& out);

    // Defines or redefines an own plain property, whatever was there.
    void define(Vm& vm, String* name, const Value& value, uint16_t flags = 0);
    void defineVirtual(Vm& vm, String* name, Function* getter, Function* setter, uint16_t flags = 0);
    // ASSetPropFlags on one own property (and __proto__); false when absent.
    bool setFlags(Vm& vm, String* name, uint16_t set, uint16_t clear);
    // Own properties without getters, display names or version rules.
    PropertyMap& table() { return props_; }

    // watch/unwatch.
    bool watch(Vm& vm, String* name, Function* callback, const Value& userData);
    bool unwatch(Vm& vm, String* name);
    // The interfaces a prototype's class implements (ImplementsOp).
    void setInterfaces(std::vector<Function*> interfaces);
    const std::vector<Function*>* interfaces() const { return extra_ ? &extra_->interfaces : nullptr; }
    // What a built-in class keeps for the object (an XML node's tree). Flash
    // Player's native constructors attach it to whatever object they run
    // on, so that a script class extending one (super() on a plain object)
    // gets it too. Set once; null for most objects.
    Cell* native() const { return extra_ ? extra_->native : nullptr; }
    void setNative(Cell* state);

    // --- hooks for objects with names of their own --------------------
    // An own property's value; `receiver` is the object the lookup began
    // at (getters run with it as `this`).
    virtual bool getOwn(Vm& vm, String* name, Object* receiver, Value& out);
    // An own name answered without the table (a setter of the object's
    // kind); false to go on with the usual rules.
    virtual bool setOwn(Vm& vm, String* name, const Value& value);
    virtual bool hasOwnSpecial(Vm& vm, String* name);
    virtual bool removeOwn(Vm& vm, String* name);
    // Own enumerable names, appended oldest first.
    virtual void enumerateOwn(Vm& vm, std::vector<String*>& out);

    // typeof.
    virtual const char* typeOf() const;
    // A primitive the object stands for without valueOf or toString (a
    // clip's target path); false for most objects.
    virtual bool defaultValue(Vm& vm, bool wantString, Value& out)
    {
        (void)vm;
        (void)wantString;
        (void)out;
        return false;
    }
    // The primitive of a Boolean, Number, String or Date object, for
    // valueOf; false for the rest.
    virtual bool primitive(Value& out) const;

    void trace(Tracer& tracer) override;

protected:
    // Counts the table and extraOwnedBytes() against the heap.
    void refreshOwnedBytes(Heap& heap);
    // Buffers a subclass keeps outside the object.
    virtual std::size_t extraOwnedBytes() const { return 0; }

private:
    struct Watcher {
        String* name;
        Function* callback;
        Value userData;
    };
    // What few objects have.
    struct Extra {
        std::vector<Watcher> watchers;
        std::vector<Function*> interfaces;
        Cell* native = nullptr;
    };
    Property* findOwn(Vm& vm, String* name);
    Value callGetter(Vm& vm, Property& p, Object* receiver);
    bool setInherited(Vm& vm, String* name, const Value& value);
    Value watched(Vm& vm, String* name, const Value& old, const Value& value);

    PropertyMap props_;
    Value proto_;
    std::unique_ptr<Extra> extra_;
    uint16_t protoFlags_ = DontEnum;
    Kind kind_;
    bool hasProto_;
    bool watching_ = false; // a watcher is running: it does not see itself
};

} // namespace swf::script
