#include "app/gui/DeskCommands.h"
#include "app/gui/WidgetPrompts.h"
#include "comm/gui/ComSelectForm.h"
#include "comm/IniFile.h"
#include "comm/PortList.h"
#include "comm/gui/CommForm.h"
#include "support/PanelSim.h"
#include "support/ScriptedPrompts.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <functional>

using namespace dnp;

namespace {

QStringList itemTexts(const QGroupBox* group)
{
    QStringList texts;
    // A button's whole text, as its accessible name gives it where it is shortened.
    for (const auto* button : group->findChildren<QRadioButton*>())
        texts << (button->accessibleName().isEmpty() ? button->text() : button->accessibleName());
    return texts;
}

QByteArray lines(std::initializer_list<const char*> list)
{
    QByteArray text;
    for (const char* line : list)
        text += QByteArray(line) + kIniLineEnd;
    return text;
}

// Saves a picture of the window when DNP_SCREENSHOT_DIR names a folder.
void screenshot(QWidget& w, const QString& name)
{
    const QString dir = qEnvironmentVariable("DNP_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    w.show();
    QApplication::processEvents();
    w.grab().save(QDir(dir).filePath(name));
    w.hide();
}

// Acts on the modal dialog once it is up; a dialog still open after the patience
// runs out is closed instead of blocking the test. The timers end with the guard.
class OnModal {
public:
    explicit OnModal(std::function<void(QWidget*)> action)
    {
        QTimer::singleShot(0, &context_, [action] {
            if (auto* w = QApplication::activeModalWidget())
                action(w);
        });
        QTimer::singleShot(5000, &context_, [] {
            if (auto* w = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                w->reject();
        });
    }

private:
    QObject context_;
};

class CommFormTest : public ::testing::Test {
protected:
    QString path() const { return dir.filePath(QStringLiteral("DNP.ini")); }
    QByteArray file() const
    {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    // Communication Settings as the main window runs it: the form shows the settings,
    // `user` acts on it and leaves it with OK (true) or Cancel (false).
    void settingsDialog(const std::function<bool(TcommForm&)>& user)
    {
        ws.editSettings([&](const CommChoice& current) -> std::optional<CommChoice> {
            TcommForm form(prompts);
            form.showChoice(current);
            if (!user(form))
                return std::nullopt;
            return form.choice();
        });
    }
    // The form as it shows the desk's settings.
    void showSettings(TcommForm& form) { form.showChoice(ws.settings().current().choice()); }

    QTemporaryDir dir;
    test::ScriptedPrompts prompts;
    DeskCommands ws{prompts, {path()}};
};

}  // namespace

TEST_F(CommFormTest, CaptionsAndItems)
{
    TcommForm form(prompts);
    EXPECT_EQ(form.windowTitle(), "Communication Settings");
    EXPECT_EQ(form.uploadBaudRG->objectName(), "uploadBaudRG");
    EXPECT_EQ(form.uploadBaudRG->title(), " &Baud ");
    EXPECT_EQ(itemTexts(form.uploadBaudRG), QStringList({"19200", "9600", "4800"}));
    EXPECT_EQ(form.connectorRG->title(), " Co&nnector ");
    EXPECT_EQ(itemTexts(form.connectorRG), QStringList({"none", "COM 1", "COM 2", "COM 3", "COM 4"}));
    EXPECT_EQ(form.addrRG->title(), " A&ddressing ");
    EXPECT_EQ(itemTexts(form.addrRG), QStringList({"Disabled", "Enabled"}));
    EXPECT_EQ(form.parityRG->title(), " &Parity ");
    EXPECT_EQ(itemTexts(form.parityRG), QStringList({"None", "Even"}));
    EXPECT_EQ(form.addressLabel->text(), "&Address: ");
    EXPECT_EQ(form.addressLabel->buddy(), form.addressSlot);
    EXPECT_EQ(form.OKBtn->text(), "&OK");
    EXPECT_EQ(form.CancelBtn->text(), "&Cancel");
    EXPECT_EQ(form.HelpBtn->text(), "&Help");
    EXPECT_TRUE(form.OKBtn->isDefault());
}

TEST_F(CommFormTest, Layout)
{
    TcommForm form(prompts);
    form.show();
    QApplication::processEvents();
    const auto at = [&](QWidget* w) { return QRect(w->mapTo(&form, QPoint(0, 0)), w->size()); };
    const QRect baud = at(form.uploadBaudRG), connector = at(form.connectorRG), addressing = at(form.addrRG),
                parity = at(form.parityRG), address = at(form.addressSlot), label = at(form.addressLabel);
    // Baud at the left, connector in the middle, the rest at the right.
    EXPECT_LT(baud.right(), connector.left());
    EXPECT_LT(connector.right(), addressing.left());
    EXPECT_EQ(addressing.left(), parity.left());
    // Addressing at the top with the address in it, parity under it.
    EXPECT_EQ(baud.top(), addressing.top());
    EXPECT_LT(addressing.bottom(), parity.top());
    EXPECT_TRUE(addressing.contains(address) && addressing.contains(label));
    EXPECT_LT(label.right(), address.left());
    // The buttons under the frame, OK, Cancel, Help from left to right.
    const int frameBottom = std::max({baud.bottom(), connector.bottom(), parity.bottom()});
    EXPECT_GT(at(form.OKBtn).top(), frameBottom);
    EXPECT_LT(at(form.OKBtn).right(), at(form.CancelBtn).left());
    EXPECT_LT(at(form.CancelBtn).right(), at(form.HelpBtn).left());

    // Tab follows reading order.
    form.showChoice({.baudItem = 1, .connectorItem = 1, .addressingItem = 0, .parityItem = 0, .addressText = "1", .portDevices = {}});
    QStringList order;
    form.uploadBaudRG->findChildren<QRadioButton*>()[1]->setFocus();
    for (int i = 0; i < 9; ++i) {
        order << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(order, (QStringList{"uploadBaud1", "connector0", "addr0", "addressSlot", "parity0", "deviceBox",
                                  "machinePortsList", "RefreshBtn", "OKBtn"}));

    // The width holds as devices come and go and "(not present)" with them.
    const int width = form.width();
    for (const QString& device : {dir.filePath("serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0"), portDeviceName(1),
                                  QString("tcp://10.1.2.3:4001")}) {
        form.deviceBox->setEditText(device);
        form.deviceBox->lineEdit()->editingFinished();
        QApplication::processEvents();
        EXPECT_EQ(form.width(), width) << device.toStdString();
    }
    form.hide();
}

TEST_F(CommFormTest, ShowsTheSettings)
{
    QFile f(path());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(lines({"[Comm]", "Baud=2", "ComPort=3", "Addressing=1", "Parity=1", "Address=300"}));
    f.close();
    TcommForm form(prompts);
    showSettings(form);
    EXPECT_EQ(TcommForm::itemIndex(form.uploadBaudRG), 2);
    EXPECT_EQ(TcommForm::itemIndex(form.connectorRG), 3);
    EXPECT_EQ(TcommForm::itemIndex(form.addrRG), 1);
    EXPECT_EQ(TcommForm::itemIndex(form.parityRG), 1);
    EXPECT_EQ(form.addressSlot->text(), "300");
    screenshot(form, QStringLiteral("comm-form.png"));
}

TEST_F(CommFormTest, DefaultsWithoutAFile)
{
    TcommForm form(prompts);
    showSettings(form);
    EXPECT_EQ(TcommForm::itemIndex(form.uploadBaudRG), 1);
    EXPECT_EQ(TcommForm::itemIndex(form.connectorRG), 0);
    EXPECT_EQ(TcommForm::itemIndex(form.addrRG), 0);
    EXPECT_EQ(TcommForm::itemIndex(form.parityRG), 0);
    EXPECT_EQ(form.addressSlot->text(), "1");
}

TEST_F(CommFormTest, OkStoresAndSavesAtOnce)
{
    settingsDialog([](TcommForm& form) {
        TcommForm::setItemIndex(form.uploadBaudRG, 0);
        TcommForm::setItemIndex(form.connectorRG, 2);
        TcommForm::setItemIndex(form.addrRG, 1);
        TcommForm::setItemIndex(form.parityRG, 1);
        form.addressSlot->setText(QStringLiteral("200"));
        return true;
    });
    const TcomSetIni& settings = ws.settings().current();
    EXPECT_EQ(settings.Baud, 0);
    EXPECT_EQ(settings.ComPort, 2);
    EXPECT_TRUE(settings.Addressing);
    EXPECT_EQ(settings.Parity, 1);
    EXPECT_EQ(settings.Address, 200);
    EXPECT_EQ(file(), lines({"[Comm]", "Baud=0", "ComPort=2", "Addressing=1", "Parity=1", "Address=200"}));
    EXPECT_TRUE(prompts.shown.isEmpty());
}

// OK with an address outside 0-255 is refused with a message: the dialog stays open with
// the field selected, and nothing is stored or saved.
TEST_F(CommFormTest, AnAddressOutsideTheRangeKeepsTheDialogOpenWithTheFieldSelected)
{
    TcommForm form(prompts);
    showSettings(form);
    form.show();
    for (const char* text : {"abc", "", "256", "300", "-1", "0x100"}) {
        prompts.shown.clear();
        TcommForm::setItemIndex(form.uploadBaudRG, 0);
        form.addressSlot->setText(QString::fromLatin1(text));
        form.OKBtn->setFocus();
        form.OKBtn->click();
        EXPECT_TRUE(form.isVisible()) << text;
        EXPECT_NE(form.result(), int(QDialog::Accepted)) << text;
        EXPECT_EQ(prompts.texts(test::Shown::Error), QStringList{"The address must be a whole number from 0 to 255."});
        EXPECT_EQ(form.focusWidget(), form.addressSlot) << text;
        EXPECT_EQ(form.addressSlot->selectedText(), QString::fromLatin1(text));
    }
    screenshot(form, QStringLiteral("comm-form-address-refused.png"));
    form.show();
    EXPECT_EQ(ws.settings().current().Baud, 1);
    EXPECT_FALSE(QFile::exists(path()));

    form.addressSlot->setText(QStringLiteral("255"));
    form.OKBtn->click();
    EXPECT_EQ(form.result(), int(QDialog::Accepted));
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.choice().addressText, "255");
}

TEST_F(CommFormTest, CancelChangesNothing)
{
    settingsDialog([](TcommForm& form) {
        TcommForm::setItemIndex(form.uploadBaudRG, 0);
        form.addressSlot->setText(QStringLiteral("99"));
        return false;
    });
    EXPECT_EQ(ws.settings().current().Baud, 1);
    EXPECT_EQ(ws.settings().current().Address, 1);
    EXPECT_FALSE(QFile::exists(path()));
}

TEST_F(CommFormTest, UnwritableFileTellsTheUserAndKeepsTheNewValues)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("DNP.ini")));
    settingsDialog([](TcommForm& form) {
        TcommForm::setItemIndex(form.connectorRG, 1);
        return true;
    });
    EXPECT_EQ(prompts.texts(test::Shown::Error),
              QStringList{QStringLiteral("Unable to write to %1\n%1 is not a regular file").arg(QDir::toNativeSeparators(path()))});
    EXPECT_EQ(ws.settings().current().ComPort, 1);
}

