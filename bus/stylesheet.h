#pragma once

class QString;
class QWidget;

// Every setStyleSheet re-polishes the widget (parses the sheet, resolves palette and font, relayouts
// and repaints it), even when the sheet is the one already set. Swapping looks goes through here, so
// that a refresh that changes nothing costs nothing.
void setStyleSheetIfChanged(QWidget *widget, const QString &sheet);
