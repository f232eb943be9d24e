// The device client against the in-process simulator: sized reads, writes
// with the password first, the login gate and the failure report; the alarm
// texts and their cache.
#include "link/DeviceClient.h"
#include "link/AlarmTexts.h"
#include "link/DeviceLink.h"
#include "link/RegisterMap.h"
#include "tests/support/SimFixture.h"
#include "ui/UiServices.h"

#include <QWidget>

using namespace zra;
using namespace zra::test;
using link::DeviceClient;
using link::RegisterData;
using link::ReplyOverrun;

namespace {

TEST(RegisterData, HoldsExactlyWhatArrivedAndRefusesTheRest) {
    const std::uint8_t bytes[] = {0x00, 0x01, 0x86, 0xA0, 0xFF, 0xFE};
    const RegisterData d(bytes, 6);
    EXPECT_EQ(d.size(), 6);
    EXPECT_EQ(d.s32(0), 100000);
    EXPECT_EQ(d.u16(4), 0xFFFE);
    EXPECT_EQ(d.s16(4), -2);
    EXPECT_EQ(d.bytes(2, 2), QByteArray("\x86\xA0", 2));
    EXPECT_THROW(d.byte(6), ReplyOverrun);
    EXPECT_THROW(d.u16(5), ReplyOverrun);
    EXPECT_THROW(d.s32(3), ReplyOverrun);
    EXPECT_THROW(d.bytes(4, 3), ReplyOverrun);
    EXPECT_THROW(d.byte(-1), ReplyOverrun);
    try {
        d.byte(6);
    } catch (const ReplyOverrun& e) {
        EXPECT_STREQ(e.what(),
                     "Chyba programu: dekódování čte bajt 6 odpovědi, která má jen 6 B dat.");
    }
}

TEST(AlarmTexts, SourceLevelCellAndDescription) {
    const std::pair<int, const char*> sources[] = {{0, "K3D"},     {1, "Mod.1"},   {12, "Mod.12"},
                                                   {32, "Mod.32"}, {33, "SYSTEM"}, {34, "34"}};
    for (const auto& [value, text] : sources)
        EXPECT_EQ(link::AlarmSourceText(value), text);
    const std::pair<int, const char*> levels[] = {
        {0, "NO_ALARM"}, {1, "MINOR"}, {2, "MAJOR"}, {3, "3"}};
    for (const auto& [value, text] : levels)
        EXPECT_EQ(link::AlarmLevelText(value), text);
    EXPECT_EQ(link::AlarmCellText(17, "Přepětí DC"), "17 Přepětí DC");

    // A description ends at its first zero byte and keeps its blanks.
    const auto description = [](QByteArray b) {
        b.resize(16, '\0');
        return link::DescriptionText(RegisterData(b));
    };
    EXPECT_EQ(description("Vysok\xE1 teplota  "), QStringLiteral("Vysoká teplota  "));
    EXPECT_EQ(description("P\xF8\x65p\xECt\xED"), QStringLiteral("Přepětí"));
    EXPECT_EQ(description(""), "");
    EXPECT_THROW(link::DescriptionText(RegisterData(QByteArray(15, 'x'))), ReplyOverrun);
}

TEST(RegisterMap, DocumentedAddresses) {
    EXPECT_EQ(reg::AlarmEntryAddress(1), 2010);
    EXPECT_EQ(reg::DescriptionAddress(300), 16660 + 2400);
    EXPECT_EQ(reg::DescriptionAddress(6108), 65524) << "its eight registers end at 65531";
    for (int code : {-1, 6109, 6110, 70000})
        EXPECT_FALSE(reg::DescriptionAddress(code)) << code << " would wrap round";
    EXPECT_EQ(reg::ConfigVariableRecord.address(500), 14140);
    EXPECT_EQ(reg::ConfigValidityAddress(2), 4181);
    EXPECT_EQ(reg::ConfigValueRegister(1), 0);
    EXPECT_EQ(reg::ModuleStatusRecord.address(2), 31);
    EXPECT_EQ(reg::ModuleAddressRegister(2), 1513);
    EXPECT_EQ(reg::ModuleGroupsRegister(1), 1511);
    EXPECT_EQ(reg::ModuleCommandRegister(1), 1512);
    EXPECT_EQ(reg::PhaseStatusRecord.address(3), 1654);
    EXPECT_EQ(reg::AcGroupStatusRecord.address(2), 1850);
    EXPECT_EQ(reg::DcGroupStatusRecord.address(2), 1907);
    EXPECT_EQ(reg::EventRecord.address(2), 2166);
}

class DeviceClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        simulator = StartSimulator();
        link.setAddress(simulator->address());
        link.ConnectCommand();
        ASSERT_TRUE(link.connectedState()) << ui.messages.join(" | ").toStdString();
        simulator->clearRecords();
    }
    sim::Fault fault(sim::FaultKind kind, std::optional<quint8> function = {}) {
        sim::Fault f;
        f.kind = kind;
        f.function = function;
        return f;
    }

    RecordingUi ui;
    std::unique_ptr<sim::Simulator> simulator;
    link::DeviceLink link;
    DeviceClient client{link};
};