TEST_F(CommFormTest, HelpOpensTopic108)
{
    TcommForm form(prompts);
    form.HelpBtn->click();
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0].kind, test::Shown::Help);
    EXPECT_EQ(prompts.shown[0].topic, 108);
}

// A pseudo-terminal named in DNP.ini is listed with the machine's ports; choosing a port
// in the list makes it the device of the chosen COM number.
TEST_F(CommFormTest, TheMachinesPortsAndAPseudoTerminalMappedAsAComNumber)
{
    test::PanelSim sim;
    ASSERT_TRUE(sim.started()) << sim.error().toStdString();
    QFile f(path());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    const QString missing = dir.filePath("ttyGone");
    f.write(lines({"[Ports]", ("COM3=" + sim.device()).toUtf8().constData(), ("COM1=" + missing).toUtf8().constData(),
                   "[Comm]", "ComPort=3"}));
    f.close();
    settingsDialog([&](TcommForm& form) {
        EXPECT_EQ(itemTexts(form.connectorRG)[3], "COM 3 (" + sim.device() + ")");
        EXPECT_EQ(itemTexts(form.connectorRG)[1], "COM 1 (" + missing + ") (not present)");
        int row = -1;
        for (int i = 0; i < form.machinePortsList->topLevelItemCount(); ++i)
            if (form.machinePortsList->topLevelItem(i)->text(0) == sim.device())
                row = i;
        EXPECT_GE(row, 0);
        EXPECT_EQ(form.machinePortsList->topLevelItem(row)->text(1), "named in DNP.ini");
        screenshot(form, QStringLiteral("comm-form-ports.png"));
        TcommForm::setItemIndex(form.connectorRG, 2);
        form.usePort(row);
        EXPECT_EQ(itemTexts(form.connectorRG)[2], "COM 2 (" + sim.device() + ")");
        return true;
    });
    EXPECT_EQ(TcomSetIni(path()).portDevices().value(2), sim.device());
    EXPECT_EQ(TcomSetIni(path()).ComPort, 2);

    // The Select Port dialog tells what stands behind each number.
    TComSelectForm select({2, 3}, ws.settings().current().portDevices());
    EXPECT_EQ(select.PortDetails->text(), sim.device() + "  named in DNP.ini");
}

