#pragma once

class QString;
class QWidget;

namespace keldrin {

// The frame a tool page builds its controls in, added to the sheet (a tab of the main window):
// to the sheet's layout when it has one, else in a layout of its own without margins.
QWidget* AddPageBody(QWidget* sheet, const QString& objectName);

}  // namespace keldrin
