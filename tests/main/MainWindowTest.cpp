// The main window, the console and the login dialog driven through their
// handlers against the in-process simulator.
#include "access/TFprihlaseni.h"
#include "app/Startup.h"
#include "config/TFkonfig.h"
#include "config/TFnastaveni.h"
#include "console/TFext.h"
#include "log/TFlog.h"
#include "main/TFmain.h"
#include "tests/support/SimFixture.h"
#include "views/TFacgroup.h"
#include "views/TFdcgroup.h"
#include "views/TFfaze.h"
#include "views/TFmodul_akce.h"
#include "views/TFmoduly.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

using namespace zra;
using namespace zra::test;

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    main::TFmain& m() { return *w.Fmain; }
    console::TFext& ext() { return *w.Fext; }
    access::TFprihlaseni& login() { return *w.Fprihlaseni; }

    void start(sim::Options options = {}) {
        simulator = StartSimulator(options);
        typeAddress(simulator->address());
    }
    // Types an address into the field and accepts it as Enter would.
    void typeAddress(const QString& text) {
        m().TIP_adr->setEditText(text);
        m().TIP_adrAccept();
    }
    void connectTool() {
        m().TBXItem2Click();
        ASSERT_EQ(m().statusPanel0->text(), "Connected") << ui.messages.join(" | ").toStdString();
    }
    bool allStateItemsEnabled(bool enabled) {
        for (QAction* a : m().stateItems())
            if (a->isEnabled() != enabled)
                return false;
        return true;
    }

    RecordingUi ui;
    std::unique_ptr<sim::Simulator> simulator;
    app::Windows w;
};

TEST_F(MainWindowTest, StartsDisconnectedWithItemsDisabled) {
    EXPECT_EQ(m().windowTitle(), "Nastevení ZRA");
    EXPECT_EQ(m().statusPanel0->text(), "Disconnected");
    EXPECT_EQ(m().statusPanel1->text(), "");
    EXPECT_EQ(m().TBXItem2->text(), "Connect");
    EXPECT_TRUE(allStateItemsEnabled(false));
    EXPECT_EQ(m().spid->minimum(), 1);
    EXPECT_EQ(m().spid->maximum(), 1000);
    EXPECT_EQ(m().spid->value(), 1);
    EXPECT_EQ(m().TIP_adr->toolTip(), "IP adresa");
    EXPECT_EQ(m().TBXnactivse->toolTip(), "Kromě Logu");
    EXPECT_FALSE(ext().isVisible());
    EXPECT_EQ(w.Fmodul_akce->windowTitle(), "Změna modulu");
    EXPECT_EQ(w.Fnastaveni->windowTitle(), "Změna proměnné");
    // Start-up is the one owner of every window: none is another's Qt child.
    const QList<QWidget*> all = {&m(),
                                 w.Fmoduly.get(),
                                 w.Ffaze.get(),
                                 w.Fdcgroup.get(),
                                 w.Facgroup.get(),
                                 w.Fkonfig.get(),
                                 w.Flog.get(),
                                 w.Fnastaveni.get(),
                                 w.Fmodul_akce.get(),
                                 &login(),
                                 &ext()};
    for (QWidget* window : all)
        EXPECT_EQ(window->parent(), nullptr) << window->objectName().toStdString();
}

TEST_F(MainWindowTest, ConnectShowsStateAndPortAndDisconnectReverts) {
    start();
    connectTool();
    EXPECT_EQ(m().statusPanel1->text(), QString("Port: %1").arg(simulator->modbusPort()));
    EXPECT_EQ(m().TBXItem2->text(), "Disconnect");
    EXPECT_TRUE(allStateItemsEnabled(true));
    EXPECT_EQ(ui.busyDepth, 0);

    m().TBXItem2Click();
    EXPECT_EQ(m().statusPanel0->text(), "Disconnected");
    EXPECT_EQ(m().statusPanel1->text(), QString("Port: %1").arg(simulator->modbusPort()))
        << "panel 1 keeps its last text";
    EXPECT_EQ(m().TBXItem2->text(), "Connect");
    EXPECT_TRUE(allStateItemsEnabled(false));
}

