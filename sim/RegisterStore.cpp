#include "sim/RegisterStore.h"

namespace zra::sim {

namespace {
std::optional<quint16> lookup(const QMap<quint16, quint16>& map, quint16 address) {
    const auto it = map.constFind(address);
    if (it == map.constEnd())
        return std::nullopt;
    return *it;
}

void setBytes(QMap<quint16, quint16>& map, quint16 first, const QByteArray& bytes) {
    for (qsizetype i = 0; i < bytes.size(); i += 2) {
        const quint16 high = static_cast<quint8>(bytes[i]);
        const quint16 low = i + 1 < bytes.size() ? static_cast<quint8>(bytes[i + 1]) : 0;
        map.insert(static_cast<quint16>(first + i / 2), static_cast<quint16>(high << 8 | low));
    }
}
} // namespace

std::optional<quint16> RegisterStore::input(quint16 address) const {
    return lookup(m_input, address);
}

std::optional<quint16> RegisterStore::holding(quint16 address) const {
    return lookup(m_holding, address);
}

void RegisterStore::removeHolding(quint16 address) {
    m_holding.remove(address);
    m_readOnly.remove(address);
}

void RegisterStore::clear() {
    m_holding.clear();
    m_input.clear();
    m_readOnly.clear();
    unpinAll();
}

void RegisterStore::setInputBytes(quint16 first, const QByteArray& bytes) {
    setBytes(m_input, first, bytes);
}

void RegisterStore::setHoldingBytes(quint16 first, const QByteArray& bytes) {
    setBytes(m_holding, first, bytes);
}

void RegisterStore::setHoldingWritable(quint16 address, bool writable) {
    if (writable)
        m_readOnly.remove(address);
    else
        m_readOnly.insert(address);
}

bool RegisterStore::contains(Space s, quint16 first, int count) const {
    if (count <= 0 || first + count - 1 > 0xFFFF)
        return false;
    const auto& map = space(s);
    for (int i = 0; i < count; ++i) {
        if (!map.contains(static_cast<quint16>(first + i)))
            return false;
    }
    return true;
}

QList<quint16> RegisterStore::read(Space s, quint16 first, int count) const {
    const auto& map = space(s);
    QList<quint16> values;
    values.reserve(count);
    for (int i = 0; i < count; ++i)
        values.append(map.value(static_cast<quint16>(first + i)));
    return values;
}

bool RegisterStore::canWrite(quint16 first, int count) const {
    if (!contains(Space::Holding, first, count))
        return false;
    for (int i = 0; i < count; ++i) {
        if (m_readOnly.contains(static_cast<quint16>(first + i)))
            return false;
    }
    return true;
}

void RegisterStore::write(quint16 first, const QList<quint16>& values) {
    for (qsizetype i = 0; i < values.size(); ++i) {
        const auto address = static_cast<quint16>(first + i);
        if (!m_pinnedHolding.contains(address))
            m_holding.insert(address, values[i]);
    }
    if (m_writeHandler)
        m_writeHandler(*this, first, values);
}

quint8 RegisterStore::refusal(quint16 first, const QList<quint16>& values) const {
    return m_writeGuard ? m_writeGuard(first, values) : 0;
}

void RegisterStore::prepareRead(Space s, quint16 first, int count) {
    if (m_readHandler)
        m_readHandler(*this, s, first, count);
}

void RegisterStore::pin(Space s, quint16 address) {
    (s == Space::Holding ? m_pinnedHolding : m_pinnedInput).insert(address);
}

void RegisterStore::unpinAll() {
    m_pinnedHolding.clear();
    m_pinnedInput.clear();
}

bool RegisterStore::isPinned(Space s, quint16 address) const {
    return (s == Space::Holding ? m_pinnedHolding : m_pinnedInput).contains(address);
}

void RegisterStore::render(Space s, quint16 address, quint16 value) {
    if (isPinned(s, address))
        return;
    (s == Space::Holding ? m_holding : m_input).insert(address, value);
}

void RegisterStore::renderBytes(Space s, quint16 first, const QByteArray& bytes) {
    for (qsizetype i = 0; i < bytes.size(); i += 2) {
        const quint16 high = static_cast<quint8>(bytes[i]);
        const quint16 low = i + 1 < bytes.size() ? static_cast<quint8>(bytes[i + 1]) : 0;
        render(s, static_cast<quint16>(first + i / 2), static_cast<quint16>(high << 8 | low));
    }
}

} // namespace zra::sim
