#include "link/RegisterData.h"

#include <QString>
#include <algorithm>

namespace zra::link {

ReplyOverrun::ReplyOverrun(int position, int size)
    : std::logic_error(QStringLiteral("Chyba programu: dekódování čte bajt %1 odpovědi, "
                                      "která má jen %2 B dat.")
                           .arg(position)
                           .arg(size)
                           .toStdString()) {}

RegisterData::RegisterData(const std::uint8_t* bytes, int count)
    : m_size(std::clamp(count, 0, int(2 * MaxReadRegisters))) {
    std::copy_n(bytes, m_size, m_bytes.begin());
}

RegisterData::RegisterData(const QByteArray& bytes)
    : RegisterData(reinterpret_cast<const std::uint8_t*>(bytes.constData()), int(bytes.size())) {}

} // namespace zra::link
