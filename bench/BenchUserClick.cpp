// The program as a user meets it: the real program (bin/quorbel) started
// under a virtual X server (Xvfb) with a list stored in its settings, its
// main window shown, "Start Creating Template" clicked with the mouse
// (the server's XTEST extension) a while after the window showed, and
// the preview window shown. The times are the window system's: when the
// main window and the preview window were mapped (MapNotify on the root
// window), and the click as it was sent to the server. Beside them, in the
// same run:
//
// - where the click's time went: the program's own timing lines
//   (QT_LOGGING_RULES=quorbel.timing.debug=true, see TimingLog.h), each
//   stage from the click on;
// - the same office work scripted over python3-uno in one warm office
//   (warm_office.py beside this program: load the template, fill the rows,
//   store .xls, load it again, PDF of the used range);
// - the start-up of a bare Qt Widgets window (bench_bare_window) to its map.
//
//     bench_user_click [--entries N] [--runs N] [--delays 0.5,2,5,15] [--idle SECONDS] [--scale F]
//                      [--program PATH]
//
// --entries: the stored list's length (10); --runs: clicks for each delay
// (5); --delays: seconds from the main window's map to the click; --idle:
// only what the program and its offices cost while the main window waits
// (resident memory, CPU over that many seconds) and nothing else; --scale:
// QT_SCALE_FACTOR of the program (1); --program: another build's program
// (bin/quorbel beside this one), to compare. Prints medians; asserts nothing.
// Needs Xvfb and /usr/bin/python3 with python3-uno.

#include "EntryList.h"
#include "ListEntry.h"
#include "ProcessMemory.h"
#include "SettingsStore.h"
#include "TemplateWorkbook.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <xcb/xcb.h>
#include <xcb/xcbext.h>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <ctime>
#include <map>
#include <optional>
#include <vector>

#include <poll.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

using namespace quorbel;

// The monotonic clock in ms: the clock of the program's timing lines.
double nowMs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

QString joined(const std::vector<double> &values)
{
    QStringList parts;
    for (double v : values)
        parts << QString::number(v, 'f', 0);
    return parts.join(QLatin1Char(' '));
}

// A virtual X server of this run's own, and a connection to it that hears
// every top-level window being mapped and unmapped.
class VirtualDisplay {
public:
    VirtualDisplay()
    {
        for (int n = 70; n < 200 && !m_connection; ++n) {
            if (QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n))
                || QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
                continue;
            m_name = QStringLiteral(":%1").arg(n);
            m_server.start(QStringLiteral("Xvfb"), {m_name, QStringLiteral("-screen"), QStringLiteral("0"),
                                                    QStringLiteral("1600x1200x24"), QStringLiteral("-nolisten"),
                                                    QStringLiteral("tcp"), QStringLiteral("-noreset")});
            if (!m_server.waitForStarted(5000))
                break;
            for (int i = 0; i < 500 && m_server.state() == QProcess::Running; ++i) {
                QThread::msleep(10);
                xcb_connection_t *c = xcb_connect(m_name.toLatin1().constData(), nullptr);
                if (!xcb_connection_has_error(c)) {
                    m_connection = c;
                    break;
                }
                xcb_disconnect(c);
            }
            if (!m_connection) {
                m_server.kill();
                m_server.waitForFinished();
            }
        }
        if (!m_connection)
            return;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_connection);
    }
    ~VirtualDisplay()
    {
        if (m_connection)
            xcb_disconnect(m_connection);
        m_server.terminate();
        m_server.waitForFinished(5000);
    }
    bool ok() const { return m_connection != nullptr; }
    QString name() const { return m_name; }

    struct Event {
        bool mapped = false;
        xcb_window_t window = 0;
        double ms = 0;
    };

    // The next map or unmap of a top-level window (not an override-redirect
    // one: menus, tooltips), or none by `deadlineMs`.
    std::optional<Event> next(double deadlineMs)
    {
        const int fd = xcb_get_file_descriptor(m_connection);
        while (true) {
            while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
                const double at = nowMs();
                std::optional<Event> found;
                const int type = event->response_type & 0x7f;
                if (type == XCB_MAP_NOTIFY) {
                    const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
                    if (!map->override_redirect && map->event == m_root)
                        found = Event {true, map->window, at};
                } else if (type == XCB_UNMAP_NOTIFY) {
                    const auto *unmap = reinterpret_cast<xcb_unmap_notify_event_t *>(event);
                    if (unmap->event == m_root)
                        found = Event {false, unmap->window, at};
                }
                std::free(event);
                if (found)
                    return found;
            }
            const double left = deadlineMs - nowMs();
            if (left <= 0 || xcb_connection_has_error(m_connection))
                return std::nullopt;
            pollfd p {fd, POLLIN, 0};
            ::poll(&p, 1, int(std::min(left, 1000.0)) + 1);
        }
    }

    // The pointer moved to (x, y) on the screen, as a device would move it
    // (the server's XTEST extension).
    void movePointer(int x, int y) { fakeInput(kMotionNotify, 0, x, y); }
    // A click of the first button where the pointer is; returns when the
    // server has handled both halves (the release, on which a push button
    // acts, is then on its way to the program). The time of the click is
    // taken just before it is sent.
    double click()
    {
        const double at = nowMs();
        fakeInput(kButtonPress, 1, 0, 0);
        fakeInput(kButtonRelease, 1, 0, 0);
        std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
        return at;
    }

    // Drops what came meanwhile.
    void drain()
    {
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection))
            std::free(event);
    }

    // Where `window`'s client area lies on the screen.
    QRect geometry(xcb_window_t window)
    {
        QRect rect;
        if (auto *g = xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr)) {
            rect.setSize(QSize(g->width, g->height));
            std::free(g);
        }
        if (auto *t = xcb_translate_coordinates_reply(
                m_connection, xcb_translate_coordinates(m_connection, window, m_root, 0, 0), nullptr)) {
            rect.moveTo(t->dst_x, t->dst_y);
            std::free(t);
        }
        return rect;
    }

