#pragma once

#include <QString>

class QWidget;

namespace PanelTest {

// What main() does before the application runs, for test executables.
void prepareApplication();
// Device files that do not exist, so that no port opens.
void useMissingPorts();
// Creates the bus control screen with its poll timer stopped, for tests whose wire must stay quiet
// apart from the frames they cause.
void createQuietBusControl();
// What every appliance screen is: its own 800x800 window titled `title` at (560, 140), with only a
// close button. Empty when it is; otherwise what differs, for QVERIFY2.
QString applianceWindowMismatch(const QWidget *screen, const QString &title);

} // namespace PanelTest
