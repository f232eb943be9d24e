// zra-cli export under load: many zra-sim processes (one per loopback
// address, each on port 9760) read every 10 s by one exporter process,
// scraped every 7 s (at every phase of the rounds). It reports the oldest round a
// scrape saw, the exporter's CPU and resident memory over the run, and how
// one installation stopped by its pid goes to zra_up 0 and comes back while
// the others read on. ZRA_EXPORT_BENCH_SECONDS sets the run's length
// (default 1800), ZRA_EXPORT_BENCH_INSTALLATIONS their number (default 100).
#include "bench/BenchSupport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr int IntervalS = 10;
// Scrapes come at another period than the rounds, so that they fall at
// every phase of them (at the rounds' own period they would see one phase).
constexpr int ScrapeS = 7;

int EnvNumber(const char* name, int fallback) {
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok && v > 0 ? v : fallback;
}

void Sleep(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The exporter's CPU time (user and system) in seconds and its resident memory.
struct Usage {
    double cpuSeconds = 0;
    qint64 residentBytes = 0;
};
Usage UsageOf(qint64 pid) {
    Usage u;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray line = stat.readAll();
        // The fields after the command's closing parenthesis: state is field 3.
        const QList<QByteArray> f = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (f.size() > 22) {
            const double tick = double(::sysconf(_SC_CLK_TCK));
            u.cpuSeconds = (f[11].toDouble() + f[12].toDouble()) / tick;
            u.residentBytes = f[21].toLongLong() * ::sysconf(_SC_PAGESIZE);
        }
    }
    return u;
}

struct Scrape {
    bool ok = false;
    std::map<QString, double> up, lastRead;
};

class Scraper {
public:
    explicit Scraper(quint16 port)
        : m_url(QStringLiteral("http://127.0.0.1:%1/metrics").arg(port)) {}
    Scrape get() {
        Scrape s;
        QNetworkReply* reply = m_manager.get(QNetworkRequest(m_url));
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
        if (reply->isFinished() && reply->error() == QNetworkReply::NoError) {
            static const QRegularExpression sample(
                QStringLiteral("^(zra_up|zra_last_read_timestamp_seconds)\\{installation=\"([^\"]+)"
                               "\"[^}]*\\} (\\S+)$"),
                QRegularExpression::MultilineOption);
            auto it = sample.globalMatch(QString::fromUtf8(reply->readAll()));
            while (it.hasNext()) {
                const auto m = it.next();
                (m.captured(1) == QLatin1String("zra_up") ? s.up : s.lastRead)[m.captured(2)] =
                    m.captured(3).toDouble();
            }
            s.ok = true;
        }
        reply->abort();
        reply->deleteLater();
        return s;
    }

private:
    QNetworkAccessManager m_manager;
    QUrl m_url;
};