private:
    static constexpr uint8_t kButtonPress = 4;
    static constexpr uint8_t kButtonRelease = 5;
    static constexpr uint8_t kMotionNotify = 6;

    // XTEST's FakeInput request (minor opcode 2), sent as it is on the wire.
    void fakeInput(uint8_t type, uint8_t detail, int x, int y)
    {
        struct FakeInput {
            uint8_t major;
            uint8_t minor;
            uint16_t length;
            uint8_t type;
            uint8_t detail;
            uint16_t pad0;
            uint32_t time;
            uint32_t root;
            uint8_t pad1[8];
            int16_t rootX;
            int16_t rootY;
            uint8_t pad2[7];
            uint8_t deviceId;
        };
        static_assert(sizeof(FakeInput) == 36);
        static xcb_extension_t xtest = {"XTEST", 0};
        FakeInput request {};
        request.type = type;
        request.detail = detail;
        request.root = m_root;
        request.rootX = int16_t(x);
        request.rootY = int16_t(y);
        iovec parts[4] {};
        parts[2].iov_base = &request;
        parts[2].iov_len = sizeof(request);
        xcb_protocol_request_t info {2, &xtest, 2, 1};
        xcb_send_request(m_connection, 0, parts + 2, &info);
        xcb_flush(m_connection);
    }

    QProcess m_server;
    QString m_name;
    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_root = 0;
};

// Resident memory figures of a process (KiB), from /proc/<pid>/status.
double statusKiB(qint64 pid, const char *field)
{
    return bench::statusKiB(QString::number(pid), field);
}

// CPU time (user and system) of a process so far, in ms.
double cpuMs(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return (fields[11].toDouble() + fields[12].toDouble()) * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

// The office processes the program started (its children running soffice.bin).
QList<qint64> officesOf(qint64 pid)
{
    QList<qint64> offices;
    QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(pid));
    if (!children.open(QIODevice::ReadOnly))
        return offices;
    for (const QByteArray &child : children.readAll().trimmed().split(' ')) {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(QString::fromLatin1(child)));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "soffice.bin")
            offices.append(child.toLongLong());
    }
    return offices;
}

// The program's timing lines: stage and time.
std::vector<std::pair<double, QString>> timingLines(const QByteArray &errors)
{
    std::vector<std::pair<double, QString>> lines;
    static const QByteArray prefix = "quorbel.timing: ";
    for (const QByteArray &line : errors.split('\n')) {
        if (!line.startsWith(prefix))
            continue;
        const QByteArray rest = line.mid(prefix.size());
        const int space = rest.indexOf(' ');
        lines.emplace_back(rest.left(space).toDouble(), QString::fromUtf8(rest.mid(space + 1)));
    }
    return lines;
}

struct Setup {
    QString program;
    QString bare;
    QString script;
    int entries = 10;
    int runs = 5;
    std::vector<double> delays {0.5, 2, 5, 15};
    double idleSeconds = 0;
    QString scale;
};