// The device of the chosen COM number is typed (a by-id name, a pseudo-terminal, a
// terminal server) and marked when it is not there; choosing another number shows its.
TEST_F(CommFormTest, TheDeviceFieldTakesAnyDeviceAndMarksOneThatIsNotThere)
{
    test::PanelSim sim;
    ASSERT_TRUE(sim.started()) << sim.error().toStdString();
    const QString missing = dir.filePath("serial/by-id/usb-FTDI-if00-port0");
    settingsDialog([&](TcommForm& form) {
        EXPECT_FALSE(form.deviceBox->isEnabled());  // no COM number chosen
        TcommForm::setItemIndex(form.connectorRG, 2);
        form.connectorRG->findChildren<QRadioButton*>()[2]->click();
        EXPECT_TRUE(form.deviceBox->isEnabled());
        EXPECT_EQ(form.deviceBox->currentText(), portDeviceName(2));
        form.deviceBox->setEditText(missing);
        form.deviceBox->lineEdit()->editingFinished();
        EXPECT_EQ(form.devicePresence->text(), "(not present)");
        EXPECT_EQ(itemTexts(form.connectorRG)[2], "COM 2 (" + missing + ") (not present)");
        form.deviceBox->setEditText(sim.device());
        form.deviceBox->lineEdit()->editingFinished();
        EXPECT_EQ(form.devicePresence->text(), "");
        EXPECT_EQ(itemTexts(form.connectorRG)[2], "COM 2 (" + sim.device() + ")");
        form.connectorRG->findChildren<QRadioButton*>()[4]->click();
        form.deviceBox->setEditText("tcp://10.1.2.3:4001");
        form.deviceBox->lineEdit()->editingFinished();
        EXPECT_EQ(form.devicePresence->text(), "");  // a terminal server is not probed
        form.connectorRG->findChildren<QRadioButton*>()[2]->click();
        EXPECT_EQ(form.deviceBox->currentText(), sim.device());
        return true;
    });
    const TcomSetIni saved(path());
    EXPECT_EQ(saved.ComPort, 2);
    EXPECT_EQ(saved.portDevices(), (QMap<int, QString>{{2, sim.device()}, {4, "tcp://10.1.2.3:4001"}}));
}

