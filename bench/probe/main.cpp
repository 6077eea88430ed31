// Timing probe of the benchmark script: what a stopwatch cannot see from outside.
//
//   bench-probe launch REPORT -- PROGRAM [ARGS]
//       Starts PROGRAM and writes to REPORT its pid and the milliseconds from the start to the first
//       window mapped and drawn on the X display; then waits for PROGRAM (TERM and INT are passed on)
//       and exits with its status.
//   bench-probe release LOG X Y COUNT
//       COUNT presses through xdotool at (X, Y). Each is held 100 ms; the time from the release, which
//       is what clicks a button, to a fan command frame ("rx AA 00 07") appearing in the simulator's
//       frame log LOG is printed in milliseconds, one line per press.

#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

volatile pid_t launched = -1;

void passOn(int signal)
{
    if (launched > 0)
        ::kill(launched, signal);
}

int usage()
{
    std::fputs("usage: bench-probe launch REPORT -- PROGRAM [ARGS]\n"
               "       bench-probe release LOG X Y COUNT\n",
               stderr);
    return 2;
}

// Damage on the root window covers every window on it, so the first damage after the first map is
// the first time the program's window shows anything.
class FirstWindowWatch
{
public:
    bool open()
    {
        connection = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(connection))
            return false;
        const xcb_query_extension_reply_t *extension = xcb_get_extension_data(connection, &xcb_damage_id);
        if (!extension || !extension->present)
            return false;
        damageEvent = extension->first_event + XCB_DAMAGE_NOTIFY;
        xcb_damage_query_version_reply_t *version = xcb_damage_query_version_reply(
            connection, xcb_damage_query_version(connection, 1, 1), nullptr);
        std::free(version);

        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
        damage = xcb_generate_id(connection);
        xcb_damage_create(connection, damage, root, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
        xcb_flush(connection);
        return true;
    }

    ~FirstWindowWatch()
    {
        if (connection)
            xcb_disconnect(connection);
    }

    int fd() const { return xcb_get_file_descriptor(connection); }

    // True once a window has been mapped and then drawn.
    bool handleEvents()
    {
        while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
            const uint8_t type = event->response_type & 0x7F;
            if (type == XCB_MAP_NOTIFY) {
                mapped = true;
            } else if (type == damageEvent) {
                xcb_damage_subtract(connection, damage, XCB_NONE, XCB_NONE);
                xcb_flush(connection);
                drawn = mapped;
            }
            std::free(event);
        }
        return drawn;
    }

private:
    xcb_connection_t *connection = nullptr;
    xcb_damage_damage_t damage = 0;
    uint8_t damageEvent = 0;
    bool mapped = false;
    bool drawn = false;
};

pid_t startProgram(char **argv)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execvp(argv[0], argv);
        std::fprintf(stderr, "bench-probe: cannot run %s: %s\n", argv[0], std::strerror(errno));
        ::_exit(127);
    }
    return pid;
}

int waitForExit(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return 1;
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return 128 + WTERMSIG(status);
}

int launch(const char *reportPath, char **program)
{
    FirstWindowWatch watch;
    if (!watch.open()) {
        std::fputs("bench-probe: no X display with the damage extension\n", stderr);
        return 2;
    }
    struct sigaction action
    {
    };
    action.sa_handler = passOn;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);

    const Clock::time_point start = Clock::now();
    launched = startProgram(program);
    if (launched < 0)
        return 2;

    double firstWindowMs = -1;
    while (millisecondsSince(start) < 60000) {
        pollfd x{watch.fd(), POLLIN, 0};
        ::poll(&x, 1, 50);
        if (watch.handleEvents()) {
            firstWindowMs = millisecondsSince(start);
            break;
        }
        int status = 0;
        if (::waitpid(launched, &status, WNOHANG) == launched) {
            std::fputs("bench-probe: the program ended before it showed a window\n", stderr);
            return 2;
        }
    }
    if (FILE *report = std::fopen(reportPath, "w")) {
        std::fprintf(report, "pid %d\nfirst_window_ms %.3f\n", int(launched), firstWindowMs);
        std::fclose(report);
    }
    return waitForExit(launched);
}

class FrameLogWatch
{
public:
    bool open(const char *path)
    {
        file = ::open(path, O_RDONLY);
        notify = ::inotify_init1(IN_NONBLOCK);
        if (file < 0 || notify < 0 || ::inotify_add_watch(notify, path, IN_MODIFY) < 0)
            return false;
        skipToEnd();
        return true;
    }

    void skipToEnd()
    {
        ::lseek(file, 0, SEEK_END);
        pending.clear();
    }

    // Waits until a line with the fan command frame arrives.
    bool waitForFrame(int timeoutMs)
    {
        const Clock::time_point start = Clock::now();
        for (;;) {
            if (readNew())
                return true;
            const int left = timeoutMs - int(millisecondsSince(start));
            if (left <= 0)
                return false;
            pollfd watch{notify, POLLIN, 0};
            ::poll(&watch, 1, left);
            char events[4096];
            while (::read(notify, events, sizeof events) > 0) {}
        }
    }

private:
    bool readNew()
    {
        char buffer[4096];
        ssize_t got = 0;
        while ((got = ::read(file, buffer, sizeof buffer)) > 0)
            pending.append(buffer, size_t(got));
        bool seen = false;
        size_t end = 0;
        while ((end = pending.find('\n')) != std::string::npos) {
            if (pending.substr(0, end).find(" rx AA 00 07 ") != std::string::npos)
                seen = true;
            pending.erase(0, end + 1);
        }
        return seen;
    }

    int file = -1;
    int notify = -1;
    std::string pending;
};

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int release(const char *logPath, int x, int y, int count)
{
    FrameLogWatch log;
    if (!log.open(logPath)) {
        std::fprintf(stderr, "bench-probe: cannot watch %s\n", logPath);
        return 2;
    }
    // One xdotool for all presses, fed line by line: its start-up stays out of the figures.
    FILE *xdotool = ::popen("xdotool -", "w");
    if (!xdotool)
        return 2;
    std::fprintf(xdotool, "mousemove %d %d\n", x, y);
    std::fflush(xdotool);
    sleepMs(300);
    int failures = 0;
    for (int press = 0; press < count; ++press) {
        std::fputs("mousedown 1\n", xdotool);
        std::fflush(xdotool);
        sleepMs(100);
        log.skipToEnd();
        const Clock::time_point released = Clock::now();
        std::fputs("mouseup 1\n", xdotool);
        std::fflush(xdotool);
        if (log.waitForFrame(2000)) {
            std::printf("%.3f\n", millisecondsSince(released));
        } else {
            std::puts("timeout");
            ++failures;
        }
        std::fflush(stdout);
        sleepMs(400);
    }
    ::pclose(xdotool);
    return failures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 5 && std::strcmp(argv[1], "launch") == 0 && std::strcmp(argv[3], "--") == 0)
        return launch(argv[2], argv + 4);
    if (argc == 6 && std::strcmp(argv[1], "release") == 0)
        return release(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
    return usage();
}