double NowSeconds() {
    return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

// The oldest last round of the installations but `except`; a missing one counts as never.
double Oldest(const Scrape& s, const QStringList& addresses, const QString& except = {}) {
    const double now = NowSeconds();
    double oldest = 0;
    for (const QString& a : addresses)
        if (a != except)
            oldest = std::max(oldest, s.lastRead.count(a) ? now - s.lastRead.at(a) : 1e9);
    return oldest;
}

bool AllUp(const Scrape& s, const QStringList& addresses, const QString& except = {}) {
    return std::all_of(addresses.begin(), addresses.end(), [&](const QString& a) {
        return a == except || (s.up.count(a) && s.up.at(a) == 1);
    });
}

std::unique_ptr<QProcess> StartSimulator(const QString& address) {
    auto sim = std::make_unique<QProcess>();
    sim->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim->start(QStringLiteral(ZRA_SIM_PROGRAM), {QStringLiteral("--address"), address});
    if (!sim->waitForReadyRead(10000) || !sim->readLine().startsWith("zra-sim: management")) {
        std::fprintf(stderr, "the simulator on %s did not start\n", qPrintable(address));
        return nullptr;
    }
    return sim;
}

void Stop(QProcess& p) {
    p.terminate(); // SIGTERM to its own pid
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished(2000);
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int seconds = EnvNumber("ZRA_EXPORT_BENCH_SECONDS", 1800);
    const int count = std::min(EnvNumber("ZRA_EXPORT_BENCH_INSTALLATIONS", 100), 250);

    QStringList addresses;
    std::vector<std::unique_ptr<QProcess>> sims;
    for (int n = 1; n <= count; ++n) {
        addresses << QStringLiteral("127.0.77.%1").arg(n);
        sims.push_back(StartSimulator(addresses.back()));
        if (!sims.back())
            return 1;
    }
    QTemporaryDir dir;
    QFile targets(dir.filePath(QStringLiteral("targets")));
    if (!targets.open(QIODevice::WriteOnly))
        return 1;
    targets.write("# the benchmark's installations\n" + addresses.join(u'\n').toUtf8() + '\n');
    targets.close();

    QProcess exporter;
    exporter.start(QStringLiteral(ZRA_CLI_PROGRAM),
                   {"export", "--listen", "127.0.0.1:0", "--targets", targets.fileName(), "--every",
                    QString::number(IntervalS)});
    quint16 port = 0;
    QByteArray err;
    const QRegularExpression serving(QStringLiteral("serving http://127.0.0.1:(\\d+)/"));
    for (int i = 0; i < 100 && port == 0; ++i) {
        exporter.waitForReadyRead(100);
        err += exporter.readAllStandardError();
        if (const auto m = serving.match(QString::fromUtf8(err)); m.hasMatch())
            port = quint16(m.captured(1).toUInt());
    }
    if (port == 0) {
        std::fprintf(stderr, "the exporter did not serve: %s\n", err.constData());
        return 1;
    }
    Scraper scraper(port);
    std::printf("%d installations, every %d s, for %d s; the exporter is pid %lld\n", count,
                IntervalS, seconds, exporter.processId());

    // The first rounds and scrapes settle the memory (each thread's heap
    // arena, the scrape's buffers): a tenth of the run, at least 2 rounds.
    Sleep(std::max(2 * IntervalS, seconds / 10) * 1000);
    const Usage warm = UsageOf(exporter.processId());
    QElapsedTimer clock;
    clock.start();
    double oldest = 0;
    bool allUp = true;
    int scrapes = 0;
    qint64 peak = warm.residentBytes;
    // The resident size at every scrape: one sample catches the rounds that
    // run at that moment (a few MiB), so the growth compares the median of
    // the first tenth of the samples with that of the last tenth.
    std::vector<double> resident;
    while (clock.elapsed() < seconds * 1000LL) {
        const Scrape s = scraper.get();
        ++scrapes;
        oldest = std::max(oldest, s.ok ? Oldest(s, addresses) : 1e9);
        allUp = allUp && s.ok && AllUp(s, addresses);
        const qint64 now = UsageOf(exporter.processId()).residentBytes;
        resident.push_back(double(now) / 1048576.0);
        peak = std::max(peak, now);
        if (scrapes % 6 == 0)
            std::printf("  %4lld s: oldest round %.1f s, resident %.1f MiB\n",
                        clock.elapsed() / 1000, oldest, resident.back());
        Sleep(ScrapeS * 1000);
    }
    const double wall = zra::bench::MsSince(clock) / 1000.0;
    const Usage end = UsageOf(exporter.processId());
    const double cpu = 100.0 * (end.cpuSeconds - warm.cpuSeconds) / wall;
    const std::size_t tenth = std::max<std::size_t>(1, resident.size() / 10);
    const double first =
        zra::bench::Median(std::vector<double>(resident.begin(), resident.begin() + tenth));
    const double last =
        zra::bench::Median(std::vector<double>(resident.end() - tenth, resident.end()));
    const double growth = 100.0 * (last - first) / first;

    // One installation stopped: zra_up 0 within an interval, the others read on.
    const QString stopped = addresses.constFirst();
    Stop(*sims.front());
    QElapsedTimer down;
    down.start();
    double downAfter = -1, othersOldest = 0;
    bool othersUp = true;
    while (down.elapsed() < 3 * IntervalS * 1000) {
        const Scrape s = scraper.get();
        othersUp = othersUp && s.ok && AllUp(s, addresses, stopped);
        othersOldest = std::max(othersOldest, s.ok ? Oldest(s, addresses, stopped) : 1e9);
        if (downAfter < 0 && s.ok && s.up.count(stopped) && s.up.at(stopped) == 0)
            downAfter = zra::bench::MsSince(down) / 1000.0;
        if (downAfter >= 0 && down.elapsed() > 2 * IntervalS * 1000)
            break;
        Sleep(250);
    }
    // Started again on its address: it comes back by itself.
    sims.front() = StartSimulator(stopped);
    QElapsedTimer back;
    back.start();
    double backAfter = -1;
    while (sims.front() && backAfter < 0 && back.elapsed() < 3 * IntervalS * 1000) {
        const Scrape s = scraper.get();
        if (s.ok && s.up.count(stopped) && s.up.at(stopped) == 1)
            backAfter = zra::bench::MsSince(back) / 1000.0;
        else
            Sleep(250);
    }

    std::printf("scrapes: %d over %.0f s; every installation up at every scrape: %s\n", scrapes,
                wall, allUp ? "yes" : "no");
    std::printf("oldest round at a scrape: %.1f s\n", oldest);
    std::printf("exporter CPU: %.2f s in %.0f s (%.2f %% of one core)\n",
                end.cpuSeconds - warm.cpuSeconds, wall, cpu);
    std::printf("exporter resident: %.1f MiB after warm-up, %.1f MiB at the end, peak %.1f MiB;"
                " medians of the first and the last %zu samples %.1f and %.1f MiB\n",
                warm.residentBytes / 1048576.0, end.residentBytes / 1048576.0, peak / 1048576.0,
                tenth, first, last);
    std::printf("stopped %s: zra_up 0 after %.1f s, back %.1f s after its restart\n",
                qPrintable(stopped), downAfter, backAfter);

    const QString figure =
        QStringLiteral("export, %1 installations every %2 s").arg(count).arg(IntervalS);
    const auto row = [&](const char* what, const QString& value, const char* goal, bool met) {
        zra::bench::Row(qPrintable(figure + QLatin1String(what)), value, goal, met);
    };
    row(": oldest round at a scrape",
        QStringLiteral("%1 s%2").arg(oldest, 0, 'f', 1).arg(allUp ? "" : " (not all up)"),
        "<= 20 s", allUp && oldest <= 2 * IntervalS);
    row(": exporter CPU", QStringLiteral("%1 % of one core").arg(cpu, 0, 'f', 2), "<= 10 %",
        cpu <= 10);
    row(": resident memory growth",
        QStringLiteral("%1 % (%2 -> %3 MiB)")
            .arg(growth, 0, 'f', 2)
            .arg(first, 0, 'f', 1)
            .arg(last, 0, 'f', 1),
        "within 5 %", growth <= 5);
    row(", one stopped: zra_up 0 after", QStringLiteral("%1 s").arg(downAfter, 0, 'f', 1),
        "<= 10 s", downAfter >= 0 && downAfter <= IntervalS);
    row(", one stopped: the others' oldest round",
        QStringLiteral("%1 s%2").arg(othersOldest, 0, 'f', 1).arg(othersUp ? "" : " (not all up)"),
        "<= 20 s", othersUp && othersOldest <= 2 * IntervalS);
    // Its next round comes within an interval of the restart, and takes its time.
    row(", one stopped: back after its restart", QStringLiteral("%1 s").arg(backAfter, 0, 'f', 1),
        "<= 11 s", backAfter >= 0 && backAfter <= IntervalS + 1);

    Stop(exporter);
    for (auto& sim : sims)
        if (sim)
            Stop(*sim);
    return 0;
}