TEST_F(MainWindowTest, ChangingTheAddressDisconnectsAtOnce) {
    start();
    connectTool();
    m().TIP_adr->setEditText(simulator->address() + "0");
    EXPECT_EQ(m().TBXItem2->text(), "Connect");
    EXPECT_EQ(m().statusPanel0->text(), "Disconnected");
    EXPECT_TRUE(allStateItemsEnabled(false));
    EXPECT_TRUE(m().link.modbusOpen()) << "the channel stays open until the next Connect";
}

TEST_F(MainWindowTest, AddressFieldRefusesBadTextsAndKeepsTheList) {
    typeAddress("127.0.0.1");
    typeAddress("10.1.2");
    EXPECT_EQ(ui.messages, QStringList{"Špatná IP adresa"});
    EXPECT_EQ(m().TIP_adr->currentText(), "127.0.0.1");
    typeAddress("10.1.2.256");
    EXPECT_EQ(ui.messages.size(), 2);
    typeAddress("127.0.0.2");
    typeAddress("127.0.0.1");
    EXPECT_EQ(m().TIP_adr->count(), 2) << "a known address is not added twice";
    // Clearing removes the selected address from the list.
    typeAddress("");
    EXPECT_EQ(m().TIP_adr->count(), 1);
    EXPECT_EQ(m().TIP_adr->itemText(0), "127.0.0.2");
}

TEST_F(MainWindowTest, ConnectAcceptsATypedAddressFirst) {
    m().TIP_adr->setEditText("300.1.1.1");
    m().TBXItem2Click();
    EXPECT_EQ(ui.messages, QStringList{"Špatná IP adresa"});
    EXPECT_EQ(m().statusPanel0->text(), "Disconnected");
}

TEST_F(MainWindowTest, ConsoleDefaultsSendTheDocumentedFrame) {
    start();
    connectTool();
    ext().LMDButton2Click();
    EXPECT_TRUE(ext().lines().isEmpty());
    ext().Button1Click();
    ASSERT_EQ(ext().lines().size(), 2);
    EXPECT_EQ(ext().lines()[0], "->0x01 0x03 0x05 0xD0 0x00 0x01 0x85 0x3F ");
    EXPECT_TRUE(ext().lines()[1].startsWith("<-0x01 0x03 0x02 "));
    EXPECT_EQ(ext().lines()[1].size(), 2 + 7 * 5);
    EXPECT_EQ(simulator->modbusFrames().last(),
              Bytes({0x01, 0x03, 0x05, 0xD0, 0x00, 0x01, 0x85, 0x3F}));
    EXPECT_TRUE(ui.messages.isEmpty());

    // The unit id comes from the main window, not from the console's own field.
    ext().PBSpinEdit1->setValue(7);
    m().spid->setValue(257); // taken modulo 256
    ext().LMDButton2Click();
    ext().Button1Click();
    EXPECT_TRUE(ext().lines()[0].startsWith("->0x01 0x03 "));

    // A hidden console keeps its lines until it is shown; then its text field
    // holds them in order, and later lines follow within 50 ms.
    EXPECT_TRUE(ext().Memo1->toPlainText().isEmpty());
    ext().show();
    EXPECT_EQ(ext().Memo1->toPlainText().split('\n'), ext().lines());
    ext().Button1Click();
    EXPECT_EQ(ext().lines().size(), 4);
    QTRY_COMPARE_WITH_TIMEOUT(ext().Memo1->toPlainText().split('\n').size(), 4, 2000);
    EXPECT_EQ(ext().Memo1->toPlainText().split('\n'), ext().lines());
    ext().LMDButton2Click();
    EXPECT_TRUE(ext().lines().isEmpty());
}

