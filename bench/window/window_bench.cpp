// Measures the real program from outside, as the window system and a person see it, in an X
// server with a window manager (openbox is started when none runs; run under xvfb-run when
// there is no display). An X client of its own stamps the window's map, its title changes
// (the file read, the fix done) and the save's rename (inotify), and sends _NET_WM_PING to
// the window every 20 ms throughout, timing each answer. Prints each figure with its bar:
//   - start -> window mapped, with the file named on the command line (bar: < 300 ms);
//   - start -> file shown, Fix File, Save File, and the whole open + fix + save job against
//     unix2dos (bar: <= 0.25 x) and sed (bar: <= 1.0 x) on the same file, best of runs
//     interleaved with them, warm and cold (page cache dropped, as root), on text with about
//     5% non-ASCII bytes and on the same text made ASCII only; the saved bytes against
//     unix2dos's;
//   - the slowest ping answer during load, fix and save (bar: < 100 ms), and the cost of
//     Ctrl+End, a jump to the middle of the line and the first keystroke there, before the
//     fix, on the file's one long display line (bar: < 50 ms: the slowest answer to the pings
//     sent every 2 ms behind the input);
//   - peak memory: the largest resident set (VmHWM) and anonymous memory (RssAnon) of the
//     program, as ratios to the file (bar: <= 1.2 x for text), and the resident set beyond
//     what the program holds with a one-line file (its libraries, fonts, ...).
// Usage: norvane_window_bench [--size-mb N] [--runs N] [--no-cold] [--interactions-only]

#include "support/bench_support.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <sys/inotify.h>
#include <sys/select.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace norvane::bench;

constexpr double PingInterval = 0.020;
constexpr double StartBar = 0.300, PingBar = 0.100, InteractionBar = 0.050;
constexpr double UnixToDosBar = 0.25, SedBar = 1.0, MemoryBar = 1.2;

int ignoreXErrors(Display*, XErrorEvent*) { return 0; }  // windows may go while we look at them

// The phases of one session whose pings are timed apart.
enum Phase { Starting, Loading, Interacting, Fixing, Saving, PhaseCount };
const char* const PhaseNames[PhaseCount] = {"start", "load", "interaction", "fix", "save"};

// An X client that watches the program's window and drives it.
class Watcher {
public:
    Watcher() {
        display_ = XOpenDisplay(nullptr);
        if (!display_) return;
        XSetErrorHandler(ignoreXErrors);
        root_ = DefaultRootWindow(display_);
        for (auto [atom, name] : {std::pair{&wmProtocols_, "WM_PROTOCOLS"}, {&ping_, "_NET_WM_PING"},
                                  {&netName_, "_NET_WM_NAME"}, {&utf8_, "UTF8_STRING"}, {&pid_, "_NET_WM_PID"},
                                  {&frameExtents_, "_NET_FRAME_EXTENTS"}, {&wmCheck_, "_NET_SUPPORTING_WM_CHECK"}})
            *atom = XInternAtom(display_, name, False);
        XSelectInput(display_, root_, StructureNotifyMask | SubstructureNotifyMask | PropertyChangeMask);
        XFlush(display_);
    }
    ~Watcher() {
        if (display_) XCloseDisplay(display_);
    }
    bool connected() const { return display_ != nullptr; }
    bool hasWindowManager() const { return property(root_, wmCheck_, XA_WINDOW).has_value(); }

    // Forgets the last program's window, to watch for the one `pid` maps.
    void expect(pid_t pid) {
        pid_t_ = pid;
        window_ = 0;
        candidates_.clear();
        title_.clear();
        titleChanges_ = 0;
        pings_.clear();
    }

    Window window() const { return window_; }
    const std::string& title() const { return title_; }
    int titleChanges() const { return titleChanges_; }

