#pragma once

// Counts the opens of files (device nodes above all) with inotify, the way a board on the line
// would feel them: every open of a tty raises DTR and RTS. Closes are watched too, so that two
// opens in a row are reported as two events (the kernel merges alike events that follow each
// other unread).

#include <sys/inotify.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

namespace keldrin::testkit {

class OpenCounter {
  public:
    explicit OpenCounter(const std::vector<std::string>& paths) {
        fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        for (const std::string& p : paths) {
            const int wd =
                inotify_add_watch(fd_, p.c_str(), IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE);
            if (wd >= 0) watches_[wd] = p;
            counts_[p] = 0;
        }
    }
    ~OpenCounter() {
        if (fd_ >= 0) ::close(fd_);
    }
    OpenCounter(const OpenCounter&) = delete;
    OpenCounter& operator=(const OpenCounter&) = delete;

    // Every path could be watched.
    bool ok() const { return fd_ >= 0 && watches_.size() == counts_.size(); }

    // Opens of each path so far. An open by this process is queued before its call returns; a
    // child's, before the child has been reaped.
    const std::map<std::string, int>& opens() {
        alignas(inotify_event) char buf[8192];
        for (;;) {
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n <= 0) break;
            for (ssize_t at = 0; at < n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
                if ((e->mask & IN_OPEN) && watches_.count(e->wd)) ++counts_[watches_[e->wd]];
                at += ssize_t(sizeof(inotify_event) + e->len);
            }
        }
        return counts_;
    }
    int opens(const std::string& path) { return opens().at(path); }
    int total() {
        int sum = 0;
        for (const auto& [path, n] : opens()) sum += n;
        return sum;
    }

  private:
    int fd_ = -1;
    std::map<int, std::string> watches_;
    std::map<std::string, int> counts_;
};

}  // namespace keldrin::testkit
