#include "app/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace orvex {

namespace {

// What a later start sends: one line.
constexpr char kRaiseRequest[] = "raise\n";
constexpr qint64 kLongestRequest = 64;
constexpr int kRetryPauseMs = 100;

// The longest socket path we use. Listening with access options binds a temporary name up to
// eight characters longer than the final one, and the whole must fit a socket address.
constexpr std::size_t kLongestSocketPath = sizeof(sockaddr_un::sun_path) - 1 - 8;

std::string SystemReason(int error) {
    return std::strerror(error);
}

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

std::string PrivateTmpFolder() {
    return "/tmp/orvex-manager-" + std::to_string(geteuid()) + "/";
}

// The program directory as one stable text: symbolic links and "." or ".." resolved, so every
// way of naming the folder gives the same name. A folder that does not exist yet (the first
// start) is resolved as far as it exists, which is what it resolves to once created.
std::string NameOfDirectory(const std::string& programDirectory) {
    const std::filesystem::path given(WithoutTrailingSlash(programDirectory));
    std::error_code failure;
    std::filesystem::path resolved = std::filesystem::weakly_canonical(given, failure);
    if (failure) {
        resolved = given.lexically_normal();
    }
    const std::string canonical = WithoutTrailingSlash(resolved.string());
    const QByteArray digest =
        QCryptographicHash::hash(QByteArray::fromStdString(canonical), QCryptographicHash::Sha256);
    return "orvex-manager-" + std::to_string(geteuid()) + "-" +
           digest.toHex().left(16).toStdString();
}

}  // namespace

CSingleInstance::CSingleInstance(const std::string& programDirectory, QObject* parent)
    : QObject(parent), m_programDirectory(programDirectory) {}

CSingleInstance::~CSingleInstance() {
    // The socket goes before the lock: once the lock is free, a new primary may already have
    // put its own socket under the same name.
    m_server.reset();
    if (m_lockFd >= 0) {
        close(m_lockFd);
    }
}

bool CSingleInstance::EnsurePrivateFolder(const std::string& folder, std::string& error) {
    const std::string path = WithoutTrailingSlash(folder);
    if (mkdir(path.c_str(), 0700) == 0) {
        // The umask can only have narrowed the mode; make it exactly what is checked below.
        chmod(path.c_str(), 0700);
    } else if (errno != EEXIST) {
        error = "cannot create " + path + ": " + SystemReason(errno);
        return false;
    }
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) {
        error = "cannot examine " + path + ": " + SystemReason(errno);
        return false;
    }
    if (S_ISLNK(info.st_mode)) {
        error = path + " is a symbolic link";
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        error = path + " is not a directory";
        return false;
    }
    if (info.st_uid != geteuid()) {
        error = path + " belongs to another user";
        return false;
    }
    if ((info.st_mode & 07777) != 0700) {
        char mode[8];
        snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
        error = path + " has mode " + mode + ", not 0700";
        return false;
    }
    return true;
}

bool CSingleInstance::RuntimeFolder(std::string& folder, std::string& error) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat info {};
    if (runtime && runtime[0] == '/' && stat(runtime, &info) == 0 && S_ISDIR(info.st_mode)) {
        folder = WithoutTrailingSlash(runtime);
        if (folder != "/") {
            folder += "/";
        }
        return true;
    }
    folder = PrivateTmpFolder();
    return EnsurePrivateFolder(folder, error);
}

bool CSingleInstance::LocatePlaces(const std::string& programDirectory, SPlaces& places,
                                   std::string& error) {
    std::string folder;
    if (!RuntimeFolder(folder, error)) {
        return false;
    }
    const std::string name = NameOfDirectory(programDirectory);
    const std::string socketName = name + ".socket";
    if (folder.size() + socketName.size() > kLongestSocketPath) {
        // A runtime folder too deep for a socket address.
        folder = PrivateTmpFolder();
        if (!EnsurePrivateFolder(folder, error)) {
            return false;
        }
    }
    places.lockFile = folder + name + ".lock";
    places.socket = folder + socketName;
    return true;
}

