// Whole-file writing and the program's own folder.
#pragma once

#include <string>
#include <string_view>

namespace sonaro::core {

// Creates the file at path, or empties it if it exists, holding it exclusively (no other
// cooperating writer at the same time), writes all of bytes and closes it. False for an empty
// path, a folder, a name that is not portable (control characters or any of \ : * ? " < > |,
// such as an address's query part), a file another writer holds, or any I/O error. The path is
// in the system's file-name encoding (UTF-8).
bool WriteFile(const std::string& path, std::string_view bytes);

// The same for a file that must not exist yet: false, touching nothing, when something (a file,
// a link, a folder) already has the name.
bool WriteNewFile(const std::string& path, std::string_view bytes);

// The folder of the running executable, without a trailing "/" (empty when it is "/").
std::string ProgramFolder();

}  // namespace sonaro::core
