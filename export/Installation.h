#pragma once
#include "export/Metrics.h"
#include "export/Targets.h"

#include <QDateTime>
#include <QList>
#include <QMutex>
#include <QThread>
#include <memory>
#include <optional>
#include <vector>

namespace zra::exporter {

struct Login {
    QString user;
    QString password;
};

// What every installation's reads share: the views, the interval, the login.
struct ReadSettings {
    QList<store::ViewKind> views;
    int everySeconds = 30;
    std::optional<Login> login;
};

// The outcome of an installation's last completed round, as the HTTP side
// sees it: immutable once published.
struct RoundState {
    Target target;
    bool read = false; // a round has ended (else the first one still runs)
    bool up = false;   // and it read every view
    QDateTime ended;
    QDateTime lastSuccess; // invalid: none yet
    double durationSeconds = 0;
    quint64 failures = 0;
    QString error;     // the failed round's messages
    FamilyLines lines; // the status metrics, and the tables' of a good round
};

// The last round of every installation, published by the installations'
// threads and read by the HTTP thread; each entry is replaced whole.
class RoundBoard {
public:
    explicit RoundBoard(const QList<Target>& targets);
    void publish(int index, std::shared_ptr<const RoundState> state);
    std::vector<std::shared_ptr<const RoundState>> rounds() const;

private:
    mutable QMutex m_mutex;
    std::vector<std::shared_ptr<const RoundState>> m_rounds;
};

// The status metrics of a round: zra_up, the last success, the duration and
// the failures so far.
void AddStatusMetrics(RoundState& state, const Labels& base);
// The labels every sample of a target carries.
Labels TargetLabels(const Target& target);

// One installation's reads: a thread that owns its link, client and alarm
// descriptions (created in it) and runs a round every interval, the first
// at once; a round that runs longer is followed at once. requestStop()
// ends a running round's waits and the thread; the destructor waits for it.
class InstallationThread : public QThread {
public:
    InstallationThread(int index, Target target, const ReadSettings& settings, RoundBoard& board);
    ~InstallationThread() override;
    void requestStop();

protected:
    void run() override;

private:
    const int m_index;
    const Target m_target;
    const ReadSettings m_settings;
    RoundBoard& m_board;
};

} // namespace zra::exporter
