#pragma once

class QWidget;

// The full-screen screens lie one over the other, each opened from the one beneath, and only the top
// one can be seen. A screen that another covers wholly is hidden while it is covered, so that neither
// the display server nor the framebuffer's composition keeps drawing what nobody sees, and it comes
// back, in its place, when the screen over it leaves. The stack follows shows and hides; a screen
// joins it once, when it is made.
void joinScreenStack(QWidget *screen);

// A return button: the screen beneath is shown before this one hides, so that nothing in between
// (the bare display) is ever on view.
void leaveScreen(QWidget *screen);
