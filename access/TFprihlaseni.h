#pragma once
#include "ui/ToolWindow.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace zra::link {
class DeviceClient;
}

namespace zra::access {

// The login dialog: sends the user name and password on the management
// channel and sets LoginGranted when the installation accepts them.
class TFprihlaseni : public ui::ToolDialog {
    Q_OBJECT
public:
    explicit TFprihlaseni(link::DeviceClient& client);

    QLineEdit* Ljmeno;
    QLineEdit* Lheslo;
    QCheckBox* LMDCheckBox1; // "Pamatovat si heslo"
    QPushButton* okButton;
    QPushButton* cancelButton;

    // The login prompt of write commands: shows the dialog modally. The caller
    // looks at LoginGranted afterwards.
    void PromptLogin();

public slots:
    // "OK" and Enter in the password field: the login attempt.
    void OKClick();
    // "Zruš", Escape and the close button; ignored while an attempt waits for
    // its reply, which then decides.
    void reject() override;

signals:
    // The prompt closed; granted tells whether LoginGranted is set.
    void promptClosed(bool granted);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void attemptLogin();
    link::DeviceClient& m_client;
    // True while the login request waits for its reply: the dialog takes no
    // second attempt and does not close meanwhile.
    bool m_attempting = false;
};

} // namespace zra::access
