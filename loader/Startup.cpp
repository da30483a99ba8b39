// The entry point of programs linked without the C runtime's start-up objects (-nostartfiles,
// orva_lean_entry in cmake/OrvaFlags.cmake). It does what that start-up did for the loader:
// - tells msvcrt that this is a GUI program (its fatal errors then show a box);
// - has msvcrt split the command line into the argument count and vector (__getmainargs,
//   which also sets __argc and __argv; no wildcard expansion, as before), and exits with
//   code 255 and msvcrt's message when it runs out of memory there;
// - makes the static objects: the constructor list the linker gathers from .ctors, called from
//   its last entry to its first as libgcc's __do_global_ctors does, then the destructor list
//   registered with atexit;
// - calls LoaderMain and passes its result to exit(), which runs the atexit functions in the
//   reverse order of their registration.
// It leaves out what the loader does not use: thread-local variables (none, so no TLS
// directory), pseudo-relocations (the link refuses auto-imported data instead), the
// unhandled-exception filter that served signal handlers (none are installed), and the x87
// reset (the loader does no floating-point arithmetic).
#include "Startup.h"

#include <stdlib.h>

namespace {

using Function = void (*)();

struct StartupInfo {
    int newMode;
};

}  // namespace

extern "C" {
// The linker's lists: -1 (or a count), the entries, then a null.
extern Function __CTOR_LIST__[];
extern Function __DTOR_LIST__[];

// msvcrt.
int __cdecl __getmainargs(int* argc, char*** argv, char*** env, int expandWildcards,
                          StartupInfo* info);
void __cdecl __set_app_type(int type);
void __cdecl _amsg_exit(int code);
using OnExitFunction = int(__cdecl*)();
OnExitFunction __cdecl _onexit(OnExitFunction function);

// The runtime's start-up object also defined atexit: on msvcrt's table of exit functions, the
// one exit() runs.
int __cdecl atexit(void (*function)())
{
    return _onexit(reinterpret_cast<OnExitFunction>(reinterpret_cast<void*>(function))) != nullptr
               ? 0
               : -1;
}
}

namespace {

constexpr int kGuiApp = 2;
constexpr int kNoSpaceForArguments = 8;  // msvcrt's R6008

void RunDestructors()
{
    for (Function* entry = __DTOR_LIST__ + 1; *entry != nullptr; ++entry)
        (*entry)();
}

void RunConstructors()
{
    size_t count = size_t(__CTOR_LIST__[0]);
    if (count == size_t(-1)) {
        count = 0;
        while (__CTOR_LIST__[count + 1] != nullptr)
            ++count;
    }
    for (size_t i = count; i >= 1; --i)
        __CTOR_LIST__[i]();
    atexit(RunDestructors);
}

}  // namespace

// The stack is realigned to 16 bytes here: the system starts a 32-bit program on a 4-byte
// boundary, and the code below assumes 16.
extern "C" __attribute__((force_align_arg_pointer, noreturn)) void LoaderStartup()
{
    __set_app_type(kGuiApp);
    int argc = 0;
    char** argv = nullptr;
    char** env = nullptr;
    StartupInfo info = {0};
    if (__getmainargs(&argc, &argv, &env, 0, &info) < 0)
        _amsg_exit(kNoSpaceForArguments);
    RunConstructors();
    exit(LoaderMain(argc, argv));
}

// Two more functions of the runtime's libraries, defined here because their objects there come
// with unwind tables, which would give the file a section of its own (512 bytes) for nothing:
// the loader never unwinds. The same code as the libraries': operator delete frees with msvcrt
// (the deleting destructors refer to it; the loader deletes nothing it got from new), and
// strnlen, which msvcrt.dll does not have on every Windows.
void operator delete(void* block) noexcept
{
    free(block);
}

void operator delete(void* block, size_t) noexcept
{
    free(block);
}

extern "C" size_t __cdecl strnlen(const char* text, size_t capacity)
{
    size_t length = 0;
    while (length < capacity && text[length] != '\0')
        ++length;
    return length;
}
