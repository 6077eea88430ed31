#pragma once

class QWidget;

// As a screen shows, Qt marks the whole of it for repainting and also posts every child shown with
// it a request to repaint itself. On the framebuffer platforms (linuxfb on the board, vnc on the
// bench) the window is exposed, and so painted whole, before show() returns; the children's
// requests then come in after it and paint the screen a second time, every widget of it, each time
// it opens. A screen that paints once per show drops those requests at its first expose of a show,
// whose paint covers them. What changes on the screen afterwards paints as ever. Elsewhere (X,
// offscreen) the expose comes later and nothing is dropped.
void paintOncePerShow(QWidget *screen);
