#pragma once
#include "link/DeviceLink.h"
#include "ui/ToolWindow.h"

#include <QHash>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTimer;
class QPushButton;
class QSpinBox;

namespace zra::link {
class DeviceClient;
}

namespace zra::console {

// The raw request console: sends one hand-made MODBUS request and keeps the
// trace of every exchange. Its log is the program's one trace sink.
class TFext : public ui::ToolWindow {
    Q_OBJECT
public:
    explicit TFext(link::DeviceClient& client);

    QSpinBox* PBSpinEdit1; // "ID" (the send takes the unit id from the main window)
    QSpinBox* PBSpinEdit2; // "Funkce"
    QSpinBox* PBSpinEdit3; // "Adresa"
    QSpinBox* PBSpinEdit4; // "Delka"
    QLabel* hesloLabel;
    QLineEdit* LMDEdit1;     // "Heslo": function 16 data and the access password
    QPushButton* Button1;    // "Pošli"
    QPushButton* LMDButton2; // "Clear"
    QPushButton* TBXulozlog; // "Ulož log": the log into a text file
    QPlainTextEdit* Memo1;

    // The most lines that wait for the text field (a hidden console's, say):
    // beyond it the oldest waiting lines are dropped and one line in their
    // place tells how many (DroppedLinesText). A test makes it small.
    int waitingLineLimit = 100000;
    static QString DroppedLinesText(qsizetype dropped, int limit);

    // The access password text, as bytes sent to the installation.
    QByteArray passwordBytes() const { return m_passwordBytes; }
    // Appends one line to the log. Lines reach the text field in batches, at
    // most 50 ms late, and only while the console is shown (the waiting ones
    // when it is shown again): one append per line costs more than an
    // exchange.
    void appendLine(const QString& line);
    // The same of the link's entry: a frame's text is made when it is shown.
    void appendEntry(const link::TraceEntry& entry);
    // The log's lines, first to last (the waiting ones included).
    QStringList lines() const;
    // Puts the waiting lines into the text field now.
    void flushLines();

public slots:
    void Button1Click();
    void LMDButton2Click();
    // Asks for a file and writes the whole log into it, UTF-8, one line each,
    // with the access password's bytes hidden as the audit log hides them.
    void TBXulozlogClick();
    // Shows or hides the "Heslo" row (Ctrl+H in the console).
    void toggleHeslo();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QStringList waitingLines() const;
    qsizetype firstFrameByte() const;

    link::DeviceClient& m_client;
    // The lines waiting for the text field: a frame's bytes lie in m_frames.
    struct Waiting {
        QString text;
        const char* prefix = nullptr;
        qsizetype at = 0;
        qsizetype length = 0;
    };
    QList<Waiting> m_waiting;
    QByteArray m_frames;
    // Waiting lines dropped since the last flush.
    qsizetype m_dropped = 0;
    QTimer* m_flush;
    QByteArray m_passwordBytes;
    // The request lines that carry the access password, as a saved log shows
    // them: judged when they come, with the password they were sent with.
    QHash<QString, QString> m_hiddenForm;
};

} // namespace zra::console