CSingleInstance::ERole CSingleInstance::Claim(std::string& error) {
    m_role = ERole::Unchecked;
    if (!LocatePlaces(m_programDirectory, m_places, error)) {
        return m_role;
    }
    // Never follow a link someone put in our place, and never hand the lock to a child
    // process (the help's browser): it would outlive us and block every later start.
    m_lockFd = open(m_places.lockFile.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (m_lockFd < 0) {
        error = "cannot open " + m_places.lockFile + ": " + SystemReason(errno);
        return m_role;
    }
    struct stat info {};
    if (fstat(m_lockFd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = m_places.lockFile + " is not a regular file";
        close(m_lockFd);
        m_lockFd = -1;
        return m_role;
    }
    std::string lockError;
    if (TryLock(lockError)) {
        m_role = ERole::Primary;
        Listen(error);
    } else if (lockError.empty()) {
        m_role = ERole::Secondary;
    } else {
        error = lockError;
        close(m_lockFd);
        m_lockFd = -1;
    }
    return m_role;
}

bool CSingleInstance::TryLock(std::string& error) {
    while (flock(m_lockFd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) {
            continue;
        }
        if (errno != EWOULDBLOCK) {
            error = "cannot lock " + m_places.lockFile + ": " + SystemReason(errno);
        }
        return false;
    }
    return true;
}

void CSingleInstance::Listen(std::string& error) {
    const QString name = QString::fromStdString(m_places.socket);
    // Only the lock holder may clear the name: a socket left there belongs to a copy that
    // ended without closing it.
    QLocalServer::removeServer(name);
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server.get(), &QLocalServer::newConnection, this, &CSingleInstance::OnNewConnection);
    if (!m_server->listen(name)) {
        error =
            "cannot listen on " + m_places.socket + ": " + m_server->errorString().toStdString();
        m_server.reset();
    }
}

void CSingleInstance::OnNewConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnRequestData(socket); });
        // A later start writes and goes at once: its line may still be unread then.
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            OnRequestData(socket);
            socket->deleteLater();
        });
        if (socket->bytesAvailable() > 0) {
            OnRequestData(socket);
        }
    }
}

void CSingleInstance::OnRequestData(QLocalSocket* socket) {
    if (socket->canReadLine()) {
        const QByteArray line = socket->readLine(kLongestRequest);
        socket->readAll();
        if (line == kRaiseRequest) {
            emit RaiseRequested();
        }
        socket->disconnectFromServer();
    } else if (socket->bytesAvailable() >= kLongestRequest) {
        socket->abort();
    }
}

bool CSingleInstance::RequestRaise(int waitMs, std::string& error) {
    if (m_role != ERole::Secondary) {
        error = "this copy is not a later start";
        return false;
    }
    const QString name = QString::fromStdString(m_places.socket);
    QElapsedTimer waited;
    waited.start();
    QString reason;
    for (;;) {
        QLocalSocket socket;
        socket.connectToServer(name);
        if (socket.waitForConnected(kRetryPauseMs * 5)) {
            socket.write(kRaiseRequest, sizeof kRaiseRequest - 1);
            socket.flush();
            while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(1000)) {
            }
            if (socket.bytesToWrite() == 0) {
                socket.disconnectFromServer();
                return true;
            }
        }
        reason = socket.errorString();
        // The primary may have ended since: then the lock is free and this start is the one.
        std::string lockError;
        if (TryLock(lockError)) {
            m_role = ERole::Primary;
            Listen(error);
            return false;
        }
        if (waited.elapsed() >= waitMs) {
            break;
        }
        QThread::msleep(kRetryPauseMs);
    }
    error = "the running copy does not answer at " + m_places.socket + ": " + reason.toStdString();
    return false;
}

}  // namespace orvex
