#pragma once
// desktop.h: hands a file or a folder to the desktop's default application (a PDF to the document viewer, a
// folder to the file manager) through xdg-open, and returns at once: the opener runs detached and is never
// waited for. Safe to call from the main thread of a program that runs other threads.

#include <string>

namespace mailferry::platform {

// False when xdg-open cannot be found or started; what the desktop then does with the path is its own affair.
bool open_with_default_application(const std::string& path);

}  // namespace mailferry::platform
