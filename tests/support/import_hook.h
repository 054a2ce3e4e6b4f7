// Puts a test's own function in place of one that the test executable imports from a
// system DLL, for as long as the hook lives: every caller in the executable (the code
// under test included) then calls the replacement, which may count and pass on.
#pragma once

namespace vt {

class ImportHook {
public:
    ImportHook(const char* dll, const char* function, void* replacement);
    ~ImportHook();
    ImportHook(const ImportHook&) = delete;
    ImportHook& operator=(const ImportHook&) = delete;

    bool installed() const { return m_slot != nullptr; }
    void* original() const { return m_original; }

private:
    void** m_slot = nullptr;
    void* m_original = nullptr;
};

}  // namespace vt
