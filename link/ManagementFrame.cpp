#include "link/ManagementFrame.h"

#include "link/ModbusFrame.h"
#include "text/Cp1250.h"

#include <algorithm>
#include <cstring>

namespace zra::link {

void ManagementFrame::writeXR() {
    static constexpr std::uint8_t xr[] = {0x23, 'X', 'R', 0, 3, 0, 0xF2, 0x00, 0x04};
    std::copy(std::begin(xr), std::end(xr), bytes.begin());
}

void ManagementFrame::turnIntoGS() {
    bytes[1] = 'G';
    bytes[2] = 'S';
    bytes[3] = 0;
}

void ManagementFrame::writeLoginRequest(const QByteArray& name, const QByteArray& password) {
    bytes[0] = 0x23;
    bytes[1] = 'I';
    bytes[2] = 'A';
    bytes[3] = 0;
    bytes[4] = 2 * FieldSize;
    bytes[5] = 0;
    // Unused bytes of a field are zero rather than left-overs of earlier frames.
    std::fill_n(bytes.begin() + HeaderSize, 2 * FieldSize, 0);
    const auto put = [this](int offset, const QByteArray& text) {
        const int n = std::min<int>(text.size(), FieldSize - 1);
        for (int i = 0; i < n; ++i)
            bytes[HeaderSize + offset + i] = static_cast<std::uint8_t>(text[i]);
    };
    put(0, name);
    put(FieldSize, password);
}

QString ManagementFrame::traceLine(const char* prefix, int count) const {
    count = std::clamp(count, 0, Size);
    QString line = TraceLine(prefix, bytes.data(), count);
    if (count < 3 || bytes[1] != 'I' || bytes[2] != 'A')
        return line;
    // The password never reaches the console; its length neither.
    const int prefixLength = int(std::strlen(prefix));
    const int first = HeaderSize + FieldSize;
    for (int i = first; i < std::min(count, first + FieldSize); ++i)
        line.replace(prefixLength + 5 * i + 2, 2, QStringLiteral("**"));
    if (count >= HeaderSize + FieldSize) {
        const auto* name = reinterpret_cast<const char*>(bytes.data() + HeaderSize);
        const QByteArray text(name, int(std::find(name, name + FieldSize, 0) - name));
        line += QStringLiteral("(jméno \"%1\")").arg(text::FromCp1250(text));
    }
    return line;
}

} // namespace zra::link
