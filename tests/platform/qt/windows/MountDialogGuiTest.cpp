// GIO names a struct member `signals`, which Qt would take for its keyword.
#define QT_NO_KEYWORDS
#include "platform/qt/windows/QtMountDialog.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <gio/gio.h>
#include <gtest/gtest.h>

using namespace larkspire;

namespace {

bool runUntil(const std::function<bool()>& done) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > 3000) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

// A mount operation as GIO hands it to the program, answered by the Qt dialog (or by nobody).
struct MountOperation : ::testing::Test {
    MountOperation() {
        g_signal_connect(operation, "reply",
                         G_CALLBACK(+[](GMountOperation*, GMountOperationResult result, gpointer self) {
                             static_cast<MountOperation*>(self)->results.push_back(result);
                         }),
                         this);
    }
    ~MountOperation() override {
        while (auto* open = QApplication::activeModalWidget()) delete open;
        g_object_unref(operation);
    }
    void askPassword(const char* message, const char* user, const char* domain, int flags) {
        g_signal_emit_by_name(operation, "ask-password", message, user, domain,
                              static_cast<GAskPasswordFlags>(flags));
    }
    QDialog& dialog() {
        auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!open) throw std::runtime_error("no dialog open");
        return *open;
    }
    QPushButton* button(const QString& text) {
        for (auto* button : dialog().findChildren<QPushButton*>())
            if (button->text() == text) return button;
        throw std::runtime_error("no button " + text.toStdString());
    }
    bool replied() {
        return runUntil([this] { return !results.empty(); });
    }
    std::string value(const char* (*get)(GMountOperation*)) {
        auto* text = get(operation);
        return text ? text : "(none)";
    }

    GMountOperation* operation = g_mount_operation_new();
    std::vector<GMountOperationResult> results;
};

constexpr int everything = G_ASK_PASSWORD_NEED_USERNAME | G_ASK_PASSWORD_NEED_DOMAIN |
                           G_ASK_PASSWORD_NEED_PASSWORD | G_ASK_PASSWORD_SAVING_SUPPORTED;

TEST_F(MountOperation, TheFilledInCredentialsAndTheChosenKeepingAreHandedToGio) {
    linux_desktop::answerMountQuestions(operation, qt::askMountQuestion);
    for (auto [choice, saving] :
         {std::pair{"never", G_PASSWORD_SAVE_NEVER}, std::pair{"session", G_PASSWORD_SAVE_FOR_SESSION},
          std::pair{"permanently", G_PASSWORD_SAVE_PERMANENTLY}}) {
        results.clear();
        askPassword("Passwort für <b>anna</b> auf nas", "anna", "WG", everything);
        auto* user = dialog().findChild<QLineEdit*>("user");
        auto* domain = dialog().findChild<QLineEdit*>("domain");
        auto* password = dialog().findChild<QLineEdit*>("password");
        ASSERT_TRUE(user && domain && password);
        EXPECT_EQ(user->text(), "anna");
        EXPECT_EQ(domain->text(), "WG");
        EXPECT_EQ(password->echoMode(), QLineEdit::Password);
        EXPECT_TRUE(dialog().findChild<QRadioButton*>("never")->isChecked());
        bool plainMessage = false;
        for (auto* label : dialog().findChildren<QLabel*>())
            if (label->text() == "Passwort für <b>anna</b> auf nas")
                plainMessage = label->textFormat() == Qt::PlainText;
        EXPECT_TRUE(plainMessage);

        user->setText("bert");
        domain->setText("BÜRO");
        password->setText("gé heim'\"");
        dialog().findChild<QRadioButton*>(choice)->setChecked(true);
        button("Verbinden")->click();
        ASSERT_TRUE(replied()) << choice;
        EXPECT_EQ(results, std::vector{G_MOUNT_OPERATION_HANDLED});
        EXPECT_EQ(value(g_mount_operation_get_username), "bert");
        EXPECT_EQ(value(g_mount_operation_get_domain), "BÜRO");
        EXPECT_EQ(value(g_mount_operation_get_password), "gé heim'\"");
        EXPECT_EQ(g_mount_operation_get_password_save(operation), saving) << choice;
    }
}

TEST_F(MountOperation, CancellingGivesUpWithoutHandingOverWhatWasTyped) {
    linux_desktop::answerMountQuestions(operation, qt::askMountQuestion);
    askPassword("Passwort für nas", "anna", "", everything);
    dialog().findChild<QLineEdit*>("password")->setText("geheim");
    button("Abbrechen")->click();
    ASSERT_TRUE(replied());
    EXPECT_EQ(results, std::vector{G_MOUNT_OPERATION_ABORTED});
    EXPECT_EQ(value(g_mount_operation_get_password), "(none)");

    // Closing the window is the same.
    results.clear();
    askPassword("Passwort für nas", "anna", "", everything);
    dialog().reject();
    ASSERT_TRUE(replied());
    EXPECT_EQ(results, std::vector{G_MOUNT_OPERATION_ABORTED});
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(MountOperation, OnlyWhatGioAsksForIsShownAndTheRestKeepsItsSuggestion) {
    linux_desktop::answerMountQuestions(operation, qt::askMountQuestion);
    askPassword("Passwort für anna@127.0.0.1", "anna", "", G_ASK_PASSWORD_NEED_PASSWORD);
    EXPECT_EQ(dialog().findChild<QLineEdit*>("user"), nullptr);
    EXPECT_EQ(dialog().findChild<QLineEdit*>("domain"), nullptr);
    EXPECT_TRUE(dialog().findChildren<QRadioButton*>().isEmpty());  // no keyring, nothing to remember
    dialog().findChild<QLineEdit*>("password")->setText("x");
    button("Verbinden")->click();
    ASSERT_TRUE(replied());
    EXPECT_EQ(results, std::vector{G_MOUNT_OPERATION_HANDLED});
    EXPECT_EQ(value(g_mount_operation_get_username), "anna");
    EXPECT_EQ(value(g_mount_operation_get_password), "x");
    EXPECT_EQ(g_mount_operation_get_password_save(operation), G_PASSWORD_SAVE_NEVER);
}

TEST_F(MountOperation, AQuestionIsAnsweredWithTheChosenButtonOrGivenUpWhenClosed) {
    linux_desktop::answerMountQuestions(operation, qt::askMountQuestion);
    const char* choices[] = {"Trotzdem verbinden", "Abbrechen", nullptr};
    for (int chosen : {1, 0}) {
        results.clear();
        g_signal_emit_by_name(operation, "ask-question", "Der Schlüssel des Rechners ist unbekannt.",
                              choices);
        button(choices[chosen])->click();
        ASSERT_TRUE(replied());
        EXPECT_EQ(results, std::vector{G_MOUNT_OPERATION_HANDLED});
        EXPECT_EQ(g_mount_operation_get_choice(operation), chosen);
    }
    results.clear();
    g_signal_emit_by_name(operation, "ask-question", "Noch einmal?", choices);
    dialog().reject();
    ASSERT_TRUE(replied());
    EXPECT_EQ(results, std::vector{G_MOUNT_OPERATION_ABORTED});
}

TEST_F(MountOperation, WithoutSomeoneToAskEveryQuestionIsGivenUpAndNothingShows) {
    linux_desktop::answerMountQuestions(operation, {});
    askPassword("Passwort für nas", "anna", "", everything);
    const char* choices[] = {"Ja", nullptr};
    g_signal_emit_by_name(operation, "ask-question", "Verbinden?", choices);
    EXPECT_EQ(results, (std::vector{G_MOUNT_OPERATION_ABORTED, G_MOUNT_OPERATION_ABORTED}));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
