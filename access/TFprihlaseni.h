#pragma once
#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace zra::link {
class DeviceLink;
}

namespace zra::access {

// The login dialog: sends the user name and password on the management
// channel and sets LoginGranted when the installation accepts them.
class TFprihlaseni : public QDialog {
    Q_OBJECT
public:
    explicit TFprihlaseni(link::DeviceLink& link, QWidget* parent = nullptr);

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

signals:
    // The prompt closed; granted tells whether LoginGranted is set.
    void promptClosed(bool granted);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void attemptLogin();
    link::DeviceLink& link;
};

} // namespace zra::access
