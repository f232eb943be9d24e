// The event log: the record decoder, and the window's read against the
// in-process simulator.
#include "app/Startup.h"
#include "link/DeviceLink.h"
#include "log/EventDecode.h"
#include "log/TFlog.h"
#include "main/TFmain.h"
#include "tests/support/SimFixture.h"
#include "ui/TextGrid.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QSet>
#include <QSpinBox>

using namespace zra;
using namespace zra::test;

namespace {

// ---- decoder ----

struct DecodeCase {
    QByteArray record;
    QStringList cells; // source, level, code, time
};

class EventDecodeTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(EventDecodeTest, RecordGivesTheRowTexts) {
    const log::EventRow r = log::DecodeEvent(link::RegisterData(GetParam().record));
    EXPECT_EQ((QStringList{r.source, r.level, QString::number(r.code), r.time}), GetParam().cells);
}

INSTANTIATE_TEST_SUITE_P(
    Records, EventDecodeTest,
    ::testing::Values(DecodeCase{Bytes({0x00, 0x02, 0x00, 0x07, 0x07, 0xE1, 0x03, 0x05, 0x08, 0x07,
                                        0x09, 0x00}),
                                 {"K3D", "MAJOR", "7", "5.3.2017 8:7:9"}},
                      DecodeCase{Bytes({12, 1, 0x01, 0x2C, 0x07, 0xE8, 12, 31, 23, 59, 58, 0xFF}),
                                 {"Mod.12", "MINOR", "300", "31.12.2024 23:59:58"}},
                      DecodeCase{Bytes({33, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0}),
                                 {"SYSTEM", "NO_ALARM", "65535", "0.0.0 0:0:0"}},
                      // No range check: whatever the bytes say is shown.
                      DecodeCase{Bytes({40, 3, 0x01, 0x2D, 0xFF, 0xFF, 13, 99, 25, 61, 255, 0}),
                                 {"40", "3", "301", "99.13.65535 25:61:255"}}));

// ---- window ----

// A request frame as the simulator received it.
struct Request {
    int function, address, quantity;
    bool operator==(const Request&) const = default;
};
void PrintTo(const Request& r, std::ostream* os) {
    *os << '{' << r.function << ", " << r.address << ", " << r.quantity << '}';
}

struct Event {
    int source, level, code;
};

constexpr int CountRegister = 1994;
constexpr int Description(int code) {
    return 16660 + 8 * code;
}
constexpr int Record(int i) {
    return 2160 + 6 * (i - 1);
}
Request CountRead() {
    return {4, CountRegister, 1};
}
Request RecordRead(int i) {
    return {4, Record(i), 6};
}
Request DescriptionRead(int code) {
    return {4, Description(code), 8};
}

class EventLogTest : public ::testing::Test {
protected:
    void SetUp() override { connectTo(StartSimulator()); }
    void connectTo(std::unique_ptr<sim::Simulator> sim) {
        simulator = std::move(sim);
        w.Fmain->TIP_adr->setEditText(simulator->address());
        w.Fmain->TIP_adrAccept();
        w.Fmain->TBXItem2Click();
        ASSERT_EQ(w.Fmain->statusPanel0->text(), "Connected");
        simulator->clearRecords();
    }
    log::TFlog& f() { return *w.Flog; }
    ui::TextGrid& g() { return *w.Flog->SG_log; }

    // Plants the event count and the records: event i at 5.3.2017 8:i:s, s the
    // code's low byte.
    void setEvents(const QList<Event>& events) {
        simulator->setInputRegister(CountRegister, quint16(events.size() << 8));
        for (int i = 1; i <= events.size(); ++i) {
            const Event& e = events[i - 1];
            const int regs[6] = {e.source << 8 | e.level, e.code, 2017, 3 << 8 | 5, 8 << 8 | i,
                                 (e.code & 0xFF) << 8};
            for (int r = 0; r < 6; ++r)
                simulator->setInputRegister(quint16(Record(i) + r), quint16(regs[r]));
        }
    }
    void setDescription(int code, const QByteArray& text) {
        QByteArray b = text.leftJustified(16, '\0', true);
        for (int r = 0; r < 8; ++r)
            simulator->setInputRegister(quint16(Description(code) + r),
                                        quint16(quint8(b[2 * r]) << 8 | quint8(b[2 * r + 1])));
    }
    QList<Request> requests() const {
        QList<Request> out;
        for (const QByteArray& b : simulator->modbusFrames())
            out.append(
                {quint8(b[1]), quint8(b[2]) << 8 | quint8(b[3]), quint8(b[4]) << 8 | quint8(b[5])});
        return out;
    }
    QStringList row(int r) const {
        QStringList cells;
        for (int c = 0; c < 5; ++c)
            cells << w.Flog->SG_log->cell(c, r);
        return cells;
    }

