// Feeds arbitrary bytes as the installation's reply to one MODBUS request:
// through the real exchange (DeviceLink::ExchangeRequest, reached through the
// device client as the windows and the console reach it) and, when the link
// accepts the reply, through every decoder that takes that kind of block.
//
// Input: six control bytes, then the reply.
//   byte 0     bits 0-6 the request, one of Kind (modulo their number); bit 7
//              set: the peer puts a good CRC where the frame's length (from
//              its function and byte count) says the CRC is, so that
//              mutated replies get past the CRC to the other checks and to
//              the decoders
//   byte 1     the unit id of the request
//   bytes 2-3  a, big-endian: item number, alarm code or register address
//   bytes 4-5  b, big-endian: value or quantity
//   the rest   what the peer sends after the request came; it then closes
//              the connection, so a short reply ends at once
//
// Every input connects afresh: a peer on 127.0.K.232:9760 answers XR and GS
// with a MODBUS port where a second peer answers the one request.
#include "FuzzSupport.h"

#include "config/ConfigDecode.h"
#include "link/AlarmTexts.h"
#include "link/DeviceClient.h"
#include "link/DeviceLink.h"
#include "link/LinkError.h"
#include "link/RegisterMap.h"
#include "log/EventDecode.h"
#include "main/SystemDecode.h"
#include "sim/Crc16.h"
#include "text/Cp1250.h"
#include "views/GroupDecode.h"
#include "views/ModuleDecode.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QtGlobal>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>

