// The options of orvex-pager-sim.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/sim/SimFaults.h"

namespace sim {

struct SSimOptions {
    std::string bookPath;   // "" serves the built-in sample book
    std::string uploadOut;  // "" keeps an upload in memory only
    std::string linkPath;   // "" makes no symbolic link to the terminal
    std::optional<uint16_t> capacity;
    SSimFaults faults;
    bool verbose = false;
    bool help = false;
};

class CCommandLine {
  public:
    // Reads the arguments after the program name; "--name value" and "--name=value" both work.
    // Returns "" or what is wrong, naming the option.
    static std::string Parse(const std::vector<std::string>& args, SSimOptions& options);
    static std::string Usage();
};

}  // namespace sim
