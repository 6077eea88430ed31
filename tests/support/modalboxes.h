#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

// Closes every modal message box that opens while it lives, with its OK button, and remembers what
// each one said as "title|text|buttons".
class ModalBoxCloser : public QObject
{
    Q_OBJECT

public:
    explicit ModalBoxCloser(QObject *parent = nullptr);

    QStringList seen() const { return boxes; }
    // The warnings come one after the other from the event loop: true once `count` were closed.
    bool waitFor(int count);

private:
    void closeActiveBox();

    QTimer timer;
    QStringList boxes;
};
