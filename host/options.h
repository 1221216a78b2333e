// sonaro-host's command line.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/host.h"

namespace sonaro::host {

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct CommandLine {
  HostOptions options;
  bool help = false;
  bool version = false;
};

// Parses the arguments after the program name; "--name value" and "--name=value" both work.
// Throws UsageError naming what is wrong.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The text of --help.
std::string UsageText();

// Where the data lives when --data is not given: $XDG_DATA_HOME/sonaro-host, else
// ~/.local/share/sonaro-host.
std::filesystem::path DefaultDataDir();

}  // namespace sonaro::host
