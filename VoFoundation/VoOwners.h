// Owners of what the system hands out: a handle, a registry key, a loaded module, a block of
// the local heap or of the C runtime's heap. Each lets go of what it holds when it goes out of
// scope, so that every early return releases everything; reset() lets go sooner where the order of
// the calls matters.
#pragma once
#include <stdlib.h>
#include <windows.h>

template <typename Traits>
class VoOwner {
public:
    typedef typename Traits::Handle Handle;

    constexpr VoOwner() : _handle(nullptr) {}
    explicit VoOwner(Handle handle) : _handle(handle) {}
    ~VoOwner() { reset(); }
    VoOwner(VoOwner&& other) : _handle(other.release()) {}
    VoOwner& operator=(VoOwner&& other)
    {
        reset(other.release());
        return *this;
    }
    VoOwner(const VoOwner&) = delete;
    VoOwner& operator=(const VoOwner&) = delete;

    Handle get() const { return _handle; }
    // False for null, and for a handle that a failed call returned (INVALID_HANDLE_VALUE).
    explicit operator bool() const { return Traits::isHeld(_handle); }
    // Where a call that makes the handle writes it; what was held is let go first.
    Handle* out()
    {
        reset();
        return &_handle;
    }
    // Hands the handle over to the caller, who closes it.
    Handle release()
    {
        Handle handle = _handle;
        _handle = nullptr;
        return handle;
    }
    void reset(Handle handle = nullptr)
    {
        if (Traits::isHeld(_handle))
            Traits::close(_handle);
        _handle = handle;
    }

private:
    Handle _handle;
};

struct VoHandleTraits {
    typedef HANDLE Handle;
    // Neither null nor INVALID_HANDLE_VALUE (all bits set): one comparison.
    static bool isHeld(HANDLE handle) { return reinterpret_cast<UINT_PTR>(handle) + 1 > 1; }
    static void close(HANDLE handle) { CloseHandle(handle); }
};

struct VoKeyTraits {
    typedef HKEY Handle;
    static bool isHeld(HKEY key) { return key != nullptr; }
    static void close(HKEY key) { RegCloseKey(key); }
};

struct VoModuleTraits {
    typedef HMODULE Handle;
    static bool isHeld(HMODULE module) { return module != nullptr; }
    static void close(HMODULE module) { FreeLibrary(module); }
};

// A block that the system allocated for the caller with LocalAlloc (SID texts, security
// descriptors, message texts).
struct VoLocalTraits {
    typedef void* Handle;
    static bool isHeld(void* block) { return block != nullptr; }
    static void close(void* block) { LocalFree(block); }
};

// A block of the C runtime's heap (malloc, or the foundation's VoAlloc).
struct VoHeapTraits {
    typedef void* Handle;
    static bool isHeld(void* block) { return block != nullptr; }
    static void close(void* block) { free(block); }
};

typedef VoOwner<VoHandleTraits> VoUniqueHandle;
typedef VoOwner<VoKeyTraits> VoUniqueKey;
typedef VoOwner<VoModuleTraits> VoUniqueModule;
typedef VoOwner<VoLocalTraits> VoUniqueLocal;
typedef VoOwner<VoHeapTraits> VoUniqueHeapBlock;
