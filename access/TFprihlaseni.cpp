#include "access/TFprihlaseni.h"

#include "link/DeviceLink.h"
#include "ui/Cp1250.h"
#include "ui/UiServices.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace zra::access {

TFprihlaseni::TFprihlaseni(link::DeviceLink& link, QWidget* parent) : QDialog(parent), link(link) {
    setObjectName(QStringLiteral("Fprihlaseni"));
    setWindowTitle(QStringLiteral("Přihlašení"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(217, 240, 237));
    setPalette(pal);

    Ljmeno = new QLineEdit(this);
    Ljmeno->setObjectName(QStringLiteral("Ljmeno"));
    Lheslo = new QLineEdit(this);
    Lheslo->setObjectName(QStringLiteral("Lheslo"));
    Lheslo->setEchoMode(QLineEdit::Password);
    // A field of the login frame holds 8 characters and its zero byte.
    Ljmeno->setMaxLength(8);
    Lheslo->setMaxLength(8);
    LMDCheckBox1 = new QCheckBox(QStringLiteral("Pamatovat si heslo"), this);
    LMDCheckBox1->setObjectName(QStringLiteral("LMDCheckBox1"));
    okButton = new QPushButton(QStringLiteral("OK"), this);
    cancelButton = new QPushButton(QStringLiteral("Zruš"), this);
    // Enter is handled by the password field alone, so a login is sent once.
    okButton->setAutoDefault(false);
    cancelButton->setAutoDefault(false);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Jméno :"), Ljmeno);
    form->addRow(QStringLiteral("Heslo :"), Lheslo);
    form->addRow(QString(), LMDCheckBox1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(okButton, &QPushButton::clicked, this, &TFprihlaseni::OKClick);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    Lheslo->installEventFilter(this);
}

bool TFprihlaseni::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Lheslo && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            OKClick();
            return true; // consumed: no character, no default button
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFprihlaseni::OKClick() {
    ui::ShowErrors(this, [this] { attemptLogin(); });
}

void TFprihlaseni::attemptLogin() {
    link.management.writeLoginRequest(ui::ToCp1250(Ljmeno->text()), ui::ToCp1250(Lheslo->text()));
    link.ManagementExchange(true);
    if (!link.exchangeFailed() && link.management.loginGranted()) {
        link.setLoginGranted(true);
        accept();
        return;
    }
    ui::Ui().showMessage(this, QStringLiteral("Jméno nebo heslo je špatné"));
}

void TFprihlaseni::PromptLogin() {
    ui::Ui().execDialog(this);
    emit promptClosed(link.loginGranted());
}

} // namespace zra::access
