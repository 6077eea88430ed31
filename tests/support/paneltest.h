#pragma once

#include <QString>

namespace PanelTest {

// What main() does before the application runs, for test executables.
void prepareApplication();
// Device files that do not exist, so that no port opens.
void useMissingPorts();
// Creates the bus control screen with its poll timer stopped, for tests whose wire must stay quiet
// apart from the frames they cause.
void createQuietBusControl();

} // namespace PanelTest
