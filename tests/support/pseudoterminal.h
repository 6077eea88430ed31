#pragma once

#include <QByteArray>
#include <QString>

// The far side of a serial port: the panel opens slavePath(), the test reads and writes the master.
class PseudoTerminal
{
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool isOpen() const { return masterFd >= 0; }
    QString slavePath() const { return path; }

    // What has arrived so far, without waiting.
    QByteArray readAvailable();
    // Runs the event loop (so Qt's write buffers drain) until `size` bytes arrived or time is up.
    QByteArray read(int size, int timeoutMs = 2000);
    // Everything that arrives within the window: for checking that nothing was written.
    QByteArray readFor(int windowMs);
    bool write(const QByteArray &bytes);
    void closeMaster();

private:
    int masterFd = -1;
    int slaveFd = -1;
    QString path;
};
