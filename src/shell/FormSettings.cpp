#include "shell/FormSettings.h"

#include <QAction>
#include <QCheckBox>
#include <QDateTime>
#include <QEvent>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTableWidget>
#include <QToolButton>
#include <QVariant>

#include "platform/Guard.h"
#include "platform/Seams.h"
#include "runner/ProjectFile.h"
#include "runner/Runner.h"
#include "shell/ErrorLog.h"
#include "shell/TfrmMain.h"
#include "terminal/CommunicationPage.h"
#include "tools/CalcEdit.h"
#include "tools/CalculationsPage.h"
#include "tools/NumberBaseEdit.h"
#include "widgets/FilenameEdit.h"
#include "widgets/RadioGroup.h"

namespace keldrin {

using platform::SettingsStore;

int GridTag(const QTableWidget* grid) {
    return grid->property("Tag").toInt();
}

void SetGridTag(QTableWidget* grid, int tag) {
    grid->setProperty("Tag", tag);
}

const std::array<StoredPropertyName, 30>& StoredProperties() {
    using K = StoredKind;
    static const std::array<StoredPropertyName, 30> list{{
        {"useupto255CommPorts1", "Checked", K::Boolean},
        {"RadioButton1", "Checked", K::Boolean},
        {"RadioButton2", "Checked", K::Boolean},
        {"RadioButtonForceLowCase", "Checked", K::Boolean},
        {"edEditSendData", "Text", K::Text},
        {"PBBinHexEdit1", "AsHex", K::Text},
        {"PBBinHexEdit2", "AsHex", K::Text},
        {"JvCalcEdit4", "Value", K::Extended},
        {"CheckBoxBeepOnReceive", "Checked", K::Boolean},
        {"CheckBoxBeepOnSend", "Checked", K::Boolean},
        {"SpinEdit4Loop", "Value", K::Integer},
        {"SaveDialog1", "FileName", K::Text},
        {"SaveDialog1", "FilterIndex", K::Integer},
        {"JvFilenameEdit1", "FileName", K::Text},
        {"JvFilenameEdit1", "FilterIndex", K::Integer},
        {"JvFilenameEdit1", "InitialDir", K::Text},
        {"Timer4CurrLineCommTimeOut", "Interval", K::Integer},
        {"RadioGroupReceive", "ItemIndex", K::Integer},
        {"RadioGroupTransmit", "ItemIndex", K::Integer},
        {"SpinEdit_Timer4CurrLineCommTimeOut", "Value", K::Integer},
        {"OpenDialog1", "FileName", K::Text},
        {"OpenDialog1", "InitialDir", K::Text},
        {"OpenDialog1", "FilterIndex", K::Integer},
        {"chkRemoveASCII_cntrlCharsRX", "Checked", K::Boolean},
        {"mnuShowHint", "Checked", K::Boolean},
        {"SpeedButton_Resize", "Down", K::Boolean},
        {"chkbx_RXAutoscroll", "Checked", K::Boolean},
        {"chkbx_TXAutoscroll", "Checked", K::Boolean},
        {"SpinEdit_RX_maxLines", "Value", K::Integer},
        {"useupto24CommPorts1", "Checked", K::Boolean},
    }};
    return list;
}

namespace {

const QString kGroup = QStringLiteral("-----\\");

QString widthKey(int column) {
    return QStringLiteral("StringGrid1_ColWidth_") + QString::number(column);
}

QString elementName(const char* component, const char* property) {
    return QString::fromLatin1(component) + QLatin1Char('_') + QString::fromLatin1(property);
}

using Binding = FormSettings::Binding;

Binding booleanBinding(std::function<bool()> get, std::function<void(bool)> set) {
    return {[get] { return platform::BooleanText(get()); },
            [set](const QString& text) {
                const std::optional<bool> v = platform::BooleanFromText(text);
                if (v) set(*v);
                return v.has_value();
            }};
}

Binding integerBinding(std::function<int()> get, std::function<bool(int)> set) {
    return {[get] { return QString::number(get()); },
            [set](const QString& text) {
                const std::optional<int> v = platform::IntegerFromText(text);
                return v && set(*v);
            }};
}

Binding textBinding(std::function<QString()> get, std::function<void(const QString&)> set) {
    return {std::move(get), [set](const QString& text) {
                set(text);
                return true;
            }};
}

}  // namespace

FormSettings::Binding FormSettings::extendedBinding(std::function<double()> get,
                                                    std::function<void(double)> set) {
    return {[get] { return platform::ExtendedText(get()); },
            [set](const QString& text) {
                const std::optional<double> v = platform::ExtendedValue(text);
                if (v) set(*v);
                return v.has_value();
            }};
}

namespace {

Binding checkBox(QCheckBox* box) {
    return booleanBinding([box] { return box->isChecked(); },
                          [box](bool v) { box->setChecked(v); });
}

// A menu check or a toggle button: set without running its click handler.
Binding checkMark(QAction* action) {
    return booleanBinding([action] { return action->isChecked(); },
                          [action](bool v) { action->setChecked(v); });
}

// A radio button that becomes checked runs its click handler, as setting it in code does.
Binding radioButton(QRadioButton* button) {
    return booleanBinding([button] { return button->isChecked(); },
                          [button](bool v) {
                              if (v && !button->isChecked())
                                  button->click();
                              else if (!v)
                                  button->setChecked(false);
                          });
}

// A new value runs the field's change handler.
Binding spinField(QSpinBox* field) {
    return integerBinding([field] { return field->value(); },
                          [field](int v) {
                              field->setValue(v);
                              return true;
                          });
}

QScreen* screen() {
    return QGuiApplication::primaryScreen();
}

int screenPixelsPerInch() {
    QScreen* s = screen();
    return s ? qRound(s->logicalDotsPerInch()) : 96;
}

QString screenSuffix() {
    const QSize size = screen() ? screen()->size() : QSize(0, 0);
    return QStringLiteral("(%1x%2)").arg(size.width()).arg(size.height());
}

// The stored "%d,%d,%d,%d": each number that is there and numeric replaces its current value.
void readNumbers(const QString& text, int (&values)[4]) {
    const QStringList parts = text.split(QLatin1Char(','));
    for (int i = 0; i < 4 && i < parts.size(); ++i)
        if (std::optional<int> n = platform::IntegerFromText(parts.at(i))) values[i] = *n;
}

}  // namespace

QString FormSettings::FileName() {
    return platform::programFolder() + QStringLiteral("/Keldrin.xml");
}

FormSettings::FormSettings(TfrmMain& window) : QObject(&window), w_(window), store_(FileName()) {
    loadReport_ = store_.load();
    if (loadReport_.outcome == SettingsStore::Loaded::SetAside) {
        // The program starts with its defaults; the operator finds the old file beside the new.
        QFile log(w_.errorLog().logPath());
        const bool fresh = !log.exists();
        if (log.open(QIODevice::WriteOnly | QIODevice::Append)) {
            if (fresh) log.write(ErrorLog::headerBlock());
            const QString line =
                QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) +
                QStringLiteral("  settings file \"") + store_.fileName() +
                QStringLiteral("\" could not be read (") + loadReport_.problem +
                QStringLiteral("); set aside as \"") + store_.fileName() +
                QStringLiteral(".bad\", defaults used");
            log.write("\r\n" + line.toLocal8Bit() + "\r\n");
        }
    }
    bindBuiltControls();
    w_.installEventFilter(this);
}

