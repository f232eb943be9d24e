// What the audit log says of each write the tool sends, and that the access
// password never appears in it.
#include "link/WriteDescription.h"
#include "link/RegisterMap.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

namespace zra::link {
void PrintTo(const WriteRecord& r, std::ostream* os) {
    *os << '{';
    for (quint16 v : r.values)
        *os << v << ' ';
    *os << "} \"" << r.description.toStdString() << '"';
}
} // namespace zra::link

using namespace zra;
using link::ModbusRequest;
using link::WriteRecord;

namespace {

ModbusRequest Single(std::uint16_t address, std::uint16_t value) {
    ModbusRequest r;
    r.function = reg::WriteSingle;
    r.address = address;
    r.quantity = value;
    return r;
}

ModbusRequest Multiple(std::uint16_t address, std::uint16_t quantity, const QByteArray& data) {
    ModbusRequest r;
    r.function = reg::WriteMultiple;
    r.address = address;
    r.quantity = quantity;
    r.tail[0] = std::uint8_t(data.size());
    std::copy(data.begin(), data.end(), r.tail.begin() + 1);
    r.tailLength = std::uint8_t(data.size() + 1);
    return r;
}

const QByteArray Password = "Vortex_P8L";

struct Case {
    const char* name;
    ModbusRequest request;
    WriteRecord expected;
};

TEST(WriteDescription, EveryKindOfWriteInWordsWithThePasswordHidden) {
    const Case cases[] = {
        {"off", Single(1700, 0x1000), {{0x1000}, "Systémový příkaz: OFF"}},
        {"clear log", Single(1700, 0x0400), {{0x0400}, "Systémový příkaz: vymazání logu"}},
        {"number modules", Single(1700, 0x8000), {{0x8000}, "Systémový příkaz: číslování modulů"}},
        {"unknown command", Single(1700, 0x0003), {{3}, "Systémový příkaz: 0x0003"}},
        {"clock",
         Multiple(1500, 4, QByteArray("\x0C\x0B\x0A\x09\x0C\x00\x07\xEA", 8)),
         {{0x0C0B, 0x0A09, 0x0C00, 0x07EA}, "Nastavení hodin 09.12.2026 10:11:12"}},
        {"clock in summer time",
         Multiple(1500, 4, QByteArray("\x00\x05\x17\x1F\x07\x01\x07\xE9", 8)),
         {{0x0005, 0x171F, 0x0701, 0x07E9}, "Nastavení hodin 31.07.2025 23:05:00 (letní čas)"}},
        {"variable 500", Single(499, 65535), {{65535}, "Proměnná 500: surová hodnota 65535"}},
        {"module 3 address", Single(1516, 0x0502), {{0x0502}, "Modul 3: adresa 5, fáze 2"}},
        {"module 3 groups",
         Single(1517, 0x0102),
         {{0x0102}, "Modul 3: skupina AC 1, skupina DC 2"}},
        {"module 1 command", Single(1512, 0x0500), {{0x0500}, "Modul 1: příkaz ON, identifikace"}},
        {"module 63 command",
         Single(1698, 0x1800),
         {{0x1800}, "Modul 63: příkaz výměna ventilátoru, vymazání chyby sběrnice"}},
        {"module command bits beyond the known",
         Single(1512, 0x4000),
         {{0x4000}, "Modul 1: příkaz 0x4000"}},
        {"after the module block", Single(1699, 1), {{1}, "Zápis do registru 1699"}},
        {"one password register", Single(2104, 0x5F50), {{}, "Heslo přístupu (skryto)"}},
        {"reaching into the password",
         Multiple(2098, 3, "abcdef"),
         {{}, "Heslo přístupu (skryto)"}},
        {"password text elsewhere",
         Multiple(40, 5, Password),
         {{}, "Zápis do registrů 40 až 44 (data: heslo přístupu, skryto)"}},
        {"other data elsewhere", Multiple(40, 1, "ab"), {{0x6162}, "Zápis do registru 40"}},
        {"odd data byte",
         Multiple(3000, 2, "abc"),
         {{0x6162, 0x6300}, "Zápis do registrů 3000 až 3001"}},
        {"clock of the wrong length",
         Multiple(1500, 1, "ab"),
         {{0x6162}, "Zápis do registru 1500"}},
        {"below the password",
         Multiple(2095, 5, "abcdefghij"),
         {{0x6162, 0x6364, 0x6566, 0x6768, 0x696A}, "Zápis do registrů 2095 až 2099"}},
        {"after the password", Single(2105, 7), {{7}, "Zápis do registru 2105"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(link::RecordOfWrite(c.request, Password), c.expected) << c.name;
}

} // namespace
