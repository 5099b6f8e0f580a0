#pragma once

#include <array>
#include <istream>
#include <string>

namespace orvex {

// The settings file OrvexMgr.ini: nine lines, a key line followed by a ";value$" line for each
// of the four settings, closed by ";.". Lines end with CR LF on disk and the last line has no
// line end; reading accepts a lone LF as well.
class CSettingsFile {
  public:
    static constexpr const char* kFileName = "OrvexMgr.ini";
    static constexpr const char* kDefaultDatabase = "Orvex.mdb";
    static constexpr int kDefaultMaxPersonal = 200;
    static constexpr int kDefaultPort = 1;

    struct SValues {
        std::string databasePath;      // absolute, ends in ".mdb" in any letter case
        std::string programDirectory;  // absolute, ends with "/"
        int maxPersonal = 0;           // personal-entry capacity of the device
        int portNumber = 0;            // 1 to 4 for COM1 to COM4
    };

    enum class ELoadResult {
        Ok,           // the values have been read
        Invalid,      // the file fails validation (Error 001); the values keep their content
        CannotCreate  // the file can be neither opened nor created
    };

    // The settings file of a program directory (which ends with "/").
    static std::string PathIn(const std::string& programDirectory);

    // Checks the nine lines in order; the first rule that fails makes the result false. The
    // stream is read from its start, wherever it stands.
    static bool Validate(std::istream& in);
    static bool Validate(const std::string& text);

    // Validates the file and reads the four values as written. A capacity of more digits than
    // an int holds reads as INT_MAX. On false nothing has been assigned.
    static bool Read(const std::string& path, SValues& values);

    // The whole file: the current values, or with `defaults` the database "Orvex.mdb" in the
    // program directory, a capacity of 200 and port 1.
    static std::string Text(const SValues& values, bool defaults);

    // Replaces the file atomically with Text(values, defaults). Values that would not read
    // back (a path holding "$" or a line end, a port out of 1 to 4, a negative capacity, a path
    // that is not absolute) are refused and the old file stays as it was.
    static bool Write(const std::string& path, const SValues& values, bool defaults,
                      std::string& error);

    // The settings phase of start-up. Opens OrvexMgr.ini in `programDirectory` for reading,
    // creating it empty when missing and never truncating it; an empty file gets the defaults
    // written; then the file is read. `values.programDirectory` becomes `programDirectory`
    // first, whatever the result, and a stored program directory replaces it when the read
    // succeeds. `error` says why on CannotCreate, and on Invalid when the defaults could not
    // be written to an empty file.
    static ELoadResult LoadAtStartup(const std::string& programDirectory, SValues& values,
                                     std::string& error);

  private:
    using Lines = std::array<std::string, 9>;
    static Lines ReadLines(std::istream& in);
    static bool Check(const Lines& lines);
};

}  // namespace orvex
