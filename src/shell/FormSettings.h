#pragma once

// The main window's settings in "Keldrin.xml": the command table's column widths, read at start
// and written at every width change, and the form group "-----" (placement and the stored
// control properties), restored when the window is first shown and saved when it closes.

#include <QObject>
#include <QRect>
#include <QString>
#include <array>
#include <functional>
#include <map>
#include <memory>

#include "platform/SettingsStore.h"

class QTableWidget;
class QWidget;

namespace keldrin {

class TfrmMain;

// The grid's tag is 10 while stored widths are put on the columns: width changes then are not
// saved (they would write back what is being read).
constexpr int kGridTagRestoringWidths = 10;
int GridTag(const QTableWidget* grid);
void SetGridTag(QTableWidget* grid, int tag);

enum class StoredKind { Boolean, Integer, Text, Extended };
struct StoredPropertyName {
    const char* component;
    const char* property;
    StoredKind kind;
};
// The stored properties in the order they are written; each one's element is named
// "<component>_<property>".
const std::array<StoredPropertyName, 30>& StoredProperties();

class FormSettings : public QObject {
    Q_OBJECT
  public:
    // Reads the settings file (once: every later read uses this copy) and watches the window
    // for its first show and its close.
    explicit FormSettings(TfrmMain& window);

    // "Keldrin.xml" in the program's folder.
    static QString FileName();

    platform::SettingsStore& store() { return store_; }
    const platform::SettingsStore::LoadReport& loadReport() const { return loadReport_; }

    // At start: non-zero stored widths go on the columns, with the grid's tag at 10 meanwhile.
    void readColumnWidths();
    // What a column width change does: all the widths at once, unless the tag is 10.
    void saveColumnWidths();

    // Once per run each; later calls do nothing.
    void saveFormGroup();
    void restoreFormGroup();

    // How one stored property is read from and put on its control. `set` gets the stored text
    // and returns false when it cannot be converted (the control then keeps its value).
    struct Binding {
        std::function<QString()> get;
        std::function<bool(const QString&)> set;
    };
    // Properties whose controls exist; the others are neither written nor read, and their
    // elements stay in the file as they are.
    void bind(const char* component, const char* property, Binding binding);
    // A floating-point property, stored in the 80-bit extended form.
    static Binding extendedBinding(std::function<double()> get, std::function<void(double)> set);
    bool isBound(const QString& elementName) const { return bindings_.count(elementName) > 0; }

    // Where a stored placement puts the window: moved, never resized, so that its frame lies on
    // a screen as far as it fits.
    static QRect KeptOnScreen(const QRect& rect, const QWidget& window);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void bindBuiltControls();
    void writePlacement();
    void restorePlacement();

    TfrmMain& w_;
    platform::SettingsStore store_;
    platform::SettingsStore::LoadReport loadReport_;
    std::map<QString, Binding> bindings_;
    bool saved_ = false;
    bool restored_ = false;
};

}  // namespace keldrin