    // Handles the X events that arrived; waits at most `timeout` seconds for the first.
    void pump(double timeout, int otherFd, const std::function<void()>& onOtherFd) {
        const int xFd = ConnectionNumber(display_);
        if (XPending(display_) == 0) {
            fd_set read;
            FD_ZERO(&read);
            FD_SET(xFd, &read);
            if (otherFd >= 0) FD_SET(otherFd, &read);
            timeval wait{0, static_cast<suseconds_t>(std::max(0.0, timeout) * 1e6)};
            select(std::max(xFd, otherFd) + 1, &read, nullptr, nullptr, &wait);
            if (otherFd >= 0 && FD_ISSET(otherFd, &read)) onOtherFd();
        }
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            handle(event);
        }
    }

    // Sends a ping in `phase`; returns its number.
    int sendPing(Phase phase) {
        if (!window_) return -1;
        const int number = static_cast<int>(pings_.size());
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window_;
        event.xclient.message_type = wmProtocols_;
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(ping_);
        event.xclient.data.l[1] = CurrentTime;
        event.xclient.data.l[2] = static_cast<long>(window_);
        event.xclient.data.l[3] = number;
        pings_.push_back({Clock::now(), std::nullopt, phase});
        XSendEvent(display_, window_, False, NoEventMask, &event);
        XFlush(display_);
        return number;
    }
    std::optional<double> pingAnswer(int number) const {
        if (number < 0 || static_cast<std::size_t>(number) >= pings_.size() || !pings_[number].answered)
            return std::nullopt;
        return std::chrono::duration<double>(*pings_[number].answered - pings_[number].sent).count();
    }
    // The slowest answer of each phase; a ping never answered counts until now.
    std::vector<double> slowestPings() const {
        std::vector<double> slowest(PhaseCount, 0);
        const auto now = Clock::now();
        for (const Ping& ping : pings_)
            slowest[ping.phase] = std::max(
                slowest[ping.phase], std::chrono::duration<double>(ping.answered.value_or(now) - ping.sent).count());
        return slowest;
    }

    // Input through the XTest extension, at a point of the window's client area.
    void click(int x, int y, unsigned button = 1) {
        int rootX = 0, rootY = 0;
        Window child;
        XTranslateCoordinates(display_, window_, root_, x, y, &rootX, &rootY, &child);
        XTestFakeMotionEvent(display_, -1, rootX, rootY, 0);
        XTestFakeButtonEvent(display_, button, True, 0);
        XTestFakeButtonEvent(display_, button, False, 0);
        XFlush(display_);
    }
    void key(KeySym symbol, KeySym modifier = NoSymbol) {
        const KeyCode code = XKeysymToKeycode(display_, symbol);
        const KeyCode held = modifier == NoSymbol ? 0 : XKeysymToKeycode(display_, modifier);
        if (held) XTestFakeKeyEvent(display_, held, True, 0);
        XTestFakeKeyEvent(display_, code, True, 0);
        XTestFakeKeyEvent(display_, code, False, 0);
        if (held) XTestFakeKeyEvent(display_, held, False, 0);
        XFlush(display_);
    }

    // The window's client size and its frame's left, right, top and bottom widths.
    void geometry(int& width, int& height, long frame[4]) const {
        XWindowAttributes attributes{};
        XGetWindowAttributes(display_, window_, &attributes);
        width = attributes.width;
        height = attributes.height;
        std::fill(frame, frame + 4, 0);
        Atom type;
        int format;
        unsigned long count = 0, after;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display_, window_, frameExtents_, 0, 4, False, XA_CARDINAL, &type, &format, &count,
                               &after, &data) == Success && data && count == 4)
            std::memcpy(frame, data, 4 * sizeof(long));
        if (data) XFree(data);
    }

