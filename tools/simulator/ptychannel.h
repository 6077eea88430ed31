#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;
class QTimer;

// A pseudo-terminal that stands in for one serial port. The panel opens the slave side;
// the simulator reads and writes the master side.
class PtyChannel : public QObject
{
    Q_OBJECT

public:
    explicit PtyChannel(QObject *parent = nullptr);
    ~PtyChannel() override;

    bool open(QString *error);
    // Speaks through a terminal someone else made (for example an emulator's pseudo-terminal wired
    // to a guest's UART) instead of a pseudo-terminal of its own.
    bool attach(const QString &path, QString *error);
    QString slavePath() const { return m_slavePath; }

public slots:
    void write(const QByteArray &bytes);

signals:
    void bytesArrived(const QByteArray &bytes);

private:
    bool openMaster(QString *error);
    bool holdSlaveOpen(QString *error);
    void listen();
    void readAvailable();
    void pauseAfterHangUp();

    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QSocketNotifier *m_notifier = nullptr;
    QTimer *m_resume = nullptr;
};
