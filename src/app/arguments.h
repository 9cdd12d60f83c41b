// The command line: "--file PATH" selects file mode; every other argument is
// the locale identifier, the last one winning. Nothing is ever rejected.
#pragma once

#include <optional>
#include <string>

namespace zentrova {

// The path that followed the last "--file"; present means file mode.
extern std::optional<std::string> file;
// The last argument that was neither "--file" nor taken as a path.
extern std::optional<std::string> localeId;

// Sets `file` and `localeId` from the argument list (program name first; an
// empty list holds no arguments).
void parseArguments(int argc, char** argv);

}  // namespace zentrova
