#include "swfcontrol/engine/script/Heap.h"

#include "swfcontrol/engine/script/Object.h"
#include "swfcontrol/engine/script/String.h"

#include <algorithm>

namespace swf::script {

namespace {
// A collection runs after this much was allocated, or as much again as
// survived the last one, whichever is more.
constexpr std::size_t kMinThreshold = std::size_t(4) << 20;
} // namespace

void Tracer::mark(const Value& v)
{
    if (v.isString())
        mark(v.string());
    else if (v.isObject())
        mark(v.object());
}

void Cell::resized(Heap& heap, std::size_t ownedBytes)
{
    if (ownedBytes > owned_)
        heap.reserve(ownedBytes - owned_);
    else
        heap.release(owned_ - ownedBytes);
    owned_ = ownedBytes;
}

Heap::Heap(std::size_t limitBytes) : limit_(limitBytes), threshold_(kMinThreshold) {}

Heap::~Heap()
{
    // Destructors may not look at other cells: everything goes at once.
    Cell* c = cells_head_;
    while (c) {
        Cell* next = c->next_;
        delete c;
        c = next;
    }
}

void Heap::reserve(std::size_t bytes)
{
    if (bytes > limit_ || bytes_ > limit_ - bytes)
        throw ScriptAbort{ScriptAbort::Reason::Memory};
    bytes_ += bytes;
    allocatedSince_ += bytes;
}

void Heap::release(std::size_t bytes) { bytes_ -= std::min(bytes, bytes_); }

void Heap::link(Cell* cell, std::size_t size)
{
    cell->size_ = static_cast<uint32_t>(size);
    cell->next_ = cells_head_;
    cells_head_ = cell;
    ++cells_;
}

void Heap::addRoots(RootSource* source) { roots_.push_back(source); }

void Heap::removeRoots(RootSource* source)
{
    roots_.erase(std::remove(roots_.begin(), roots_.end(), source), roots_.end());
}

void Heap::collect()
{
    Tracer tracer;
    for (RootSource* source : roots_)
        source->traceRoots(tracer);
    for (std::vector<Value>* values : rootedVectors_)
        tracer.mark(values->data(), values->size());
    while (!tracer.gray_.empty()) {
        Cell* c = tracer.gray_.back();
        tracer.gray_.pop_back();
        c->trace(tracer);
    }
    for (WeakTable* table : weak_)
        table->sweepWeak();

    Cell** link = &cells_head_;
    while (Cell* c = *link) {
        if (c->marked_) {
            c->marked_ = false;
            link = &c->next_;
            continue;
        }
        *link = c->next_;
        release(c->size_ + c->owned_);
        --cells_;
        delete c;
    }
    ++collections_;
    allocatedSince_ = 0;
    threshold_ = std::max(kMinThreshold, bytes_);
}

} // namespace swf::script