// Folders of one start of the program: its settings (with the stored list),
// its scratch files; the office profile kept in `cache` is shared by every
// start, as a user's is.
class ProgramHome {
public:
    ProgramHome(const QString &cache, int entries) : m_cache(cache)
    {
        QDir(m_home.path()).mkpath(QStringLiteral("config"));
        QDir(m_home.path()).mkpath(QStringLiteral("temp"));
        QList<ListEntry> list;
        for (int i = 0; i < entries; ++i)
            list.append({QStringLiteral("12/%1/2026").arg(i % 28 + 1), QStringLiteral("Project %1").arg(i + 1),
                         QStringLiteral("Notes for entry %1").arg(i + 1), i % 3 == 0 ? QStringLiteral("V") : QString()});
        SettingsStore store(m_home.filePath(QStringLiteral("config/Marvesk.ini")));
        store.write(QStringLiteral("ToDo"), encodeEntryList(list));
        store.write(QStringLiteral("txtName"), QStringLiteral("A. Person"));
        store.write(QStringLiteral("txtProName"), QStringLiteral("The project"));
        store.flush();
    }

    QProcessEnvironment environment(const QString &display, const QString &scale) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), m_cache);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.path());
        env.insert(QStringLiteral("TEMP"), m_home.filePath(QStringLiteral("temp")));
        env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("quorbel.timing.debug=true"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("SESSION_MANAGER"));
        if (!scale.isEmpty())
            env.insert(QStringLiteral("QT_SCALE_FACTOR"), scale);
        return env;
    }

private:
    QTemporaryDir m_home;
    QString m_cache;
};

struct ClickRun {
    double startUp = -1;
    double clickToPreview = -1;
    double peakMiB = -1;
    std::map<QString, double> stages;  // from the click
    std::vector<QString> order;
};

// Ends the program as the desktop would (SIGTERM) and collects its error stream.
QByteArray endProgram(QProcess &program)
{
    program.waitForStarted();
    if (program.state() != QProcess::NotRunning) {
        program.terminate();
        if (!program.waitForFinished(15000)) {
            program.kill();
            program.waitForFinished();
        }
    }
    return program.readAllStandardError();
}

// One start of the program, one click `delay` seconds after its main
// window showed.
ClickRun clickOnce(VirtualDisplay &display, const Setup &setup, const QString &cache, double delay)
{
    ClickRun run;
    ProgramHome home(cache, setup.entries);
    display.drain();
    QProcess program;
    program.setProcessEnvironment(home.environment(display.name(), setup.scale));
    program.setProcessChannelMode(QProcess::SeparateChannels);
    const double started = nowMs();
    program.start(setup.program, {});
    xcb_window_t main = 0;
    double mainMapped = 0;
    while (auto event = display.next(started + 120000)) {
        if (event->mapped) {
            main = event->window;
            mainMapped = event->ms;
            break;
        }
    }
    if (!main) {
        std::fprintf(stderr, "the main window did not show:\n%s\n", endProgram(program).constData());
        return run;
    }
    run.startUp = mainMapped - started;
    const double scale = setup.scale.isEmpty() ? 1.0 : setup.scale.toDouble();
    const QRect window = display.geometry(main);
    // "Start Creating Template": 120, 120, 7800 x 405 twips.
    const QPoint button = window.topLeft() + QPoint(int((8 + 260) * scale), int((8 + 13) * scale));
    // The pointer comes to the button a moment before the click, as a hand does.
    const double clickAt = mainMapped + delay * 1000.0;
    while (nowMs() < clickAt - 250)
        display.next(clickAt - 250);
    display.movePointer(button.x(), button.y());
    while (nowMs() < clickAt)
        display.next(clickAt);
    const double clicked = display.click();
    std::vector<xcb_window_t> shown;
    double shownAt = 0;
    bool mainHidden = false;
    while (auto event = display.next(clicked + 600000)) {
        if (event->window == main) {
            mainHidden = !event->mapped;
        } else if (event->mapped) {
            shown.push_back(event->window);
            shownAt = event->ms;
        } else {
            shown.erase(std::remove(shown.begin(), shown.end(), event->window), shown.end());
        }
        if (mainHidden && !shown.empty())
            break;
    }
    if (!mainHidden || shown.empty()) {
        std::fprintf(stderr, "the preview did not show:\n%s\n", endProgram(program).constData());
        return run;
    }
    run.clickToPreview = shownAt - clicked;
    run.peakMiB = statusKiB(program.processId(), "VmHWM") / 1024.0;
    const QByteArray errors = endProgram(program);
    if (qEnvironmentVariableIsSet("BENCH_SHOW_ERRORS"))
        std::fprintf(stderr, "%s\n", errors.constData());
    for (const auto &[ms, stage] : timingLines(errors)) {
        if (ms < clicked - 50)
            continue;
        run.stages[stage] = ms - clicked;
        run.order.push_back(stage);
    }
    return run;
}