TEST_F(MainWindowTest, ConsoleFunction16Tail) {
    start();
    connectTool();
    ext().PBSpinEdit2->setValue(16);
    ext().PBSpinEdit3->setValue(2100);
    ext().PBSpinEdit4->setValue(5);
    ext().Button1Click();
    // The default text: the same frame as the access-password write.
    const QByteArray fromConsole = simulator->modbusFrames().last();
    m().link.WriteModbusPassword();
    EXPECT_EQ(fromConsole, simulator->modbusFrames().last());
    EXPECT_EQ(fromConsole.mid(6, 11), QByteArray("\x0A") + "Vortex_P8L");

    ext().LMDEdit1->setText("ab");
    ext().Button1Click();
    EXPECT_EQ(simulator->modbusFrames().last().mid(0, 9),
              Bytes({0x01, 0x10, 0x08, 0x34, 0x00, 0x05, 0x02, 'a', 'b'}));
    ext().LMDEdit1->setText("");
    ext().Button1Click();
    EXPECT_EQ(simulator->modbusFrames().last().size(), 7 + 2);
    EXPECT_EQ(simulator->modbusFrames().last()[6], 0);
}

TEST_F(MainWindowTest, ConsoleFieldsTakeTheirLowBits) {
    start();
    connectTool();
    ext().PBSpinEdit2->setValue(0x104);   // function 4
    ext().PBSpinEdit3->setValue(0x107BC); // address 1980
    ext().PBSpinEdit4->setValue(-65535);  // quantity 1
    ext().LMDButton2Click();
    ext().Button1Click();
    EXPECT_TRUE(ext().lines()[0].startsWith("->0x01 0x04 0x07 0xBC 0x00 0x01 "));
}

TEST_F(MainWindowTest, ConsoleShowsCommunicationErrorAfterAFailure) {
    start();
    connectTool();
    sim::Fault f;
    f.kind = sim::FaultKind::Exception;
    f.times = 1;
    simulator->addFault(f);
    ext().Button1Click();
    EXPECT_EQ(ui.messages, (QStringList{"Zařízení odmítlo požadavek funkce 3: MODBUS výjimka 4 "
                                        "(chyba zařízení)",
                                        "Chyba v komunikaci"}));
    EXPECT_EQ(m().statusPanel0->text(), "Disconnected");
    EXPECT_EQ(ui.parents, (QList<QWidget*>{&ext(), &ext()})) << "both over the console";
    // The flag is sticky: the next send succeeds on the open channel but still
    // reports the failure until the next connect.
    ext().Button1Click();
    EXPECT_EQ(ui.messages.last(), "Chyba v komunikaci");
    EXPECT_EQ(ui.messages.size(), 3);
}

TEST_F(MainWindowTest, ConsoleSendOnAClosedChannelIsShownByTheErrorHandler) {
    ext().Button1Click();
    EXPECT_EQ(ui.messages, QStringList{"Spojení se zařízením není otevřeno"});
    EXPECT_EQ(ui.busyDepth, 0);
    EXPECT_EQ(ext().lines(), (QStringList{"->0x01 0x03 0x05 0xD0 0x00 0x01 0x85 0x3F ",
                                          "!! Spojení se zařízením není otevřeno"}))
        << "the request line and the failure, no reply line";
}

