// Times touches on a Linux framebuffer from inside the machine that draws it: from each release of
// a touch (a button or touch key of any input device going up) to the moment the framebuffer holds
// the next screen as it stays. The rule is bench/rfb_switch.py's: a sample of the pixels (every
// eighth of every eighth row) is read every few milliseconds; a sample completes the move when at
// most 1 % of the pixels the move changed still differ from the settled screen, and pixels that also
// change on a settled screen (the clock, blinking icons) count for neither.
//
//   panel-fb-watch FRAMEBUFFER TOUCHES [SETTLE_MS]
//
// Prints one line per touch, the milliseconds or "nochange", and leaves after TOUCHES touches. The
// next touch should come after SETTLE_MS (3000 by default): the last third of that wait is the
// settled screen the next move is compared against.

#include <linux/fb.h>
#include <linux/input.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <set>
#include <string>
#include <vector>

namespace {
constexpr int Step = 8;
constexpr int SampleIntervalMs = 4;

using Sample = std::vector<std::uint32_t>;

struct Snapshot
{
    double ms;
    Sample sample;
};

double nowMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

[[noreturn]] void fail(const std::string &what)
{
    std::fprintf(stderr, "panel-fb-watch: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

class Framebuffer
{
public:
    explicit Framebuffer(const char *device)
    {
        const int fd = open(device, O_RDONLY);
        if (fd < 0)
            fail(device);
        fb_var_screeninfo var{};
        fb_fix_screeninfo fix{};
        if (ioctl(fd, FBIOGET_VSCREENINFO, &var) < 0 || ioctl(fd, FBIOGET_FSCREENINFO, &fix) < 0)
            fail("screen info");
        width = int(var.xres);
        height = int(var.yres);
        bytesPerPixel = int(var.bits_per_pixel / 8);
        stride = int(fix.line_length);
        const std::size_t length = std::size_t(stride) * (var.yoffset + var.yres);
        auto *mapped = mmap(nullptr, length, PROT_READ, MAP_SHARED, fd, 0);
        if (mapped == MAP_FAILED)
            fail("mmap");
        close(fd);
        pixels = static_cast<const unsigned char *>(mapped) + std::size_t(stride) * var.yoffset;
    }

    Sample sample() const
    {
        Sample taken;
        taken.reserve(std::size_t(width / Step + 1) * std::size_t(height / Step + 1));
        for (int y = 0; y < height; y += Step) {
            const unsigned char *row = pixels + std::size_t(y) * stride;
            for (int x = 0; x < width; x += Step) {
                std::uint32_t pixel = 0;
                std::memcpy(&pixel, row + std::size_t(x) * bytesPerPixel, std::size_t(bytesPerPixel));
                taken.push_back(pixel);
            }
        }
        return taken;
    }

private:
    const unsigned char *pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
    int bytesPerPixel = 4;
};

// Every input device, its event times on the monotonic clock the samples are taken on.
std::vector<pollfd> openInputs()
{
    std::vector<pollfd> inputs;
    DIR *folder = opendir("/dev/input");
    if (!folder)
        fail("/dev/input");
    while (const dirent *entry = readdir(folder)) {
        if (std::strncmp(entry->d_name, "event", 5) != 0)
            continue;
        const std::string path = std::string("/dev/input/") + entry->d_name;
        const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK);
        if (fd < 0)
            continue;
        int clock = CLOCK_MONOTONIC;
        ioctl(fd, EVIOCSCLOCKID, &clock);
        inputs.push_back({fd, POLLIN, 0});
    }
    closedir(folder);
    if (inputs.empty())
        fail("no input device");
    return inputs;
}

// The time of the last release among the waiting events, or a negative number.
double readReleases(const std::vector<pollfd> &inputs)
{
    double released = -1;
    for (const pollfd &input : inputs) {
        input_event event{};
        while (read(input.fd, &event, sizeof event) == sizeof event) {
            const bool touchKey = event.code == BTN_LEFT || event.code == BTN_TOUCH;
            if (event.type == EV_KEY && touchKey && event.value == 0)
                released = event.input_event_sec * 1e3 + event.input_event_usec / 1e3;
        }
    }
    return released;
}

std::set<std::size_t> changing(const std::deque<Snapshot> &snapshots)
{
    std::set<std::size_t> moving;
    for (std::size_t n = 1; n < snapshots.size(); ++n) {
        const Sample &before = snapshots[n - 1].sample;
        const Sample &after = snapshots[n].sample;
        for (std::size_t i = 0; i < before.size(); ++i) {
            if (before[i] != after[i])
                moving.insert(i);
        }
    }
    return moving;
}

// Milliseconds from the release to the first snapshot as good as the settled screen, or negative.
double latency(const Sample &before, double released, const std::deque<Snapshot> &snapshots,
               const std::set<std::size_t> &noise)
{
    const Sample &settled = snapshots.back().sample;
    std::vector<std::size_t> moved;
    for (std::size_t i = 0; i < settled.size(); ++i) {
        if (settled[i] != before[i] && !noise.count(i))
            moved.push_back(i);
    }
    if (moved.empty())
        return -1;
    const std::size_t allowed = moved.size() / 100;
    for (const Snapshot &snapshot : snapshots) {
        std::size_t unlike = 0;
        for (std::size_t i : moved)
            unlike += snapshot.sample[i] != settled[i];
        if (unlike <= allowed)
            return snapshot.ms - released;
    }
    return -1;
}

// Keeps a snapshot when the screen differs from the last one kept.
void keepIfChanged(std::deque<Snapshot> &snapshots, Sample sample, double ms)
{
    if (snapshots.empty() || snapshots.back().sample != sample)
        snapshots.push_back({ms, std::move(sample)});
}

void dropBefore(std::deque<Snapshot> &snapshots, double ms)
{
    // The first kept one stays: it is the screen at the start of the window.
    while (snapshots.size() > 1 && snapshots[1].ms <= ms)
        snapshots.pop_front();
}
} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: panel-fb-watch FRAMEBUFFER TOUCHES [SETTLE_MS]\n");
        return 2;
    }
    const Framebuffer framebuffer(argv[1]);
    const int touches = std::atoi(argv[2]);
    const double settleMs = argc > 3 ? std::atof(argv[3]) : 3000;
    const double quietMs = settleMs / 3;
    std::vector<pollfd> inputs = openInputs();

    std::deque<Snapshot> quiet; // the settled screen before the next touch
    keepIfChanged(quiet, framebuffer.sample(), nowMs());
    for (int touch = 0; touch < touches; ++touch) {
        double released = -1;
        while (released < 0) {
            poll(inputs.data(), inputs.size(), SampleIntervalMs);
            released = readReleases(inputs);
            const double now = nowMs();
            keepIfChanged(quiet, framebuffer.sample(), now);
            dropBefore(quiet, now - quietMs);
        }
        // The screen as it was at the release is the last snapshot taken before it; any taken since
        // belong to the move.
        std::deque<Snapshot> snapshots;
        while (quiet.size() > 1 && quiet.back().ms > released) {
            snapshots.push_front(std::move(quiet.back()));
            quiet.pop_back();
        }
        const Sample before = quiet.back().sample;
        while (nowMs() < released + settleMs) {
            poll(nullptr, 0, SampleIntervalMs);
            keepIfChanged(snapshots, framebuffer.sample(), nowMs());
        }
        std::deque<Snapshot> tail = snapshots;
        dropBefore(tail, released + settleMs - quietMs);
        std::set<std::size_t> noise = changing(quiet);
        const std::set<std::size_t> tailNoise = changing(tail);
        noise.insert(tailNoise.begin(), tailNoise.end());
        const double took = snapshots.empty() ? -1 : latency(before, released, snapshots, noise);
        if (took < 0)
            std::printf("nochange\n");
        else
            std::printf("%.1f\n", took);
        std::fflush(stdout);
        quiet = tail;
    }
    return 0;
}
