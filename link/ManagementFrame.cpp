#include "link/ManagementFrame.h"

#include <algorithm>

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

} // namespace zra::link
