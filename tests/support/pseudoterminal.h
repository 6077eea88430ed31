#pragma once

#include <QByteArray>
#include <QString>

#include <termios.h>

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
    // The line settings whoever opened slavePath() gave it. A terminal has one set: asked through the
    // master, Linux answers with the slave's, so they can be read while the panel holds the slave
    // exclusively. The pty keeps the speed, stop bits, flow control and modes, but forces CS8 without
    // parity whatever was asked.
    termios lineSettings() const;
    bool setLineSettings(const termios &settings);
    void closeMaster();

private:
    int masterFd = -1;
    int slaveFd = -1;
    QString path;
};
