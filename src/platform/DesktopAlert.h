#pragma once

#include "platform/Seams.h"

namespace keldrin::platform {

// Shows each alert as a small frameless window in the bottom-right corner of the screen.
class DesktopAlerts final : public Alerts {
  public:
    void show(const QString& header, const QString& message, AlertPicture picture,
              int visibleMs) override;
};

}  // namespace keldrin::platform
