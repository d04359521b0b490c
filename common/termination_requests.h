#pragma once
// SIGTERM and SIGHUP (the end of a desktop session, a service manager, a
// kill from a terminal) as a Qt signal: a signal handler may do almost
// nothing, so it writes one byte into a pipe whose reading end the event
// loop watches, and the program ends in order from there.

#include <QObject>

class QSocketNotifier;

namespace qpt {

class TerminationRequests : public QObject {
    Q_OBJECT
public:
    // Installs the handlers for this process (once; a second object only
    // listens as well).
    explicit TerminationRequests(QObject* parent = nullptr);
    ~TerminationRequests() override;

signals:
    void requested();

private:
    void readPipe();

    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace qpt
