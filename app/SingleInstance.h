#pragma once

#include <QObject>
#include <memory>
#include <string>

class QLocalServer;
class QLocalSocket;

namespace orvex {

// One copy of the program per program directory. The copy that holds an exclusive flock on the
// directory's lock file is the primary: it alone may write the directory's files, and it
// listens on a local socket for other starts. A later start in the same directory finds the
// lock taken, asks the primary through that socket to bring its window to the front, and ends.
// The kernel drops the lock when a copy ends in any way, so a crashed copy blocks nothing.
//
// Both names come from the program directory (its canonical path, hashed) and the user id, so
// copies in different program directories do not see each other. They live in
// $XDG_RUNTIME_DIR, else in the private folder /tmp/orvex-manager-<uid>/.
class CSingleInstance : public QObject {
    Q_OBJECT
  public:
    enum class ERole {
        Primary,    // holds the lock; the program runs
        Secondary,  // another copy holds the lock; this one must not touch the directory
        Unchecked,  // no safe place for the lock: the program runs without the check
    };

    // The lock file and the socket of one program directory.
    struct SPlaces {
        std::string lockFile;
        std::string socket;
    };

    // How long a later start keeps trying to reach a primary that does not answer yet.
    static constexpr int kRaiseWaitMs = 5000;

    explicit CSingleInstance(const std::string& programDirectory, QObject* parent = nullptr);
    ~CSingleInstance() override;
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;

    // Decides this copy's role; call it once. Unchecked comes with `error` saying why. A
    // primary whose socket cannot listen stays the primary (later starts cannot raise it) and
    // says why in `error` too.
    ERole Claim(std::string& error);
    ERole Role() const { return m_role; }
    bool IsPrimary() const { return m_role == ERole::Primary; }
    const SPlaces& Places() const { return m_places; }

    // A secondary asks the primary to bring its window to the front. While the primary's
    // socket cannot be reached (the primary is still starting) it tries again for up to
    // `waitMs`. When the primary ends meanwhile, this copy takes the lock and becomes the
    // primary itself (Role() says so). True when the request was handed to the primary.
    bool RequestRaise(int waitMs, std::string& error);

    // Where the lock file and the socket of `programDirectory` are; may create the private
    // folder in /tmp. False with `error` when there is no safe place.
    static bool LocatePlaces(const std::string& programDirectory, SPlaces& places,
                             std::string& error);

    // The folder for both: $XDG_RUNTIME_DIR when it is set, absolute and a directory, else
    // the private folder /tmp/orvex-manager-<uid>/.
    static bool RuntimeFolder(std::string& folder, std::string& error);

    // Creates `folder` with mode 0700, or accepts it when it exists as a real directory (not
    // a symbolic link) owned by this user with mode 0700. Anything else is refused: another
    // user could then replace or watch what is put there.
    static bool EnsurePrivateFolder(const std::string& folder, std::string& error);

  signals:
    // Another start in this program directory asked for the window.
    void RaiseRequested();

  private:
    bool TryLock(std::string& error);
    void Listen(std::string& error);
    void OnNewConnection();
    void OnRequestData(QLocalSocket* socket);

    std::string m_programDirectory;
    SPlaces m_places;
    ERole m_role = ERole::Unchecked;
    int m_lockFd = -1;
    std::unique_ptr<QLocalServer> m_server;
};

}  // namespace orvex