void FormSettings::bind(const char* component, const char* property, Binding binding) {
    bindings_[elementName(component, property)] = std::move(binding);
}

void FormSettings::bindBuiltControls() {
    TfrmMain& w = w_;
    CommunicationPage& c = *w.communication;
    bind("useupto255CommPorts1", "Checked", checkMark(w.useupto255CommPorts1));
    bind("RadioButton1", "Checked", radioButton(c.RadioButton1));
    bind("RadioButton2", "Checked", radioButton(c.RadioButton2));
    bind("RadioButtonForceLowCase", "Checked", radioButton(c.RadioButtonForceLowCase));
    QLineEdit* send = c.edEditSendData;
    bind("edEditSendData", "Text",
         textBinding([send] { return send->text(); },
                     [send](const QString& t) { send->setText(t); }));
    CalculationsPage& calc = *w.calculations;
    for (NumberBaseEdit* field : {calc.PBBinHexEdit1, calc.PBBinHexEdit2}) {
        bind(field == calc.PBBinHexEdit1 ? "PBBinHexEdit1" : "PBBinHexEdit2", "AsHex",
             {[field] { return field->AsHex(); },
              [field](const QString& text) { return field->setAsHex(text); }});
    }
    CalcEdit* calculator = calc.JvCalcEdit4;
    bind("JvCalcEdit4", "Value",
         extendedBinding([calculator] { return calculator->value(); },
                         [calculator](double v) { calculator->setValue(v); }));
    bind("CheckBoxBeepOnReceive", "Checked", checkBox(w.CheckBoxBeepOnReceive));
    bind("CheckBoxBeepOnSend", "Checked", checkBox(w.CheckBoxBeepOnSend));
    bind("SpinEdit4Loop", "Value", spinField(c.SpinEdit4Loop));
    FileDialogMemory& save = w.SaveDialog1();
    bind("SaveDialog1", "FileName",
         textBinding([&save] { return save.FileName; },
                     [&save](const QString& t) { save.FileName = t; }));
    bind("SaveDialog1", "FilterIndex",
         integerBinding([&save] { return save.FilterIndex; },
                        [&save](int v) {
                            save.FilterIndex = v;
                            return true;
                        }));
    FilenameEdit* picker = w.JvFilenameEdit1;
    bind("JvFilenameEdit1", "FileName",
         textBinding([picker] { return picker->FileName(); },
                     [picker](const QString& t) { picker->setFileName(t); }));
    bind("JvFilenameEdit1", "FilterIndex",
         integerBinding([picker] { return picker->FilterIndex; },
                        [picker](int v) {
                            picker->FilterIndex = v;
                            return true;
                        }));
    bind("JvFilenameEdit1", "InitialDir",
         textBinding([picker] { return picker->InitialDir; },
                     [picker](const QString& t) { picker->InitialDir = t; }));
    QTimer& timeOut = w.runner->Timer4CurrLineCommTimeOut;
    bind("Timer4CurrLineCommTimeOut", "Interval",
         integerBinding([&timeOut] { return timeOut.interval(); },
                        [&timeOut](int v) {
                            if (v < 0) return false;
                            timeOut.setInterval(v);
                            return true;
                        }));
    for (RadioGroup* group : {w.RadioGroupReceive, w.RadioGroupTransmit}) {
        bind(group == w.RadioGroupReceive ? "RadioGroupReceive" : "RadioGroupTransmit", "ItemIndex",
             integerBinding([group] { return group->itemIndex(); },
                            [group](int v) {
                                group->setItemIndex(v);
                                return true;
                            }));
    }
    bind("SpinEdit_Timer4CurrLineCommTimeOut", "Value",
         spinField(w.SpinEdit_Timer4CurrLineCommTimeOut));
    FileDialogMemory& open = w.OpenDialog1();
    bind("OpenDialog1", "FileName",
         textBinding([&open] { return open.FileName; },
                     [&open](const QString& t) { open.FileName = t; }));
    bind("OpenDialog1", "InitialDir",
         textBinding([&open] { return open.InitialDir; },
                     [&open](const QString& t) { open.InitialDir = t; }));
    bind("OpenDialog1", "FilterIndex",
         integerBinding([&open] { return open.FilterIndex; },
                        [&open](int v) {
                            open.FilterIndex = v;
                            return true;
                        }));
    bind("chkRemoveASCII_cntrlCharsRX", "Checked", checkBox(w.chkRemoveASCII_cntrlCharsRX));
    bind("mnuShowHint", "Checked", checkMark(w.mnuShowHint));
    QToolButton* resize = w.SpeedButton_Resize;
    bind("SpeedButton_Resize", "Down",
         booleanBinding([resize] { return resize->isChecked(); },
                        [resize](bool v) { resize->setChecked(v); }));
    bind("chkbx_RXAutoscroll", "Checked", checkBox(c.chkbx_RXAutoscroll));
    bind("chkbx_TXAutoscroll", "Checked", checkBox(c.chkbx_TXAutoscroll));
    bind("SpinEdit_RX_maxLines", "Value", spinField(c.SpinEdit_RX_maxLines));
    bind("useupto24CommPorts1", "Checked", checkMark(w.useupto24CommPorts1));
}

