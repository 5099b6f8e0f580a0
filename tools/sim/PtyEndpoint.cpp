#include "tools/sim/PtyEndpoint.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <vector>

namespace sim {

namespace {

std::string SystemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

}  // namespace

CPtyEndpoint::~CPtyEndpoint() {
    Close();
}

bool CPtyEndpoint::Open(std::string& error) {
    Close();
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) {
        error = SystemError("posix_openpt");
        return false;
    }
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        error = SystemError("grantpt/unlockpt");
        Close();
        return false;
    }
    const char* name = ptsname(m_master);
    if (name == nullptr) {
        error = SystemError("ptsname");
        Close();
        return false;
    }
    m_slavePath = name;
    m_slave = open(m_slavePath.c_str(), O_RDWR | O_NOCTTY);
    if (m_slave < 0) {
        error = SystemError("open " + m_slavePath);
        Close();
        return false;
    }
    termios tio{};
    if (tcgetattr(m_slave, &tio) != 0) {
        error = SystemError("tcgetattr");
        Close();
        return false;
    }
    cfmakeraw(&tio);
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    tio.c_cflag |= CLOCAL | CREAD;
    if (tcsetattr(m_slave, TCSANOW, &tio) != 0) {
        error = SystemError("tcsetattr");
        Close();
        return false;
    }
    const int flags = fcntl(m_master, F_GETFL);
    if (flags < 0 || fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = SystemError("fcntl");
        Close();
        return false;
    }
    return true;
}

bool CPtyEndpoint::MakeLink(const std::string& path, std::string& error) {
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            error = path + " exists and is not a symbolic link; not replaced";
            return false;
        }
        if (unlink(path.c_str()) != 0) {
            error = SystemError("cannot remove the old link " + path);
            return false;
        }
    }
    if (symlink(m_slavePath.c_str(), path.c_str()) != 0) {
        error = SystemError("cannot make the link " + path);
        return false;
    }
    m_linkPath = path;
    return true;
}

void CPtyEndpoint::AllowReopen() const {
    if (m_slave >= 0) {
        ioctl(m_slave, TIOCNXCL);
    }
}

void CPtyEndpoint::Close() {
    if (!m_linkPath.empty()) {
        std::vector<char> target(4096);
        const ssize_t n = readlink(m_linkPath.c_str(), target.data(), target.size() - 1);
        if (n >= 0 && std::string(target.data(), static_cast<size_t>(n)) == m_slavePath) {
            unlink(m_linkPath.c_str());
        }
        m_linkPath.clear();
    }
    if (m_slave >= 0) {
        close(m_slave);
        m_slave = -1;
    }
    if (m_master >= 0) {
        close(m_master);
        m_master = -1;
    }
}

}  // namespace sim
