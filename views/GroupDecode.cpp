#include "views/GroupDecode.h"

#include <span>

namespace zra::views {

namespace {

// How one value row lies in its record: a byte, a u16 in tenths, or an s32.
enum class Field { Byte, Tenths, S32 };
struct RowField {
    int offset;
    Field field;
};

std::vector<CellValue> Decode(const link::RegisterData& data, std::span<const RowField> rows) {
    std::vector<CellValue> values;
    values.reserve(rows.size());
    for (const RowField& r : rows) {
        switch (r.field) {
        case Field::Byte:
            values.emplace_back(qint64(data.byte(r.offset)));
            break;
        case Field::Tenths:
            values.emplace_back(data.u16(r.offset) / 10.0);
            break;
        case Field::S32:
            values.emplace_back(qint64(data.s32(r.offset)));
            break;
        }
    }
    return values;
}

constexpr RowField PhaseFields[] = {
    {0, Field::Byte},    {1, Field::Byte},   {2, Field::Byte},  {3, Field::Byte},
    {4, Field::Tenths},  {6, Field::Tenths}, {8, Field::Byte},  {9, Field::Byte},
    {10, Field::Tenths}, {12, Field::S32},   {16, Field::S32},  {20, Field::S32},
    {24, Field::S32},    {28, Field::S32},   {32, Field::S32},  {36, Field::S32},
    {40, Field::S32},    {44, Field::S32},   {48, Field::Byte}, {49, Field::Byte},
    {50, Field::Byte},   {51, Field::Byte},  {52, Field::Byte},
};

constexpr RowField AcGroupFields[] = {
    {0, Field::Byte},    {1, Field::Byte},  {2, Field::Byte},    {3, Field::Byte},
    {4, Field::S32},     {8, Field::S32},   {12, Field::Tenths}, {14, Field::Tenths},
    {16, Field::Tenths}, {18, Field::Byte},
};

constexpr RowField DcGroupFields[] = {
    {0, Field::Byte}, {1, Field::Byte},   {2, Field::Byte},    {3, Field::Byte},
    {4, Field::S32},  {8, Field::Tenths}, {10, Field::Tenths}, {12, Field::Byte},
};

} // namespace

std::vector<CellValue> PhaseStatusValues(const link::RegisterData& data) {
    return Decode(data, PhaseFields);
}

std::vector<CellValue> AcGroupStatusValues(const link::RegisterData& data) {
    return Decode(data, AcGroupFields);
}

std::vector<CellValue> DcGroupStatusValues(const link::RegisterData& data) {
    return Decode(data, DcGroupFields);
}

const QStringList& PhaseRowTitles() {
    static const QStringList titles = {
        QStringLiteral("Ratio between output load and available power in watts (%)"),
        QStringLiteral("Ratio between output load and available power in VA (%)"),
        QStringLiteral("Ratio between output load and installed power  in watts (%)"),
        QStringLiteral("Ratio between output load and installed power in VA (%)"),
        QStringLiteral("Output voltage value (0.1V)"),
        QStringLiteral("Output current value (0.1A)"),
        QStringLiteral("Number of modules configured in the phase"),
        QStringLiteral("Amount of redundancy configured in the phase"),
        QStringLiteral("AC output frequency value (0.1Hz)"),
        QStringLiteral("DC input power value (W)"),
        QStringLiteral("AC input power value (W)"),
        QStringLiteral("AC input power value (VA)"),
        QStringLiteral("Output power value (VA)"),
        QStringLiteral("Output power value (W)"),
        QStringLiteral("Installed power value (W)"),
        QStringLiteral("Installed power value (VA)"),
        QStringLiteral("Available power value (W)"),
        QStringLiteral("Available power value (VA)"),
        QStringLiteral("Number of module seen by K3D in that phase"),
        QStringLiteral("Number of modules that are delivering output in the phase"),
        QStringLiteral("Number of modules manually off in the phase"),
        QStringLiteral("Number of modules that are not delivering output "),
        QStringLiteral("Number of modules not seen by K3D in the phase"),
    };
    return titles;
}

// The first four rows are the same in both group records.
static QStringList GroupCountTitles() {
    return {
        QStringLiteral("Number of modules that are delivering output in the group"),
        QStringLiteral("Number of modules manually off in the group"),
        QStringLiteral(
            "Number of modules that are not delivering output due to a failure in the group"),
        QStringLiteral("Number of module seen by K3D in that group"),
    };
}

const QStringList& AcGroupRowTitles() {
    static const QStringList titles =
        GroupCountTitles() +
        QStringList{
            QStringLiteral("AC input power value (W)"),
            QStringLiteral("AC input power value (VA)"),
            QStringLiteral("AC input voltage value (0.1V)"),
            QStringLiteral("AC input current value (0.1A)"),
            QStringLiteral("AC input frequency value (0.1Hz)"),
            QStringLiteral(
                "Number of modules stating that their AC input stage is fully functional "),
        };
    return titles;
}

const QStringList& DcGroupRowTitles() {
    static const QStringList titles =
        GroupCountTitles() +
        QStringList{
            QStringLiteral("DC input power value (W)"),
            QStringLiteral("DC input voltage value (0.1V)"),
            QStringLiteral("DC input current value (0.1V)"),
            QStringLiteral(
                "Number of modules stating that their DC input stage is fully functional "),
        };
    return titles;
}

const GroupLayout PhaseLayout{.count = reg::PhaseCount,
                              .block = reg::PhaseStatusRecord,
                              .rowTitles = &PhaseRowTitles,
                              .decode = &PhaseStatusValues,
                              .decimals = 1,
                              .tableName = "SG_faze",
                              .titleColumnWidth = 300};

const GroupLayout AcGroupLayout{.count = reg::AcGroupCount,
                                .block = reg::AcGroupStatusRecord,
                                .rowTitles = &AcGroupRowTitles,
                                .decode = &AcGroupStatusValues,
                                .decimals = 2,
                                .tableName = "SG_AC",
                                .titleColumnWidth = 400};

const GroupLayout DcGroupLayout{.count = reg::DcGroupCount,
                                .block = reg::DcGroupStatusRecord,
                                .rowTitles = &DcGroupRowTitles,
                                .decode = &DcGroupStatusValues,
                                .decimals = 2,
                                .tableName = "SG_DC",
                                .titleColumnWidth = 400};

} // namespace zra::views