// Test asks the panel for message 1 with the settings the dialog shows, saves nothing,
// and says what it found; the button is back once the test has ended.
TEST_F(CommFormTest, TestSaysWhetherThePanelAnswered)
{
    test::PanelSim sim({"--silent-at", "2"});
    ASSERT_TRUE(sim.started()) << sim.error().toStdString();
    const auto testOnce = [&](TcommForm& form) {
        std::optional<bool> answered;
        const auto c = QObject::connect(&ws, &DeskCommands::panelCommandEnded, [&](const PanelOutcome& o) { answered = o.ok(); });
        form.TestBtn->click();
        EXPECT_FALSE(form.TestBtn->isEnabled());
        EXPECT_TRUE(QTest::qWaitFor([&] { return answered.has_value(); }, 10000)) << "the test did not end";
        QObject::disconnect(c);
        EXPECT_TRUE(form.TestBtn->isEnabled());
        return answered.value_or(false);
    };
    settingsDialog([&](TcommForm& form) {
        form.testPanel = [&](const CommChoice& choice) { ws.testPanel(choice); };
        QObject::connect(&ws, &DeskCommands::panelCommandEnded, &form, &TcommForm::testEnded);
        form.connectorRG->findChildren<QRadioButton*>()[1]->click();
        // A device that is not there: the second line says what to do here.
        const QString missing = dir.filePath("ttyUSB3");
        form.deviceBox->setEditText(missing);
        form.TestBtn->click();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !ws.transferRunning(); }, 10000));
        EXPECT_EQ(prompts.texts(), QStringList{"ie_BadId - Specified comport doesn't exist\nThe device " + missing +
                                               " does not exist. Check the cable or type another device."});
        prompts.shown.clear();
        form.deviceBox->setEditText(sim.device());
        EXPECT_TRUE(testOnce(form));
        EXPECT_EQ(prompts.texts(), QStringList{"The panel answered."});
        EXPECT_EQ(file(), "<missing>");
        prompts.shown.clear();
        EXPECT_FALSE(testOnce(form));  // the panel's second request goes unanswered
        EXPECT_EQ(prompts.texts(test::Shown::Error),
                  QStringList{"ZE-P(L) is not responding!\nMessage 1 of 18 was not answered.\nNo answer on " +
                              sim.device() + " at 9600 baud."});
        return false;
    });
    EXPECT_EQ(file(), "<missing>");
}

