#include "sim/Scenario.h"
#include "text/Cp1250.h"
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <cmath>

namespace zra::sim {

QByteArray fieldText(const QString& text, int size, Padding padding) {
    QByteArray bytes = text::ToCp1250(text).left(size);
    bytes.append(QByteArray(size - bytes.size(), padding == Padding::Blank ? ' ' : '\0'));
    return bytes;
}

namespace {

bool fail(QString* error, const QString& text) {
    if (error)
        *error = text;
    return false;
}

bool inRange(int value, int low, int high) {
    return low <= value && value <= high;
}

// A text that fits its field, in Windows-1250, without the absent-variable marker byte 0xFF.
bool checkText(const QString& text, int size, const QString& what, QString* error) {
    bool ok = false;
    const QByteArray bytes = text::ToCp1250(text, &ok);
    if (!ok)
        return fail(
            error, QStringLiteral("%1: '%2' has a character outside Windows-1250").arg(what, text));
    if (bytes.size() > size)
        return fail(
            error,
            QStringLiteral("%1: '%2' is longer than %3 characters").arg(what, text).arg(size));
    if (bytes.contains('\xFF'))
        return fail(error, QStringLiteral("%1: the character U+02D9 is the byte 0xFF, which marks "
                                          "an absent variable")
                               .arg(what));
    return true;
}

bool checkAlarm(const AlarmSpec& a, const QString& what, QString* error) {
    if (!inRange(a.source, 0, 33))
        return fail(error, what + QStringLiteral(": source must be 0 to 33"));
    if (!inRange(a.level, 0, 2))
        return fail(error, what + QStringLiteral(": level must be 0 to 2"));
    if (!inRange(a.code, 0, limits::MaxCode))
        return fail(error, what + QStringLiteral(": code must be 0 to %1").arg(limits::MaxCode));
    return true;
}
} // namespace

bool validateScenario(const Scenario& s, QString* error) {
    if (!inRange(int(s.phases.size()), 1, limits::Phases))
        return fail(error, QStringLiteral("phases: 1 to %1 expected").arg(limits::Phases));
    if (s.acGroups.size() > limits::AcGroups)
        return fail(error, QStringLiteral("acGroups: at most %1").arg(limits::AcGroups));
    if (s.dcGroups.size() > limits::DcGroups)
        return fail(error, QStringLiteral("dcGroups: at most %1").arg(limits::DcGroups));
    if (s.modules.size() > limits::Modules)
        return fail(error, QStringLiteral("modules: at most %1").arg(limits::Modules));
    if (s.alarms.size() > limits::Alarms)
        return fail(error, QStringLiteral("alarms: at most %1").arg(limits::Alarms));
    if (s.events.size() > limits::Events)
        return fail(error, QStringLiteral("events: at most %1").arg(limits::Events));
    if (!inRange(s.saturationLimit, 0, 255) || !inRange(s.configVersion, 0, 255) ||
        !inRange(s.eventVersion, 0, 65535) || !inRange(s.mainRevision, 0, 65535) ||
        !inRange(s.subRevision, 0, 65535))
        return fail(error, QStringLiteral("saturationLimit, configVersion (0 to 255), "
                                          "eventVersion and software (0 to 65535) out of range"));
    if (s.password.size() > limits::PasswordBytes)
        return fail(error,
                    QStringLiteral("password: at most %1 characters").arg(limits::PasswordBytes));
    if (!inRange(s.commitBusyPolls, 0, limits::CommitBusyPolls))
        return fail(error, QStringLiteral("commitBusyPolls: 0 to %1").arg(limits::CommitBusyPolls));
    if (s.clock && !s.clock->isValid())
        return fail(error, QStringLiteral("clock: not a valid date and time"));

    for (int i = 0; i < s.modules.size(); ++i) {
        const ModuleSpec& m = s.modules[i];
        const QString what = QStringLiteral("modules[%1]").arg(i);
        if (!inRange(m.address, 0, 255) || !inRange(m.phase, 0, int(s.phases.size())) ||
            !inRange(m.acGroup, 0, int(s.acGroups.size())) ||
            !inRange(m.dcGroup, 0, int(s.dcGroups.size())))
            return fail(error, what + QStringLiteral(": address 0 to 255, phase and groups 0 to "
                                                     "their count"));
        if (!inRange(m.acInputStatus, 0, 4) || !inRange(m.dcInputStatus, 0, 2))
            return fail(error,
                        what + QStringLiteral(": acInputStatus 0 to 4, dcInputStatus 0 to 2"));
        if (m.load < 0 || m.load > 1.2 || m.nominalW <= 0 || m.nominalVA < m.nominalW ||
            m.nominalVA > 65535)
            return fail(error, what + QStringLiteral(": load 0 to 1.2, 0 < nominalW <= nominalVA "
                                                     "<= 65535"));
    }
    for (int i = 0; i < s.alarms.size(); ++i) {
        if (!checkAlarm(s.alarms[i], QStringLiteral("alarms[%1]").arg(i), error))
            return false;
    }
    for (int i = 0; i < s.events.size(); ++i) {
        const EventSpec& e = s.events[i];
        const QString what = QStringLiteral("events[%1]").arg(i);
        if (!checkAlarm({e.source, e.level, e.code}, what, error))
            return false;
        if (!e.time.isValid() || !inRange(e.time.date().year(), 0, 65535))
            return fail(error, what + QStringLiteral(": time is not a valid date and time"));
    }
    for (auto it = s.descriptions.begin(); it != s.descriptions.end(); ++it) {
        const QString what = QStringLiteral("descriptions[%1]").arg(it.key());
        if (!inRange(it.key(), 0, limits::MaxCode))
            return fail(error,
                        what + QStringLiteral(": code must be 0 to %1").arg(limits::MaxCode));
        if (!checkText(*it, limits::DescriptionBytes, what, error))
            return false;
    }

    QSet<int> numbers;
    for (const VariableSpec& v : s.variables) {
        const QString what = QStringLiteral("variable %1").arg(v.number);
        if (!inRange(v.number, 1, limits::Variables))
            return fail(error,
                        QStringLiteral("variable number %1: 1 to 500 expected").arg(v.number));
        if (numbers.contains(v.number))
            return fail(error, what + QStringLiteral(": defined twice"));
        numbers.insert(v.number);
        if (!checkText(v.name, limits::NameBytes, what + QStringLiteral(" name"), error))
            return false;
        if (v.name.isEmpty())
            return fail(error, what + QStringLiteral(": name is empty"));
        if (!inRange(v.decimals, 0, 3) || !inRange(v.unit, 0, 255) || !inRange(v.id, 0, 65535) ||
            !inRange(v.validity, 0, 65535))
            return fail(error, what + QStringLiteral(": decimals 0 to 3, unit 0 to 255, id and "
                                                     "validity 0 to 65535"));
        if (!inRange(v.raw, -32768, 32767) || !inRange(v.min, -32768, 32767) ||
            !inRange(v.max, -32768, 32767) || v.min > v.max)
            return fail(error, what + QStringLiteral(": value, min and max must fit 16 bits "
                                                     "signed, min <= max"));
        if (v.gap < 0)
            return fail(error, what + QStringLiteral(": gap must not be negative"));
    }
    for (const VariableSpec& v : s.variables) {
        if (v.below != 0 && !numbers.contains(v.below))
            return fail(error,
                        QStringLiteral("variable %1: below names no variable").arg(v.number));
    }
    for (const auto& run : s.absentFilled) {
        if (!inRange(run.first, 1, limits::Variables) || !inRange(run.second, run.first, 500))
            return fail(error, QStringLiteral("absentFilled: [first, last] within 1 to 500"));
        for (int n = run.first; n <= run.second; ++n) {
            if (numbers.contains(n))
                return fail(error, QStringLiteral("absentFilled: variable %1 exists").arg(n));
        }
    }
    return true;
}

namespace {

// Reads one JSON object, remembering the keys it took, so that unknown keys (typing errors)
// are reported rather than ignored.
class ObjectReader {
public:
    ObjectReader(const QJsonObject& object, QString path, QString* error)
        : m_object(object), m_path(std::move(path)), m_error(error) {}

