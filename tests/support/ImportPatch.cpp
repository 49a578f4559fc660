#include "support/ImportPatch.h"

namespace {

void writeSlot(void** slot, void* value)
{
    DWORD protection = 0;
    if (!VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &protection))
        return;
    *slot = value;
    VirtualProtect(slot, sizeof(void*), protection, &protection);
}

template <class T>
T* at(BYTE* base, DWORD offset)
{
    return reinterpret_cast<T*>(base + offset);
}

} // namespace

ImportPatch::ImportPatch(const char* module, const char* function, void* replacement)
{
    BYTE* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const IMAGE_NT_HEADERS* nt = at<IMAGE_NT_HEADERS>(base, static_cast<DWORD>(dos->e_lfanew));
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!imports.VirtualAddress)
        return;
    for (IMAGE_IMPORT_DESCRIPTOR* entry = at<IMAGE_IMPORT_DESCRIPTOR>(base, imports.VirtualAddress); entry->Name;
         ++entry) {
        if (lstrcmpiA(at<char>(base, entry->Name), module) != 0 || !entry->OriginalFirstThunk)
            continue;
        IMAGE_THUNK_DATA* names = at<IMAGE_THUNK_DATA>(base, entry->OriginalFirstThunk);
        IMAGE_THUNK_DATA* addresses = at<IMAGE_THUNK_DATA>(base, entry->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++addresses) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const IMAGE_IMPORT_BY_NAME* byName =
                at<IMAGE_IMPORT_BY_NAME>(base, static_cast<DWORD>(names->u1.AddressOfData));
            if (lstrcmpA(reinterpret_cast<const char*>(byName->Name), function) != 0)
                continue;
            slot_ = reinterpret_cast<void**>(&addresses->u1.Function);
            original_ = *slot_;
            writeSlot(slot_, replacement);
            return;
        }
    }
}

ImportPatch::~ImportPatch()
{
    if (slot_)
        writeSlot(slot_, original_);
}
