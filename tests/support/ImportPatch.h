// Points this executable's import of one system function at a test's
// replacement for the life of the object, so that a test sees the calls the
// player's code (linked into the test executable) makes, with their
// arguments, and can still pass them on through original().
//
//   ImportPatch* patch;
//   LONG WINAPI recordingChange(DEVMODEW* mode, DWORD flags)
//   {
//       ...record...;
//       return patch->original<decltype(&ChangeDisplaySettingsW)>()(mode, flags);
//   }
//   ImportPatch change("user32.dll", "ChangeDisplaySettingsW", reinterpret_cast<void*>(&recordingChange));
//   patch = &change;
//   ASSERT_TRUE(change.patched());
#pragma once

#include <windows.h>

class ImportPatch {
public:
    ImportPatch(const char* module, const char* function, void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    bool patched() const { return slot_ != nullptr; }

    template <class Function>
    Function original() const
    {
        return reinterpret_cast<Function>(original_);
    }

private:
    void** slot_ = nullptr;
    void* original_ = nullptr;
};
