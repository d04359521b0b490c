#pragma once
// Real servers on 127.0.0.1 for the Online System's tests: an update host
// (HTTP) serving a folder, and a mail relay (SMTP).

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

namespace qpt::test {

// A server script of tests/internet run by Debian's python3; it prints
// "PORT <n>" once it listens.
class ScriptServer {
public:
    ScriptServer(const QString& script, const QStringList& arguments);
    ~ScriptServer();
    bool isListening() const { return m_port > 0; }
    int port() const { return m_port; }

private:
    QProcess m_process;
    int m_port = 0;
};

class LocalUpdateHost {
public:
    LocalUpdateHost();
    ~LocalUpdateHost();
    bool isListening() const { return m_server->isListening(); }
    // "http://127.0.0.1:<port>"
    QString url() const;
    // Places a file below the served root ("mainpage/os/Tirk/version.txt").
    void put(const QString& path, const QByteArray& bytes) const;
    // Places the four host files with the given version lines ("PlayVer=v1.00" ...).
    void putVersionFile(const QStringList& lines) const;
    // The standard pages.
    void putPages() const;
    // Paths requested so far, each with its cache headers.
    QStringList requests() const;

private:
    QTemporaryDir m_root;
    ScriptServer* m_server;
};

class LocalMailRelay {
public:
    explicit LocalMailRelay(const QStringList& options = {});
    ~LocalMailRelay();
    bool isListening() const { return m_server->isListening(); }
    QString address() const;  // "127.0.0.1:<port>" for QPT_MAIL_RELAY
    QVector<QJsonObject> messages() const;
    int quits() const;

private:
    QTemporaryDir m_out;
    ScriptServer* m_server;
};

// A closed port on 127.0.0.1: nothing listens there.
int closedPort();

}  // namespace qpt::test