TEST(ComSelectFormTest, CaptionLabelsAndPorts)
{
    TComSelectForm form({1, 3, 17});
    EXPECT_EQ(form.windowTitle(), "Select Port");
    EXPECT_EQ(form.Label1->text(), "The configured serial port is not valid.");
    EXPECT_EQ(form.Label2->text(), "Please choose another port.");
    ASSERT_EQ(form.PortsComboBox->count(), 3);
    EXPECT_EQ(form.PortsComboBox->itemText(0), "COM1");
    EXPECT_EQ(form.PortsComboBox->itemText(1), "COM3");
    EXPECT_EQ(form.PortsComboBox->itemText(2), "COM17");
    EXPECT_TRUE(form.PortsComboBox->isEditable());
    EXPECT_EQ(form.PortsComboBox->currentIndex(), 0);
    EXPECT_EQ(form.chosenPort(), PortChoice(1));
    form.PortsComboBox->setCurrentIndex(1);
    EXPECT_EQ(form.chosenPort(), PortChoice(3));
    EXPECT_EQ(form.OKBtn->text(), "OK");
    EXPECT_EQ(form.CancelBtn->text(), "Cancel");
    EXPECT_TRUE(form.OKBtn->isDefault());
    EXPECT_TRUE(form.OKBtn->isEnabled());
    screenshot(form, QStringLiteral("com-select-form.png"));
}

TEST(ComSelectFormTest, NoPortsFound)
{
    // Only the machine's own ports are offered; with the field empty only Cancel leaves.
    TComSelectForm form({});
    EXPECT_EQ(form.PortsComboBox->count(), machinePorts({}).size());
    form.PortsComboBox->setEditText("");
    EXPECT_FALSE(form.OKBtn->isEnabled());
    EXPECT_EQ(form.chosenPort(), std::nullopt);
}

// A device is typed as in the settings dialog; a COM number may be typed too.
TEST(ComSelectFormTest, ATypedDeviceIsTaken)
{
    TComSelectForm form({});
    EXPECT_EQ(form.TypeHint->text(), "Choose a COM number, or type a device such as /dev/ttyUSB0 or tcp://HOST:PORT.");
    const struct {
        const char* typed;
        std::optional<PortChoice> chosen;
    } cases[] = {{"tcp://10.1.2.3:4001", QString("tcp://10.1.2.3:4001")},
                 {" /dev/ttyUSB3 ", QString("/dev/ttyUSB3")},
                 {"com 4", 4},
                 {"COM12", 12},
                 {"  ", std::nullopt}};
    for (const auto& c : cases) {
        form.PortsComboBox->setEditText(c.typed);
        EXPECT_EQ(form.chosenPort(), c.chosen) << c.typed;
        EXPECT_EQ(form.OKBtn->isEnabled(), c.chosen.has_value()) << c.typed;
    }
}

// The window's prompts show the dialog modally: the choice, or nothing for Cancel.
TEST(ComSelectFormTest, ThePromptGivesTheChoiceOrNothing)
{
    WidgetPrompts prompts([] { return nullptr; });
    {
        OnModal choose([](QWidget* w) {
            if (auto* form = qobject_cast<TComSelectForm*>(w)) {
                form->PortsComboBox->setCurrentIndex(1);
                form->OKBtn->click();
            }
        });
        EXPECT_EQ(prompts.selectPort({2, 5}, {}), PortChoice(5));
    }
    {
        OnModal cancel([](QWidget* w) {
            if (auto* form = qobject_cast<TComSelectForm*>(w))
                form->CancelBtn->click();
        });
        EXPECT_TRUE(std::holds_alternative<PortCancelled>(*prompts.selectPort({2, 5}, {})));
    }
}