namespace {

using namespace zra;

[[noreturn]] void Broken(const char* what) {
    fuzz::Broken("link_reply_fuzz", what);
}

enum Kind {
    SystemBlock,
    AlarmEntry,
    AlarmDescription,
    Clock,
    CountByte,
    ModuleRecord,
    PhaseRecord,
    AcGroupRecord,
    DcGroupRecord,
    EventRecord,
    ConfigVariable,
    ConfigControl,
    ConfigInstalled,
    ConfigValidity,
    WriteSingle,
    WriteMultiple,
    PasswordWrite,
    ConsoleRead3,
    ConsoleRead4,
    ConsoleWrite6,
    ConsoleWrite16,
    Kinds
};

// The request as it must appear on the wire.
struct Asked {
    std::uint8_t unit = 1;
    std::uint8_t function = 4;
    std::uint16_t address = 0;
    std::uint16_t quantity = 0; // the value for function 6
    QByteArray tail;            // function 16: byte count and data
    bool nothing = false;       // the case sends no request at all
};

QByteArray WireFrame(const Asked& a) {
    QByteArray f;
    f.append(char(a.unit));
    f.append(char(a.function));
    f.append(char(a.address >> 8));
    f.append(char(a.address & 0xFF));
    f.append(char(a.quantity >> 8));
    f.append(char(a.quantity & 0xFF));
    if (a.function == reg::WriteMultiple)
        f.append(a.tail);
    sim::appendCrc(f); // the peer's own CRC
    return f;
}

bool IsRead(std::uint8_t function) {
    return function == reg::ReadHolding || function == reg::ReadInput;
}

// The reply's length when it is one the link must accept, else 0: the
// protocol's rules from the peer's side (unit and function echoed, 2 x
// quantity data bytes for reads, address and value or quantity echoed for
// writes, CRC over all of it).
int AcceptableLength(const Asked& a, const QByteArray& reply) {
    const int total = IsRead(a.function) ? 5 + 2 * a.quantity : 8;
    if (reply.size() < total)
        return 0;
    const auto b = [&reply](int i) { return std::uint8_t(reply[i]); };
    if (b(0) != a.unit || b(1) != a.function)
        return 0;
    if (IsRead(a.function)) {
        if (b(2) != 2 * a.quantity)
            return 0;
    } else if ((b(2) << 8 | b(3)) != a.address || (b(4) << 8 | b(5)) != a.quantity) {
        return 0;
    }
    return sim::hasValidCrc(reply.left(total)) ? total : 0;
}

// Puts a good CRC where the frame ends as the protocol gives its length: an
// exception reply has 5 bytes, a read reply 5 and its byte count, a write
// reply 8.
void PutCrc(QByteArray& reply, Kind kind) {
    if (reply.size() < 3)
        return;
    const bool read = kind < WriteSingle || kind == ConsoleRead3 || kind == ConsoleRead4;
    const int total = std::uint8_t(reply[1]) & 0x80 ? 5 : read ? 5 + std::uint8_t(reply[2]) : 8;
    if (reply.size() < total)
        return;
    const quint16 crc = sim::crc16Modbus(reply.constData(), total - 2);
    reply[total - 2] = char(crc & 0xFF);
    reply[total - 1] = char(crc >> 8);
}

struct Run {
    QCoreApplication* app = nullptr;
    fuzz::QuietReporter ui;
    fuzz::ScriptedPeer management;
    fuzz::ScriptedPeer modbus;
    QString host;
    std::unique_ptr<link::DeviceLink> link;
    std::unique_ptr<link::DeviceClient> client;
    std::unique_ptr<link::AlarmDescriptions> descriptions;
    // This input's request on the wire, reply, and what the peer received.
    QByteArray wire;
    QByteArray reply;
    QList<QByteArray> received;
    int unit = 1;
};
Run* g;

volatile size_t g_touched; // keeps the decoded texts

void Touch(const QString& text) {
    g_touched = g_touched + size_t(text.size());
}
void Touch(const QStringList& texts) {
    for (const QString& t : texts)
        Touch(t);
}

QByteArray ReplyData() {
    return g->reply.mid(3);
}

// ---- what each decoder must give ----------------------------------------

void CheckSystemBlock(const link::RegisterData& d) {
    const QStringList values = main::SystemBlockValues(d);
    if (values.size() != main::SystemRowTitles().size() || values.size() != 20)
        Broken("the system block does not give its 20 rows");
    Touch(values);
    g_touched = g_touched + size_t(main::AlarmCount(d));
}

void CheckAlarmEntry(const link::RegisterData& d) {
    const int code = d.u16(2);
    const QString source = link::AlarmSourceText(d.byte(0));
    const QString level = link::AlarmLevelText(d.byte(1));
    if (source.isEmpty() || level.isEmpty())
        Broken("an alarm's source or level has no text");
    Touch(link::AlarmCellText(code, source + level));
}

void CheckDescription(int code, const QString& text) {
    // One character per byte up to the first zero byte, and back to the same bytes.
    const QByteArray bytes = ReplyData().left(2 * reg::DescriptionRegisters);
    const QByteArray shown =
        bytes.left(bytes.indexOf('\0') < 0 ? bytes.size() : bytes.indexOf('\0'));
    if (text.size() != shown.size() || text::ToCp1250(text) != shown)
        Broken("a description is not its bytes up to the first zero byte");
    if (g->descriptions->has(code) != (code < link::AlarmDescriptions::Size))
        Broken("a description of a code up to 300 is not kept, or one above is");
    if (code < link::AlarmDescriptions::Size) {
        // Kept for the run: asked again, it comes without a request.
        const int requests = g->modbus.requests();
        try {
            if (g->descriptions->describeAlarm(code) != text)
                Broken("a kept description changed");
        } catch (const link::LinkError&) {
            Broken("a kept description was fetched again");
        }
        if (g->modbus.requests() != requests || g->link->exchangeFailed())
            Broken("a kept description was fetched again");
    }
    Touch(text);
}

void CheckClock(const link::RegisterData& d) {
    const main::InstallationClock clock = main::DecodeClock(d);
    if (!clock.dateTime) {
        Touch(main::InvalidClockText(d));
        return;
    }
    // Read and write share the layout: a valid clock written back is the
    // same 8 bytes (the summer-time flag as 0 or 1).
    const auto written =
        main::EncodeClock(clock.dateTime->date(), clock.dateTime->time(), clock.summerTime);
    QByteArray read = ReplyData().left(8);
    read[5] = read[5] != 0 ? 1 : 0;
    if (QByteArray(reinterpret_cast<const char*>(written.data()), 8) != read)
        Broken("the clock written back differs from the clock read");
}

template <typename Values, typename Titles>
void CheckRows(const Values& values, const Titles& titles, int rows, const char* what) {
    if (int(values.size()) != rows || int(titles.size()) != rows)
        Broken(what);
}

void CheckEvent(const link::RegisterData& d) {
    const log::EventRow row = log::DecodeEvent(d);
    if (row.source.isEmpty() || row.level.isEmpty() || row.time.isEmpty())
        Broken("an event row has an empty cell");
    Touch(row.source + row.level + row.time);
}

void CheckVariable(int n, const link::RegisterData& d) {
    g_touched = g_touched + size_t(config::AnnouncesAbsentNext(d));
    const auto v = config::DecodeVariable(n, d);
    if (!v)
        return;
    if (v->name.size() != 32 || text::ToCp1250(v->name) != d.bytes(8, 32))
        Broken("a variable's name is not its 32 bytes");
    const QStringList row = config::VariableRow(*v);
    if (row.size() != config::ConfigColumns)
        Broken("a variable's row does not have its ten cells");
    if (!row[config::PreviousColumn].isEmpty() || !row[config::StateColumn].isEmpty())
        Broken("a read row has a previous value or a state");
    if (config::DecimalsOfMultiplier(row[config::MultiplierColumn]) != v->decimals)
        Broken("the multiplier cell does not give back the decimals");
    // The window reads the value cell back (edits, comparisons, the commit):
    // it must be a number, and the raw value itself while the two decimals
    // shown hold every digit.
    const auto raw = config::RawValue(row[config::ValueColumn], v->decimals);
    if (!raw)
        Broken("a variable's value cell does not read back as a number");
    if (v->decimals <= 2 && *raw != v->raw)
        Broken("a variable's value cell does not read back as its raw value");
    Touch(row);
}

// ---- the requests -----------------------------------------------------------

// A read as a window asks for it.
struct ReadCase {
    std::uint8_t function;
    std::uint16_t address;
    std::uint16_t quantity;
};

void RunInput(Kind kind, std::uint16_t a, std::uint16_t b, Asked& asked) {
    link::DeviceClient& client = *g->client;
    const auto read = [&](const ReadCase& r) {
        asked.function = r.function;
        asked.address = r.address;
        asked.quantity = r.quantity;
        g->wire = WireFrame(asked);
        auto data = client.read(r.function, r.address, r.quantity);
        if (data && (data->size() != 2 * r.quantity ||
                     data->bytes(0, data->size()) != ReplyData().left(2 * r.quantity)))
            Broken("the reply data handed over are not the reply's data bytes");
        return data;
    };
    const int item = 1 + a % 255;
    switch (kind) {
    case SystemBlock:
        if (const auto d =
                read({reg::ReadInput, reg::SystemBlockAddress, reg::SystemBlockRegisters}))
            CheckSystemBlock(*d);
        break;
    case AlarmEntry:
        if (const auto d =
                read({reg::ReadInput, reg::AlarmEntryAddress(item), reg::AlarmEntryRegisters}))
            CheckAlarmEntry(*d);
        break;
    case AlarmDescription: {
        g->descriptions->clear();
        const auto address = reg::DescriptionAddress(a);
        if (!address) {
            // No description registers: an empty text, and nothing is asked.
            const int requests = g->modbus.requests();
            if (g->descriptions->describeAlarm(a) != QString() || g->modbus.requests() != requests)
                Broken("a code beyond the description registers was asked for");
            asked.nothing = true;
            break;
        }
        asked.address = *address;
        asked.quantity = reg::DescriptionRegisters;
        g->wire = WireFrame(asked);
        if (const auto text = g->descriptions->describeAlarm(a))
            CheckDescription(a, *text);
        break;
    }
    case Clock:
        if (const auto d = read({reg::ReadInput, reg::ClockReadAddress, reg::ClockRegisters}))
            CheckClock(*d);
        break;
    case CountByte: {
        static constexpr reg::CountByte counts[] = {reg::ModuleCount, reg::PhaseCount,
                                                    reg::AcGroupCount, reg::DcGroupCount,
                                                    reg::EventCount};
        const reg::CountByte count = counts[a % 5];
        asked.address = count.address;
        asked.quantity = 1;
        g->wire = WireFrame(asked);
        if (const auto n = client.readCount(count);
            n && *n != std::uint8_t(ReplyData()[count.dataByte]))
            Broken("a count is not the byte its register map names");
        break;
    }
    case ModuleRecord:
        if (const auto d = read({reg::ReadInput, reg::ModuleStatusRecord.address(1 + a % 32),
                                 reg::ModuleStatusRecord.size})) {
            const QStringList values = views::ModuleStatusValues(*d);
            CheckRows(values, views::ModuleRowTitles(), 37,
                      "a module record does not give 37 rows");
            Touch(values);
        }
        break;
    case PhaseRecord:
        if (const auto d = read({reg::ReadInput, reg::PhaseStatusRecord.address(1 + a % 3),
                                 reg::PhaseStatusRecord.size}))
            CheckRows(views::PhaseStatusValues(*d), views::PhaseRowTitles(), 23,
                      "a phase record does not give 23 rows");
        break;
    case AcGroupRecord:
        if (const auto d = read({reg::ReadInput, reg::AcGroupStatusRecord.address(item),
                                 reg::AcGroupStatusRecord.size}))
            CheckRows(views::AcGroupStatusValues(*d), views::AcGroupRowTitles(), 10,
                      "an AC group record does not give 10 rows");
        break;
    case DcGroupRecord:
        if (const auto d = read({reg::ReadInput, reg::DcGroupStatusRecord.address(item),
                                 reg::DcGroupStatusRecord.size}))
            CheckRows(views::DcGroupStatusValues(*d), views::DcGroupRowTitles(), 8,
                      "a DC group record does not give 8 rows");
        break;
    case EventRecord:
        if (const auto d =
                read({reg::ReadInput, reg::EventRecord.address(item), reg::EventRecord.size}))
            CheckEvent(*d);
        break;
    case ConfigVariable: {
        // 21 registers: the last is the first of the next record; the last
        // variable is read alone.
        const int n = 1 + a % reg::ConfigVariables;
        const int quantity = reg::ConfigVariableRecord.size + (n < reg::ConfigVariables ? 1 : 0);
        if (const auto d = read(
                {reg::ReadInput, reg::ConfigVariableRecord.address(n), std::uint16_t(quantity)}))
            CheckVariable(n, *d);
        break;
    }
    case ConfigControl:
        if (const auto d = read({reg::ReadHolding, reg::ConfigControlRegister, 1}))
            g_touched = g_touched + d->byte(0);
        break;
    case ConfigInstalled:
        if (const auto d =
                read({reg::ReadInput,
                      reg::ConfigVariableRecord.address(1 + a % reg::ConfigVariables), 3}))
            g_touched = g_touched + size_t(d->u16(0));
        break;
    case ConfigValidity:
        if (const auto d =
                read({reg::ReadInput, reg::ConfigValidityAddress(1 + a % reg::ConfigVariables), 1}))
            Touch(config::ValidityText(d->u16(0)));
        break;
    case WriteSingle:
        asked.function = reg::WriteSingle;
        asked.address = a;
        asked.quantity = b;
        g->wire = WireFrame(asked);
        client.writeSingle(a, b, link::DeviceClient::Password::None);
        break;
    case WriteMultiple: {
        // 1 to 10 registers of a pattern taken from b.
        const int registers = 1 + b % 10;
        QByteArray data;
        for (int i = 0; i < 2 * registers; ++i)
            data.append(char((b >> (i % 2 ? 0 : 8)) + i));
        asked.function = reg::WriteMultiple;
        asked.address = a;
        asked.quantity = std::uint16_t(registers);
        asked.tail = char(data.size()) + data;
        g->wire = WireFrame(asked);
        client.writeMultiple(
            a,
            std::span(reinterpret_cast<const std::uint8_t*>(data.constData()), size_t(data.size())),
            link::DeviceClient::Password::None);
        break;
    }
    case PasswordWrite: {
        const QByteArray password(link::DefaultPasswordText);
        asked.function = reg::WriteMultiple;
        asked.address = reg::PasswordRegister;
        asked.quantity = reg::PasswordRegisters;
        asked.tail = char(password.size()) + password;
        g->wire = WireFrame(asked);
        g->link->WriteModbusPassword();
        break;
    }
    case ConsoleRead3:
    case ConsoleRead4:
    case ConsoleWrite6:
    case ConsoleWrite16: {
        // The raw console: any address and quantity (reads of more than 38
        // registers are refused unsent), the "Heslo" text as function 16's data.
        static constexpr std::uint8_t functions[] = {3, 4, 6, 16};
        link::ModbusRequest request;
        request.unitId = g->link->unitId();
        request.function = functions[kind - ConsoleRead3];
        request.address = a;
        request.quantity = IsRead(request.function) ? b % 64 : b;
        const QByteArray password(link::DefaultPasswordText);
        link::FillPasswordTail(request, password);
        asked.function = request.function;
        asked.address = request.address;
        asked.quantity = request.quantity;
        asked.tail = char(password.size()) + password;
        g->wire = WireFrame(asked);
        if (client.send(request) && IsRead(request.function) &&
            std::memcmp(g->link->replyData(), ReplyData().constData(), 2 * request.quantity) != 0)
            Broken("the console's reply data are not the reply's data bytes");
        break;
    }
    case Kinds:
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::PrepareQt();
    static int argc = 1;
    static char name[] = "link_reply_fuzz";
    static char* argv[] = {name, nullptr};
    g = new Run;
    g->app = new QCoreApplication(argc, argv);
    link::SetReporter(&g->ui);

    // The MODBUS peer: the one request of a connection gets the input's reply.
    g->modbus.requestLength = [](const QByteArray& bytes) {
        return bytes.size() >= g->wire.size() ? g->wire.size() : 0;
    };
    g->modbus.answer = [](int, int, const QByteArray& request) {
        g->received << request;
        return fuzz::ScriptedPeer::Reply{g->reply, true};
    };
    // The management peer: XR gives the MODBUS peer's port and no login, GS
    // firmware 5; then it closes.
    g->management.requestLength = [](const QByteArray& bytes) -> qsizetype {
        if (bytes.size() < link::ManagementFrame::HeaderSize)
            return 0;
        return std::min<qsizetype>(link::ManagementFrame::HeaderSize +
                                       (std::uint8_t(bytes[4]) | std::uint8_t(bytes[5]) << 8),
                                   link::ManagementFrame::Size);
    };
    g->management.answer = [](int, int request, const QByteArray& bytes) {
        const quint16 port = g->modbus.port();
        if (request == 0 && bytes.mid(1, 2) == "XR")
            return fuzz::ScriptedPeer::Reply{QByteArray("#XR\0\4\0", 6) + char(port & 0xFF) +
                                                 char(port >> 8) + '\0' + '\0',
                                             false};
        return fuzz::ScriptedPeer::Reply{QByteArray("#GS\0\4\0\0\5\0\0", 10), true};
    };
    g->host = fuzz::ListenOnLoopback(g->management, 232, link::DeviceLink::ManagementPort);
    if (g->host.isEmpty() || !g->modbus.listen(QHostAddress(g->host), 0))
        Broken("no loopback address to listen on");

    g->link = std::make_unique<link::DeviceLink>();
    g->link->setAddress(g->host);
    g->link->setUnitIdValue(g->unit);
    g->client = std::make_unique<link::DeviceClient>(*g->link);
    g->descriptions = std::make_unique<link::AlarmDescriptions>(*g->client);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 6)
        return 0;
    const Kind kind = Kind((data[0] & 0x7F) % Kinds);
    const std::uint16_t a = std::uint16_t(data[2] << 8 | data[3]);
    const std::uint16_t b = std::uint16_t(data[4] << 8 | data[5]);
    link::DeviceLink& link = *g->link;

    g->unit = data[1];
    g->link->setUnitIdValue(g->unit);
    g->reply = QByteArray(reinterpret_cast<const char*>(data + 6), qsizetype(size - 6));
    if (data[0] & 0x80)
        PutCrc(g->reply, kind);
    g->received.clear();
    g->wire.clear();
    g->management.reset();
    g->modbus.reset();
    // Every input starts from the same frame buffer.
    link.frame.fill(0);

    try {
        link.ConnectCommand();
    } catch (const link::LinkError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        Broken("the connect threw");
    }
    if (!link.connectedState() || link.exchangeFailed())
        Broken("the connect to the loopback peers failed");
    g->ui.messages = 0;
    g->ui.lastMessage.clear();

    Asked asked;
    asked.unit = data[1];
    QElapsedTimer elapsed;
    elapsed.start();
    try {
        RunInput(kind, a, b, asked);
    } catch (const link::LinkError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        Broken("an exchange threw");
    } catch (const link::ReplyOverrun& e) {
        std::fprintf(stderr, "%s\n", e.what());
        Broken("a decoder read past its reply");
    }
    if (elapsed.elapsed() >= link::DeviceLink::ModbusReceiveTimeoutMs)
        Broken("an exchange waited for the time-out");

    const bool sent = !(IsRead(asked.function) && asked.quantity > link::MaxReadRegisters);
    if (asked.nothing) {
        if (!g->received.isEmpty() || link.exchangeFailed())
            Broken("a case without a request sent one or failed");
    } else if (!sent) {
        if (!g->received.isEmpty() || !link.exchangeFailed())
            Broken("a read of more than 38 registers was sent or did not fail");
    } else {
        if (g->received.size() != 1 || g->received[0] != g->wire)
            Broken("the request on the wire is not the one asked for");
        const int acceptable = AcceptableLength(asked, g->reply);
        if (link.exchangeFailed() == (acceptable > 0)) {
            std::fprintf(stderr, "link: %s\n", qPrintable(g->ui.lastMessage));
            Broken(acceptable ? "a good reply was refused" : "a bad reply was accepted");
        }
        if (acceptable &&
            std::memcmp(link.frame.data(), g->reply.constData(), size_t(acceptable)) != 0)
            Broken("the frame buffer does not hold the reply");
    }
    // A failed exchange ends in the disconnected state (the channel itself
    // stays open until the next connect, as the tool has always done).
    if (link.exchangeFailed()) {
        if (link.connectedState() || link.modbusPort() != 0 || link.loginGranted())
            Broken("a failed exchange left the link connected");
        if (g->ui.messages == 0)
            Broken("a failed exchange said nothing");
    }

    if (link.connectedState()) {
        link.ConnectCommand(); // disconnect
        if (link.connectedState() || link.modbusOpen())
            Broken("the disconnect left the link connected");
    }
    return 0;
}
