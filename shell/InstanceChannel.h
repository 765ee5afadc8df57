#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// The way a second start reaches the running program: the running one listens
// on a local socket named for the user; a second start connects, asks it to
// bring its window to the front and ends. The socket only ever carries that
// one request, and only the user's own processes may connect.
class InstanceChannel : public QObject {
    Q_OBJECT
public:
    explicit InstanceChannel(QObject* parent = nullptr);
    ~InstanceChannel() override;

    // The socket's full path: in $XDG_RUNTIME_DIR when that is a folder, else
    // in the temporary folder, with the user id in the name.
    static QString ServerName();

    // Starts listening (the running program). A socket file left by a program
    // that ended without removing it is replaced. False when it cannot listen;
    // the program then works on without the channel.
    bool Listen(const QString& name = ServerName());
    bool IsListening() const;

    // A second start: asks the program listening on name to come to the front.
    // False when nothing listens there or it did not take the request within
    // timeoutMs.
    static bool RequestActivation(const QString& name = ServerName(), int timeoutMs = 1000);

signals:
    // A second start asked for the window.
    void activationRequested();

private:
    void OnNewConnection();

    QLocalServer* m_server = nullptr;
};