    bool ok() const { return m_ok; }
    bool has(const char* key) const { return m_object.contains(QLatin1String(key)); }

    QJsonValue take(const char* key) {
        m_used.insert(QLatin1String(key));
        return m_object.value(QLatin1String(key));
    }
    void number(const char* key, double* out) {
        if (!has(key))
            return;
        const QJsonValue v = take(key);
        if (!v.isDouble())
            return bad(key, QStringLiteral("a number"));
        *out = v.toDouble();
    }
    void integer(const char* key, int* out) {
        double d = *out;
        number(key, &d);
        if (std::floor(d) != d || d < -2147483648.0 || d > 2147483647.0)
            return bad(key, QStringLiteral("a whole number"));
        *out = static_cast<int>(d);
    }
    void integer(const char* key, quint32* out) {
        double d = *out;
        number(key, &d);
        if (std::floor(d) != d || d < 0 || d > 4294967295.0)
            return bad(key, QStringLiteral("a whole number of 0 to 4294967295"));
        *out = static_cast<quint32>(d);
    }
    void boolean(const char* key, bool* out) {
        if (!has(key))
            return;
        const QJsonValue v = take(key);
        if (!v.isBool())
            return bad(key, QStringLiteral("true or false"));
        *out = v.toBool();
    }
    void text(const char* key, QString* out) {
        if (!has(key))
            return;
        const QJsonValue v = take(key);
        if (!v.isString())
            return bad(key, QStringLiteral("a string"));
        *out = v.toString();
    }
    void padding(const char* key, Padding* out) {
        if (!has(key))
            return;
        QString t;
        text(key, &t);
        if (t == QLatin1String("blank"))
            *out = Padding::Blank;
        else if (t == QLatin1String("zero"))
            *out = Padding::Zero;
        else
            bad(key, QStringLiteral("\"blank\" or \"zero\""));
    }
    // A date and time as "yyyy-MM-dd HH:mm:ss".
    void time(const char* key, QDateTime* out) {
        if (!has(key))
            return;
        QString t;
        text(key, &t);
        const QDateTime parsed = QDateTime::fromString(t, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!parsed.isValid())
            return bad(key, QStringLiteral("a date and time as \"yyyy-MM-dd HH:mm:ss\""));
        *out = parsed;
    }
    // A value with decimals, stored raw (times 10^decimals).
    void raw(const char* key, int decimals, int* out) {
        if (!has(key))
            return;
        double d = 0;
        number(key, &d);
        const double scaled = d * std::pow(10.0, decimals);
        if (std::fabs(scaled) > 1e6)
            return bad(key, QStringLiteral("a value that fits 16 bits"));
        *out = static_cast<int>(std::lround(scaled));
    }
    QJsonArray array(const char* key) {
        if (!has(key))
            return {};
        const QJsonValue v = take(key);
        if (!v.isArray())
            bad(key, QStringLiteral("an array"));
        return v.toArray();
    }
    QJsonObject object(const char* key) {
        if (!has(key))
            return {};
        const QJsonValue v = take(key);
        if (!v.isObject())
            bad(key, QStringLiteral("an object"));
        return v.toObject();
    }
    // Reports the first key that nothing took.
    bool finish() {
        if (!m_ok)
            return false;
        for (auto it = m_object.begin(); it != m_object.end(); ++it) {
            if (!m_used.contains(it.key())) {
                m_ok = false;
                if (m_error)
                    *m_error = QStringLiteral("%1%2: unknown key").arg(prefix(), it.key());
                return false;
            }
        }
        return true;
    }
    QString path(const char* key) const { return prefix() + QLatin1String(key); }

private:
    QString prefix() const { return m_path.isEmpty() ? QString() : m_path + u'.'; }
    void bad(const char* key, const QString& expected) {
        if (m_ok && m_error)
            *m_error = QStringLiteral("%1: %2 expected").arg(path(key), expected);
        m_ok = false;
    }

