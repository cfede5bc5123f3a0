#include "platform/Errors.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>

namespace keldrin {

namespace {
// Only the file name, so the code does not depend on where the tree was checked out.
std::string baseName(const char* path) {
    std::string p = path ? path : "";
    auto slash = p.find_last_of('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}
}  // namespace

std::uint32_t siteHash(const std::string& text) {
    std::uint32_t h = 2166136261u;
    for (unsigned char c : text) {
        h ^= c;
        h *= 16777619u;
    }
    return h;
}

Exception::Exception(const std::string& message, const char* file, int line)
    : std::runtime_error(message), site_(siteHash(baseName(file) + ":" + std::to_string(line))) {}

std::string exceptionClassName(const std::exception& e) {
    const char* mangled = typeid(e).name();
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(
        abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
    std::string name = (status == 0 && demangled) ? demangled.get() : mangled;
    auto colons = name.rfind("::");
    return colons == std::string::npos ? name : name.substr(colons + 2);
}

std::uint32_t exceptionSite(const std::exception& e, const char* caughtAt) {
    if (auto* own = dynamic_cast<const Exception*>(&e)) return own->site();
    return siteHash(exceptionClassName(e) + "@" + (caughtAt ? caughtAt : ""));
}

}  // namespace keldrin
