#include "tests/support/import_hook.h"

#include <windows.h>

namespace vt {
namespace {
// The executable's import slot that holds target, or null.
void** FindImportSlot(const char* dll, void* target)
{
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    const auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name;
         ++entry) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + entry->Name), dll) != 0)
            continue;
        for (auto* slot = reinterpret_cast<void**>(base + entry->FirstThunk); *slot; ++slot) {
            if (*slot == target)
                return slot;
        }
    }
    return nullptr;
}

void Store(void** slot, void* value)
{
    DWORD protection = 0;
    VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &protection);
    *slot = value;
    VirtualProtect(slot, sizeof(*slot), protection, &protection);
}
}  // namespace

ImportHook::ImportHook(const char* dll, const char* function, void* replacement)
{
    HMODULE module = GetModuleHandleA(dll);
    void* target = module ? reinterpret_cast<void*>(GetProcAddress(module, function)) : nullptr;
    m_slot = target ? FindImportSlot(dll, target) : nullptr;
    if (m_slot) {
        m_original = target;
        Store(m_slot, replacement);
    }
}

ImportHook::~ImportHook()
{
    if (m_slot)
        Store(m_slot, m_original);
}

}  // namespace vt
