#pragma once
#include "ui/ToolWindow.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace zra::link {

class DeviceClient;

// The raw request console: sends one hand-made MODBUS request and keeps the
// trace of every exchange. Its log is the program's one trace sink.
class TFext : public ui::ToolWindow {
    Q_OBJECT
public:
    explicit TFext(DeviceClient& client);

    QSpinBox* PBSpinEdit1; // "ID" (the send takes the unit id from the main window)
    QSpinBox* PBSpinEdit2; // "Funkce"
    QSpinBox* PBSpinEdit3; // "Adresa"
    QSpinBox* PBSpinEdit4; // "Delka"
    QLabel* hesloLabel;
    QLineEdit* LMDEdit1;     // "Heslo": function 16 data and the access password
    QPushButton* Button1;    // "Pošli"
    QPushButton* LMDButton2; // "Clear"
    QPlainTextEdit* Memo1;

    // The access password text, as bytes sent to the installation.
    QByteArray passwordBytes() const;
    // Appends one line to the log.
    void appendLine(const QString& line);
    // The log's lines, first to last.
    QStringList lines() const;

public slots:
    void Button1Click();
    void LMDButton2Click();
    // Shows or hides the "Heslo" row (Ctrl+H in the console).
    void toggleHeslo();

private:
    DeviceClient& m_client;
};

} // namespace zra::link