private:
    struct Ping {
        Clock::time_point sent;
        std::optional<Clock::time_point> answered;
        Phase phase;
    };

    std::optional<unsigned long> property(Window window, Atom name, Atom type) const {
        Atom actual;
        int format;
        unsigned long count = 0, after;
        unsigned char* data = nullptr;
        std::optional<unsigned long> value;
        if (XGetWindowProperty(display_, window, name, 0, 1, False, type, &actual, &format, &count, &after, &data) ==
                Success &&
            data && count == 1)
            value = *reinterpret_cast<unsigned long*>(data);
        if (data) XFree(data);
        return value;
    }

    std::string titleOf(Window window) const {
        Atom type;
        int format;
        unsigned long count = 0, after;
        unsigned char* data = nullptr;
        std::string text;
        if (XGetWindowProperty(display_, window, netName_, 0, 1024, False, utf8_, &type, &format, &count, &after,
                               &data) == Success &&
            data)
            text.assign(reinterpret_cast<char*>(data), count);
        if (data) XFree(data);
        return text;
    }

    void consider(Window window) {
        if (window_ || property(window, pid_, XA_CARDINAL) != static_cast<unsigned long>(pid_t_)) return;
        window_ = window;
        title_ = titleOf(window);
    }

    void handle(const XEvent& event) {
        switch (event.type) {
        case CreateNotify:
            if (event.xcreatewindow.parent != root_) break;
            candidates_.insert(event.xcreatewindow.window);
            XSelectInput(display_, event.xcreatewindow.window, StructureNotifyMask | PropertyChangeMask);
            // It may have been mapped before it was watched.
            if (XWindowAttributes attributes{};
                XGetWindowAttributes(display_, event.xcreatewindow.window, &attributes) &&
                attributes.map_state != IsUnmapped)
                consider(event.xcreatewindow.window);
            break;
        case MapNotify:
            if (candidates_.count(event.xmap.window)) consider(event.xmap.window);
            break;
        case PropertyNotify:
            if (window_ && event.xproperty.window == window_ && event.xproperty.atom == netName_) {
                const std::string title = titleOf(window_);
                if (title != title_) {
                    title_ = title;
                    ++titleChanges_;
                }
            }
            break;
        case ClientMessage:
            if (event.xclient.window == root_ && static_cast<Atom>(event.xclient.data.l[0]) == ping_) {
                const long number = event.xclient.data.l[3];
                if (number >= 0 && static_cast<std::size_t>(number) < pings_.size() && !pings_[number].answered)
                    pings_[number].answered = Clock::now();
            }
            break;
        default: break;
        }
    }

    Display* display_ = nullptr;
    Window root_ = 0;
    Atom wmProtocols_ = 0, ping_ = 0, netName_ = 0, utf8_ = 0, pid_ = 0, frameExtents_ = 0, wmCheck_ = 0;
    pid_t pid_t_ = -1;
    Window window_ = 0;
    std::set<Window> candidates_;
    std::string title_;
    int titleChanges_ = 0;
    std::vector<Ping> pings_;
};

// Memory of a process from /proc: its peak resident set and its anonymous memory now.
struct Memory {
    std::size_t peakResident = 0;
    std::size_t peakAnonymous = 0;

    void sample(pid_t pid) {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        std::string line;
        while (std::getline(status, line)) {
            const auto kilobytes = [&](const char* key) -> std::optional<std::size_t> {
                if (line.rfind(key, 0) != 0) return std::nullopt;
                return std::strtoull(line.c_str() + std::strlen(key), nullptr, 10) * 1024;
            };
            if (const auto value = kilobytes("VmHWM:")) peakResident = std::max(peakResident, *value);
            if (const auto value = kilobytes("RssAnon:")) peakAnonymous = std::max(peakAnonymous, *value);
        }
    }
};

// What one run of the program gave.
struct Session {
    bool ok = false;
    double mapped = 0, loaded = 0, fixed = 0, saved = 0;  // seconds from start
    double fix = 0, save = 0;                             // from the click
    std::vector<double> slowestPings;
    double ctrlEnd = 0, jump = 0, keystroke = 0;          // input -> answer of the ping behind it
    Memory memory;
};

class Bench {
public:
    explicit Bench(Watcher& x) : x_(x) {}

