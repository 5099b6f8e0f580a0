// The pseudo-terminal the emulator sits behind: the PC program opens the slave side as if it
// were a serial port, the emulator reads and writes the master side.
#pragma once

#include <string>

namespace sim {

class CPtyEndpoint {
  public:
    CPtyEndpoint() = default;
    ~CPtyEndpoint();
    CPtyEndpoint(const CPtyEndpoint&) = delete;
    CPtyEndpoint& operator=(const CPtyEndpoint&) = delete;

    // Makes the terminal pair, raw (no echo, no line editing, 8 data bits), the master
    // non-blocking. The slave stays open here too, so that the PC program closing and reopening
    // the port never leaves the master hung up.
    bool Open(std::string& error);
    // Makes path a symbolic link to the slave. A symbolic link already there (say, left by an
    // earlier run) is replaced; any other file is left alone and refused.
    bool MakeLink(const std::string& path, std::string& error);
    // Undoes the exclusive mode (TIOCEXCL) the PC program sets when it opens the port. Because
    // the slave is held open here, the terminal is never closed completely, so the mode would
    // outlive the PC's close and make its next open fail with EBUSY for anyone but root. Called
    // every turn of the loop; the PC's own lock on the port keeps a second copy of it out.
    void AllowReopen() const;
    // Removes the link (if it still points to this terminal) and closes both sides.
    void Close();

    int MasterFd() const { return m_master; }
    const std::string& SlavePath() const { return m_slavePath; }

  private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
    std::string m_linkPath;
};

}  // namespace sim