TEST_F(MainWindowTest, SecondCommandDoesNotStartWhileOneRuns) {
    start();
    connectTool();
    simulator->addFault(DelayFault(400, 1));
    const auto before = simulator->modbusFrames().size();
    // Clicks that arrive during the exchange's nested event loop.
    QTimer::singleShot(50, [&] {
        ext().Button1Click();
        m().TBXItem2Click();
    });
    ext().Button1Click();
    EXPECT_EQ(simulator->modbusFrames().size(), before + 1);
    EXPECT_EQ(m().statusPanel0->text(), "Connected") << "Disconnect did not run";
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(MainWindowTest, AddressAndUnitIdAreLockedWhileACommandRuns) {
    start();
    connectTool();
    const QString address = m().TIP_adr->currentText();
    simulator->clearRecords();
    simulator->addFault(DelayFault(300, 1));
    bool lockedDuring = false;
    // Typing into both fields while the read waits for its first reply.
    QTimer::singleShot(50, [&] {
        lockedDuring = !m().TIP_adr->isEnabled() && !m().spid->isEnabled();
        QTest::keyClicks(m().TIP_adr->lineEdit(), "9");
        QTest::keyClick(m().spid, Qt::Key_Up);
    });
    m().TBXnactiClick();
    EXPECT_TRUE(lockedDuring);
    EXPECT_EQ(m().statusPanel0->text(), "Connected") << "the read was not cut off";
    EXPECT_EQ(m().TIP_adr->currentText(), address);
    EXPECT_EQ(m().spid->value(), 1);
    for (const QByteArray& frame : simulator->modbusFrames())
        EXPECT_EQ(frame[0], 1) << "every request of the read at unit 1";
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();
    EXPECT_TRUE(m().TIP_adr->isEnabled() && m().spid->isEnabled()) << "unlocked afterwards";
}

TEST_F(MainWindowTest, ExtShortcutShowsTheConsole) {
    m().show();
    m().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m(), 2000));
    QTest::keyClick(&m(), Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(ext().isVisible());
    EXPECT_EQ(ext().windowTitle(), "Fext");
    // The hidden "Heslo" field is reached by Ctrl+H in the console.
    EXPECT_TRUE(ext().LMDEdit1->isHidden());
    ext().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&ext(), 2000));
    QTest::keyClick(&ext(), Qt::Key_H, Qt::ControlModifier);
    EXPECT_FALSE(ext().LMDEdit1->isHidden());
    EXPECT_EQ(ext().LMDEdit1->text(), "Vortex_P8L");
    EXPECT_EQ(ext().LMDEdit1->maxLength(), 20);
    ext().toggleHeslo();
    EXPECT_TRUE(ext().LMDEdit1->isHidden());
    ext().close();
}

TEST_F(MainWindowTest, WindowMenuShowsEachWindowWhichOnlyHidesOnClose) {
    const std::pair<QAction*, QWidget*> items[] = {
        {m().TBXItem1, w.Fmoduly.get()},  {m().TBXItem6, w.Fkonfig.get()},
        {m().TBXItem3, w.Ffaze.get()},    {m().TBXItem4, w.Facgroup.get()},
        {m().TBXItem5, w.Fdcgroup.get()}, {m().TBXItem7, w.Flog.get()}};
    const QStringList captions = {"Moduly",   "Konfigurace", "Fáze",
                                  "AC group", "DC group",    "Event log"};
    int i = 0;
    for (const auto& [item, window] : items) {
        EXPECT_FALSE(window->isVisible()) << "only the main window is shown at first";
        item->trigger();
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(window->windowTitle(), captions[i++]);
        window->close();
        EXPECT_FALSE(window->isVisible());
    }
    // A closed window is the same object when shown again.
    QWidget* before = w.Fmoduly.get();
    m().TBXItem1->trigger();
    EXPECT_EQ(before, w.Fmoduly.get());
    EXPECT_TRUE(w.Fmoduly->isVisible());
    w.Fmoduly->close();
}

TEST_F(MainWindowTest, ClosingTheMainWindowEndsTheProgram) {
    m().show();
    w.Ffaze->show();
    QTimer::singleShot(0, &m(), [this] { m().close(); });
    // If closing did not end the loop, this exits it with another code.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(7); });
    guard.start(3000);
    EXPECT_EQ(QCoreApplication::exec(), 0);
    guard.stop();
    w.Ffaze->hide();
}

TEST_F(MainWindowTest, ClosingDuringACommandWaitsForItsEnd) {
    start();
    connectTool();
    m().show();
    simulator->addFault(DelayFault(400, 1));
    bool visibleAfterClose = false;
    QTimer::singleShot(50, [&] {
        m().close();
        visibleAfterClose = m().isVisible();
    });
    ext().Button1Click();
    EXPECT_TRUE(visibleAfterClose) << "the close waits for the running command";
    EXPECT_TRUE(ui.messages.isEmpty()) << "the exchange was not broken off";
    EXPECT_EQ(ext().lines().filter(QRegularExpression("^<-0x")).size(), 1);
    QTest::qWait(400);
    EXPECT_FALSE(m().isVisible()) << "and happens once the command has ended";
}

// Login through the dialog at connect time.
class LoginTest : public MainWindowTest {
protected:
    void SetUp() override {
        sim::Options o;
        o.loginRequired = true;
        o.user = "servis";
        o.password = "tajne123";
        start(o);
    }
    QByteArray iaFrame() {
        const auto frames = simulator->managementFrames();
        return frames.isEmpty() ? QByteArray() : frames.last();
    }
};

