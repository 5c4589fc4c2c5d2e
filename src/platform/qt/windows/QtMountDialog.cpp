#include "platform/qt/windows/QtMountDialog.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

namespace larkspire::qt {

using linux_desktop::MountAnswer;
using linux_desktop::PasswordSaving;

namespace {

QDialog* newDialog(const std::string& message, QVBoxLayout*& layout) {
    auto* dialog = new QDialog;
    dialog->setObjectName("larkspireMountDialog");
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle("Larkspire");
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->setWindowFlag(Qt::WindowStaysOnTopHint);
    layout = new QVBoxLayout(dialog);
    // GIO's message names hosts and users, which are never markup.
    auto* label = new QLabel(QString::fromStdString(message));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    layout->addWidget(label);
    return dialog;
}

QLineEdit* addField(QFormLayout* form, const char* name, const QString& label, const std::string& text) {
    auto* field = new QLineEdit(QString::fromStdString(text));
    field->setObjectName(name);
    form->addRow(label, field);
    return field;
}

void show(QDialog* dialog) {
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void askCredentials(const linux_desktop::MountQuestion& question,
                    std::function<void(const MountAnswer&)> reply) {
    QVBoxLayout* layout = nullptr;
    auto* dialog = newDialog(question.message, layout);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    auto* user =
        question.needsUser ? addField(form, "user", qtTrId("Benutzername:"), question.user) : nullptr;
    auto* domain =
        question.needsDomain ? addField(form, "domain", qtTrId("Domäne:"), question.domain) : nullptr;
    QLineEdit* password = nullptr;
    if (question.needsPassword) {
        password = addField(form, "password", qtTrId("Passwort:"), {});
        password->setEchoMode(QLineEdit::Password);
    }
    QRadioButton *session = nullptr, *permanently = nullptr;
    if (question.offersSaving) {
        auto* never = new QRadioButton(qtTrId("Passwort nicht speichern"));
        never->setObjectName("never");
        never->setChecked(true);
        session = new QRadioButton(qtTrId("Passwort bis zum Abmelden merken"));
        session->setObjectName("session");
        permanently = new QRadioButton(qtTrId("Passwort dauerhaft speichern"));
        permanently->setObjectName("permanently");
        for (auto* button : {never, session, permanently}) layout->addWidget(button);
    }
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(qtTrId("Verbinden"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(qtTrId("Abbrechen"), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addWidget(buttons);
    // Only the fields GIO asked for are sent back; the rest keep its suggestions.
    QObject::connect(dialog, &QDialog::finished, dialog, [=, reply = std::move(reply)](int result) {
        MountAnswer answer{
            .handled = result == QDialog::Accepted, .user = question.user, .domain = question.domain};
        if (answer.handled) {
            if (user) answer.user = user->text().toStdString();
            if (domain) answer.domain = domain->text().toStdString();
            if (password) answer.password = password->text().toStdString();
            answer.saving = permanently && permanently->isChecked() ? PasswordSaving::permanently
                            : session && session->isChecked()       ? PasswordSaving::forSession
                                                                    : PasswordSaving::never;
        }
        reply(answer);
    });
    if (user && user->text().isEmpty())
        user->setFocus();
    else if (password)
        password->setFocus();
    show(dialog);
}

void askChoice(const linux_desktop::MountQuestion& question, std::function<void(const MountAnswer&)> reply) {
    QVBoxLayout* layout = nullptr;
    auto* dialog = newDialog(question.message, layout);
    auto* row = new QHBoxLayout;
    row->addStretch();
    layout->addLayout(row);
    auto chosen = std::make_shared<int>(-1);
    for (std::size_t index = 0; index < question.choices.size(); ++index) {
        auto* button = new QPushButton(QString::fromStdString(question.choices[index]));
        button->setAutoDefault(false);
        row->addWidget(button);
        QObject::connect(button, &QPushButton::clicked, dialog, [dialog, chosen, index] {
            *chosen = static_cast<int>(index);
            dialog->accept();
        });
    }
    // Closing the window answers nothing, which GIO takes as giving up.
    QObject::connect(dialog, &QDialog::finished, dialog, [chosen, reply = std::move(reply)](int) {
        reply(MountAnswer{.handled = *chosen >= 0, .choice = std::max(*chosen, 0)});
    });
    show(dialog);
}

}  // namespace

void askMountQuestion(const linux_desktop::MountQuestion& question,
                      std::function<void(const MountAnswer&)> reply) {
    if (question.choices.empty())
        askCredentials(question, std::move(reply));
    else
        askChoice(question, std::move(reply));
}

}  // namespace larkspire::qt