    RecordingUi ui;
    std::unique_ptr<sim::Simulator> simulator;
    app::Windows w;
};

TEST_F(EventLogTest, WindowAsDesigned) {
    EXPECT_EQ(f().objectName(), "Flog");
    EXPECT_EQ(f().windowTitle(), "Event log");
    EXPECT_EQ(f().size(), QSize(520, 499));
    EXPECT_EQ(row(0), (QStringList{"#", "Dev", "Typ", "Událost", "Datum a čas"}));
    EXPECT_EQ(g().rowCount(), 2) << "one empty event row";
    const int widths[] = {30, 64, 64, 215, 92};
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(g().columnWidthPx(c), widths[c]) << c;
    const QSpinBox& kolik = *f().TBXSpinEditItem1;
    EXPECT_EQ((QList<int>{kolik.value(), kolik.minimum(), kolik.maximum()}),
              (QList<int>{300, 1, 300}));
    EXPECT_TRUE(f().TBXotevri->isEnabled() && f().TBXuloz->isEnabled()) << "also unconnected";
    EXPECT_TRUE(f().TBXLabelItem1->text().isEmpty());
}

TEST(EventLogWindow, ReadFollowsTheConnection) {
    RecordingUi ui;
    auto simulator = StartSimulator();
    app::Windows w;
    EXPECT_FALSE(w.Flog->TBXnacti->isEnabled()) << "disabled until connected";
    w.Fmain->TIP_adr->setEditText(simulator->address());
    w.Fmain->TBXItem2Click();
    EXPECT_TRUE(w.Flog->TBXnacti->isEnabled());
    w.Fmain->TBXItem2Click(); // Disconnect
    EXPECT_FALSE(w.Flog->TBXnacti->isEnabled());
}

TEST_F(EventLogTest, RowsFromRecordsOneDescriptionPerCode) {
    setEvents({{0, 2, 7}, {12, 1, 9}, {33, 0, 7}});
    setDescription(7, "Start syst\xE9mu");
    setDescription(9, "Porucha ");
    f().TBXnactiClick();
    ASSERT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();
    ASSERT_EQ(g().rowCount(), 4);
    EXPECT_EQ(row(1), (QStringList{"1", "K3D", "MAJOR", "7 Start systému", "5.3.2017 8:1:7"}));
    EXPECT_EQ(row(2), (QStringList{"2", "Mod.12", "MINOR", "9 Porucha ", "5.3.2017 8:2:9"}));
    EXPECT_EQ(row(3),
              (QStringList{"3", "SYSTEM", "NO_ALARM", "7 Start systému", "5.3.2017 8:3:7"}));
    EXPECT_EQ(requests(), (QList<Request>{CountRead(), RecordRead(1), DescriptionRead(7),
                                          RecordRead(2), DescriptionRead(9), RecordRead(3)}));
    EXPECT_EQ(ui.busyDepth, 0);
    EXPECT_EQ(w.descriptions.text(9), "Porucha ") << "the cache shared with the alarm table";
}

TEST_F(EventLogTest, CachedCodesAreNotRequestedAgainCodesAbove300Are) {
    w.descriptions.store(5, "Z alarmu"); // fetched earlier, for example by the alarm table
    setEvents({{0, 1, 5}, {0, 1, 301}, {0, 1, 6}});
    setDescription(6, "Nova");
    setDescription(301, "Mimo cache");
    f().TBXnactiClick();
    EXPECT_EQ(row(1)[3], "5 Z alarmu");
    EXPECT_EQ(row(2)[3], "301 Mimo cache");
    EXPECT_EQ(requests(),
              (QList<Request>{CountRead(), RecordRead(1), RecordRead(2), DescriptionRead(301),
                              RecordRead(3), DescriptionRead(6)}));
    simulator->clearRecords();
    f().TBXnactiClick();
    EXPECT_EQ(requests(), (QList<Request>{CountRead(), RecordRead(1), RecordRead(2),
                                          DescriptionRead(301), RecordRead(3)}));
}

TEST_F(EventLogTest, KolikLimitsTheEventsRead) {
    struct Case {
        int count, kolik, rows;
    };
    // In this order: the table grows, shrinks, and keeps only its title row.
    const Case cases[] = {{12, 5, 5}, {12, 300, 12}, {4, 1, 1}, {7, 7, 7}, {0, 300, 0}};
    w.descriptions.store(3, "x");
    f().TBXLabelItem1->setText("9");
    for (const Case& c : cases) {
        setEvents(QList<Event>(c.count, {0, 1, 3}));
        f().TBXSpinEditItem1->setValue(c.kolik);
        const QString label = f().TBXLabelItem1->text();
        simulator->clearRecords();
        f().TBXnactiClick();
        QList<Request> expected{CountRead()};
        for (int i = 1; i <= c.rows; ++i)
            expected.append(RecordRead(i));
        EXPECT_EQ(requests(), expected) << c.count << " / " << c.kolik;
        ASSERT_EQ(g().rowCount(), c.rows + 1);
        EXPECT_EQ(row(c.rows)[0], c.rows ? QString::number(c.rows) : "#");
        EXPECT_EQ(f().TBXLabelItem1->text(), c.rows ? "0" : label) << "no event: label kept";
    }
}

TEST_F(EventLogTest, LabelCountsDown) {
    w.descriptions.store(3, "x");
    setEvents({{0, 1, 3}, {0, 1, 3}, {0, 1, 3}});
    QStringList atRequest;
    QObject::connect(&w.link, &link::DeviceLink::trace, &f(), [&](const QString& line) {
        if (line.startsWith("->"))
            atRequest << f().TBXLabelItem1->text();
    });
    f().TBXnactiClick();
    EXPECT_EQ(atRequest, (QStringList{"", "2", "1", "0"}));
}

TEST_F(EventLogTest, FailureKeepsWhatWasWritten) {
    const QStringList old1{"1", "K3D", "MINOR", "8 Stara", "5.3.2017 8:1:8"};
    const QStringList old2{"2", "Mod.2", "MINOR", "8 Stara", "5.3.2017 8:2:8"};
    const QStringList old3{"3", "K3D", "MINOR", "8 Stara", "5.3.2017 8:3:8"};
    const QStringList new1{"1", "SYSTEM", "MAJOR", "4 Nova", "5.3.2017 8:1:4"};
    struct Case {
        const char* name;
        int firstRegister, lastRegister;
        QStringList row1, row2;
    };
    const Case cases[] = {
        {"count", CountRegister, CountRegister, old1, old2},
        {"record 2", Record(2), Record(2) + 5, new1, old2},
        {"description of event 2",
         Description(9),
         Description(9) + 7,
         new1,
         {"2", "Mod.1", "MAJOR", "8 Stara", "5.3.2017 8:2:9"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!w.link.connectedState())
            w.Fmain->TBXItem2Click();
        setEvents({{0, 1, 8}, {2, 1, 8}, {0, 1, 8}});
        w.descriptions.clear();
        setDescription(8, "Stara");
        f().TBXnactiClick();
        ASSERT_EQ(row(2), old2);

        setEvents({{33, 2, 4}, {1, 2, 9}, {1, 2, 9}});
        setDescription(4, "Nova");
        sim::Fault fault;
        fault.kind = sim::FaultKind::Close;
        fault.firstRegister = quint16(c.firstRegister);
        fault.lastRegister = quint16(c.lastRegister);
        fault.times = 1;
        simulator->addFault(fault);
        ui.clearMessages();
        f().TBXnactiClick();

        ASSERT_EQ(ui.messages.size(), 2) << ui.messages.join(" | ").toStdString();
        EXPECT_EQ(ui.messages.last(), "Chyba v komunikaci");
        EXPECT_EQ(ui.parents, (QList<QWidget*>{&f(), &f()}));
        EXPECT_EQ(ui.busyDepth, 0) << "the normal cursor is back";
        EXPECT_FALSE(f().TBXnacti->isEnabled());
        ASSERT_EQ(g().rowCount(), 4);
        EXPECT_EQ(row(1), c.row1);
        EXPECT_EQ(row(2), c.row2);
        EXPECT_EQ(row(3), old3);
    }
}

TEST_F(EventLogTest, DefaultInstallationLog) {
    sim::Options o;
    o.frozen = true;
    connectTo(StartSimulator(o));
    f().TBXnactiClick();
    ASSERT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();
    ASSERT_EQ(g().rowCount(), 21) << "the default installation holds 20 events";
    QSet<QString> codes;
    for (int r = 1; r <= 20; ++r) {
        const QStringList cells = row(r);
        EXPECT_EQ(cells[0], QString::number(r));
        EXPECT_FALSE(cells[1].isEmpty() || cells[2].isEmpty() || cells[4].isEmpty()) << r;
        EXPECT_FALSE(cells[3].section(' ', 1).trimmed().isEmpty()) << "description of row " << r;
        codes.insert(cells[3].section(' ', 0, 0));
    }
    EXPECT_EQ(requests().size(), 1 + 20 + codes.size());
}

} // namespace