TEST_F(LoginTest, GrantedByEnterInThePasswordFieldSentOnce) {
    ui.answerNextDialog([&](QDialog*) {
        login().Ljmeno->setText("servis");
        login().Lheslo->setText("tajne123");
        QTest::keyClick(login().Lheslo, Qt::Key_Return);
        return login().result();
    });
    connectTool();
    EXPECT_TRUE(m().link.loginGranted());
    EXPECT_EQ(login().Lheslo->text(), "tajne123") << "Enter adds no character";
    const auto frames = simulator->managementFrames();
    ASSERT_EQ(frames.size(), 3) << "XR, GS and one IA";
    QByteArray expected = Bytes({0x23, 'I', 'A', 0, 18, 0});
    expected +=
        QByteArray("servis") + QByteArray(3, '\0') + QByteArray("tajne123") + QByteArray(1, '\0');
    EXPECT_EQ(frames[2], expected);
}

TEST_F(LoginTest, RefusedLoginKeepsTheDialogAndCancelLeavesDisconnected) {
    ui.answerNextDialog([&](QDialog*) {
        login().Ljmeno->setText("servis");
        login().Lheslo->setText("spatne");
        login().okButton->click();
        EXPECT_EQ(ui.messages, QStringList{"Jméno nebo heslo je špatné"});
        EXPECT_EQ(login().Lheslo->text(), "spatne") << "fields stay as they were";
        login().cancelButton->click();
        return login().result();
    });
    m().TBXItem2Click();
    EXPECT_FALSE(m().link.loginGranted());
    EXPECT_EQ(m().statusPanel0->text(), "Disconnected");
    EXPECT_FALSE(m().link.modbusOpen());
    EXPECT_EQ(ui.dialogsShown, 1);
}

TEST_F(LoginTest, DialogLimitsFieldsAndLooksAsDesigned) {
    EXPECT_EQ(login().windowTitle(), "Přihlašení");
    EXPECT_EQ(login().Ljmeno->maxLength(), 8);
    EXPECT_EQ(login().Lheslo->maxLength(), 8);
    EXPECT_EQ(login().Lheslo->echoMode(), QLineEdit::Password);
    login().Lheslo->setText("abc");
    EXPECT_EQ(login().Lheslo->displayText(), "***") << "each character shown as *";
    EXPECT_EQ(login().LMDCheckBox1->text(), "Pamatovat si heslo");
    EXPECT_EQ(login().palette().color(QPalette::Window), QColor(217, 240, 237));
}

TEST_F(LoginTest, NoSecondAttemptAndNoCancelWhileTheReplyIsPending) {
    sim::Fault slow = DelayFault(300);
    slow.management = true;
    slow.managementCommand = "IA";
    simulator->addFault(slow);
    bool buttonsDisabled = false;
    bool openAfterCancel = false;
    ui.answerNextDialog([&](QDialog*) {
        login().show();
        login().Ljmeno->setText("servis");
        login().Lheslo->setText("tajne123");
        // A second OK, Enter, "Zruš", Escape and the close button while the IA
        // reply is awaited.
        QTimer::singleShot(50, [&] {
            buttonsDisabled = !login().okButton->isEnabled() && !login().cancelButton->isEnabled();
            login().OKClick();
            QTest::keyClick(login().Lheslo, Qt::Key_Return);
            login().cancelButton->click();
            login().reject();
            QTest::keyClick(&login(), Qt::Key_Escape);
            login().close();
            openAfterCancel = login().isVisible();
        });
        login().okButton->click();
        return login().result();
    });
    connectTool();
    EXPECT_TRUE(buttonsDisabled);
    EXPECT_TRUE(openAfterCancel);
    EXPECT_TRUE(m().link.loginGranted()) << "the reply decided";
    EXPECT_EQ(login().result(), QDialog::Accepted);
    EXPECT_TRUE(login().okButton->isEnabled());
    const auto frames = simulator->managementFrames();
    ASSERT_EQ(frames.size(), 3) << "XR, GS and one IA";
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();
}

} // namespace
