// Management frames byte for byte, and the address field's rules.
#include "link/ManagementFrame.h"
#include "link/Ipv4Text.h"

#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>
#include <vector>

using namespace zra::link;

namespace {
std::vector<std::uint8_t> sent(const ManagementFrame& f) {
    return {f.bytes.begin(), f.bytes.begin() + f.requestLength()};
}
} // namespace

TEST(ManagementFrame, XrRequestAndReply) {
    ManagementFrame f;
    f.writeXR();
    EXPECT_EQ(sent(f),
              (std::vector<std::uint8_t>{0x23, 0x58, 0x52, 0x00, 0x03, 0x00, 0xF2, 0x00, 0x04}));
    // Reply: port 502 low byte first, byte 2 unused, login flag at byte 3.
    const std::uint8_t reply[] = {0x23, 'X', 'R', 0, 4, 0, 0xF6, 0x01, 0x77, 0x01};
    std::copy(std::begin(reply), std::end(reply), f.bytes.begin());
    EXPECT_EQ(f.xrModbusPort(), 502);
    EXPECT_TRUE(f.xrLoginRequired());
    f.bytes[9] = 2;
    EXPECT_FALSE(f.xrLoginRequired()) << "only 1 means a login is required";
}

TEST(ManagementFrame, GsRepeatsTheXrReplyPayload) {
    ManagementFrame f;
    const std::uint8_t reply[] = {0x23, 'X', 'R', 0x05, 4, 0, 0x34, 0x12, 0x00, 0x01};
    std::copy(std::begin(reply), std::end(reply), f.bytes.begin());
    f.turnIntoGS();
    EXPECT_EQ(sent(f),
              (std::vector<std::uint8_t>{0x23, 'G', 'S', 0x00, 4, 0, 0x34, 0x12, 0x00, 0x01}));
    EXPECT_EQ(f.requestLength(), 10);
}

TEST(ManagementFrame, FieldsAShortReplyDoesNotCarryReadZero) {
    // Each reply lands over the request it answers; what it does not carry
    // are the request's bytes, never a field of the reply.
    ManagementFrame f;
    f.writeXR(); // F2 00 04 in payload bytes 0 to 2
    const std::uint8_t emptyXr[] = {0x23, 'X', 'R', 0, 0, 0};
    std::copy(std::begin(emptyXr), std::end(emptyXr), f.bytes.begin());
    EXPECT_EQ(f.xrModbusPort(), 0) << "no port, not 242 from the request";

    const std::uint8_t xr[] = {0x23, 'X', 'R', 0, 4, 0, 0x9C, 0x13, 0x00, 0x01};
    std::copy(std::begin(xr), std::end(xr), f.bytes.begin());
    f.turnIntoGS();
    const std::uint8_t emptyGs[] = {0x23, 'G', 'S', 0, 0, 0};
    std::copy(std::begin(emptyGs), std::end(emptyGs), f.bytes.begin());
    EXPECT_EQ(f.gsFirmware(), 0) << "no firmware, not the port's high byte 0x13";

    std::copy(std::begin(xr), std::end(xr), f.bytes.begin());
    f.bytes[4] = 3;
    EXPECT_EQ(f.xrModbusPort(), 5020);
    EXPECT_FALSE(f.xrLoginRequired()) << "a 3-byte payload carries no login flag";
}

TEST(ManagementFrame, LoginFieldsOfEightCharactersAndEmpty) {
    ManagementFrame f;
    f.writeLoginRequest("abcdefgh", "pw");
    const auto full = sent(f);
    ASSERT_EQ(full.size(), 6u + 18u);
    EXPECT_EQ((std::vector<std::uint8_t>(full.begin(), full.begin() + 6)),
              (std::vector<std::uint8_t>{0x23, 'I', 'A', 0, 18, 0}));
    EXPECT_EQ(std::string(full.begin() + 6, full.begin() + 14), "abcdefgh");
    EXPECT_EQ(full[6 + 8], 0);
    EXPECT_EQ(full[6 + 9], 'p');
    EXPECT_EQ(full[6 + 10], 'w');
    EXPECT_EQ(full[6 + 11], 0);

    f.writeLoginRequest("", "");
    const auto empty = sent(f);
    EXPECT_EQ(empty[6 + 0], 0);
    EXPECT_EQ(empty[6 + 9], 0);

    // Longer texts are cut to the field: the password still starts at byte 9.
    f.writeLoginRequest("abcdefghijk", "123456789");
    const auto cut = sent(f);
    EXPECT_EQ(cut[6 + 8], 0);
    EXPECT_EQ(cut[6 + 9], '1');
    EXPECT_EQ(cut[6 + 17], 0);
}

TEST(Ipv4Text, Validation) {
    for (const char* good : {"127.0.0.1", "0.0.0.0", "255.255.255.255", "192.168.001.010"})
        EXPECT_TRUE(IsValidIpv4Text(QString::fromLatin1(good))) << good;
    for (const char* bad : {"1.2.3", "1.2.3.256", "1.2.3.4.5", "a.b.c.d", "1..2.3", "1.2.3.",
                            " 1.2.3.4", "1.2.3.-4", "1.2.3.1000", ""})
        EXPECT_FALSE(IsValidIpv4Text(QString::fromLatin1(bad))) << bad;
}

TEST(Ipv4Text, ListOnAcceptance) {
    // A new valid address is appended and selected; a known one only selected.
    auto d = AcceptAddressText({"10.0.0.1"}, 0, "10.0.0.1", "127.0.0.1");
    EXPECT_TRUE(d.accepted);
    EXPECT_EQ(d.list, (QStringList{"10.0.0.1", "127.0.0.1"}));
    EXPECT_EQ(d.selected, 1);
    d = AcceptAddressText({"10.0.0.1", "127.0.0.1"}, 1, "127.0.0.1", "10.0.0.1");
    EXPECT_EQ(d.list.size(), 2);
    EXPECT_EQ(d.selected, 0);
    // Invalid: refused, list untouched.
    d = AcceptAddressText({"10.0.0.1"}, 0, "10.0.0.1", "10.0.0");
    EXPECT_FALSE(d.accepted);
    EXPECT_EQ(d.list, QStringList{"10.0.0.1"});
    // Clearing removes the selected entry; with nothing selected the list stays.
    d = AcceptAddressText({"10.0.0.1", "127.0.0.1"}, 1, "127.0.0.1", "");
    EXPECT_TRUE(d.accepted);
    EXPECT_EQ(d.list, QStringList{"10.0.0.1"});
    d = AcceptAddressText({"10.0.0.1"}, -1, "1.1.1.1", "");
    EXPECT_EQ(d.list, QStringList{"10.0.0.1"});
}