TEST_F(DeviceClientTest, ReadsHandOverExactlyTheRequestedBytes) {
    // The largest legal read: 38 registers, 81 bytes of reply.
    for (int i = 0; i < 38; ++i)
        simulator->setInputRegister(quint16(4160 + i), quint16(0x0100 * i + 0x11));
    const auto big = client.readInput(4160, 38);
    ASSERT_TRUE(big.has_value()) << ui.messages.join(" | ").toStdString();
    EXPECT_EQ(big->size(), 76);
    EXPECT_EQ(big->u16(0), 0x0011);
    EXPECT_EQ(big->u16(74), 0x2511) << "the last register of the largest reply";

    // A later, shorter reply: the bytes of the earlier one left in the frame
    // buffer are out of reach.
    const auto one = client.readHolding(reg::ConfigControlRegister, 1);
    ASSERT_TRUE(one.has_value());
    EXPECT_EQ(one->size(), 2);
    EXPECT_THROW(one->byte(2), ReplyOverrun);
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(DeviceClientTest, CountBytesAreTheHalfTheyName) {
    simulator->setInputRegister(1980, 0x0203);
    simulator->setInputRegister(1993, 0x0501);
    EXPECT_EQ(client.readCount(reg::PhaseCount), 3) << "low byte of 1980";
    EXPECT_EQ(client.readCount(reg::ModuleCount), 5) << "high byte of 1993";
    const auto frames = simulator->modbusFrames();
    ASSERT_EQ(frames.size(), 2);
    EXPECT_EQ(frames[0].left(6), Bytes({0x01, 0x04, 0x07, 0xBC, 0x00, 0x01}));
}

TEST_F(DeviceClientTest, WritesSendThePasswordFirstWhenAsked) {
    ASSERT_TRUE(client.writeSingle(reg::SystemCommandRegister, reg::OffCommand,
                                   DeviceClient::Password::First));
    const std::uint8_t clock[8] = {30, 15, 10, 24, 12, 1, 0x07, 0xE8};
    ASSERT_TRUE(client.writeMultiple(reg::ClockWriteAddress, clock, DeviceClient::Password::First));
    ASSERT_TRUE(
        client.writeSingle(reg::ConfigValueRegister(3), 0xFFFF, DeviceClient::Password::None));
    const auto frames = simulator->modbusFrames();
    ASSERT_EQ(frames.size(), 5);
    const QByteArray password = Bytes({0x01, 0x10, 0x08, 0x34, 0x00, 0x05, 0x0A}) + "Vortex_P8L";
    EXPECT_EQ(frames[0].left(17), password);
    EXPECT_EQ(frames[1], Bytes({0x01, 0x06, 0x06, 0xA4, 0x10, 0x00, 0xC5, 0x61}));
    EXPECT_EQ(frames[2].left(17), password);
    EXPECT_EQ(frames[3].left(15),
              Bytes({0x01, 0x10, 0x05, 0xDC, 0x00, 0x04, 0x08, 30, 15, 10, 24, 12, 1, 0x07, 0xE8}));
    EXPECT_EQ(frames[4].left(6), Bytes({0x01, 0x06, 0x00, 0x02, 0xFF, 0xFF}));
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();
    // Function 16 carries whole registers, at most ten.
    EXPECT_THROW(client.writeMultiple(1500, std::span(clock, 3), DeviceClient::Password::None),
                 std::logic_error);
    const std::uint8_t tooMany[22] = {};
    EXPECT_THROW(client.writeMultiple(1500, tooMany, DeviceClient::Password::None),
                 std::logic_error);
    EXPECT_EQ(simulator->modbusFrames().size(), 5);
}

TEST_F(DeviceClientTest, FailuresAreReportedOverTheCommandsWindowAndStopTheWrite) {
    QWidget window;
    simulator->addFault(fault(sim::FaultKind::Exception, reg::WriteMultiple));
    const auto command = [&] {
        client.writeSingle(reg::SystemCommandRegister, reg::OnCommand,
                           DeviceClient::Password::First);
    };
    ui::RunCommand(&window, command);
    EXPECT_EQ(ui.messages, (QStringList{"Zařízení odmítlo požadavek funkce 16: MODBUS výjimka 4 "
                                        "(chyba zařízení)",
                                        "Chyba v komunikaci"}));
    EXPECT_EQ(ui.parents, (QList<QWidget*>{&window, &window}));
    EXPECT_EQ(ui.icons, QList<ui::MessageIcon>(2, ui::MessageIcon::Warning));
    EXPECT_EQ(simulator->modbusFrames().size(), 1) << "the command is not sent";
    EXPECT_FALSE(link.connectedState());

    // Sticky: after the failure every operation reports failure, also a read
    // whose own exchange succeeds on the still open channel.
    ui.clearMessages();
    EXPECT_FALSE(client.readInput(reg::SystemBlockAddress, 1).has_value());
    EXPECT_EQ(ui.messages, QStringList{"Chyba v komunikaci"});
}

TEST_F(DeviceClientTest, TransportOnlyWritesAddNoMessageOfTheirOwn) {
    simulator->addFault(fault(sim::FaultKind::Exception, reg::WriteSingle));
    EXPECT_FALSE(client.writeSingle(reg::SystemCommandRegister, reg::OnCommand,
                                    DeviceClient::Password::First,
                                    DeviceClient::Report::TransportOnly));
    EXPECT_EQ(ui.messages, QStringList{"Zařízení odmítlo požadavek funkce 6: MODBUS výjimka 4 "
                                       "(chyba zařízení)"});
}

TEST_F(DeviceClientTest, LoginGatePromptsOnlyWhileNotGranted) {
    int prompts = 0;
    client.promptLogin = [&] { ++prompts; };
    EXPECT_FALSE(client.ensureLogin());
    client.promptLogin = [&] {
        ++prompts;
        link.setLoginGranted(true);
    };
    EXPECT_TRUE(client.ensureLogin());
    EXPECT_TRUE(client.ensureLogin());
    EXPECT_EQ(prompts, 2);
}

TEST_F(DeviceClientTest, DescriptionsAreFetchedOncePerCodeUpTo300) {
    link::AlarmDescriptions cache(client);
    const auto describe = [&](int code, const QByteArray& text) {
        QByteArray b = text;
        b.resize(16, '\0');
        for (int i = 0; i < 8; ++i)
            simulator->setInputRegister(*reg::DescriptionAddress(code) + i,
                                        quint16(quint8(b[2 * i]) << 8 | quint8(b[2 * i + 1])));
        return cache.describeAlarm(code);
    };
    EXPECT_EQ(describe(5, "Prvni"), "Prvni");
    EXPECT_EQ(describe(5, "Jiny"), "Prvni") << "kept for the run";
    EXPECT_EQ(describe(300, ""), "");
    EXPECT_TRUE(cache.has(300)) << "an empty text is known too";
    EXPECT_EQ(describe(301, "A"), "A");
    EXPECT_EQ(describe(301, "B"), "B") << "above 300: fetched each time";
    EXPECT_EQ(describe(6108, "Posledni"), "Posledni");
    EXPECT_EQ(simulator->modbusFrames().size(), 5);
    // Code 6110 would read module 1's record as its text: no request at all.
    for (int code : {6109, 6110, 65535})
        EXPECT_EQ(cache.describeAlarm(code), QString()) << code;
    EXPECT_EQ(simulator->modbusFrames().size(), 5);
    cache.clear();
    EXPECT_FALSE(cache.has(5));

    simulator->addFault(fault(sim::FaultKind::Silence));
    EXPECT_FALSE(describe(7, "x").has_value());
    EXPECT_FALSE(cache.has(7));
}

} // namespace
