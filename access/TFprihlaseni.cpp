#include "access/TFprihlaseni.h"

#include "link/DeviceClient.h"
#include "link/DeviceLink.h"
#include "text/Cp1250.h"
#include "ui/UiServices.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QVBoxLayout>

namespace zra::access {

TFprihlaseni::TFprihlaseni(link::DeviceClient& client)
    : ToolDialog(QStringLiteral("Fprihlaseni"), QStringLiteral("Přihlašení")), m_client(client) {
    ui::SetBackground(this, QColor(217, 240, 237));

    Ljmeno = new QLineEdit(this);
    Ljmeno->setObjectName(QStringLiteral("Ljmeno"));
    Lheslo = new QLineEdit(this);
    Lheslo->setObjectName(QStringLiteral("Lheslo"));
    Lheslo->setEchoMode(QLineEdit::Password);
    // Every character shows as "*", not as the style's dot.
    Lheslo->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
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
    // A click or an Enter that arrives while the reply is awaited is not a
    // second attempt.
    if (m_attempting)
        return;
    ui::ShowErrors(this, [this] { attemptLogin(); });
}

void TFprihlaseni::reject() {
    if (!m_attempting)
        ToolDialog::reject();
}

void TFprihlaseni::attemptLogin() {
    bool granted = false;
    {
        const QScopedValueRollback<bool> attempting(m_attempting, true);
        okButton->setEnabled(false);
        cancelButton->setEnabled(false);
        const auto enableAgain = qScopeGuard([this] {
            okButton->setEnabled(true);
            cancelButton->setEnabled(true);
        });
        granted =
            m_client.login(Ljmeno->text(), Lheslo->text()) == link::DeviceClient::Login::Granted;
    }
    if (granted) {
        accept();
        return;
    }
    ui::ShowWarning(this, link::DeviceClient::LoginRefusedText);
}

void TFprihlaseni::PromptLogin() {
    ui::Ui().execDialog(this);
    emit promptClosed(m_client.link().loginGranted());
}

} // namespace zra::access