    QJsonObject m_object;
    QString m_path;
    QString* m_error;
    QSet<QString> m_used;
    bool m_ok = true;
};

bool objectsOf(const QJsonArray& array, const QString& path, QString* error,
               const std::function<bool(ObjectReader&)>& read) {
    for (int i = 0; i < array.size(); ++i) {
        const QString item = QStringLiteral("%1[%2]").arg(path).arg(i);
        if (!array[i].isObject())
            return fail(error, item + QStringLiteral(": an object expected"));
        ObjectReader r(array[i].toObject(), item, error);
        if (!read(r) || !r.finish())
            return false;
    }
    return true;
}

bool readModule(ObjectReader& r, ModuleSpec* m) {
    r.integer("address", &m->address);
    r.integer("phase", &m->phase);
    r.integer("acGroup", &m->acGroup);
    r.integer("dcGroup", &m->dcGroup);
    r.boolean("present", &m->present);
    r.boolean("on", &m->on);
    r.boolean("failed", &m->failed);
    r.boolean("fanFailed", &m->fanFailed);
    r.boolean("hasAcInput", &m->hasAcInput);
    r.integer("acInputStatus", &m->acInputStatus);
    r.integer("dcInputStatus", &m->dcInputStatus);
    r.number("load", &m->load);
    r.integer("nominalW", &m->nominalW);
    r.integer("nominalVA", &m->nominalVA);
    r.number("nominalAcVoltage", &m->nominalAcVoltage);
    r.number("nominalDcVoltage", &m->nominalDcVoltage);
    r.number("nominalFrequency", &m->nominalFrequency);
    r.integer("softwareVersion", &m->softwareVersion);
    r.integer("serialNumber", &m->serialNumber);
    r.integer("busErrors", &m->busErrors);
    return r.ok();
}

bool readVariable(ObjectReader& r, VariableSpec* v, QString* error) {
    r.integer("number", &v->number);
    r.integer("id", &v->id);
    r.text("name", &v->name);
    r.integer("decimals", &v->decimals);
    if (r.ok() && (v->decimals < 0 || v->decimals > 3))
        return fail(error, r.path("decimals") + QStringLiteral(": 0 to 3 expected"));
    r.integer("unit", &v->unit);
    r.raw("value", v->decimals, &v->raw);
    r.raw("min", v->decimals, &v->min);
    r.raw("max", v->decimals, &v->max);
    r.raw("gap", v->decimals, &v->gap);
    r.integer("below", &v->below);
    r.integer("validity", &v->validity);
    r.boolean("mustBeOff", &v->mustBeOff);
    if (r.has("verdict")) {
        int verdict = 0;
        r.integer("verdict", &verdict);
        if (r.ok() && (verdict < 1 || verdict > 65535))
            return fail(error, r.path("verdict") + QStringLiteral(": 1 to 65535 expected"));
        v->verdict = verdict;
    }
    for (const QJsonValue& a : r.array("allowed")) {
        if (!a.isDouble())
            return fail(error, r.path("allowed") + QStringLiteral(": numbers expected"));
        v->allowed.append(
            static_cast<int>(std::lround(a.toDouble() * std::pow(10.0, v->decimals))));
    }
    Padding padding = Padding::Blank;
    if (r.has("padding")) {
        r.padding("padding", &padding);
        v->padding = padding;
    }
    return r.ok();
}

} // namespace

std::optional<Scenario> parseScenario(const QByteArray& json, QString* error) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        fail(error, QStringLiteral("not JSON at offset %1: %2")
                        .arg(parseError.offset)
                        .arg(parseError.errorString()));
        return std::nullopt;
    }
    if (!document.isObject()) {
        fail(error, QStringLiteral("the file must hold one JSON object"));
        return std::nullopt;
    }
    Scenario s;
    ObjectReader r(document.object(), QString(), error);
    r.text("name", &s.name);
    r.integer("serialNumber", &s.serialNumber);
    const QJsonObject software = r.object("software");
    ObjectReader sw(software, QStringLiteral("software"), error);
    sw.integer("main", &s.mainRevision);
    sw.integer("sub", &s.subRevision);
    if (!sw.finish())
        return std::nullopt;
    r.integer("saturationLimit", &s.saturationLimit);
    r.integer("configVersion", &s.configVersion);
    r.integer("eventVersion", &s.eventVersion);
    r.boolean("running", &s.running);
    if (r.has("clock") && r.take("clock") != QJsonValue(QStringLiteral("now"))) {
        QDateTime clock;
        r.time("clock", &clock); // "now" or absent: the PC's time at start
        s.clock = clock;
    }
    if (r.has("summerTime")) {
        bool summer = false;
        r.boolean("summerTime", &summer);
        s.summerTime = summer;
    }
    QString password = QString::fromLatin1(s.password);
    r.text("password", &password);
    s.password = password.toLatin1();
    r.boolean("passwordRequired", &s.passwordRequired);
    r.integer("commitBusyPolls", &s.commitBusyPolls);
    r.integer("seed", &s.seed);
    r.padding("namePadding", &s.namePadding);
    r.padding("descriptionPadding", &s.descriptionPadding);
    if (!r.ok())
        return std::nullopt;

    const bool read =
        objectsOf(r.array("phases"), QStringLiteral("phases"), error,
                  [&](ObjectReader& o) {
                      PhaseSpec p;
                      o.number("voltage", &p.voltage);
                      o.number("frequency", &p.frequency);
                      o.integer("redundancy", &p.redundancy);
                      s.phases.append(p);
                      return o.ok();
                  }) &&
        objectsOf(r.array("acGroups"), QStringLiteral("acGroups"), error,
                  [&](ObjectReader& o) {
                      AcGroupSpec g;
                      o.number("voltage", &g.voltage);
                      o.number("frequency", &g.frequency);
                      s.acGroups.append(g);
                      return o.ok();
                  }) &&
        objectsOf(r.array("dcGroups"), QStringLiteral("dcGroups"), error,
                  [&](ObjectReader& o) {
                      DcGroupSpec g;
                      o.number("voltage", &g.voltage);
                      s.dcGroups.append(g);
                      return o.ok();
                  }) &&
        objectsOf(r.array("alarms"), QStringLiteral("alarms"), error,
                  [&](ObjectReader& o) {
                      AlarmSpec a;
                      o.integer("source", &a.source);
                      o.integer("level", &a.level);
                      o.integer("code", &a.code);
                      s.alarms.append(a);
                      return o.ok();
                  }) &&
        objectsOf(r.array("events"), QStringLiteral("events"), error, [&](ObjectReader& o) {
            EventSpec e;
            o.integer("source", &e.source);
            o.integer("level", &e.level);
            o.integer("code", &e.code);
            if (!o.has("time"))
                return fail(error, o.path("time") + QStringLiteral(": missing"));
            o.time("time", &e.time);
            s.events.append(e);
            return o.ok();
        });
    if (!read || !r.ok())
        return std::nullopt;

    // Every module starts from moduleDefaults; a module without an address gets its number.
    const QJsonObject defaults = r.object("moduleDefaults");
    ModuleSpec base;
    ObjectReader d(defaults, QStringLiteral("moduleDefaults"), error);
    if (!readModule(d, &base) || !d.finish())
        return std::nullopt;
    int index = 0;
    if (!objectsOf(r.array("modules"), QStringLiteral("modules"), error, [&](ObjectReader& o) {
            ModuleSpec m = base;
            m.address = ++index;
            m.serialNumber = base.serialNumber ? base.serialNumber + index : 0;
            const bool ok = readModule(o, &m);
            s.modules.append(m);
            return ok;
        }))
        return std::nullopt;

    const QJsonObject descriptions = r.object("descriptions");
    for (auto it = descriptions.begin(); it != descriptions.end(); ++it) {
        bool isNumber = false;
        const int code = it.key().toInt(&isNumber);
        if (!isNumber || !it->isString()) {
            fail(error,
                 QStringLiteral("descriptions.%1: a code with a text expected").arg(it.key()));
            return std::nullopt;
        }
        s.descriptions.insert(code, it->toString());
    }

    if (!objectsOf(r.array("variables"), QStringLiteral("variables"), error, [&](ObjectReader& o) {
            VariableSpec v;
            const bool ok = readVariable(o, &v, error);
            s.variables.append(v);
            return ok;
        }))
        return std::nullopt;

    if (r.has("generatedVariables")) {
        const QJsonArray range = r.array("generatedVariables");
        if (range.size() != 2 || !range[0].isDouble() || !range[1].isDouble() ||
            range[0].toInt() < 1 || range[1].toInt() > limits::Variables ||
            range[0].toInt() > range[1].toInt()) {
            fail(error, QStringLiteral("generatedVariables: [first, last] within 1 to 500"));
            return std::nullopt;
        }
        addGeneratedVariables(s, range[0].toInt(), range[1].toInt());
    }

    for (const QJsonValue& run : r.array("absentFilled")) {
        const QJsonArray pair = run.toArray();
        if (!run.isArray() || pair.size() != 2 || !pair[0].isDouble() || !pair[1].isDouble()) {
            fail(error, QStringLiteral("absentFilled: pairs [first, last] expected"));
            return std::nullopt;
        }
        s.absentFilled.append({pair[0].toInt(), pair[1].toInt()});
    }
    if (!r.finish() || !validateScenario(s, error))
        return std::nullopt;
    return s;
}

void addGeneratedVariables(Scenario& s, int first, int last) {
    QSet<int> taken;
    for (const VariableSpec& v : s.variables)
        taken.insert(v.number);
    for (int n = first; n <= last; ++n) {
        if (taken.contains(n))
            continue;
        VariableSpec v;
        v.number = n;
        v.id = 1000 + n;
        v.name = QStringLiteral("Proměnná %1").arg(n);
        v.decimals = 1;
        v.unit = 1;
        v.raw = 100 + n;
        v.min = 0;
        v.max = 30000;
        s.variables.append(v);
    }
}

std::optional<Scenario> loadScenarioFile(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(error, QStringLiteral("cannot read scenario %1: %2").arg(path, file.errorString()));
        return std::nullopt;
    }
    QString why;
    std::optional<Scenario> scenario = parseScenario(file.readAll(), &why);
    if (!scenario)
        fail(error, QStringLiteral("scenario %1: %2").arg(path, why));
    return scenario;
}

} // namespace zra::sim
