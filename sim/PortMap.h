// The port map: "COM<N>=<device path>" lines that tell Keldrin which device is COM N. The device
// registers its pseudo-terminal there while it runs. Writers lock the file and keep every line
// they do not own, comments included, so several simulators and Keldrin can share it.
#pragma once

#include <string>

namespace devsim {

// KELDRIN_PORTS when set and non-empty, else "Keldrin.ports" in the folder below, where Keldrin
// looks for it too.
std::string portMapPath();
// The folder Keldrin keeps its files in: KELDRIN_HOME, else this program's folder when it can be
// written to, else $XDG_DATA_HOME/keldrin (~/.local/share/keldrin), made when missing.
std::string filesFolder();

// Makes COM<com> point at device: the first line for that number is rewritten, later ones
// (which would win over it) are dropped, and a line is appended when there was none.
bool setPortEntry(const std::string& mapPath, int com, const std::string& device,
                  std::string& error);

// Drops the lines for COM<com> that still point at device; a line someone else wrote since
// for the same number stays.
bool removePortEntry(const std::string& mapPath, int com, const std::string& device,
                     std::string& error);

}  // namespace devsim