    // Starts the program with `file`, waits for it, fixes and saves through the window.
    // With `interact`, first goes to the end of the line, jumps to its middle and types a
    // character there (and deletes it again).
    Session run(const fs::path& file, bool interact) {
        Session session;
        const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        inotify_add_watch(watch, file.parent_path().c_str(), IN_MOVED_TO | IN_CLOSE_WRITE);
        bool savedSeen = false;
        const std::string name = file.filename().string();
        const auto readInotify = [&] {
            alignas(inotify_event) char buffer[4096];
            for (ssize_t got; (got = read(watch, buffer, sizeof buffer)) > 0;)
                for (char* at = buffer; at < buffer + got;) {
                    const auto* event = reinterpret_cast<const inotify_event*>(at);
                    if (event->len && name == event->name) savedSeen = true;
                    at += sizeof(inotify_event) + event->len;
                }
        };

        const auto start = Clock::now();
        const pid_t program = startChild({NORVANE_PROGRAM, file.string()});
        x_.expect(program);
        Phase phase = Starting;
        auto lastPing = Clock::now();
        // Pumps events and pings until `done` or 120 s; false on timeout.
        const auto until = [&](const std::function<bool()>& done) {
            while (!done()) {
                if (secondsSince(start) > 120) return false;
                x_.pump(PingInterval / 4, watch, readInotify);
                session.memory.sample(program);
                if (x_.window() && secondsSince(lastPing) >= PingInterval) {
                    x_.sendPing(phase);
                    lastPing = Clock::now();
                }
            }
            return true;
        };
        const auto settle = [&](double seconds) {
            const auto from = Clock::now();
            until([&] { return secondsSince(from) >= seconds; });
        };
        // Sends input and times what it costs the program: the window system's events are
        // answered before the input is handled, so pings follow it every 2 ms for a while,
        // and the slowest answer among them is how long the program was busy with it.
        const auto timedInput = [&](const std::function<void()>& input) {
            input();
            std::vector<int> sent;
            for (const auto from = Clock::now(); secondsSince(from) < 0.3;) {
                sent.push_back(x_.sendPing(phase));
                x_.pump(0.002, watch, readInotify);
            }
            until([&] { return std::all_of(sent.begin(), sent.end(), [&](int ping) { return x_.pingAnswer(ping).has_value(); }); });
            double cost = 0;
            for (int ping : sent) cost = std::max(cost, x_.pingAnswer(ping).value_or(secondsSince(start)));
            settle(0.1);
            return cost;
        };

        const std::string loadedTitle = "[" + name + "]";
        session.ok = until([&] { return x_.window() != 0; });
        session.mapped = secondsSince(start);
        phase = Loading;
        session.ok = session.ok && until([&] { return x_.title().find(loadedTitle) != std::string::npos; });
        session.loaded = secondsSince(start);

        // The layout at 96 dpi: the pane from (104, 8), less 113 x 36 pixels of the outer size.
        int width = 0, height = 0;
        long frame[4];
        x_.geometry(width, height, frame);
        const int paneRight = std::min<int>(width, static_cast<int>(width + frame[0] + frame[1] - 113 + 104));
        const int paneBottom = std::min<int>(height, static_cast<int>(height + frame[2] + frame[3] - 36 + 8));
        if (interact && session.ok) {
            phase = Interacting;
            settle(0.1);
            x_.click(104 + 20, 8 + 10);
            settle(0.2);
            session.ctrlEnd = timedInput([&] { x_.key(XK_End, XK_Control_L); });
            // A middle click on the horizontal scroll bar moves it to the place clicked.
            session.jump = timedInput([&] { x_.click((104 + paneRight) / 2, paneBottom - 9, 2); });
            x_.click((104 + paneRight) / 2, 8 + 10);
            settle(0.2);
            session.keystroke = timedInput([&] { x_.key(XK_x); });
            timedInput([&] { x_.key(XK_BackSpace); });
        }

        phase = Fixing;
        const auto fixClick = Clock::now();
        x_.click(52, 52);  // Fix File
        session.ok = session.ok && until([&] { return x_.title().find("- Fixed") != std::string::npos; });
        session.fix = secondsSince(fixClick);
        session.fixed = secondsSince(start);

        phase = Saving;
        const auto saveClick = Clock::now();
        readInotify();
        savedSeen = false;
        x_.click(52, 84);  // Save File
        session.ok = session.ok && until([&] { return savedSeen; });
        session.save = secondsSince(saveClick);
        session.saved = secondsSince(start);
        settle(0.05);
        session.memory.sample(program);
        session.slowestPings = x_.slowestPings();
        stopChild(program);
        close(watch);
        return session;
    }

private:
    Watcher& x_;
};

