// The loader's own start-up, in place of the C runtime's (about 6 KB of it the loader never
// needed: TLS callbacks, pseudo-relocations, the exception filter, unwind tables).
#pragma once

// Called by the start-up with the runtime's argument count and vector (msvcrt's split of the
// command line, as __argc and __argv hold it), after the program's static objects are made.
// Its result goes to exit(), which tears them down in the reverse order.
int LoaderMain(int argc, char** argv);
