#pragma once

class QWidget;

// Tells the person on `screen` that a command for `tongdao` did not leave because its bus port is not
// open (or its line takes no bytes): a short caption at the bottom of the screen for a few seconds,
// no box to dismiss. The switch that was touched stays as it was.
void showCommandNotSent(QWidget *screen, int tongdao);
