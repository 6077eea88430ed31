#include "app/mainwindow.h"
#include "screens/appliances/aircond.h"
#include "screens/appliances/curtain.h"
#include "screens/appliances/light1.h"
#include "screens/appliances/tv.h"
#include "screens/appliances/wind.h"
#include "screens/buscontrol.h"
#include "screens/devices.h"
#include "screens/home.h"

#include "messagelog.h"
#include "modalboxes.h"
#include "paneltest.h"

#include <QtTest>

// Slots connected by object name fail silently when a widget is renamed. Build every screen and
// fail on the one warning Qt gives for it.
class TestSlotConnections : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void guardSeesAMissingSignal();
    void everyScreenConnectsAllItsSlots();
};

namespace {
const QString noMatchingSignal = QStringLiteral("QMetaObject::connectSlotsByName: No matching signal for");

class RenamedButtonScreen : public QWidget
{
    Q_OBJECT
public slots:
    void on_btn_gone_clicked() {}
};

QStringList missingSignals()
{
    QStringList missing;
    for (const QString &line : MessageLog::lines()) {
        if (line.startsWith(noMatchingSignal))
            missing.append(line);
    }
    return missing;
}
} // namespace

void TestSlotConnections::initTestCase()
{
    PanelTest::prepareApplication();
    MessageLog::install();
    PanelTest::useMissingPorts();
}

void TestSlotConnections::guardSeesAMissingSignal()
{
    RenamedButtonScreen screen;
    QMetaObject::connectSlotsByName(&screen);
    QCOMPARE(missingSignals().size(), 1);
    MessageLog::clear();
}

void TestSlotConnections::everyScreenConnectsAllItsSlots()
{
    ModalBoxCloser closer;
    MainWindow::getInstance();
    Home::getInstance();
    BusControl::getInstance();
    Devices::getInstance(-1, -1, false);
    Aircond::getInstance();
    Tv::getInstance();
    Light1::getInstance();
    Curtain::getInstance();
    Wind::getInstance();
    QCOMPARE(missingSignals(), QStringList());
}

QTEST_MAIN(TestSlotConnections)
#include "tst_slotconnections.moc"
