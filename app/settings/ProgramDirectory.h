#pragma once

#include <string>
#include <vector>

namespace orvex {

// The per-user folder of the program's own files: the settings file, the default database and
// the help file. It stands where the program once relied on its current directory.
class CProgramDirectory {
  public:
    static constexpr const char* kHomeVariable = "ORVEX_HOME";
    static constexpr const char* kFolderName = "orvex-manager";
    static constexpr const char* kDatabaseFile = "Orvex.mdb";
    static constexpr const char* kHelpFile = "OrvexMgr.html";

    // The folder, absolute and ending with "/": ORVEX_HOME when set and not empty (a relative
    // value counts from the current directory), else $XDG_DATA_HOME/orvex-manager/ when that
    // is set and absolute, else ~/.local/share/orvex-manager/ with the home folder from $HOME
    // when absolute, else from the user database. False only when no home folder is known.
    static bool Locate(std::string& dir, std::string& error);

    // The user's home folder: $HOME when absolute, else the user database's; empty when
    // neither is known.
    static std::string HomeFolder();

    // The first start, as opposed to a later one: the folder or its settings file is missing.
    static bool IsFirstStart(const std::string& dir);

    // At the first start creates the folder (with its parents, private to the user) and copies
    // the shipped database and help file into it; any file already there is kept as it is. At
    // a later start it does nothing. A shipped file that is needed but missing (an empty name
    // meaning that none was found) makes the result false with `error` naming it; the other
    // file is still copied.
    static bool Prepare(const std::string& dir, const std::string& shippedDatabase,
                        const std::string& shippedHelp, std::string& error);

    // The help file in `dir` is the program's own, not the user's: when the shipped one
    // differs from it (after an upgrade) or it is missing, the shipped one replaces it
    // atomically. `replaced` tells whether it did. Nothing else in the folder is touched; an
    // empty `shippedHelp` (none found) leaves the folder alone and is not an error.
    static bool RefreshHelp(const std::string& dir, const std::string& shippedHelp, bool& replaced,
                            std::string& error);

    // Where the files shipped with the program may be, for the executable at `exePath`, in the
    // order they are tried, each ending with "/":
    //   <exe dir>/../share/orvex-manager/   installed (<prefix>/bin next to <prefix>/share)
    //   <exe dir>/../res/                   the program in the build tree (<build>/app)
    //   <exe dir>/../../res/                a test program in the build tree (<build>/tests/x)
    static std::vector<std::string> ShippedFolders(const std::string& exePath);

    // The first of those folders holding `fileName` as a regular file, with the file name;
    // empty when none does.
    static std::string FindShipped(const std::string& exePath, const std::string& fileName);

    // The running program's executable (/proc/self/exe); empty when it cannot be read.
    static std::string RunningExecutable();
};

}  // namespace orvex