// ---------------------------------------------------------------------------------------------
// Column widths

void FormSettings::readColumnWidths() {
    QTableWidget* grid = w_.StringGrid1;
    SetGridTag(grid, kGridTagRestoringWidths);
    for (int n = 0; n < grid->columnCount(); ++n) {
        const int width = store_.readInteger(widthKey(n), 0);
        if (width != 0) grid->setColumnWidth(n, width);
    }
    SetGridTag(grid, 0);
}

void FormSettings::saveColumnWidths() {
    QTableWidget* grid = w_.StringGrid1;
    if (GridTag(grid) == kGridTagRestoringWidths) return;
    const SettingsStore::Batch together(store_);
    for (int n = 0; n < grid->columnCount(); ++n)
        store_.writeInteger(widthKey(n), grid->columnWidth(n));
}

// ---------------------------------------------------------------------------------------------
// The form group

void FormSettings::writePlacement() {
    const Qt::WindowStates state = w_.windowState();
    // Flags: 2 (restore to maximized) for a window minimized from maximized, else 0.
    const int flags = (state & Qt::WindowMinimized) && (state & Qt::WindowMaximized) ? 2 : 0;
    QRect normal = (state & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized))
                       ? w_.normalGeometry()
                       : w_.geometry();
    if (normal.isEmpty()) normal = w_.geometry();
    // The desktop keeps no minimized or maximized position of a window's own.
    const QString minMax = QStringLiteral("-1,-1,-1,-1");
    const QString norm = QStringLiteral("%1,%2,%3,%4")
                             .arg(normal.left())
                             .arg(normal.top())
                             .arg(normal.left() + normal.width())
                             .arg(normal.top() + normal.height());
    const QString suffix = screenSuffix();
    store_.writeInteger(kGroup + QStringLiteral("Flags"), flags);
    store_.writeInteger(kGroup + QStringLiteral("PixelsPerInch"), screenPixelsPerInch());
    store_.writeText(kGroup + QStringLiteral("MinMaxPos") + suffix, minMax);
    store_.writeText(kGroup + QStringLiteral("MinMaxPos"), minMax);
    store_.writeText(kGroup + QStringLiteral("NormPos") + suffix, norm);
    store_.writeText(kGroup + QStringLiteral("NormPos"), norm);
}

