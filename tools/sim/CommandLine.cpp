#include "tools/sim/CommandLine.h"

namespace sim {

namespace {

constexpr size_t kMaxGarbage = 1 << 20;
constexpr size_t kMaxCount = 1 << 20;

bool ToNumber(const std::string& text, size_t min, size_t max, size_t& value) {
    if (text.empty() || text.size() > 9) {
        return false;
    }
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<size_t>(c - '0');
    }
    return value >= min && value <= max;
}

}  // namespace

std::string CCommandLine::Parse(const std::vector<std::string>& args, SSimOptions& options) {
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (const size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        std::string value;
        auto needValue = [&]() -> bool {
            if (inlineValue) {
                value = *inlineValue;
                return true;
            }
            if (i + 1 >= args.size()) {
                return false;
            }
            value = args[++i];
            return true;
        };
        auto number = [&](size_t min, size_t max, size_t& out) -> std::string {
            if (!needValue()) {
                return name + " needs a number";
            }
            if (!ToNumber(value, min, max, out)) {
                return name + " must be a number from " + std::to_string(min) + " to " +
                       std::to_string(max) + ", not '" + value + "'";
            }
            return "";
        };
        auto path = [&](std::string& out) -> std::string {
            if (!needValue() || value.empty()) {
                return name + " needs a file name";
            }
            out = value;
            return "";
        };
        const bool isFlag = name == "--help" || name == "-h" || name == "--locked" ||
                            name == "--silent" || name == "--verbose";
        if (isFlag && inlineValue) {
            return name + " takes no value";
        }
        std::string error;
        size_t n = 0;
        if (name == "--help" || name == "-h") {
            options.help = true;
        } else if (name == "--locked") {
            options.faults.locked = true;
        } else if (name == "--silent") {
            options.faults.silent = true;
        } else if (name == "--verbose") {
            options.verbose = true;
        } else if (name == "--book") {
            error = path(options.bookPath);
        } else if (name == "--upload-out") {
            error = path(options.uploadOut);
        } else if (name == "--link") {
            error = path(options.linkPath);
        } else if (name == "--capacity") {
            if ((error = number(0, 0xFFFF, n)).empty()) {
                options.capacity = static_cast<uint16_t>(n);
            }
        } else if (name == "--silent-after-records") {
            if ((error = number(0, kMaxCount, n)).empty()) {
                options.faults.silentAfterRecords = n;
            }
        } else if (name == "--bad-checksum-frame") {
            if ((error = number(1, kMaxCount, n)).empty()) {
                options.faults.badChecksumFrame = n;
            }
        } else if (name == "--garbage") {
            if ((error = number(1, kMaxGarbage, n)).empty()) {
                options.faults.garbageBytes = n;
            }
        } else {
            error = "unknown option '" + args[i] + "'";
        }
        if (!error.empty()) {
            return error;
        }
    }
    return "";
}

std::string CCommandLine::Usage() {
    return "Usage: orvex-pager-sim [options]\n"
           "Emulates the pager on a pseudo-terminal and prints the terminal's path on the first\n"
           "line. Point the PC program at it with ORVEX_COM1=<path> (or --link).\n"
           "\n"
           "  --book FILE                serve this address book (default: a built-in sample)\n"
           "  --upload-out FILE          write an uploaded book here after every upload frame\n"
           "  --link PATH                also make PATH a symbolic link to the terminal\n"
           "  --capacity N               capacity in the status reply (0-65535, default: the\n"
           "                             book's, 200 unless the book file says otherwise)\n"
           "  --locked                   refuse every open-book request with NAK\n"
           "  --silent-after-records K   stop answering after sending K records of a download\n"
           "  --bad-checksum-frame N     send the Nth device frame once with a wrong checksum\n"
           "  --garbage N                answer the first POLL with N garbage bytes\n"
           "  --silent                   answer nothing at all\n"
           "  --verbose                  log every unit exchanged on stderr, in hex\n"
           "  --help                     show this text\n"
           "\n"
           "Exit status: 0 after SIGINT or SIGTERM, 1 when the terminal cannot be made,\n"
           "2 for a bad option, an unreadable book or an unusable --link path.\n";
}

}  // namespace sim