// Start-up of a bare Qt Widgets window to its map.
double bareStartUp(VirtualDisplay &display, const Setup &setup)
{
    display.drain();
    QProcess bare;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display.name());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("SESSION_MANAGER"));
    if (!setup.scale.isEmpty())
        env.insert(QStringLiteral("QT_SCALE_FACTOR"), setup.scale);
    bare.setProcessEnvironment(env);
    const double started = nowMs();
    bare.start(setup.bare, {});
    double mapped = -1;
    while (auto event = display.next(started + 30000)) {
        if (event->mapped) {
            mapped = event->ms - started;
            break;
        }
    }
    bare.waitForStarted();
    bare.terminate();
    bare.waitForFinished(5000);
    return mapped;
}

// The warm scripted office's median for `entries` entries.
QString warmOffice(const Setup &setup, const QString &folder, int entries)
{
    const QString templatePath = QDir(folder).filePath(QStringLiteral("template.xlt"));
    QFile file(templatePath);
    if (!file.open(QIODevice::WriteOnly) || file.write(templateWorkbookBytes()) < 0)
        return QStringLiteral("(the template could not be written)");
    file.close();
    QProcess script;
    script.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    script.start(QStringLiteral("/usr/bin/python3"),
                 {setup.script, templatePath, QString::number(entries), QString::number(setup.runs)});
    if (!script.waitForFinished(600000))
        return QStringLiteral("(the script did not finish)");
    return QString::fromUtf8(script.readAllStandardOutput()).trimmed();
}

// What the program and its offices cost while the main window waits.
void idleCosts(VirtualDisplay &display, const Setup &setup, const QString &cache)
{
    ProgramHome home(cache, setup.entries);
    display.drain();
    QProcess program;
    program.setProcessEnvironment(home.environment(display.name(), setup.scale));
    const double started = nowMs();
    program.start(setup.program, {});
    while (auto event = display.next(started + 120000)) {
        if (event->mapped)
            break;
    }
    // The offices start and warm up; then the window waits.
    QThread::sleep(10);
    const qint64 pid = program.processId();
    const QList<qint64> offices = officesOf(pid);
    double before = cpuMs(pid);
    for (qint64 office : offices)
        before += cpuMs(office);
    const double beforeMs = nowMs();
    QThread::msleep(int(setup.idleSeconds * 1000));
    double after = cpuMs(pid);
    for (qint64 office : offices)
        after += cpuMs(office);
    const double seconds = (nowMs() - beforeMs) / 1000.0;
    std::printf("idle main window, %d entries: offices kept: %lld\n", setup.entries, qlonglong(offices.size()));
    double total = 0;
    double anon = 0;
    for (qint64 office : offices) {
        const double rss = statusKiB(office, "VmRSS") / 1024.0;
        const double own = statusKiB(office, "RssAnon") / 1024.0;
        total += rss;
        anon += own;
        std::printf("  office %lld: resident %.0f MiB (own, anonymous: %.0f MiB)\n", qlonglong(office), rss, own);
    }
    std::printf("  offices together: resident %.0f MiB, own %.0f MiB\n", total, anon);
    std::printf("  program: resident %.0f MiB\n", statusKiB(pid, "VmRSS") / 1024.0);
    std::printf("  CPU of the program and its offices over %.0f s idle: %.0f ms\n", seconds, after - before);
    endProgram(program);
}