struct Figures {
    std::vector<double> ours, unix2dos, sed, mapped, loaded, fix, save;
    std::vector<double> slowestPings = std::vector<double>(PhaseCount, 0);
    double peakResident = 0, peakAnonymous = 0;
    bool identical = true, ok = true;
};

void reportTime(const char* what, double seconds, double bar) {
    std::printf("    %-46s %9.1f ms   bar %5.0f ms  %s\n", what, seconds * 1e3, bar * 1e3, verdict(seconds < bar));
}
void noteTime(const char* what, double seconds) { std::printf("    %-46s %9.1f ms\n", what, seconds * 1e3); }
void reportRatio(const char* what, double ratio, double bar) {
    std::printf("    %-46s %9.2f x    bar %5.2f x   %s\n", what, ratio, bar, verdict(ratio <= bar));
}

// Whether two files hold the same bytes, read a block at a time.
bool sameBytes(const fs::path& a, const fs::path& b) {
    if (fs::file_size(a) != fs::file_size(b)) return false;
    std::ifstream first(a, std::ios::binary), second(b, std::ios::binary);
    std::vector<char> blockA(1 << 20), blockB(1 << 20);
    while (first && second) {
        first.read(blockA.data(), static_cast<std::streamsize>(blockA.size()));
        second.read(blockB.data(), static_cast<std::streamsize>(blockB.size()));
        if (first.gcount() != second.gcount() ||
            std::memcmp(blockA.data(), blockB.data(), static_cast<std::size_t>(first.gcount())) != 0)
            return false;
    }
    return true;
}

// Runs the program, unix2dos and sed in turn on copies of `input`, each run starting with a
// different one, and prints the figures.
void compare(Bench& bench, const fs::path& input, const fs::path& folder, int runs, Cache cache, const char* label,
             std::size_t baseline) {
    const fs::path ours = folder / "ours.txt", theirs = folder / "unix2dos.txt", sedCopy = folder / "sed.txt";
    const std::size_t size = fs::file_size(input);
    Figures figures;
    bool cold = cache == Cache::Cold;
    for (int run = 0; run < runs; ++run) {
        for (const fs::path& copy : {ours, theirs, sedCopy}) fs::copy_file(input, copy, fs::copy_options::overwrite_existing);
        for (int turn = 0; turn < 3; ++turn) {
            if (cold) cold = dropPageCache();
            switch ((turn + run) % 3) {
            case 0: {
                const Session session = bench.run(ours, false);
                figures.ok = figures.ok && session.ok;
                figures.ours.push_back(session.saved);
                figures.mapped.push_back(session.mapped);
                figures.loaded.push_back(session.loaded);
                figures.fix.push_back(session.fix);
                figures.save.push_back(session.save);
                for (int phase = 0; phase < PhaseCount; ++phase)
                    figures.slowestPings[phase] = std::max(figures.slowestPings[phase], session.slowestPings[phase]);
                figures.peakResident = std::max(figures.peakResident, double(session.memory.peakResident) / size);
                figures.peakAnonymous = std::max(figures.peakAnonymous, double(session.memory.peakAnonymous) / size);
                break;
            }
            case 1: figures.unix2dos.push_back(runChild({"unix2dos", "-q", theirs.string()}).seconds); break;
            case 2: figures.sed.push_back(runChild({"sed", "-i", "s/$/\\r/", sedCopy.string()}).seconds); break;
            }
        }
        figures.identical = figures.identical && sameBytes(ours, theirs) && sameBytes(ours, sedCopy);
    }
    std::printf("  %s, %s cache, %.0f MB, best of %d interleaved runs%s:\n", label,
                cold ? "cold" : (cache == Cache::Cold ? "warm (could not drop the cache)" : "warm"), size / 1e6, runs,
                figures.ok ? "" : " (SOME RUNS TIMED OUT)");
    reportTime("start -> window mapped", best(figures.mapped), StartBar);
    noteTime("start -> file shown (title)", best(figures.loaded));
    noteTime("Fix File -> fixed title", best(figures.fix));
    noteTime("Save File -> file replaced", best(figures.save));
    noteTime("whole job: start -> saved", best(figures.ours));
    noteTime("unix2dos", best(figures.unix2dos));
    noteTime("sed", best(figures.sed));
    reportRatio("whole job / unix2dos", best(figures.ours) / best(figures.unix2dos), UnixToDosBar);
    reportRatio("whole job / sed", best(figures.ours) / best(figures.sed), SedBar);
    std::printf("    %-46s %9s      %s\n", "saved bytes identical to unix2dos's and sed's", figures.identical ? "yes" : "NO",
                verdict(figures.identical));
    for (int phase : {Loading, Fixing, Saving}) {
        const std::string what = std::string("slowest ping answer during ") + PhaseNames[phase] + " (all runs)";
        reportTime(what.c_str(), figures.slowestPings[phase], PingBar);
    }
    reportRatio("peak resident (VmHWM) / file", figures.peakResident, MemoryBar);
    reportRatio("peak anonymous (RssAnon) / file", figures.peakAnonymous, MemoryBar);
    std::printf("    %-46s %9.2f x    (%.0f MB with a one-line file)\n", "peak resident beyond that of a small file / file",
                figures.peakResident - double(baseline) / size, baseline / 1e6);
}

