#include "export/Installation.h"

#include "link/AlarmTexts.h"
#include "link/DeviceClient.h"
#include "link/DeviceLink.h"
#include "link/Reporter.h"

#include <QElapsedTimer>
#include <QMutexLocker>
#include <QTimer>
#include <cstdio>
#include <exception>

namespace zra::exporter {

namespace {

// The messages of the link and the client on this thread: kept for the
// round that runs.
class RoundReporter : public link::Reporter {
public:
    QStringList messages;
    void warning(const QString& text) override {
        if (!messages.contains(text))
            messages << text;
    }
};

// The link and what talks through it, made and ended on the installation's thread.
class Reader {
public:
    Reader(const Target& target, const ReadSettings& settings) : m_settings(settings) {
        m_link.setAddress(target.connectAddress);
        m_link.setUnitIdValue(target.unit);
        m_link.loginDialog = [this] { logIn(); };
    }

    // One round: connects when the link is down, then reads every view.
    std::optional<reads::ReadTables> round() {
        try {
            if (!m_link.connectedState()) {
                m_link.ConnectCommand();
                if (!m_link.connectedState())
                    return std::nullopt;
            }
            reads::ReadContext context{m_client, m_descriptions};
            reads::ReadTables tables;
            for (const store::ViewKind kind : m_settings.views) {
                // The system block's read brings the alarms along.
                if (tables.contains(kind))
                    continue;
                const reads::TableView* view = reads::FindView(kind);
                if (!view || !view->read(context, tables) || !tables.contains(kind))
                    return std::nullopt;
            }
            return tables;
        } catch (const std::exception& e) {
            link::Report().warning(QString::fromUtf8(e.what()));
            // The next round starts from a fresh connect.
            if (m_link.connectedState())
                m_link.ConnectCommand();
            return std::nullopt;
        }
    }

private:
    // zra-cli's login: the login dialog's IA exchange without the dialog.
    void logIn() {
        if (!m_settings.login) {
            link::Report().warning(
                QStringLiteral("the installation requires a login: give --login-file FILE"));
            return;
        }
        if (m_client.login(m_settings.login->user, m_settings.login->password) ==
            link::DeviceClient::Login::Refused)
            link::Report().warning(link::DeviceClient::LoginRefusedText);
    }

    const ReadSettings& m_settings;
    link::DeviceLink m_link;
    link::DeviceClient m_client{m_link};
    link::AlarmDescriptions m_descriptions{m_client};
};

} // namespace

Labels TargetLabels(const Target& target) {
    return {{"installation", target.address}, {"unit", QString::number(target.unit)}};
}

void AddStatusMetrics(RoundState& state, const Labels& base) {
    state.lines.add(FamilyIndex("zra_up"), base, state.up ? 1 : 0);
    if (state.lastSuccess.isValid())
        state.lines.add(FamilyIndex("zra_last_read_timestamp_seconds"), base,
                        double(state.lastSuccess.toMSecsSinceEpoch()) / 1000.0);
    if (state.read)
        state.lines.add(FamilyIndex("zra_read_duration_seconds"), base, state.durationSeconds);
    state.lines.add(FamilyIndex("zra_read_failures_total"), base, double(state.failures));
}

RoundBoard::RoundBoard(const QList<Target>& targets) {
    for (const Target& t : targets) {
        auto waiting = std::make_shared<RoundState>();
        waiting->target = t;
        AddStatusMetrics(*waiting, TargetLabels(t));
        m_rounds.push_back(std::move(waiting));
    }
}

void RoundBoard::publish(int index, std::shared_ptr<const RoundState> state) {
    const QMutexLocker lock(&m_mutex);
    m_rounds[std::size_t(index)] = std::move(state);
}

std::vector<std::shared_ptr<const RoundState>> RoundBoard::rounds() const {
    const QMutexLocker lock(&m_mutex);
    return m_rounds;
}

InstallationThread::InstallationThread(int index, Target target, const ReadSettings& settings,
                                       RoundBoard& board)
    : m_index(index), m_target(std::move(target)), m_settings(settings), m_board(board) {}

InstallationThread::~InstallationThread() {
    requestStop();
    wait();
}

void InstallationThread::requestStop() {
    requestInterruption();
    // Ends this thread's event loops, the waits of a running exchange too.
    quit();
}

void InstallationThread::run() {
    RoundReporter reporter;
    link::SetThreadReporter(&reporter);
    {
        Reader reader(m_target, m_settings);
        const Labels base = TargetLabels(m_target);
        QElapsedTimer clock;
        clock.start();
        qint64 due = 0;
        QDateTime lastSuccess;
        quint64 failures = 0;
        bool wasUp = true; // a first failure is told too
        QTimer next;
        next.setSingleShot(true);
        QObject::connect(&next, &QTimer::timeout, [&] {
            reporter.messages.clear();
            QElapsedTimer took;
            took.start();
            const std::optional<reads::ReadTables> tables = reader.round();
            if (isInterruptionRequested())
                return;
            auto state = std::make_shared<RoundState>();
            state->target = m_target;
            state->read = true;
            state->up = tables.has_value();
            state->ended = QDateTime::currentDateTime();
            state->durationSeconds = double(took.nsecsElapsed()) / 1e9;
            if (state->up)
                lastSuccess = state->ended;
            else
                ++failures;
            state->lastSuccess = lastSuccess;
            state->failures = failures;
            state->error = state->up ? QString() : reporter.messages.join(QStringLiteral("; "));
            if (state->error.isEmpty() && !state->up)
                state->error = QStringLiteral("the read failed");
            AddStatusMetrics(*state, base);
            if (tables)
                AddTableMetrics(*tables, base, state->lines);
            if (state->up != wasUp) {
                const QString text = state->up ? QStringLiteral("read again")
                                               : QStringLiteral("down: ") + state->error;
                std::fprintf(stderr, "zra-cli: export: %s unit %d: %s\n",
                             qUtf8Printable(m_target.address), m_target.unit, qUtf8Printable(text));
                std::fflush(stderr);
                wasUp = state->up;
            }
            m_board.publish(m_index, std::move(state));
            due = std::max(due + m_settings.everySeconds * 1000LL, clock.elapsed());
            next.start(int(due - clock.elapsed()));
        });
        next.start(0);
        exec();
    }
    link::SetThreadReporter(nullptr);
}

} // namespace zra::exporter
