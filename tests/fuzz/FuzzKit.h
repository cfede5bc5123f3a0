#pragma once

// Shared bits of the harnesses: a property check that stops the run like a crash, so the fuzzer
// keeps the input, and a scratch file on a memory file system for the readers that take a path.

#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(cond)                                                                     \
    do {                                                                                     \
        if (!(cond)) {                                                                       \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                    \
        }                                                                                    \
    } while (0)

namespace fuzzkit {

inline QByteArray bytes(const std::string& s) {
    return QByteArray(s.data(), qsizetype(s.size()));
}

// A file of this process, on /dev/shm where there is one; removed at exit. One per harness.
inline const std::string& scratchPath(const char* name) {
    static const std::string path = [name] {
        const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return std::string(dir) + "/keldrin-fuzz-" + std::to_string(getpid()) + "-" + name;
    }();
    static const int removeAtExit = std::atexit([] { ::unlink(path.c_str()); });
    (void)removeAtExit;
    return path;
}

inline void writeFile(const std::string& path, const QByteArray& content) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (!content.isEmpty() &&
        std::fwrite(content.constData(), 1, size_t(content.size()), f) != size_t(content.size()))
        std::abort();
    std::fclose(f);
}

}  // namespace fuzzkit
