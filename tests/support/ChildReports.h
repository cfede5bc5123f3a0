// What a sanitized child program finds (a KELDRIN_ASAN build: keldrin, keldrin-devsim started by
// a test) must fail the test that started it. Left alone, the child's report goes to its
// standard error, which the test may read for other things or not at all, and its exit status
// may be one the test expects. So each child writes its reports to a file of its own, and
// whoever reaps the child calls checkChildReport: a report is printed, and this test program
// then ends with status 1 however its tests went. Without a sanitizer all of this does nothing.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define KELDRIN_TESTS_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KELDRIN_TESTS_SANITIZED 1
#endif
#endif

namespace keldrin::testkit {

namespace childreports {

struct State {
    std::string dir;  // empty: not sanitized, or no folder could be made
    bool found = false;
};

inline State& state() {
    static State s;
    return s;
}

// At the end of the test program: the folder goes, and a report seen fails the program.
inline void atEnd() {
    std::error_code ec;
    std::filesystem::remove_all(state().dir, ec);
    if (!state().found) return;
    std::fflush(stdout);
    std::fprintf(stderr, "FAIL: a child program's sanitizer report (above)\n");
    std::fflush(stderr);
    std::_Exit(1);
}

}  // namespace childreports

// The folder of the children's reports, made on first use; call it before forking, so that
// no child makes one of its own.
inline const std::string& childReportDir() {
    childreports::State& s = childreports::state();
#ifdef KELDRIN_TESTS_SANITIZED
    static const bool made = [&s] {
        std::string dir =
            (std::filesystem::temp_directory_path() / "keldrin-child-reports-XXXXXX").string();
        if (::mkdtemp(dir.data()) == nullptr) return false;
        // Open to all, as /tmp is: a test run as root starts some children as another user.
        ::chmod(dir.c_str(), 01777);
        s.dir = dir;
        std::atexit(childreports::atEnd);
        return true;
    }();
    (void)made;
#endif
    return s.dir;
}

// The environment a child is started with (set it in the child after the fork): the sanitizer
// options it would inherit, plus where its reports go (<folder>/report.<its pid>).
inline std::vector<std::pair<std::string, std::string>> childSanitizerEnv() {
    std::vector<std::pair<std::string, std::string>> env;
    const std::string& dir = childReportDir();
    if (dir.empty()) return env;
    for (const char* var : {"ASAN_OPTIONS", "UBSAN_OPTIONS"}) {
        const char* now = std::getenv(var);
        std::string value = now && *now ? std::string(now) + ":" : std::string();
        env.emplace_back(var, value + "log_path=" + dir + "/report");
    }
    return env;
}

// Once the child `pid` has been reaped: prints its report, if it wrote one, and marks this
// test program failed.
inline void checkChildReport(pid_t pid) {
    const std::string& dir = childReportDir();
    if (dir.empty() || pid <= 0) return;
    const std::string file = dir + "/report." + std::to_string(pid);
    std::ifstream in(file, std::ios::binary);
    if (!in) return;
    std::ostringstream text;
    text << in.rdbuf();
    in.close();
    std::remove(file.c_str());
    std::fprintf(stderr, "== The sanitizer report of child process %d:\n%s\n", int(pid),
                 text.str().c_str());
    std::fflush(stderr);
    childreports::state().found = true;
}

}  // namespace keldrin::testkit
