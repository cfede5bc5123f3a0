#include "serial/discovery/TSioPortComboBox.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <exception>

#include "platform/EventPump.h"
#include "platform/Guard.h"

namespace keldrin::serial {

namespace {

// Draws the entries of the dropped-down list at a fixed height, those in use in grey.
class PortEntryDelegate final : public QStyledItemDelegate {
  public:
    explicit PortEntryDelegate(TSioPortComboBox* owner)
        : QStyledItemDelegate(owner), owner_(owner) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        // Only a selected entry looks different here: the view gives its current entry the
        // focus state without marking it, so that one is drawn plain too.
        const bool plain = !(option.state & QStyle::State_Selected);
        if ((owner_->Options() & pcHighlightOpen) && plain) {
            const TSioPortState state = owner_->EntryState(index.row());
            const QPalette& pal = owner_->palette();
            if (state == psInUse)
                opt.palette.setColor(QPalette::Text, pal.color(QPalette::Disabled, QPalette::Text));
            else if (state == psFree)
                opt.palette.setColor(QPalette::Text, pal.color(QPalette::ButtonText));
        }
        QStyledItemDelegate::paint(painter, opt, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(QFontMetrics(owner_->font()).height() + 5);
        return size;
    }

  private:
    TSioPortComboBox* owner_;
};

}  // namespace

TSioPortComboBox::TSioPortComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    setItemDelegate(new PortEntryDelegate(this));
    color_ = palette().color(QPalette::Base);
    connectGuarded(this, &QComboBox::activated, this, "TSioPortComboBox.Change",
                   [this](int index) { userPicked(index); });
    RefillList();
}

void TSioPortComboBox::SetComPort(TSioComPort* port) {
    comPort_ = port;
    if (port) SetSelectedComNumber(port->ComNumber());
}

void TSioPortComboBox::SetOptions(TSioPortCtlOptions options) {
    if (options == options_) return;
    options_ = options;
    RefillList();
}

void TSioPortComboBox::SetMaxComPorts(std::int16_t max) {
    if (max == maxComPorts_) return;
    maxComPorts_ = max;
    RefillList();
}

void TSioPortComboBox::SetSelectedComNumber(std::uint16_t number) {
    if (number == selected_) return;
    selected_ = number;
    SelectByNumber();
}

std::uint32_t TSioPortComboBox::rawTag(int index) const {
    return itemData(index, Qt::UserRole).toUInt();
}

std::uint32_t TSioPortComboBox::EntryTag(int index) const {
    // Who holds which port is looked up when somebody first asks after a rebuild; the entry's
    // number and whether it is listed do not depend on it.
    const_cast<TSioPortComboBox*>(this)->lookUpHolders();
    return rawTag(index);
}

void TSioPortComboBox::RefillList() {
    refill(false);
}

void TSioPortComboBox::refill(bool keepShown) {
    // One reading of the map for the whole list: up to 255 numbers stay cheap.
    const int max = maxComPorts_;
    devices_ = max > 0 ? CurrentPortMap() : PortMapEntries{};
    // Only the free-only list needs to know who holds what to be drawn up; the others list
    // what exists, and their states are looked up when they are asked for.
    const bool freeOnly = (options_ & pcCheckExist) && (options_ & pcDisableOpen);
    const std::map<int, TSioPortState> states = max <= 0   ? std::map<int, TSioPortState>{}
                                                : freeOnly ? ProbePorts(max, devices_)
                                                           : PresentPorts(max, devices_);
    holdersKnown_ = freeOnly;
    const int shown = keepShown && currentIndex() >= 0 ? EntryNumber(currentIndex()) : 0;

    const bool updates = updatesEnabled();
    setUpdatesEnabled(false);
    const QSignalBlocker quiet(this);  // a rebuild is no pick and no change of the user's
    clear();
    int shownIndex = -1;
    for (int n = 1; n <= max; ++n) {
        const auto it = states.find(n);
        const TSioPortState state = it == states.end() ? psAbsent : it->second;
        bool listed;
        if (!(options_ & pcCheckExist))
            listed = true;
        else if (options_ & pcDisableOpen)
            listed = state == psFree;
        else
            listed = state == psFree || state == psInUse;
        if (!listed) continue;
        if (n == shown) shownIndex = count();
        const std::uint32_t tag = (static_cast<std::uint32_t>(state) << 16) | std::uint32_t(n);
        addItem(QStringLiteral("COM %1").arg(n), QVariant::fromValue<uint>(tag));
    }
    setCurrentIndex(shownIndex);
    setUpdatesEnabled(updates);
}

