// The loader's one message box, raised when the installer cannot be extracted or started.
#pragma once

namespace loader {

// Tells the user that the installer cannot be started; the reason goes to the loader log only.
// Blocks until the box is closed. Where no one could see the box (the process's window station
// is not visible, or that cannot be told), logs "No box shown: no visible window station."
// instead (with the error when it cannot be told) and returns at once.
void ShowCannotStartBox();

}  // namespace loader
