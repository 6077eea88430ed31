#pragma once

#include <QString>

namespace PanelTest {

// What main() does before the application runs, for test executables.
void prepareApplication();
// Device files that do not exist, so that no port opens.
void useMissingPorts();

} // namespace PanelTest