void TSioPortComboBox::lookUpHolders() {
    if (holdersKnown_) return;
    holdersKnown_ = true;
    PortMapEntries listed;
    for (int i = 0; i < count(); ++i) {
        const int n = rawTag(i) & 0xFFFF;
        const auto it = devices_.find(n);
        if (it != devices_.end()) listed[n] = it->second;
    }
    if (listed.empty()) return;
    const std::map<int, TSioPortState> states = ProbePorts(listed.rbegin()->first, listed);
    const QSignalBlocker quiet(this);
    for (int i = 0; i < count(); ++i) {
        const int n = rawTag(i) & 0xFFFF;
        const auto it = states.find(n);
        const TSioPortState state = it == states.end() ? psAbsent : it->second;
        setItemData(i, QVariant::fromValue<uint>((std::uint32_t(state) << 16) | std::uint32_t(n)),
                    Qt::UserRole);
    }
}

void TSioPortComboBox::showPopup() {
    // The operator looks at the list: fresh states, the shown entry kept.
    guarded("TSioPortComboBox.DropDown", [this] {
        refill(true);
        lookUpHolders();
    });
    QComboBox::showPopup();
}

void TSioPortComboBox::SelectByNumber() {
    for (int i = 0; i < count(); ++i) {
        if (EntryNumber(i) == selected_) {
            setCurrentIndex(i);
            return;
        }
    }
    if (count() > 0) {
        setCurrentIndex(0);
        selected_ = EntryNumber(0);
    } else {
        setCurrentIndex(-1);
        selected_ = 0;
    }
}

void TSioPortComboBox::SetColor(const QColor& color) {
    color_ = color;
    QPalette pal = palette();
    for (QPalette::ColorRole role : {QPalette::Base, QPalette::Button, QPalette::Window})
        pal.setColor(role, color);
    setPalette(pal);
    if (view()) view()->setPalette(pal);
}

void TSioPortComboBox::changeEvent(QEvent* event) {
    QComboBox::changeEvent(event);
    // A new font sizes the entries anew (the delegate measures it) and the list is rebuilt,
    // as when the control is created.
    if (event->type() == QEvent::FontChange) RefillList();
}

void TSioPortComboBox::focusOutEvent(QFocusEvent* event) {
    QComboBox::focusOutEvent(event);
    // Its own list taking the focus, or another application's window, is no leaving the control.
    // (The list takes the focus in more than one step, so its being shown is what counts.)
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason ||
        view()->window()->isVisible())
        return;
    guarded("TSioPortComboBox.Exit", [this] {
        if (OnExit) OnExit(this);
    });
}

void TSioPortComboBox::userPicked(int index) {
    if (OnClick) OnClick(this);
    selected_ = index >= 0 ? EntryNumber(index) : 0;
    if (OnChange) OnChange(this);
    if (!comPort_ || selected_ == 0) return;
    // The list shows fresh states with the pick selected whatever the reopen did; its error
    // still goes on to the caller afterwards.
    std::exception_ptr error;
    try {
        comPort_->SetComNumber(selected_);
    } catch (...) {
        error = std::current_exception();
    }
    RefillList();
    SelectByNumber();
    if (error) std::rethrow_exception(error);
}

void SelectCommPortQuantity(const std::array<TSioPortComboBox*, 3>& pickers, bool upTo255,
                            QWidget* window) {
    const QColor color = upTo255 ? QToolTip::palette().color(QPalette::ToolTipBase)
                                 : QApplication::palette().color(QPalette::Base);
    auto each = [&](const std::function<void(TSioPortComboBox*)>& f) {
        for (TSioPortComboBox* p : pickers)
            if (p) f(p);
    };
    auto showNone = [&] {
        each([](TSioPortComboBox* p) { p->setCurrentIndex(-1); });
        if (window) window->repaint();
        PumpOnce();
        each([](TSioPortComboBox* p) { p->repaint(); });
    };
    each([](TSioPortComboBox* p) { p->setEnabled(false); });
    each([&](TSioPortComboBox* p) {
        p->SetMaxComPorts(upTo255 ? 255 : 24);
        p->SetColor(color);
    });
    PumpOnce();
    showNone();
    each([](TSioPortComboBox* p) { p->setEnabled(true); });
    showNone();
}

}  // namespace keldrin::serial
