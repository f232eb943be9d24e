#include "sim/Installation.h"
#include <QTimeZone>
#include <algorithm>
#include <cmath>

namespace zra::sim {

namespace {
using Space = RegisterStore::Space;

constexpr double PowerFactor = 0.95;
constexpr double AcEfficiency = 0.94;
constexpr double DcEfficiency = 0.93;
constexpr double AcInputPowerFactor = 0.99;
constexpr int IdentifySeconds = 30;
constexpr int MaxStepsPerRead = 5; // after a long pause the walk catches up only this far

// A register block assembled byte by byte, high byte first.
class Block {
public:
    explicit Block(int registers) : m_bytes(registers * 2, '\0') {}
    void byte(int at, int value) { m_bytes[at] = static_cast<char>(std::clamp(value, 0, 255)); }
    void u16(int at, double value) {
        const auto v = static_cast<quint16>(std::clamp<long>(std::lround(value), 0, 65535));
        m_bytes[at] = static_cast<char>(v >> 8);
        m_bytes[at + 1] = static_cast<char>(v & 0xFF);
    }
    void s32(int at, double value) {
        const auto v = static_cast<quint32>(static_cast<qint32>(std::lround(value)));
        for (int i = 0; i < 4; ++i)
            m_bytes[at + i] = static_cast<char>(v >> (24 - 8 * i));
    }
    const QByteArray& bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

int percent(double part, double whole) {
    return whole > 0 ? static_cast<int>(std::lround(100.0 * part / whole)) : 0;
}

double walk(QRandomGenerator& random, double value, double stepSize, double low, double high) {
    return std::clamp(value + (random.generateDouble() * 2 - 1) * stepSize, low, high);
}

bool overlaps(quint16 first, int count, quint16 low, int lowCount) {
    return first < low + lowCount && low < first + count;
}
} // namespace

struct Installation::Reading {
    bool present = false;
    bool switchedOff = false; // by a module command or the system command
    bool delivering = false;
    bool fromDc = false;
    double outV = 0, outA = 0, outW = 0, outVA = 0, outHz = 0;
    double acV = 0, acA = 0, acW = 0, acVA = 0, acHz = 0;
    double dcV = 0, dcA = 0, dcW = 0;
    double temperature = 0;
};

Installation::Installation(Scenario scenario, bool frozen)
    : m_s(std::move(scenario)), m_frozen(frozen), m_random(m_s.seed) {
    m_sinceStart.start();
    m_jitter.resize(m_s.modules.size());
    m_identifyUntil.resize(m_s.modules.size());
    m_phaseVoltage.fill(0.0, m_s.phases.size());
    m_phaseFrequency.fill(0.0, m_s.phases.size());
    m_clockBase = m_s.clock.value_or(QDateTime::currentDateTime());
    m_clockBase.setTime(
        QTime(m_clockBase.time().hour(), m_clockBase.time().minute(), m_clockBase.time().second()));
    m_summerTime = m_s.summerTime.value_or(m_clockBase.isDaylightTime());
    m_clockRunning.start();
}

void Installation::setFrozen(bool frozen) {
    if (frozen == m_frozen)
        return;
    if (frozen)
        m_clockBase = now();
    m_clockRunning.restart();
    m_frozen = frozen;
}

QDateTime Installation::now() const {
    return m_frozen ? m_clockBase : m_clockBase.addMSecs(m_clockRunning.elapsed());
}

const VariableSpec* Installation::variable(int number) const {
    for (const VariableSpec& v : m_s.variables) {
        if (v.number == number)
            return &v;
    }
    return nullptr;
}

VariableSpec* Installation::variable(int number) {
    return const_cast<VariableSpec*>(std::as_const(*this).variable(number));
}

QString Installation::summary() const {
    const auto seen = std::count_if(m_s.modules.begin(), m_s.modules.end(),
                                    [](const ModuleSpec& m) { return m.present; });
    return QStringLiteral("%1 phase(s), %2 module(s) (%3 seen), %4 AC and %5 DC group(s), "
                          "%6 alarm(s), %7 event(s), %8 variable(s), %9, password %10")
        .arg(m_s.phases.size())
        .arg(m_s.modules.size())
        .arg(seen)
        .arg(m_s.acGroups.size())
        .arg(m_s.dcGroups.size())
        .arg(m_s.alarms.size())
        .arg(m_s.events.size())
        .arg(m_s.variables.size())
        .arg(m_frozen ? QStringLiteral("frozen") : QStringLiteral("live"))
        .arg(m_s.passwordRequired ? QStringLiteral("required") : QStringLiteral("not required"));
}

// ---- registers ------------------------------------------------------------------------------

void Installation::attach(RegisterStore& store) {
    store.setWriteGuard(
        [this](quint16 first, const QList<quint16>& values) { return refusal(first, values); });
    store.setWriteHandler([this](RegisterStore& s, quint16 first, const QList<quint16>& values) {
        afterWrite(s, first, values);
    });
    store.setReadHandler([this](RegisterStore& s, Space space, quint16 first, int count) {
        beforeRead(s, space, first, count);
    });
    // Registers that hold what was written last.
    store.render(Space::Holding, reg::SystemCommand, 0);
    for (int i = 0; i < reg::AccessPasswordCount; ++i)
        store.render(Space::Holding, static_cast<quint16>(reg::AccessPassword + i), 0);
    renderAll(store);
}

void Installation::renderAll(RegisterStore& store) {
    // Descriptions of every code, empty ones included, so that any code can be looked up.
    for (int code = 0; code <= limits::MaxCode; ++code) {
        store.renderBytes(Space::Input, static_cast<quint16>(reg::Descriptions + 8 * code),
                          fieldText(m_s.descriptions.value(code), limits::DescriptionBytes,
                                    m_s.descriptionPadding));
    }
    for (int n = 1; n <= limits::Variables; ++n)
        renderVariable(store, n);
    renderState(store);
}

void Installation::renderState(RegisterStore& store) {
    renderClock(store);
    renderModules(store);
    renderPhases(store);
    renderGroups(store);
    renderSystem(store);
    renderAlarms(store);
    renderEvents(store);
    renderControl(store);
}

void Installation::renderClock(RegisterStore& store) {
    const QDateTime t = now();
    const quint16 clock[4] = {
        static_cast<quint16>(t.time().second() << 8 | t.time().minute()),
        static_cast<quint16>(t.time().hour() << 8 | t.date().day()),
        static_cast<quint16>(t.date().month() << 8 | (m_summerTime ? 1 : 0)),
        static_cast<quint16>(t.date().year()),
    };
    for (int i = 0; i < 4; ++i) {
        store.render(Space::Input, static_cast<quint16>(reg::Clock + i), clock[i]);
        store.render(Space::Holding, static_cast<quint16>(reg::ClockWrite + i), clock[i]);
    }
}

Installation::Reading Installation::reading(int index) const {
    const ModuleSpec& m = m_s.modules[index];
    const Jitter& j = m_jitter[index];
    Reading r;
    r.present = m.present;
    if (!m.present)
        return r;
    const AcGroupSpec* ac = m.acGroup > 0 ? &m_s.acGroups[m.acGroup - 1] : nullptr;
    const DcGroupSpec* dc = m.dcGroup > 0 ? &m_s.dcGroups[m.dcGroup - 1] : nullptr;
    if (m.hasAcInput && ac && ac->voltage > 0) {
        r.acV = ac->voltage + j.acV;
        r.acHz = ac->frequency + j.acHz;
    }
    if (dc && dc->voltage > 0)
        r.dcV = dc->voltage + j.dcV;
    const bool acUsable = r.acV > 0 && m.acInputStatus == 0;
    const bool dcUsable = r.dcV > 0 && m.dcInputStatus == 0;
    r.switchedOff = !m.on || !m_s.running;
    r.delivering = !m.failed && !r.switchedOff && (acUsable || dcUsable) && m.phase > 0;
    if (r.delivering) {
        const int p = m.phase - 1;
        r.outV = m_s.phases[p].voltage + m_phaseVoltage[p] + j.outV;
        r.outHz = m_s.phases[p].frequency + m_phaseFrequency[p];
        r.outW = std::min(m.nominalW * 1.1, m.nominalW * m.load * j.load);
        r.outVA = std::clamp(r.outW / PowerFactor, r.outW, m.nominalVA * 1.1);
        r.outA = r.outV > 0 ? r.outVA / r.outV : 0;
        r.fromDc = !acUsable;
        if (r.fromDc) {
            r.dcW = r.outW / DcEfficiency;
            r.dcA = r.dcW / r.dcV;
        } else {
            r.acW = r.outW / AcEfficiency;
            r.acVA = r.acW / AcInputPowerFactor;
            r.acA = r.acVA / r.acV;
        }
    }
    r.temperature = 298.0 + 22.0 * r.outW / m.nominalW + (m.fanFailed ? 14.0 : 0.0) + j.temperature;
    return r;
}

void Installation::renderModules(RegisterStore& store) {
    for (int i = 0; i < limits::Modules; ++i) {
        Block b(reg::ModuleBlockSize);
        if (i < m_s.modules.size()) {
            const ModuleSpec& m = m_s.modules[i];
            const Reading r = reading(i);
            const int acStatus = !r.present ? 4 : (m.hasAcInput ? m.acInputStatus : 3);
            const int dcStatus = !r.present ? 2 : m.dcInputStatus;
            const int loadW = percent(r.outW, m.nominalW);
            int status = 0;
            if (r.delivering)
                status |= moduleStatus::Delivering;
            if (r.present && r.switchedOff)
                status |= moduleStatus::SwitchedOff;
            if (r.present && m.failed)
                status |= moduleStatus::Failure;
            if (r.present && m.fanFailed)
                status |= moduleStatus::FanFailure;
            if (r.present && m_identifyUntil[i].isValid() && now() < m_identifyUntil[i])
                status |= moduleStatus::Identifying;
            b.byte(0, !r.present ? 4 : r.delivering ? 0 : r.switchedOff ? 1 : 2);
            b.byte(1, acStatus);
            b.byte(2, dcStatus);
            b.byte(3, m.address);
            b.byte(4, r.delivering && r.fromDc ? 1 : 0);
            b.byte(5, loadW);
            b.byte(6, percent(r.outVA, m.nominalVA));
            b.byte(7, m.phase);
            b.u16(8, r.outV * 10);
            b.u16(10, r.outA * 10);
            b.u16(12, r.outW);
            b.u16(14, r.outVA);
            b.u16(16, r.acV * 10);
            b.u16(18, r.acA * 10);
            b.u16(20, r.acW);
            b.u16(22, r.acVA);
            b.u16(24, r.acHz * 10);
            b.u16(26, r.dcV * 10);
            b.u16(28, r.dcA * 10);
            b.u16(30, r.dcW);
            b.u16(32, r.present ? r.temperature : 0);
            b.u16(34, m.softwareVersion);
            b.s32(36, m.serialNumber);
            b.s32(40, m.busErrors);
            b.byte(44, status);
            b.byte(45, acStatus);
            b.byte(46, dcStatus);
            b.byte(47, r.present ? 1 : 0);
            b.byte(48, m.acGroup);
            b.byte(49, m.dcGroup);
            b.byte(50, r.delivering && loadW >= m_s.saturationLimit ? 1 : 0);
            b.byte(51, m.hasAcInput ? 1 : 0);
            b.u16(52, m.nominalW);
            b.u16(54, m.nominalVA);
            b.u16(56, m.nominalAcVoltage * 10);
            b.u16(58, m.nominalDcVoltage * 10);
            b.u16(60, m.nominalFrequency * 10);

            const auto holding = static_cast<quint16>(reg::ModuleRegisters + 3 * i);
            store.render(Space::Holding, holding, static_cast<quint16>(m.address << 8 | m.phase));
            store.render(Space::Holding, holding + 1,
                         static_cast<quint16>(m.acGroup << 8 | m.dcGroup));
            store.render(Space::Holding, holding + 2, 0);
        }
        store.renderBytes(Space::Input, static_cast<quint16>(reg::ModuleBlock + 31 * i), b.bytes());
    }
}

void Installation::renderPhases(RegisterStore& store) {
    for (int p = 0; p < limits::Phases; ++p) {
        Block b(reg::PhaseBlockSize);
        if (p < m_s.phases.size()) {
            int configured = 0, seen = 0, delivering = 0, off = 0, notDelivering = 0;
            double installedW = 0, installedVA = 0, availableW = 0, availableVA = 0;
            double outW = 0, outVA = 0, outA = 0, acW = 0, acVA = 0, dcW = 0, sumV = 0, sumHz = 0;
            for (int i = 0; i < m_s.modules.size(); ++i) {
                const ModuleSpec& m = m_s.modules[i];
                if (m.phase != p + 1)
                    continue;
                const Reading r = reading(i);
                ++configured;
                installedW += m.nominalW;
                installedVA += m.nominalVA;
                if (!r.present)
                    continue;
                ++seen;
                if (r.delivering) {
                    ++delivering;
                    availableW += m.nominalW;
                    availableVA += m.nominalVA;
                    sumV += r.outV;
                    sumHz += r.outHz;
                } else if (r.switchedOff) {
                    ++off;
                } else {
                    ++notDelivering;
                }
                outW += r.outW;
                outVA += r.outVA;
                outA += r.outA;
                acW += r.acW;
                acVA += r.acVA;
                dcW += r.dcW;
            }
            b.byte(0, percent(outW, availableW));
            b.byte(1, percent(outVA, availableVA));
            b.byte(2, percent(outW, installedW));
            b.byte(3, percent(outVA, installedVA));
            b.u16(4, delivering ? sumV / delivering * 10 : 0);
            b.u16(6, outA * 10);
            b.byte(8, configured);
            b.byte(9, m_s.phases[p].redundancy);
            b.u16(10, delivering ? sumHz / delivering * 10 : 0);
            b.s32(12, dcW);
            b.s32(16, acW);
            b.s32(20, acVA);
            b.s32(24, outVA);
            b.s32(28, outW);
            b.s32(32, installedW);
            b.s32(36, installedVA);
            b.s32(40, availableW);
            b.s32(44, availableVA);
            b.byte(48, seen);
            b.byte(49, delivering);
            b.byte(50, off);
            b.byte(51, notDelivering);
            b.byte(52, configured - seen);
        }
        store.renderBytes(Space::Input, static_cast<quint16>(reg::PhaseBlock + 27 * p), b.bytes());
    }
}

void Installation::renderGroups(RegisterStore& store) {
    struct Sums {
        int delivering = 0, off = 0, failing = 0, seen = 0, stageOk = 0, measured = 0;
        double w = 0, va = 0, a = 0, sumV = 0, sumHz = 0;
    };
    auto add = [](Sums& s, const Reading& r, bool stageOk, double w, double va, double a, double v,
                  double hz) {
        if (!r.present)
            return;
        ++s.seen;
        if (r.delivering)
            ++s.delivering;
        else if (r.switchedOff)
            ++s.off;
        else
            ++s.failing;
        if (stageOk)
            ++s.stageOk;
        if (v > 0) {
            ++s.measured;
            s.sumV += v;
            s.sumHz += hz;
        }
        s.w += w;
        s.va += va;
        s.a += a;
    };
    for (int g = 0; g < limits::AcGroups; ++g) {
        Block b(reg::AcGroupBlockSize);
        if (g < m_s.acGroups.size()) {
            Sums s;
            for (int i = 0; i < m_s.modules.size(); ++i) {
                const ModuleSpec& m = m_s.modules[i];
                if (m.acGroup != g + 1)
                    continue;
                const Reading r = reading(i);
                add(s, r, m.hasAcInput && m.acInputStatus == 0 && r.acV > 0, r.acW, r.acVA, r.acA,
                    r.acV, r.acHz);
            }
            b.byte(0, s.delivering);
            b.byte(1, s.off);
            b.byte(2, s.failing);
            b.byte(3, s.seen);
            b.s32(4, s.w);
            b.s32(8, s.va);
            b.u16(12, s.measured ? s.sumV / s.measured * 10 : 0);
            b.u16(14, s.a * 10);
            b.u16(16, s.measured ? s.sumHz / s.measured * 10 : 0);
            b.byte(18, s.stageOk);
        }
        store.renderBytes(Space::Input, static_cast<quint16>(reg::AcGroupBlock + 10 * g),
                          b.bytes());
    }
    for (int g = 0; g < limits::DcGroups; ++g) {
        Block b(reg::DcGroupBlockSize);
        if (g < m_s.dcGroups.size()) {
            Sums s;
            for (int i = 0; i < m_s.modules.size(); ++i) {
                const ModuleSpec& m = m_s.modules[i];
                if (m.dcGroup != g + 1)
                    continue;
                const Reading r = reading(i);
                add(s, r, m.dcInputStatus == 0 && r.dcV > 0, r.dcW, 0, r.dcA, r.dcV, 0);
            }
            b.byte(0, s.delivering);
            b.byte(1, s.off);
            b.byte(2, s.failing);
            b.byte(3, s.seen);
            b.s32(4, s.w);
            b.u16(8, s.measured ? s.sumV / s.measured * 10 : 0);
            b.u16(10, s.a * 10);
            b.byte(12, s.stageOk);
        }
        store.renderBytes(Space::Input, static_cast<quint16>(reg::DcGroupBlock + 7 * g), b.bytes());
    }
}

void Installation::renderSystem(RegisterStore& store) {
    int major = 0, minor = 0;
    for (const AlarmSpec& a : m_s.alarms) {
        major += a.level == 2;
        minor += a.level == 1;
    }
    bool onAc = false, onDc = false;
    int seen = 0;
    for (int i = 0; i < m_s.modules.size(); ++i) {
        const Reading r = reading(i);
        seen += r.present;
        onAc = onAc || (r.delivering && !r.fromDc);
        onDc = onDc || (r.delivering && r.fromDc);
    }
    const bool mains = std::any_of(m_s.acGroups.begin(), m_s.acGroups.end(),
                                   [](const AcGroupSpec& g) { return g.voltage > 0; });
    Block b(reg::SystemBlockCount);
    b.byte(1, m_s.phases.size());
    b.s32(2, static_cast<qint32>(m_s.serialNumber));
    b.u16(6, major > 0 ? 1 : 0);
    b.u16(8, minor > 0 ? 1 : 0);
    b.byte(10, major);
    b.byte(11, minor);
    b.byte(12, m_s.alarms.size());
    b.byte(13, mains ? 1 : 0);
    b.byte(14, m_s.saturationLimit);
    b.byte(15, m_s.dcGroups.size());
    b.byte(16, m_s.acGroups.size());
    b.byte(17, (major > 0 ? 1 : 0) | (minor > 0 ? 2 : 0));
    b.u16(18, m_s.mainRevision);
    b.u16(20, m_s.subRevision);
    b.byte(22, onAc && onDc ? 2 : onDc ? 1 : 0);
    b.byte(23, m_s.configVersion);
    b.u16(24, m_s.eventVersion);
    b.byte(26, m_s.modules.size());
    b.byte(27, seen);
    b.byte(28, m_s.events.size());
    store.renderBytes(Space::Input, reg::SystemBlock, b.bytes());
}

void Installation::renderAlarms(RegisterStore& store) {
    for (int n = 0; n < limits::Alarms; ++n) {
        Block b(2);
        if (n < m_s.alarms.size()) {
            const AlarmSpec& a = m_s.alarms[n];
            b.byte(0, a.source);
            b.byte(1, a.level);
            b.u16(2, a.code);
        }
        store.renderBytes(Space::Input, static_cast<quint16>(reg::AlarmEntries + 2 * n), b.bytes());
    }
}

void Installation::renderEvents(RegisterStore& store) {
    for (int i = 0; i < limits::Events; ++i) {
        Block b(reg::EventRecordSize);
        if (i < m_s.events.size()) {
            const EventSpec& e = m_s.events[i];
            b.byte(0, e.source);
            b.byte(1, e.level);
            b.u16(2, e.code);
            b.u16(4, e.time.date().year());
            b.byte(6, e.time.date().month());
            b.byte(7, e.time.date().day());
            b.byte(8, e.time.time().hour());
            b.byte(9, e.time.time().minute());
            b.byte(10, e.time.time().second());
        }
        store.renderBytes(Space::Input, static_cast<quint16>(reg::EventRecords + 6 * i), b.bytes());
    }
}

// A present variable: value, validity, ID, decimals and unit, name; holding n - 1 carries the
// value being worked on (pending or stored). An absent one has the marker 0xFF as its first name
// byte, or is 0xFF throughout when it lies in an announced run.
void Installation::renderVariable(RegisterStore& store, int n) {
    const auto base = static_cast<quint16>(reg::ConfigRecords + 20 * (n - 1));
    QByteArray record(40, '\0');
    if (const VariableSpec* v = variable(n)) {
        const auto raw = static_cast<quint16>(v->raw);
        const QByteArray name =
            fieldText(v->name, limits::NameBytes, v->padding.value_or(m_s.namePadding));
        const quint16 head[4] = {raw, static_cast<quint16>(v->validity),
                                 static_cast<quint16>(v->id),
                                 static_cast<quint16>(v->decimals << 8 | v->unit)};
        for (int i = 0; i < 4; ++i) {
            record[2 * i] = static_cast<char>(head[i] >> 8);
            record[2 * i + 1] = static_cast<char>(head[i] & 0xFF);
        }
        record.replace(8, 32, name);
        store.render(Space::Holding, static_cast<quint16>(n - 1),
                     static_cast<quint16>(m_pending.value(n, v->raw)));
    } else {
        const bool filled =
            std::any_of(m_s.absentFilled.begin(), m_s.absentFilled.end(),
                        [n](const QPair<int, int>& r) { return r.first <= n && n <= r.second; });
        if (filled)
            record.fill('\xFF');
        else
            record[8] = '\xFF';
    }
    store.renderBytes(Space::Input, base, record);
}

void Installation::renderControl(RegisterStore& store) {
    store.render(Space::Holding, reg::ConfigControl, static_cast<quint16>(m_configState << 8));
}

// ---- writes ---------------------------------------------------------------------------------

quint8 Installation::refusal(quint16 first, const QList<quint16>& values) const {
    const int count = static_cast<int>(values.size());
    const int moduleEnd = reg::ModuleRegisters + 3 * static_cast<int>(m_s.modules.size());
    const bool isProtected =
        overlaps(first, count, reg::ConfigControl, 1) ||
        overlaps(first, count, reg::ClockWrite, 4) ||
        overlaps(first, count, reg::ModuleRegisters, moduleEnd - reg::ModuleRegisters) ||
        overlaps(first, count, reg::SystemCommand, 1);
    if (isProtected && m_s.passwordRequired && !m_unlocked)
        return 1; // illegal function: not allowed in this state
    const bool committing = m_configState == config::Committing;
    if (overlaps(first, count, reg::ClockWrite, 4)) {
        // The clock is set whole: second, minute, hour, day, month, summer flag, year.
        if (first != reg::ClockWrite || count < 4)
            return 3;
        const int second = values[0] >> 8, minute = values[0] & 0xFF;
        const int hour = values[1] >> 8, day = values[1] & 0xFF;
        const int month = values[2] >> 8;
        if (second > 59 || minute > 59 || hour > 23 || !QDate(values[3], month, day).isValid())
            return 3;
    }
    for (int k = 0; k < count; ++k) {
        const int address = first + k;
        const quint16 v = values[k];
        if (address < limits::Variables && committing)
            return 6; // server busy
        if (address == reg::ConfigControl) {
            if (v != config::Commit && v != config::Cancel)
                return 3;
            if (committing)
                return 6;
        }
        if (address >= reg::ModuleRegisters && address < moduleEnd) {
            const int kind = (address - reg::ModuleRegisters) % 3;
            if (kind == 0 && (v & 0xFF) > m_s.phases.size())
                return 3;
            if (kind == 1 && ((v >> 8) > m_s.acGroups.size() || (v & 0xFF) > m_s.dcGroups.size()))
                return 3;
            const int bits = v >> 8;
            if (kind == 2 && (bits & moduleCommand::On) && (bits & moduleCommand::Off))
                return 3;
        }
        if (address == reg::SystemCommand && (v & command::On) && (v & command::Off))
            return 3;
    }
    return 0;
}

void Installation::afterWrite(RegisterStore& store, quint16 first, const QList<quint16>& values) {
    const int count = static_cast<int>(values.size());
    const int moduleEnd = reg::ModuleRegisters + 3 * static_cast<int>(m_s.modules.size());
    for (int k = 0; k < count; ++k) {
        const int address = first + k;
        const quint16 v = values[k];
        if (address < limits::Variables) {
            m_pending.insert(address + 1, static_cast<qint16>(v));
            m_configState = config::Pending;
        } else if (address == reg::ConfigControl) {
            if (v == config::Cancel) {
                m_pending.clear();
                m_configState = config::Idle;
            } else if (m_pending.isEmpty()) {
                m_configState = config::Idle;
            } else {
                m_configState = config::Committing;
                m_busyPollsLeft = m_s.commitBusyPolls;
                if (m_busyPollsLeft == 0)
                    completeCommit();
            }
        } else if (address >= reg::ModuleRegisters && address < moduleEnd) {
            moduleWrite((address - reg::ModuleRegisters) / 3, (address - reg::ModuleRegisters) % 3,
                        v);
        } else if (address == reg::SystemCommand) {
            systemCommand(v);
        }
    }
    if (overlaps(first, count, reg::ClockWrite, 4)) {
        const QList<quint16> c = values.mid(reg::ClockWrite - first, 4);
        m_clockBase = QDateTime(QDate(c[3], c[2] >> 8, c[1] & 0xFF),
                                QTime(c[1] >> 8, c[0] & 0xFF, c[0] >> 8));
        m_clockRunning.restart();
        m_summerTime = (c[2] & 0xFF) != 0;
        logEvent(source::System, 0, eventCode::ClockSet);
    }
    if (overlaps(first, count, reg::AccessPassword, reg::AccessPasswordCount)) {
        QByteArray written;
        for (int i = 0; i < reg::AccessPasswordCount; ++i) {
            const quint16 r =
                store.holding(static_cast<quint16>(reg::AccessPassword + i)).value_or(0);
            written.append(static_cast<char>(r >> 8));
            written.append(static_cast<char>(r & 0xFF));
        }
        QByteArray expected = m_s.password;
        expected.append(QByteArray(limits::PasswordBytes - expected.size(), '\0'));
        m_unlocked = written == expected;
    }
    for (int k = 0; k < count; ++k) {
        if (first + k < limits::Variables)
            renderVariable(store, first + k + 1);
    }
    if (m_configState != config::Pending) {
        for (int n = 1; n <= limits::Variables; ++n) {
            if (variable(n))
                renderVariable(store, n);
        }
    }
    renderState(store);
}

void Installation::beforeRead(RegisterStore& store, Space space, quint16 first, int count) {
    if (space == Space::Holding && overlaps(first, count, reg::ConfigControl, 1) &&
        m_configState == config::Committing) {
        if (m_busyPollsLeft > 0) {
            --m_busyPollsLeft;
        } else {
            completeCommit();
            for (const VariableSpec& v : m_s.variables)
                renderVariable(store, v.number);
            renderState(store);
        }
    }
    if (m_frozen)
        return;
    const qint64 elapsed = m_sinceStart.elapsed();
    const qint64 steps = (elapsed - m_lastStepMs) / 1000;
    if (steps > 0) {
        for (qint64 i = 0; i < std::min<qint64>(steps, MaxStepsPerRead); ++i)
            step();
        m_lastStepMs += steps * 1000;
        renderState(store);
    } else if (overlaps(first, count, space == Space::Input ? reg::Clock : reg::ClockWrite, 4)) {
        renderClock(store);
    }
}

int Installation::judge(const VariableSpec& v, int raw, bool withHysteresis) const {
    if (v.verdict)
        return *v.verdict;
    if (v.mustBeOff && m_s.running)
        return validity::MustBeOff;
    if (!v.allowed.isEmpty() && !v.allowed.contains(raw))
        return validity::BadValue;
    if (raw < v.min)
        return validity::TooLow;
    if (raw > v.max)
        return validity::TooHigh;
    if (withHysteresis && v.below != 0) {
        // Against the value the other variable has after this commit.
        const VariableSpec* upper = variable(v.below);
        int limit = upper->raw;
        if (m_pending.contains(v.below) && judge(*upper, m_pending[v.below], false) == validity::Ok)
            limit = m_pending[v.below];
        if (raw > limit - v.gap)
            return validity::HysteresisTooLow;
    }
    return validity::Ok;
}

void Installation::completeCommit() {
    bool refused = false;
    bool accepted = false;
    QMap<int, int> verdicts;
    for (auto it = m_pending.begin(); it != m_pending.end(); ++it)
        verdicts.insert(it.key(), judge(*variable(it.key()), it.value(), true));
    for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
        VariableSpec* v = variable(it.key());
        v->validity = verdicts[it.key()];
        if (v->validity == validity::Ok) {
            v->raw = it.value();
            accepted = true;
        } else {
            refused = true;
        }
    }
    m_pending.clear();
    if (accepted)
        m_s.configVersion = (m_s.configVersion + 1) & 0xFF;
    m_configState = refused ? config::Refused : config::Idle;
    logEvent(source::System, refused ? 1 : 0,
             refused ? eventCode::ConfigRefused : eventCode::ConfigSaved);
}

void Installation::systemCommand(quint16 value) {
    if (value & command::ClearLog) {
        m_s.events.clear();
        m_s.eventVersion = (m_s.eventVersion + 1) & 0xFFFF;
    }
    const auto offAlarm = [](const AlarmSpec& a) {
        return a.source == source::System && a.code == eventCode::SystemOff;
    };
    if ((value & command::Off) && m_s.running) {
        m_s.running = false;
        if (m_s.alarms.size() < limits::Alarms)
            m_s.alarms.append({source::System, 1, eventCode::SystemOff});
        logEvent(source::System, 1, eventCode::SystemOff);
    }
    if ((value & command::On) && !m_s.running) {
        m_s.running = true;
        m_s.alarms.removeIf(offAlarm);
        logEvent(source::System, 0, eventCode::SystemOn);
    }
    if (value & command::NumberModules) {
        for (int i = 0; i < m_s.modules.size(); ++i)
            m_s.modules[i].address = i + 1;
        logEvent(source::System, 0, eventCode::ModulesNumbered);
    }
}

void Installation::moduleWrite(int index, int kind, quint16 value) {
    ModuleSpec& m = m_s.modules[index];
    const int number = index + 1;
    if (kind == 0) {
        m.address = value >> 8;
        m.phase = value & 0xFF;
        return;
    }
    if (kind == 1) {
        m.acGroup = value >> 8;
        m.dcGroup = value & 0xFF;
        return;
    }
    const int bits = value >> 8;
    if ((bits & moduleCommand::On) && !m.on) {
        m.on = true;
        logEvent(number, 0, eventCode::ModuleOn);
    }
    if ((bits & moduleCommand::Off) && m.on) {
        m.on = false;
        logEvent(number, 1, eventCode::ModuleOff);
    }
    if (bits & moduleCommand::Identify)
        m_identifyUntil[index] = now().addSecs(IdentifySeconds);
    if (bits & moduleCommand::FanReplaced) {
        m.fanFailed = false;
        m_s.alarms.removeIf([number](const AlarmSpec& a) {
            return a.source == number && a.code == eventCode::FanFailure;
        });
        logEvent(number, 0, eventCode::FanReplaced);
    }
    if (bits & moduleCommand::ClearBusErrors) {
        m.busErrors = 0;
        logEvent(number, 0, eventCode::BusErrorsCleared);
    }
}

void Installation::logEvent(int source, int level, int code) {
    if (m_s.events.size() >= limits::Events)
        m_s.events.removeFirst();
    m_s.events.append({source, level, code, now()});
    m_s.eventVersion = (m_s.eventVersion + 1) & 0xFFFF;
}

// One second of the live values: a bounded random walk of load, voltages, frequencies and
// temperatures, and now and then a bus error.
void Installation::step() {
    for (Jitter& j : m_jitter) {
        j.load = walk(m_random, j.load, 0.02, 0.9, 1.1);
        j.outV = walk(m_random, j.outV, 0.2, -0.6, 0.6);
        j.acV = walk(m_random, j.acV, 0.5, -2.5, 2.5);
        j.acHz = walk(m_random, j.acHz, 0.01, -0.05, 0.05);
        j.dcV = walk(m_random, j.dcV, 0.05, -0.3, 0.3);
        j.temperature = walk(m_random, j.temperature, 0.3, -2.0, 2.0);
    }
    for (int p = 0; p < m_phaseVoltage.size(); ++p) {
        m_phaseVoltage[p] = walk(m_random, m_phaseVoltage[p], 0.15, -0.8, 0.8);
        m_phaseFrequency[p] = walk(m_random, m_phaseFrequency[p], 0.005, -0.03, 0.03);
    }
    if (!m_s.modules.isEmpty() && m_random.bounded(50) == 0) {
        ModuleSpec& m = m_s.modules[m_random.bounded(int(m_s.modules.size()))];
        if (m.present)
            ++m.busErrors;
    }
}

} // namespace zra::sim
