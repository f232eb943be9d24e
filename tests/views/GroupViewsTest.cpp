// The phases, AC group and DC group windows: their decoders and their reads
// against the in-process simulator.
#include "app/Startup.h"
#include "main/TFmain.h"
#include "store/SnapshotFile.h"
#include "store/ToolFiles.h"
#include "tests/support/SimFixture.h"
#include "tests/support/SnapshotFixture.h"
#include "ui/TextGrid.h"
#include "views/GroupDecode.h"
#include "views/TFacgroup.h"
#include "views/TFdcgroup.h"
#include "views/TFfaze.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QTemporaryDir>

using namespace zra;
using namespace zra::test;
using views::CellValue;

namespace {

using Decoder = std::vector<CellValue> (*)(const link::RegisterData&);

// size zero bytes, with the given bytes at offset.
QByteArray Filled(int size, int offset = 0, const QByteArray& bytes = {}) {
    return QByteArray(size, '\0').replace(offset, bytes.size(), bytes);
}
// Every byte k holding k + 1: each row shows whose bytes it took.
QByteArray Counting(int size) {
    QByteArray bytes;
    for (int k = 0; k < size; ++k)
        bytes.append(char(k + 1));
    return bytes;
}
// One column's values in a line: integers plain, tenths with their decimal.
std::string Line(const std::vector<CellValue>& values) {
    QStringList parts;
    for (const CellValue& v : values)
        parts << (std::holds_alternative<qint64>(v) ? QString::number(std::get<qint64>(v))
                                                    : QString::number(std::get<double>(v), 'f', 1));
    return parts.join(' ').toStdString();
}

// ---- decoders ----

TEST(GroupDecode, RecordBytesBecomeTheRowsOfOneColumn) {
    const struct {
        Decoder decode;
        QByteArray record;
        const char* line;
    } cases[] = {
        {views::PhaseStatusValues, Counting(54),
         "1 2 3 4 128.6 180.0 9 10 282.8 219025168 286397204 353769240 421141276 488513312 "
         "555885348 623257384 690629420 758001456 49 50 51 52 53"},
        {views::PhaseStatusValues,
         Filled(54, 4, Bytes({0x09, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0x27, 0x10})),
         "0 0 0 0 230.5 0.0 0 0 0.0 10000 0 0 0 0 0 0 0 0 0 0 0 0 0"},
        {views::AcGroupStatusValues, Counting(20),
         "1 2 3 4 84281096 151653132 334.2 385.6 437.0 19"},
        {views::AcGroupStatusValues, Filled(20, 8, Bytes({0xFF, 0xFF, 0xFF, 0xFE, 0x09, 0x01})),
         "0 0 0 0 0 -2 230.5 0.0 0.0 0"},
        {views::DcGroupStatusValues, Counting(14), "1 2 3 4 84281096 231.4 282.8 13"},
        {views::DcGroupStatusValues,
         Filled(14, 4, Bytes({0xFF, 0xFF, 0xFF, 0x9C, 0, 0, 0xFF, 0xFF})),
         "0 0 0 0 -100 0.0 6553.5 0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Line(c.decode(link::RegisterData(c.record))), c.line);
}

// The group titles are checked in the windows.
TEST(GroupDecode, PhaseRowTitlesKeepTheirBlanks) {
    EXPECT_EQ(views::PhaseRowTitles()[2],
              "Ratio between output load and installed power  in watts (%)");
    EXPECT_EQ(views::PhaseRowTitles()[21], "Number of modules that are not delivering output ");
}

// ---- windows ----

struct ViewCase {
    const char* name;
    views::GroupView& (*window)(app::Windows&);
    ui::TextGrid& (*table)(app::Windows&);
    void (*read)(app::Windows&); // the read without the command frame
    const char* objectName;
    const char* caption;
    const char* tableName;
    int rows;
    const char* lastTitle;
    int titleWidth;
    int decimals;
    quint16 countRegister;
    int countByte; // 0 high, 1 low
    quint16 blockStart;
    int blockSize;
    // Where the tenths bytes 09 01 (230.5) of a record lie, and their row.
    int tenthsOffset;
    int tenthsRow;
    store::ViewKind kind;
};

const ViewCase Views[] = {
    {"Faze", [](app::Windows& w) -> views::GroupView& { return *w.Ffaze; },
     [](app::Windows& w) -> ui::TextGrid& { return *w.Ffaze->SG_faze; },
     [](app::Windows& w) { w.Ffaze->readFaze(); }, "Ffaze", "Fáze", "SG_faze", 24,
     "Number of modules not seen by K3D in the phase", 300, 1, 1980, 1, 1600, 27, 4, 5,
     store::ViewKind::Faze},
    {"AcGroup", [](app::Windows& w) -> views::GroupView& { return *w.Facgroup; },
     [](app::Windows& w) -> ui::TextGrid& { return *w.Facgroup->SG_AC; },
     [](app::Windows& w) { w.Facgroup->readAC(); }, "Facgroup", "AC group", "SG_AC", 11,
     "Number of modules stating that their AC input stage is fully functional ", 400, 2, 1988, 0,
     1840, 10, 12, 7, store::ViewKind::AcGroup},
    {"DcGroup", [](app::Windows& w) -> views::GroupView& { return *w.Fdcgroup; },
     [](app::Windows& w) -> ui::TextGrid& { return *w.Fdcgroup->SG_DC; },
     [](app::Windows& w) { w.Fdcgroup->readDC(); }, "Fdcgroup", "DC group", "SG_DC", 9,
     "Number of modules stating that their DC input stage is fully functional ", 400, 2, 1987, 1,
     1900, 7, 8, 6, store::ViewKind::DcGroup},
};

void PrintTo(const ViewCase& c, std::ostream* os) {
    *os << c.name;
}

class GroupViewTest : public ::testing::TestWithParam<ViewCase> {
protected:
    void SetUp() override { simulator = StartSimulator(); }
    void connectLink() {
        w.Fmain->TIP_adr->setEditText(simulator->address());
        w.Fmain->TIP_adrAccept();
        w.Fmain->TBXItem2Click();
        ASSERT_EQ(w.Fmain->statusPanel0->text(), "Connected");
        simulator->clearRecords();
    }
    const ViewCase& c() { return GetParam(); }
    views::GroupView& view() { return c().window(w); }
    ui::TextGrid& table() { return c().table(w); }

    void setCount(int count, int otherByte = 0) {
        const int value = c().countByte == 0 ? count << 8 | otherByte : otherByte << 8 | count;
        simulator->setInputRegister(c().countRegister, quint16(value));
    }
    quint16 blockOf(int item) { return quint16(c().blockStart + c().blockSize * (item - 1)); }
    // Item's record, as register values high byte first.
    void setRecord(int item, const QByteArray& bytes) {
        for (int i = 0; i + 1 < bytes.size(); i += 2)
            simulator->setInputRegister(quint16(blockOf(item) + i / 2),
                                        quint16(quint8(bytes[i]) << 8 | quint8(bytes[i + 1])));
    }
    // Every frame received, unit id to quantity.
    QList<QByteArray> requests() {
        QList<QByteArray> out;
        for (const QByteArray& f : simulator->modbusFrames())
            out << f.left(6);
        return out;
    }
    static QByteArray readFrame(quint16 address, int quantity) {
        return Bytes({1, 4, address >> 8, address & 0xFF, 0, quantity});
    }
    void failItem(int item) {
        sim::Fault f;
        f.kind = sim::FaultKind::Close;
        f.firstRegister = blockOf(item);
        f.lastRegister = quint16(blockOf(item) + c().blockSize - 1);
        simulator->addFault(f);
    }

    RecordingUi ui;
    std::unique_ptr<sim::Simulator> simulator;
    app::Windows w;
};

TEST_P(GroupViewTest, WindowAndTableLayout) {
    view().show(); // the title row is the header, measured once shown
    EXPECT_EQ(view().objectName(), c().objectName);
    EXPECT_EQ(view().windowTitle(), c().caption);
    EXPECT_EQ(table().objectName(), c().tableName);
    ASSERT_EQ(table().rowCount(), c().rows);
    EXPECT_EQ(table().columnCount(), 1);
    EXPECT_EQ(table().columnWidthPx(0), c().titleWidth);
    for (int r = 0; r < table().rowCount(); ++r)
        EXPECT_EQ(table().rowHeightPx(r), 21) << "row " << r;
    EXPECT_EQ(table().cell(0, c().rows - 1), c().lastTitle);
    EXPECT_TRUE(view().TBXotevri->isEnabled() && view().TBXuloz->isEnabled()) << "also unconnected";
}

TEST_P(GroupViewTest, ReadIsEnabledOnlyWhileConnected) {
    EXPECT_FALSE(view().TBXnacti->isEnabled());
    connectLink();
    EXPECT_TRUE(view().TBXnacti->isEnabled());
    w.link.EnterDisconnectedState();
    EXPECT_FALSE(view().TBXnacti->isEnabled());
}

TEST_P(GroupViewTest, CountFromItsByteThenOneRequestPerItem) {
    connectLink();
    setCount(3);
    view().TBXnactiClick();
    EXPECT_EQ(requests(), (QList<QByteArray>{readFrame(c().countRegister, 1),
                                             readFrame(blockOf(1), c().blockSize),
                                             readFrame(blockOf(2), c().blockSize),
                                             readFrame(blockOf(3), c().blockSize)}));
    EXPECT_EQ(table().columnCount(), 4);

    // The same count in the other byte: no item, only the titles column.
    setCount(0, 3);
    simulator->clearRecords();
    view().TBXnactiClick();
    EXPECT_EQ(requests(), QList<QByteArray>{readFrame(c().countRegister, 1)});
    EXPECT_EQ(table().columnCount(), 1);
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();
}

TEST_P(GroupViewTest, CellsInTheirFormatAndColumnTitlesKept) {
    connectLink();
    setCount(2);
    const int size = 2 * c().blockSize;
    setRecord(1, Filled(size, c().tenthsOffset, Bytes({0x09, 0x01})).replace(0, 1, Bytes({17})));
    setRecord(2, Filled(size, 0, Bytes({42})));
    table().setColumnCount(3);
    table().setCell(2, 0, "titulek");
    view().TBXnactiClick();
    ASSERT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();
    EXPECT_EQ(table().cell(1, c().tenthsRow), QLocale::system().toString(230.5, 'f', c().decimals));
    EXPECT_EQ(table().cell(1, 1), "17");
    EXPECT_EQ(table().cell(2, 1), "42");
    EXPECT_EQ(table().cell(2, c().tenthsRow), QLocale::system().toString(0.0, 'f', c().decimals));
    EXPECT_EQ(table().cell(2, 0), "titulek");
    EXPECT_EQ(table().cell(1, 0), "");
    EXPECT_EQ(ui.busyDepth, 0);
}

TEST_P(GroupViewTest, FailureOnTheSecondItemKeepsWhatWasWritten) {
    connectLink();
    setCount(3);
    setRecord(1, Bytes({5, 0}));
    table().setColumnCount(4);
    table().setCell(2, 1, "staré");
    table().setCell(3, 1, "staré");
    failItem(2);
    view().TBXnactiClick();
    EXPECT_EQ(table().cell(1, 1), "5");
    EXPECT_EQ(table().cell(2, 1), "staré");
    EXPECT_EQ(table().cell(3, 1), "staré");
    EXPECT_EQ(requests().size(), 3) << "no request after the failed one";
    ASSERT_FALSE(ui.messages.isEmpty());
    EXPECT_EQ(ui.messages.last(), "Chyba v komunikaci");
    for (QWidget* parent : ui.parents)
        EXPECT_EQ(parent, &view());
    EXPECT_TRUE(w.link.exchangeFailed());
    EXPECT_EQ(w.Fmain->statusPanel0->text(), "Disconnected");
    EXPECT_FALSE(view().TBXnacti->isEnabled());
    EXPECT_EQ(ui.busyDepth, 0);
}

TEST_P(GroupViewTest, FailedCountLeavesTheTableAndSetsTheFlag) {
    connectLink();
    table().setColumnCount(2);
    table().setCell(1, 1, "9");
    sim::Fault f;
    f.kind = sim::FaultKind::Close;
    simulator->addFault(f);
    c().read(w);
    EXPECT_TRUE(w.link.exchangeFailed()) << "read-all looks at the flag after the read";
    EXPECT_EQ(table().columnCount(), 2);
    EXPECT_EQ(table().cell(1, 1), "9");
    EXPECT_EQ(ui.messages.last(), "Chyba v komunikaci");
}

TEST_P(GroupViewTest, AReadAfterASnapshotOfAnotherShapeHasTheTablesOwnRows) {
    connectLink();
    setCount(1);
    // The row titles as the settings file keeps them.
    const QString section = QStringLiteral("T") + QString::fromLatin1(c().objectName);
    QStringList titles;
    for (int r = 1; r < c().rows; ++r)
        titles << table().cell(0, r);
    titles[0] = "vlastní";
    w.settings.setTexts(section, QString::fromLatin1(c().tableName) + ".RowHeaders", titles);
    view().show();
    QTemporaryDir dir;
    for (const int rows : {c().rows - 3, c().rows + 5}) {
        ui.answerNextFileName(ShapedSnapshotFile(dir, c().kind, 2, rows));
        view().TBXotevri->trigger();
        ASSERT_EQ(table().rowCount(), rows);
        view().TBXnactiClick();
        ASSERT_EQ(table().rowCount(), c().rows) << rows;
        for (int r = 1; r < c().rows; ++r) {
            EXPECT_EQ(table().cell(0, r), titles[r - 1]) << rows << " " << r;
            EXPECT_EQ(table().rowHeightPx(r), 21) << rows << " " << r;
            EXPECT_FALSE(table().cell(1, r).isEmpty()) << "the value of row " << r;
        }
    }
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();
    view().hide();
    QFile::remove(store::ToolFilePath(store::SettingsFileName));
}

INSTANTIATE_TEST_SUITE_P(Views, GroupViewTest, ::testing::ValuesIn(Views),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
