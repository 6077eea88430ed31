#pragma once

class QWidget;

// Tells the person on `screen` that a command for controller `index` on `tongdao` did not reach the
// bus: its port is not open (or its line takes no bytes, or hung up before the frame could leave),
// or the controller does not answer. A short caption for a few seconds, no box to dismiss, placed
// clear of any alarm the screen shows. The switch that was touched stays as it was.
void showCommandNotSent(QWidget *screen, int tongdao, int index);

// Makes the caption of `screen` ahead of its first use, so that the widgets of a panel that runs for
// years stay the same from its first minute on.
void prepareCommandNotice(QWidget *screen);
