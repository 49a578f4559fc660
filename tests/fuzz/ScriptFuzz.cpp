// Any bytes as a block of actions (the first byte picks the SWF version),
// run by the script layer with a bounded budget: nothing may crash, read out
// of bounds, hang or take memory without bound, and the heap must come back
// to what the roots hold.
#include "swfcontrol/engine/script/Vm.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

using namespace swf::script;

class FuzzHost : public Host {
public:
    Object* clip = nullptr;
    void trace(std::u16string_view) override {}
    double now() override { return clock += 16; }
    double dateNow() override { return 981152406000.0; }
    double localOffsetMinutes(double) override { return 345; }
    Object* root(Object*) override { return clip; }
    Object* level(uint32_t n) override { return n == 0 ? clip : nullptr; }
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
    double clock = 0;
};

struct Roots : Heap::RootSource {
    Object* clip = nullptr;
    void traceRoots(Tracer& tracer) override { tracer.mark(clip); }
};

} // namespace

namespace {

// A Vm takes long to set up beside a run, so one serves many inputs; a
// fresh one comes every so often and once scripts are disabled.
struct Session {
    Session()
    {
        VmLimits limits;
        limits.heapBytes = 64u << 20;
        limits.sliceSteps = 20000;
        limits.sliceMilliseconds = 0;
        vm.reset(new Vm(host, limits));
        roots.clip = host.clip = vm->newObject();
        vm->heap().addRoots(&roots);
    }
    ~Session() { vm->heap().removeRoots(&roots); }
    FuzzHost host;
    Roots roots;
    std::unique_ptr<Vm> vm;
    unsigned runs = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static std::unique_ptr<Session> session;
    if (size < 1)
        return 0;
    if (!session || session->vm->disabled() || ++session->runs > 500)
        session.reset(new Session());
    Vm& vm = *session->vm;
    CodeBlock* code = vm.code(data + 1, size - 1, 4 + data[0] % 7);
    for (int slice = 0; slice < 3 && code; ++slice) {
        vm.beginSlice();
        vm.run(code, session->host.clip);
        vm.runTimers();
    }
    // The decoded block is kept by where its bytes were: libFuzzer reuses them.
    vm.forgetCode();
    vm.collectIfDue();
    return 0;
}
