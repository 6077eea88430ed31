#pragma once

class QWidget;

// A screen's first paint works out its style sheets, decodes its pictures and draws its glyphs for
// the first time: tens of milliseconds here, a visible wait on the board, after the touch that first
// opens it. Painted once off screen while nobody waits, the screen costs that touch only its paint.
void paintOffScreen(QWidget *screen);
