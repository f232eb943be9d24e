// The main window's commands: the system command register and the clock.
#include "main/TFmain.h"

#include "access/TFprihlaseni.h"
#include "ui/UiServices.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QTimeEdit>

namespace zra::main {

bool TFmain::ensureLogin() {
    if (!link.loginGranted() && login_)
        login_->PromptLogin();
    return link.loginGranted();
}

void TFmain::sendSystemCommand(std::uint16_t value) {
    ui::RunCommand(this, [this, value] {
        if (!ensureLogin())
            return;
        ui::BusyCursor busy;
        if (!link.WritePasswordReported(this))
            return;
        // A failure of the command itself is reported by the exchange alone.
        link.setRequest(6, SystemCommandRegister, value);
        link.ExchangeRequest();
    });
}

void TFmain::TBXvymazlogClick() {
    sendSystemCommand(0x0400);
}
void TFmain::TBXcislujClick() {
    sendSystemCommand(0x8000);
}
void TFmain::TBXoffClick() {
    sendSystemCommand(0x1000);
}
void TFmain::TBXonClick() {
    sendSystemCommand(0x0800);
}

void TFmain::bdateClick() {
    ui::RunCommand(this, [this] {
        if (!ensureLogin())
            return;
        ui::BusyCursor busy;
        if (!link.WritePasswordReported(this))
            return;
        // The pickers stand still at the values being sent.
        if (lsyn->isChecked()) {
            Timer1.stop();
            lsyn->setChecked(false);
        }
        const auto bytes = EncodeClock(dtdate->date(), dttime->time(), llet->isChecked());
        link.setRequest(16, ClockWriteAddress, 4);
        link.request.tail[0] = 8;
        std::copy(bytes.begin(), bytes.end(), link.request.tail.begin() + 1);
        link.request.tailLength = 9;
        link.ExchangeReported(this);
    });
}

void TFmain::lsynClick() {
    if (lsyn->isChecked())
        Timer1.start();
    else
        Timer1.stop();
}

void TFmain::Timer1Timer() {
    const QDateTime now = QDateTime::currentDateTime();
    dtdate->setDate(now.date());
    dttime->setTime(now.time());
}

} // namespace zra::main
