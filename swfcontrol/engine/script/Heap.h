// The collector: every string, object, scope and block of code a script can
// reach is a Cell on one Heap, freed by a tracing mark-and-sweep.
//
// When it runs. A collection frees whatever the roots do not reach, so it
// may only run where every live cell is reachable from them: the Vm's roots
// (its operand stack, registers, frames and globals), the roots of the movie
// (Heap::RootSource) and Rooted ranges. The Vm collects at its own safe points
// (between operations of the interpreter, when no native function is
// running) and when its host asks (between frames). Allocation never
// collects, so native code may hold cells in C++ locals until it returns; code
// that holds cells across a call that runs script roots them with Rooted.
//
// Memory. Every allocation is counted against the heap's limit; past it,
// allocation throws ScriptAbort and the running script stops.
#pragma once

#include "swfcontrol/engine/script/Value.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

namespace swf::script {

class Heap;
class Tracer;

// Stops the running script: it ran out of its time, steps, memory or
// recursion. Caught where the host entered the script.
struct ScriptAbort {
    enum class Reason { Memory, Time, Recursion, Stack } reason;
};

class Cell {
public:
    Cell() = default;
    virtual ~Cell() = default;
    Cell(const Cell&) = delete;
    Cell& operator=(const Cell&) = delete;

    // Marks every cell this one references.
    virtual void trace(Tracer& tracer) { (void)tracer; }
    // Bytes this cell owns outside itself, as last reported to the heap.
    std::size_t ownedBytes() const { return owned_; }

protected:
    // Buffers a cell grows or shrinks count against the heap too.
    void resized(Heap& heap, std::size_t ownedBytes);
    // For bytes already reserved with Heap::reserve.
    void adoptOwnedBytes(std::size_t bytes) { owned_ = bytes; }

private:
    friend class Heap;
    friend class Tracer;
    Cell* next_ = nullptr;
    std::size_t owned_ = 0;
    uint32_t size_ = 0; // sizeof the most derived class
    bool marked_ = false;
};

class Tracer {
public:
    void mark(Cell* cell)
    {
        if (cell && !cell->marked_) {
            cell->marked_ = true;
            gray_.push_back(cell);
        }
    }
    void mark(const Value& v);
    void mark(const Value* values, std::size_t count)
    {
        for (std::size_t i = 0; i < count; ++i)
            mark(values[i]);
    }

private:
    friend class Heap;
    std::vector<Cell*> gray_;
};

class Heap {
public:
    // What the heap may hold, beyond which allocation fails.
    explicit Heap(std::size_t limitBytes = std::size_t(256) << 20);
    ~Heap();
    Heap(const Heap&) = delete;
    Heap& operator=(const Heap&) = delete;

    // A new cell, owned by the heap. Throws ScriptAbort past the limit.
    template <class T, class... A>
    T* make(A&&... args)
    {
        reserve(sizeof(T));
        T* cell = new (std::nothrow) T(std::forward<A>(args)...);
        if (!cell) {
            bytes_ -= sizeof(T);
            throw ScriptAbort{ScriptAbort::Reason::Memory};
        }
        link(cell, sizeof(T));
        return cell;
    }

    // Something outside the heap that holds cells: the Vm, the movie.
    class RootSource {
    public:
        virtual ~RootSource() = default;
        virtual void traceRoots(Tracer& tracer) = 0;
    };
    void addRoots(RootSource* source);
    void removeRoots(RootSource* source);

    // Frees what the roots do not reach.
    void collect();
    // Whether enough was allocated since the last collection to run one.
    bool wantsCollection() const { return allocatedSince_ >= threshold_; }

    std::size_t bytes() const { return bytes_; }
    std::size_t limit() const { return limit_; }
    void setLimit(std::size_t bytes) { limit_ = bytes; }
    std::size_t cells() const { return cells_; }
    std::size_t collections() const { return collections_; }

    // Counts bytes a cell allocates for itself; throws ScriptAbort past the
    // limit. Cell::resized is the usual way in.
    void reserve(std::size_t bytes);
    void release(std::size_t bytes);

    // Called before a collection frees its garbage: weak tables drop entries
    // whose cells are not marked.
    class WeakTable {
    public:
        virtual ~WeakTable() = default;
        virtual void sweepWeak() = 0;
    };
    void addWeak(WeakTable* table) { weak_.push_back(table); }
    static bool isMarked(const Cell* cell) { return cell->marked_; }

private:
    friend class RootedValues;
    void link(Cell* cell, std::size_t size);

    Cell* cells_head_ = nullptr;
    std::size_t cells_ = 0;
    std::size_t bytes_ = 0;
    std::size_t limit_;
    std::size_t allocatedSince_ = 0;
    std::size_t threshold_;
    std::size_t collections_ = 0;
    std::vector<RootSource*> roots_;
    std::vector<WeakTable*> weak_;
    std::vector<std::vector<Value>*> rootedVectors_;
};

// Keeps values held in C++ alive across calls that may run script. These
// nest: each one ends before the one made before it.
class RootedValues {
public:
    explicit RootedValues(Heap& heap) : heap_(heap) { heap_.rootedVectors_.push_back(&values); }
    ~RootedValues() { heap_.rootedVectors_.pop_back(); }
    RootedValues(const RootedValues&) = delete;
    RootedValues& operator=(const RootedValues&) = delete;
    std::vector<Value> values;

private:
    Heap& heap_;
};

} // namespace swf::script
