#pragma once
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QSet>
#include <functional>
#include <optional>

namespace zra::sim {

// The registers of the simulated installation. Holding and input registers are separate address
// spaces, and only registers that were defined exist: a request touching any other register gets
// an "illegal data address" exception. The store is plain data; the simulator guards it with its
// own lock.
//
// A register can be pinned: the installation model then no longer renders it, and network writes
// leave its value alone, so that a test keeps exactly the value it set.
class RegisterStore {
public:
    enum class Space { Holding, Input };

    // Called after a MODBUS write has stored its values, so that the installation model can act on
    // command registers (and rewrite any register, including the ones just written).
    using WriteHandler =
        std::function<void(RegisterStore& store, quint16 first, const QList<quint16>& values)>;
    // Asked before a MODBUS write is carried out: 0 lets it through, any other value is the
    // exception code of the refusal, and nothing is stored.
    using WriteGuard = std::function<quint8(quint16 first, const QList<quint16>& values)>;
    // Called before a MODBUS read is served, so that live values can be brought up to date.
    using ReadHandler =
        std::function<void(RegisterStore& store, Space space, quint16 first, int count)>;

    void setInput(quint16 address, quint16 value) { m_input.insert(address, value); }
    void setHolding(quint16 address, quint16 value) { m_holding.insert(address, value); }
    std::optional<quint16> input(quint16 address) const;
    std::optional<quint16> holding(quint16 address) const;
    void removeInput(quint16 address) { m_input.remove(address); }
    void removeHolding(quint16 address);
    void clear();

    // Stores text or byte fields: byte 2i is the high and byte 2i + 1 the low byte of register
    // first + i; an odd count leaves the last low byte 0.
    void setInputBytes(quint16 first, const QByteArray& bytes);
    void setHoldingBytes(quint16 first, const QByteArray& bytes);

    // A read-only holding register can be read but not written over the network.
    void setHoldingWritable(quint16 address, bool writable);
    bool isHoldingWritable(quint16 address) const { return !m_readOnly.contains(address); }

    // True when every register first .. first + count - 1 exists (and count > 0 fits the space).
    bool contains(Space space, quint16 first, int count) const;
    // The values of an existing range (see contains()).
    QList<quint16> read(Space space, quint16 first, int count) const;
    // True when every register of the range exists and is writable.
    bool canWrite(quint16 first, int count) const;
    // Stores values from a network write and runs the write handler.
    void write(quint16 first, const QList<quint16>& values);

    void setWriteHandler(WriteHandler handler) { m_writeHandler = std::move(handler); }
    void setWriteGuard(WriteGuard guard) { m_writeGuard = std::move(guard); }
    void setReadHandler(ReadHandler handler) { m_readHandler = std::move(handler); }
    // The exception code that refuses this write, or 0 (see WriteGuard).
    quint8 refusal(quint16 first, const QList<quint16>& values) const;
    // Runs the read handler for a read that is about to be served.
    void prepareRead(Space space, quint16 first, int count);

    void pin(Space space, quint16 address);
    void unpinAll();
    bool isPinned(Space space, quint16 address) const;
    // Stores a value the installation model computed, unless the register is pinned.
    void render(Space space, quint16 address, quint16 value);
    // Bytes as setInputBytes() lays them out, register by register through render().
    void renderBytes(Space space, quint16 first, const QByteArray& bytes);

private:
    const QMap<quint16, quint16>& space(Space s) const {
        return s == Space::Holding ? m_holding : m_input;
    }

    QMap<quint16, quint16> m_holding;
    QMap<quint16, quint16> m_input;
    QSet<quint16> m_readOnly;
    QSet<quint16> m_pinnedHolding;
    QSet<quint16> m_pinnedInput;
    WriteHandler m_writeHandler;
    WriteGuard m_writeGuard;
    ReadHandler m_readHandler;
};

} // namespace zra::sim
