#include "busterminals.h"

#include "modalboxes.h"

#include "app/mainwindow.h"
#include "bus/devicetables.h"
#include "bus/serialports.h"

#include <QSerialPort>

BusTerminals::BusTerminals()
{
    for (auto &terminal : terminals)
        terminal = std::make_unique<PseudoTerminal>();
}

bool BusTerminals::openMainWindow()
{
    for (int tongdao = 0; tongdao < ChannelCount; ++tongdao) {
        if (!terminals[tongdao]->isOpen())
            return false;
        serialDeviceFiles[tongdao] = terminals[tongdao]->slavePath();
    }
    // A port that fails to open would stop start-up with a modal box.
    ModalBoxCloser closer;
    MainWindow::getInstance();
    for (int tongdao = 0; tongdao < ChannelCount; ++tongdao) {
        if (!MainWindow::getCom(tongdao)->isOpen())
            return false;
    }
    return closer.seen().isEmpty();
}

QByteArray BusTerminals::anySent()
{
    QByteArray bytes = terminals[0]->readFor(20);
    for (int tongdao = 1; tongdao < ChannelCount; ++tongdao)
        bytes += terminals[tongdao]->readAvailable();
    return bytes;
}

void BusTerminals::discardPending()
{
    anySent();
}

QByteArray deviceTablesSnapshot()
{
    return QByteArray(reinterpret_cast<const char *>(smallDevInfos), sizeof smallDevInfos)
        + QByteArray(reinterpret_cast<const char *>(smallDevBaojingStates), sizeof smallDevBaojingStates)
        + QByteArray(reinterpret_cast<const char *>(lightBright), sizeof lightBright);
}
