#pragma once
// Real servers on 127.0.0.1 for the Online System's tests: an update host
// (HTTP or HTTPS) serving a folder, a mail relay (SMTP, with STARTTLS when
// asked), a relay that misbehaves; the certificates they use, made by the
// `openssl` command; and the publisher's side of a signed release.

#include "internet/update/release_manifest.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QTimer>
#include <QJsonObject>
#include <QMap>
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

// A certificate authority of its own and a certificate it signed for
// 127.0.0.1 and localhost. The Online System trusts the authority when the
// application folder's product.ini names caFile() (trustAuthorityIn).
class TestCertificates {
public:
    TestCertificates();
    bool isReady() const { return m_ready; }
    QString caFile() const { return m_dir.path() + QStringLiteral("/ca.pem"); }
    QString certificateFile() const { return m_dir.path() + QStringLiteral("/server.pem"); }
    QString keyFile() const { return m_dir.path() + QStringLiteral("/server.key"); }
    // Replaces the server's certificate by one that fails in one way, from
    // the same authority where it has one (make_certificate.py: self-signed,
    // expired, not-yet-valid, wrong-name).
    bool reissue(const QString& kind);

private:
    QTemporaryDir m_dir;
    bool m_ready = false;
};

// Sets a key of the [Product] group in the application folder's
// product.ini, keeping the others.
bool setProductKey(const QString& appFolder, const QString& key, const QString& value);
// Has the Online System of that folder trust the authority.
bool trustAuthorityIn(const QString& appFolder, const TestCertificates& authority);

class LocalUpdateHost {
public:
    // With certificates it speaks https.
    explicit LocalUpdateHost(const TestCertificates* tls = nullptr);
    ~LocalUpdateHost();
    bool isListening() const { return m_server->isListening(); }
    // "http://127.0.0.1:<port>" (or https)
    QString url() const;
    // Places a file below the served root ("mainpage/os/Tirk/version.txt").
    void put(const QString& path, const QByteArray& bytes) const;
    void remove(const QString& path) const;
    QByteArray file(const QString& path) const;
    // Places the four host files with the given version lines ("PlayVer=v1.00" ...).
    void putVersionFile(const QStringList& lines) const;
    // The standard pages.
    void putPages() const;
    // Paths requested so far, each with its cache headers.
    QStringList requests() const;

private:
    QTemporaryDir m_root;
    ScriptServer* m_server;
    bool m_tls = false;
};

// The publisher's side of a signed release: a key pair of its own, trusted
// by an application folder through its product.ini, and manifests it
// signs and places on an update host beside the images.
class ReleaseSigner {
public:
    ReleaseSigner();
    // Writes product.ini in the folder naming this signer's key.
    bool trustIn(const QString& appFolder) const;
    // The manifest for the images (name -> version, bytes) as published.
    struct Image {
        QString version;
        QByteArray bytes;
    };
    QByteArray manifest(const QMap<QString, Image>& images, const QDateTime& issued, const QDateTime& validUntil) const;
    QByteArray signatureFile(const QByteArray& manifest) const;
    // Places the images under download/ and the signed manifest beside the
    // version file; valid from an hour ago for 30 days unless given.
    void publish(const class LocalUpdateHost& host, const QMap<QString, Image>& images,
                 const QDateTime& issued = QDateTime(), const QDateTime& validUntil = QDateTime()) const;
    QByteArray publicKeyText() const;

private:
    QByteArray m_privateKey;
    QByteArray m_publicKey;
};

// A relay that misbehaves in one way (tests/internet/hostile_relay.py).
class HostileRelay {
public:
    explicit HostileRelay(const QString& mode);
    ~HostileRelay();
    bool isListening() const { return m_server->isListening(); }
    QString address() const;
    // The lines the client sent.
    QList<QByteArray> received() const;

private:
    QTemporaryDir m_out;
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

// Whether the window thread answers: a timer that should tick every 20 ms
// notes the longest time between two of its ticks.
class WindowThreadProbe {
public:
    WindowThreadProbe();
    qint64 longestGapMs() const { return m_longest; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_longest = 0;
};

// The peak and current resident size of this process (VmHWM, VmRSS), in KiB.
qint64 peakResidentKiB();
qint64 residentKiB();
// The peak starts again from the current size (so that one case of a test
// is measured apart from the cases before it); false when the kernel does
// not allow it.
bool resetPeakResident();

}  // namespace qpt::test