void FormSettings::saveFormGroup() {
    if (saved_) return;
    saved_ = true;
    const SettingsStore::Batch together(store_);
    store_.writeInteger(kGroup + QStringLiteral("FormVersion"), 1);
    writePlacement();
    for (const StoredPropertyName& p : StoredProperties()) {
        const QString name = elementName(p.component, p.property);
        const auto b = bindings_.find(name);
        if (b == bindings_.end()) continue;
        store_.writeText(kGroup + name, b->second.get());
    }
}

void FormSettings::restorePlacement() {
    const QString suffix = screenSuffix();
    const auto stored = [&](const QString& name) -> std::optional<QString> {
        if (auto t = store_.readText(kGroup + name + suffix)) return t;
        return store_.readText(kGroup + name);
    };
    store_.readInteger(kGroup + QStringLiteral("Flags"), 0);  // nothing here acts on it
    const std::optional<QString> minMax = stored(QStringLiteral("MinMaxPos"));
    const std::optional<QString> norm = stored(QStringLiteral("NormPos"));
    if (!minMax && !norm) return;
    const int ppi = screenPixelsPerInch();
    if (store_.readInteger(kGroup + QStringLiteral("PixelsPerInch"), ppi) != ppi) return;
    if (!norm) return;  // minimized and maximized positions mean nothing to this desktop
    const QRect current = w_.normalGeometry().isEmpty() ? w_.geometry() : w_.normalGeometry();
    int r[4] = {current.left(), current.top(), current.left() + current.width(),
                current.top() + current.height()};
    readNumbers(*norm, r);
    w_.setGeometry(KeptOnScreen(QRect(r[0], r[1], r[2] - r[0], r[3] - r[1]), w_));
}

QRect FormSettings::KeptOnScreen(const QRect& rect, const QWidget& window) {
    // A placement from another screen layout (a monitor since unplugged, a run without a
    // display) must not leave the window where the operator cannot see or reach it. The screen
    // under the window's centre, else the primary one, gets the whole frame when it fits, else
    // its top-left corner; the size stays.
    QScreen* screen = QGuiApplication::screenAt(rect.center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return rect;
    const QRect area = screen->availableGeometry();
    const QMargins frame(window.geometry().left() - window.frameGeometry().left(),
                         window.geometry().top() - window.frameGeometry().top(),
                         window.frameGeometry().right() - window.geometry().right(),
                         window.frameGeometry().bottom() - window.geometry().bottom());
    QRect outer = rect.marginsAdded(frame);
    if (outer.right() > area.right()) outer.moveRight(area.right());
    if (outer.bottom() > area.bottom()) outer.moveBottom(area.bottom());
    if (outer.left() < area.left()) outer.moveLeft(area.left());
    if (outer.top() < area.top()) outer.moveTop(area.top());
    return outer.marginsRemoved(frame);
}

void FormSettings::restoreFormGroup() {
    if (restored_) return;
    restored_ = true;
    if (store_.readInteger(kGroup + QStringLiteral("FormVersion"), 0) < 1) return;
    restorePlacement();
    for (const StoredPropertyName& p : StoredProperties()) {
        const QString name = elementName(p.component, p.property);
        const auto b = bindings_.find(name);
        if (b == bindings_.end()) continue;
        const std::optional<QString> text = store_.readText(kGroup + name);
        if (!text) continue;
        // A value that cannot be converted leaves its control as it is; the next one is taken.
        guarded("FormRestoreSettings", [&] { b->second.set(*text); });
    }
}

bool FormSettings::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &w_) {
        if (event->type() == QEvent::Show && !restored_)
            guarded("FormRestoreSettings", [this] { restoreFormGroup(); });
        else if (event->type() == QEvent::Close)
            guarded("FormSaveSettings", [this] { saveFormGroup(); });
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace keldrin
