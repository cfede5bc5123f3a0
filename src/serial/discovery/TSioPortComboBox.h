#pragma once

// The COM port picker: a drop-down list of the port numbers that exist on this computer, each
// probed (without opening it) when the list is built or dropped down; ports someone holds can
// be left out or drawn in grey. Picking
// an entry sets the port number of the serial port object it serves.

#include <QColor>
#include <QComboBox>
#include <QPointer>
#include <array>
#include <cstdint>
#include <functional>

#include "serial/SioComPort.h"
#include "serial/discovery/PortProbe.h"

namespace keldrin::serial {

// Listing and drawing options, a set of these bits.
enum TSioPortCtlOption : unsigned {
    pcCheckExist = 1,    // list only ports that exist
    pcDisableOpen = 2,   // with pcCheckExist: list only ports that are free
    pcHighlightOpen = 4  // draw ports in use in grey in the dropped-down list
};
using TSioPortCtlOptions = unsigned;

class TSioPortComboBox : public QComboBox {
    Q_OBJECT
  public:
    explicit TSioPortComboBox(QWidget* parent = nullptr);

    // The port object whose ComNumber a pick sets; cleared when that object is destroyed.
    TSioComPort* ComPort() const { return comPort_; }
    void SetComPort(TSioComPort* port);

    TSioPortCtlOptions Options() const { return options_; }
    void SetOptions(TSioPortCtlOptions options);
    std::int16_t MaxComPorts() const { return maxComPorts_; }
    void SetMaxComPorts(std::int16_t max);

    // The number of the user's last pick (0: none). Showing an entry by index does not change
    // it; only a pick and SetSelectedComNumber do.
    std::uint16_t SelectedComNumber() const { return selected_; }
    void SetSelectedComNumber(std::uint16_t number);

    // Lists COM 1 to MaxComPorts by the options; shows no entry afterwards. Which ports exist
    // is looked up now; who holds them (the probe) when an entry's state is first asked for or
    // the list is dropped down, so a list that nobody looks at (an unattended run's) probes
    // nothing. Only the free-only list (pcCheckExist with pcDisableOpen) probes at once.
    void RefillList();
    // Shows the entry of SelectedComNumber; without one, the first entry (taking its number),
    // or nothing (number 0) when the list is empty.
    void SelectByNumber();

    // Entry data: the tag is (probe state << 16) | port number.
    std::uint32_t EntryTag(int index) const;
    std::uint16_t EntryNumber(int index) const { return rawTag(index) & 0xFFFF; }
    TSioPortState EntryState(int index) const {
        return static_cast<TSioPortState>(EntryTag(index) >> 16);
    }

    // Background of the box and its list (the window colour, or the tooltip colour with the
    // 255-port choice).
    QColor Color() const { return color_; }
    void SetColor(const QColor& color);

    // A user's pick runs OnClick first, then takes the number, runs OnChange and only then
    // changes the port's number.
    std::function<void(TSioPortComboBox* Sender)> OnClick;
    std::function<void(TSioPortComboBox* Sender)> OnChange;
    // The input focus went from the picker to another control of the window (not to its own
    // dropped-down list, nor away with the whole window).
    std::function<void(TSioPortComboBox* Sender)> OnExit;

    // Drops the list down with fresh probe states; the shown entry stays.
    void showPopup() override;

  protected:
    void changeEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void userPicked(int index);
    // Rebuilds the entries; shows the entry that was shown before when `keepShown` and it is
    // still listed, else none.
    void refill(bool keepShown);
    // Probes the listed ports once after a rebuild and puts their states into the tags.
    void lookUpHolders();
    std::uint32_t rawTag(int index) const;

    PortMapEntries devices_;    // the map the list was built from
    bool holdersKnown_ = true;  // the tags hold probe states, not only presence

    QPointer<TSioComPort> comPort_;
    TSioPortCtlOptions options_ = pcCheckExist;
    std::int16_t maxComPorts_ = 4;
    std::uint16_t selected_ = 0;
    QColor color_;
};

// Applies the port quantity to the three pickers: up to 255 ports on the tooltip background,
// or up to 24 on the window colour; afterwards none of them shows an entry. The pickers'
// selected numbers and the port's number are kept. Null pickers are skipped.
void SelectCommPortQuantity(const std::array<TSioPortComboBox*, 3>& pickers, bool upTo255,
                            QWidget* window = nullptr);

}  // namespace keldrin::serial
