#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace keldrin {

// Base of every error this program raises on purpose. It remembers where it was thrown, so the
// error log can name the place with a code that stays the same from run to run of one build.
class Exception : public std::runtime_error {
  public:
    explicit Exception(const std::string& message, const char* file = __builtin_FILE(),
                       int line = __builtin_LINE());
    // 32-bit code of the throw site (file name and line), shown as "ExceptAddr".
    std::uint32_t site() const { return site_; }

  private:
    std::uint32_t site_;
};

#define KELDRIN_DECLARE_ERROR(Name)                                                    \
    class Name : public ::keldrin::Exception {                                         \
      public:                                                                          \
        explicit Name(const std::string& message, const char* file = __builtin_FILE(), \
                      int line = __builtin_LINE())                                     \
            : ::keldrin::Exception(message, file, line) {}                             \
    }

// A text that should have been a number and is not.
KELDRIN_DECLARE_ERROR(EConvertError);
// A computation that left the range of its integer type.
KELDRIN_DECLARE_ERROR(EIntOverflow);
// A file that could not be read or written.
KELDRIN_DECLARE_ERROR(EInOutError);

// FNV-1a over a text; the basis of the site codes.
std::uint32_t siteHash(const std::string& text);

// Class name of any exception, without namespaces ("EConvertError", "out_of_range").
std::string exceptionClassName(const std::exception& e);

// Site code of any exception: the throw site for ours, else the class and the place it was caught.
std::uint32_t exceptionSite(const std::exception& e, const char* caughtAt);

}  // namespace keldrin
