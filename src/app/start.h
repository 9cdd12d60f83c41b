// Start-up: line-buffered output, the command line, the recognizer and its
// tests, the mode, the permission gate; then the main queue for good.
#pragma once

namespace zentrova {

// Runs on the main thread with the process's argument list (program name
// first) after a backend has been installed. Never returns.
[[noreturn]] void start(int argc, char** argv);

}  // namespace zentrova
