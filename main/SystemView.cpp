// The main window's read: system values, active alarms with their
// descriptions, and the installation's clock.
#include "main/TFmain.h"

#include "ui/TextGrid.h"
#include "ui/UiServices.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QTimeEdit>

namespace zra::main {

bool TFmain::read(std::uint16_t address, std::uint16_t quantity) {
    link.setRequest(4, address, quantity);
    return link.ExchangeReported(this);
}

bool TFmain::describeAlarm(int code, QString* text) {
    if (descriptions.has(code)) {
        *text = descriptions.text(code);
        return true;
    }
    if (!read(DescriptionAddress(code), DescriptionRegisters))
        return false;
    *text = DescriptionText(link.replyData());
    descriptions.store(code, *text); // codes above 300 are fetched each time
    return true;
}

void TFmain::TBXnactiClick() {
    ui::RunCommand(this, [this] {
        ui::BusyCursor busy;
        readMain();
    });
}

void TFmain::readMain() {
    if (!read(SystemBlockAddress, SystemBlockRegisters))
        return;
    const QStringList values = SystemBlockValues(link.replyData());
    for (int r = 0; r < values.size(); ++r)
        SG_main->setCell(1, r + 1, values[r]);

    const int alarms = AlarmCount(link.replyData());
    SG_alarm->setRowCount(alarms + 1);
    for (int n = 1; n <= alarms; ++n) {
        SG_alarm->setInteger(0, n, n);
        if (!read(AlarmEntryAddress(n), 2))
            return;
        const std::uint8_t* d = link.replyData();
        const int code = link::Reg16At(d, 2);
        SG_alarm->setCell(1, n, AlarmSourceText(d[0]));
        SG_alarm->setCell(2, n, AlarmLevelText(d[1]));
        QString description;
        if (!describeAlarm(code, &description))
            return;
        SG_alarm->setCell(3, n, AlarmCellText(code, description));
        // The table is drawn row by row.
        QCoreApplication::processEvents();
    }

    if (!read(ClockReadAddress, 4))
        return;
    const std::uint8_t* c = link.replyData();
    const auto clock = DecodeClock(c);
    if (!clock) {
        ui::Ui().showMessage(this, QStringLiteral("Hodiny zařízení neudávají platné datum a čas "
                                                  "(%1.%2.%3 %4:%5:%6)")
                                       .arg(c[3])
                                       .arg(c[4])
                                       .arg(link::Reg16At(c, 6))
                                       .arg(c[2])
                                       .arg(c[1], 2, 10, QLatin1Char('0'))
                                       .arg(c[0], 2, 10, QLatin1Char('0')));
        return;
    }
    llet->setChecked(clock->summerTime);
    dtdate->setDate(clock->dateTime.date());
    dttime->setTime(clock->dateTime.time());
}

} // namespace zra::main
