#pragma once

// The operator's pick of a port in a picker, as a click on its entry does.

#include "serial/discovery/TSioPortComboBox.h"

namespace keldrin::testkit {

inline bool pick(serial::TSioPortComboBox* picker, int com) {
    for (int i = 0; i < picker->count(); ++i) {
        if (picker->EntryNumber(i) == com) {
            picker->setCurrentIndex(i);
            emit picker->activated(i);
            return true;
        }
    }
    return false;
}

}  // namespace keldrin::testkit