Setup parse(const QStringList &args)
{
    Setup setup;
    const QString folder = QCoreApplication::applicationDirPath();
    setup.program = QDir(folder).filePath(QStringLiteral("quorbel"));
    setup.bare = QDir(folder).filePath(QStringLiteral("bench_bare_window"));
    setup.script = QDir(folder).filePath(QStringLiteral("warm_office.py"));
    for (int i = 1; i + 1 < args.size(); i += 2) {
        const QString &key = args[i];
        const QString &value = args[i + 1];
        if (key == QLatin1String("--entries")) {
            setup.entries = value.toInt();
        } else if (key == QLatin1String("--runs")) {
            setup.runs = std::max(1, value.toInt());
        } else if (key == QLatin1String("--delays")) {
            setup.delays.clear();
            for (const QString &d : value.split(QLatin1Char(',')))
                setup.delays.push_back(d.toDouble());
        } else if (key == QLatin1String("--idle")) {
            setup.idleSeconds = value.toDouble();
        } else if (key == QLatin1String("--scale")) {
            setup.scale = value;
        } else if (key == QLatin1String("--program")) {
            setup.program = value;
        }
    }
    return setup;
}

double loadAverage()
{
    double load[1] = {-1};
    ::getloadavg(load, 1);
    return load[0];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const Setup setup = parse(app.arguments());
    VirtualDisplay display;
    if (!display.ok()) {
        std::fprintf(stderr, "no virtual X server could be started (Xvfb)\n");
        return 1;
    }
    QTemporaryDir work;
    const QString cache = work.filePath(QStringLiteral("cache"));
    QDir().mkpath(cache);
    std::printf("load average at the start: %.2f (%ld processors)\n", loadAverage(), sysconf(_SC_NPROCESSORS_ONLN));

    // The first start makes the office profile kept in the cache.
    {
        Setup first = setup;
        first.entries = 0;
        clickOnce(display, first, cache, 3);
    }
    if (setup.idleSeconds > 0) {
        idleCosts(display, setup, cache);
        return 0;
    }

    std::vector<double> startUps;
    std::vector<double> bare;
    std::vector<double> allClicks;
    std::vector<double> peaks;
    std::map<QString, std::vector<double>> stages;
    std::vector<QString> order;
    for (double delay : setup.delays) {
        std::vector<double> clicks;
        for (int i = 0; i < setup.runs; ++i) {
            const ClickRun run = clickOnce(display, setup, cache, delay);
            if (run.clickToPreview < 0)
                continue;
            startUps.push_back(run.startUp);
            clicks.push_back(run.clickToPreview);
            allClicks.push_back(run.clickToPreview);
            peaks.push_back(run.peakMiB);
            for (const QString &stage : run.order) {
                if (std::find(order.begin(), order.end(), stage) == order.end())
                    order.push_back(stage);
                stages[stage].push_back(run.stages.at(stage));
            }
            bare.push_back(bareStartUp(display, setup));
        }
        std::printf("click %4.1f s after the main window showed, %d entries: click to preview shown %6.0f ms median (%s)\n",
                    delay, setup.entries, median(clicks), qPrintable(joined(clicks)));
        std::fflush(stdout);
    }
    const QString warm = warmOffice(setup, work.path(), setup.entries);
    const double clickMedian = median(allClicks);
    std::printf("\nclick to preview shown, every click: %.0f ms median of %zu\n", clickMedian, allClicks.size());
    std::printf("%s\n", qPrintable(warm));
    const double warmMs = warm.section(QLatin1Char(' '), 2, 2).toDouble();
    if (warmMs > 0)
        std::printf("click to preview = %.2f x the warm scripted office\n", clickMedian / warmMs);
    std::printf("program's peak resident memory at the preview: %.0f MiB (largest of the runs)\n",
                peaks.empty() ? -1.0 : *std::max_element(peaks.begin(), peaks.end()));

    std::printf("\nwhere the click's time goes (program's timing lines, ms after the click, medians):\n");
    std::sort(order.begin(), order.end(),
              [&](const QString &a, const QString &b) { return median(stages[a]) < median(stages[b]); });
    for (const QString &stage : order)
        std::printf("  %8.1f  %s\n", median(stages[stage]), qPrintable(stage));
    std::printf("  %8.1f  preview window mapped\n", clickMedian);

    const double startMedian = median(startUps);
    const double bareMedian = median(bare);
    std::printf("\nstart-up to the main window mapped: %.0f ms median of %zu (%s)\n", startMedian, startUps.size(),
                qPrintable(joined(startUps)));
    std::printf("bare Qt Widgets window to mapped: %.0f ms median of %zu (%s)\n", bareMedian, bare.size(),
                qPrintable(joined(bare)));
    if (bareMedian > 0)
        std::printf("start-up = %.2f x a bare Qt Widgets window\n", startMedian / bareMedian);
    std::printf("load average at the end: %.2f\n", loadAverage());
    return 0;
}
