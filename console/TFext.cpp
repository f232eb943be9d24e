#include "console/TFext.h"

#include "link/DeviceClient.h"
#include "link/DeviceLink.h"
#include "link/ModbusFrame.h"
#include "link/RegisterMap.h"
#include "link/WriteDescription.h"
#include "store/ToolFiles.h"
#include "text/Cp1250.h"
#include "ui/UiServices.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

namespace zra::console {

using namespace link;

namespace {
QSpinBox* integerField(const char* name, int value, QWidget* parent) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(INT_MIN, INT_MAX); // the fields have no limits of their own
    box->setValue(value);
    box->setMinimumWidth(90);
    return box;
}
} // namespace

TFext::TFext(DeviceClient& client)
    : ToolWindow(QStringLiteral("Fext"), QStringLiteral("Fext")), m_client(client) {
    resize(900, 480);

    PBSpinEdit1 = integerField("PBSpinEdit1", 1, this);
    PBSpinEdit2 = integerField("PBSpinEdit2", reg::ReadHolding, this);
    PBSpinEdit3 = integerField("PBSpinEdit3", reg::ConfigControlRegister, this);
    PBSpinEdit4 = integerField("PBSpinEdit4", 1, this);
    LMDEdit1 = new QLineEdit(QString::fromLatin1(DefaultPasswordText), this);
    LMDEdit1->setObjectName(QStringLiteral("LMDEdit1"));
    LMDEdit1->setMaxLength(20); // 20 data bytes fit one write request
    // Every request line is compared with the password: its bytes are kept.
    m_passwordBytes = text::ToCp1250(LMDEdit1->text());
    connect(LMDEdit1, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_passwordBytes = text::ToCp1250(text); });
    hesloLabel = new QLabel(QStringLiteral("Heslo"), this);
    Button1 = new QPushButton(QStringLiteral("Pošli"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    LMDButton2 = new QPushButton(QStringLiteral("Clear"), this);
    LMDButton2->setObjectName(QStringLiteral("LMDButton2"));
    TBXulozlog = new QPushButton(QStringLiteral("Ulož log"), this);
    TBXulozlog->setObjectName(QStringLiteral("TBXulozlog"));
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont mono(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    Memo1->setFont(mono);

    auto* fields = new QGridLayout;
    fields->setVerticalSpacing(2);
    const auto addRow = [&](int row, QLabel* label, QWidget* field) {
        fields->addWidget(label, row, 0);
        fields->addWidget(field, row, 1);
    };
    addRow(0, new QLabel(QStringLiteral("ID"), this), PBSpinEdit1);
    addRow(1, new QLabel(QStringLiteral("Funkce"), this), PBSpinEdit2);
    addRow(2, new QLabel(QStringLiteral("Adresa"), this), PBSpinEdit3);
    addRow(3, new QLabel(QStringLiteral("Delka"), this), PBSpinEdit4);
    addRow(4, hesloLabel, LMDEdit1);
    fields->addWidget(Button1, 3, 2);
    fields->setColumnStretch(3, 1);
    fields->addWidget(LMDButton2, 0, 4, Qt::AlignTop | Qt::AlignRight);
    fields->addWidget(TBXulozlog, 1, 4, Qt::AlignTop | Qt::AlignRight);
    hesloLabel->hide();
    LMDEdit1->hide();

    auto* top = new QWidget(this);
    top->setLayout(fields);
    top->setFixedHeight(144);
    auto* layout = new QVBoxLayout(centralWidget());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(top);
    layout->addWidget(Memo1, 1);

    connect(Button1, &QPushButton::clicked, this, &TFext::Button1Click);
    connect(LMDButton2, &QPushButton::clicked, this, &TFext::LMDButton2Click);
    connect(TBXulozlog, &QPushButton::clicked, this, &TFext::TBXulozlogClick);
    m_flush = new QTimer(this);
    m_flush->setSingleShot(true);
    m_flush->setInterval(50);
    connect(m_flush, &QTimer::timeout, this, &TFext::flushLines);
    auto* heslo = new QShortcut(QKeySequence(QStringLiteral("Ctrl+H")), this);
    connect(heslo, &QShortcut::activated, this, &TFext::toggleHeslo);
}

QString TFext::DroppedLinesText(qsizetype dropped, int limit) {
    return QStringLiteral("Vynechané starší řádky: %1 (konzole jich drží nejvýše %2 posledních, "
                          "dokud není zobrazena)")
        .arg(dropped)
        .arg(limit);
}

void TFext::appendLine(const QString& line) {
    appendEntry({line, nullptr, {}});
}

void TFext::appendEntry(const link::TraceEntry& entry) {
    // A request that writes (function 6 or 16) may carry the password: its
    // line is made now and judged with the password it was sent with.
    const bool write =
        entry.prefix && std::strcmp(entry.prefix, "->") == 0 && entry.bytes.size() > 1 &&
        (entry.bytes[1] == char(reg::WriteSingle) || entry.bytes[1] == char(reg::WriteMultiple));
    if (!entry.prefix || write) {
        const QString line = entry.line();
        if (QString hidden = HidePasswordInTrace(line, m_passwordBytes); !hidden.isEmpty())
            m_hiddenForm.insert(line, std::move(hidden));
    }
    if (entry.prefix) {
        m_waiting.append({{}, entry.prefix, m_frames.size(), entry.bytes.size()});
        m_frames.append(entry.bytes);
    } else {
        m_waiting.append({entry.text, nullptr, 0, 0});
    }
    if (m_waiting.size() > waitingLineLimit) {
        const qsizetype excess = m_waiting.size() - std::max(waitingLineLimit, 0);
        m_waiting.remove(0, excess);
        m_dropped += excess;
        // The bytes of dropped frames go once they are half of what is kept.
        const qsizetype first = m_waiting.isEmpty() ? m_frames.size() : firstFrameByte();
        if (first > m_frames.size() / 2) {
            m_frames.remove(0, first);
            for (Waiting& w : m_waiting)
                w.at -= w.prefix ? first : 0;
        }
    }
    // A hidden console gets its lines when it is shown.
    if (isVisible() && !m_flush->isActive())
        m_flush->start();
}

void TFext::showEvent(QShowEvent* event) {
    flushLines();
    ToolWindow::showEvent(event);
}

void TFext::flushLines() {
    m_flush->stop();
    if (m_dropped > 0) {
        Memo1->appendPlainText(DroppedLinesText(m_dropped, waitingLineLimit));
        m_dropped = 0;
    }
    if (m_waiting.isEmpty())
        return;
    Memo1->appendPlainText(waitingLines().join(QLatin1Char('\n')));
    m_waiting.clear();
    m_frames.resize(0); // its room stays for the next lines
}

QStringList TFext::lines() const {
    QStringList out;
    if (!Memo1->document()->isEmpty())
        out = Memo1->toPlainText().split(QLatin1Char('\n'));
    if (m_dropped > 0)
        out << DroppedLinesText(m_dropped, waitingLineLimit);
    return out + waitingLines();
}

QStringList TFext::waitingLines() const {
    QStringList lines;
    lines.reserve(m_waiting.size());
    for (const Waiting& w : m_waiting)
        lines << link::TraceEntry{w.text, w.prefix, QByteArrayView(m_frames).sliced(w.at, w.length)}
                     .line();
    return lines;
}

qsizetype TFext::firstFrameByte() const {
    for (const Waiting& w : m_waiting)
        if (w.prefix)
            return w.at;
    return m_frames.size();
}

void TFext::LMDButton2Click() {
    m_waiting.clear();
    m_frames.resize(0);
    m_dropped = 0;
    m_hiddenForm.clear();
    m_flush->stop();
    Memo1->clear();
}

void TFext::TBXulozlogClick() {
    ui::RunCommand(this, [this] {
        const QString name = ui::AskSaveFile(this, QStringLiteral("Ulož log"), QString(),
                                             QStringLiteral("Text (*.txt)"), QStringLiteral("txt"));
        if (name.isEmpty())
            return;
        QStringList all = lines();
        if (!m_hiddenForm.isEmpty())
            for (QString& line : all)
                line = m_hiddenForm.value(line, line);
        QByteArray data = all.join(QLatin1Char('\n')).toUtf8();
        if (!all.isEmpty())
            data += '\n';
        QString error;
        if (!store::WriteWholeFile(name, data, &error))
            ui::ShowWarning(this,
                            QStringLiteral("Soubor \"%1\" nelze uložit. %2").arg(name, error));
    });
}

void TFext::toggleHeslo() {
    const bool show = LMDEdit1->isHidden();
    hesloLabel->setVisible(show);
    LMDEdit1->setVisible(show);
}

void TFext::Button1Click() {
    ui::RunCommand(this, [this] {
        ui::BusyCursor busy;
        // Any function goes out as typed; the tail is filled as the password
        // write fills it and is sent only with function 16.
        ModbusRequest request;
        request.unitId = m_client.link().unitId();
        request.function = static_cast<std::uint8_t>(PBSpinEdit2->value() & 0xFF);
        request.address = static_cast<std::uint16_t>(PBSpinEdit3->value() & 0xFFFF);
        request.quantity = static_cast<std::uint16_t>(PBSpinEdit4->value() & 0xFFFF);
        FillPasswordTail(request, passwordBytes());
        m_client.send(request);
    });
}

} // namespace zra::console
