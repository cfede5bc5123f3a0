// The version record of the program file, read back by the About box (and shown by
// `readelf -n keldrin`). Its layout is the one platform/VersionInfo.h reads.

#include <cstdint>

#include "platform/VersionInfo.h"

namespace {

struct VersionNote {
    std::uint32_t nameSize;
    std::uint32_t descSize;
    std::uint32_t type;
    char name[8];
    std::uint32_t fileVersionMS;
    std::uint32_t fileVersionLS;
    char internalName[8];
};

static_assert(sizeof(keldrin::platform::kVersionNoteOwner) == 8, "owner fills its field");

__attribute__((section(".note.keldrin.version"), used, aligned(4)))
const VersionNote kVersionNote = {
    8,
    8 + 8,
    keldrin::platform::kVersionNoteType,
    {'K', 'e', 'l', 'd', 'r', 'i', 'n', '\0'},
    (std::uint32_t(KELDRIN_VERSION_MAJOR) << 16) | std::uint32_t(KELDRIN_VERSION_MINOR),
    (std::uint32_t(KELDRIN_VERSION_PATCH) << 16) | std::uint32_t(KELDRIN_BUILD),
    {'K', 'e', 'l', 'd', 'r', 'i', 'n', '\0'},
};

}  // namespace