void interactions(Bench& bench, const fs::path& input, const fs::path& folder, const char* label) {
    const fs::path copy = folder / "interact.txt";
    fs::copy_file(input, copy, fs::copy_options::overwrite_existing);
    const Session session = bench.run(copy, true);
    std::printf("  %s, before the fix, on its one display line of %.0f MB%s:\n", label, fs::file_size(input) / 1e6,
                session.ok ? "" : " (TIMED OUT)");
    reportTime("Ctrl+End", session.ctrlEnd, InteractionBar);
    reportTime("jump to the middle (scroll bar)", session.jump, InteractionBar);
    reportTime("first keystroke there", session.keystroke, InteractionBar);
    reportTime("slowest ping answer throughout", session.slowestPings[Interacting], PingBar);
}

// The same text with every byte outside ASCII made a letter: as long, lines where they were.
std::string asciiOnly(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) >= 0x80) c = 'x';
    return text;
}

// Starts openbox when no window manager runs; returns its process id, or -1.
pid_t startWindowManager(Watcher& x) {
    if (x.hasWindowManager()) return -1;
    const pid_t manager = startChild({"openbox"});
    for (const auto start = Clock::now(); !x.hasWindowManager() && secondsSince(start) < 10;)
        x.pump(0.05, -1, {});
    return manager;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure as soon as it is known
    bool withCold = true, withJobs = true;
    const BenchOptions options = parseOptions(argc, argv, {100, 3}, [&](int index) {
        const std::string argument = argv[index];
        if (argument == "--no-cold")
            withCold = false;
        else if (argument == "--interactions-only")
            withJobs = false;
        else
            return 0;
        return 1;
    });
    Watcher x;
    if (!x.connected()) {
        std::printf("window: skipped, no X display (run under xvfb-run -a)\n");
        return 0;
    }
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    const pid_t manager = startWindowManager(x);
    Bench bench(x);

    const ScratchFolder scratch;
    const fs::path text = scratch.path() / "text.txt", ascii = scratch.path() / "ascii.txt";
    {
        std::string bytes = makeLfText(options.sizeMb << 20);
        writeFile(text, bytes);
        writeFile(ascii, asciiOnly(std::move(bytes)));
    }
    // What the program holds without a document to speak of.
    const fs::path small = scratch.path() / "small.txt";
    writeFile(small, "one line\n");
    const std::size_t baseline = bench.run(small, false).memory.peakResident;
    std::printf("window: the real program in an X server with a window manager, measured from outside\n");
    for (const auto& [input, label] : {std::pair{text, "text with 5% non-ASCII bytes"}, {ascii, "ASCII text"}}) {
        if (withJobs) compare(bench, input, scratch.path(), options.runs, Cache::Warm, label, baseline);
        if (withJobs && withCold) compare(bench, input, scratch.path(), options.runs, Cache::Cold, label, baseline);
        interactions(bench, input, scratch.path(), label);
    }
    stopChild(manager);
    return 0;
}
