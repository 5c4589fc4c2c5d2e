#include "platform/qt/QtApp.h"
#include "platform/qt/windows/QtAlerts.h"
#include "platform/qt/windows/QtFolderPicker.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace larkspire;

namespace {

// Counts how often the application was asked to come to the front.
class CountingControl : public ApplicationControl {
  public:
    void terminate() override {}
    void activateIgnoringOtherApps() override { ++activations; }
    int activations = 0;
};

// Runs `inspect` on the modal dialog once it is open; the dialog's own loop keeps this timer going.
template <class Dialog> void whenModalOpens(std::function<void(Dialog&)> inspect) {
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, inspect] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        poll->stop();
        poll->deleteLater();
        inspect(*dialog);
    });
    poll->start(10);
}

TEST(QtAlerts, ShowsAWarningWithOneDefaultButtonAfterComingToTheFront) {
    CountingControl control;
    qt::QtAlerts alerts(control);
    QString text, informative;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    qsizetype buttons = 0;
    bool defaultIsOnly = false;
    whenModalOpens<QMessageBox>([&](QMessageBox& box) {
        text = box.text();
        informative = box.informativeText();
        icon = box.icon();
        buttons = box.buttons().size();
        defaultIsOnly = box.defaultButton() == box.buttons().value(0);
        box.defaultButton()->click();
    });
    alerts.showWarning("Nicht zur Seitenleiste hinzugefügt", "„Daten“ ist kein Ordner.");
    EXPECT_EQ(control.activations, 1);
    EXPECT_EQ(text, "Nicht zur Seitenleiste hinzugefügt");
    EXPECT_EQ(informative, "„Daten“ ist kein Ordner.");
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(buttons, 1);
    EXPECT_TRUE(defaultIsOnly);
}

TEST(QtAlerts, NamesInTheTextAreShownAsTheyAreNotAsMarkup) {
    CountingControl control;
    qt::QtAlerts alerts(control);
    std::vector<std::pair<QString, Qt::TextFormat>> labels;
    whenModalOpens<QMessageBox>([&](QMessageBox& box) {
        for (auto* label : box.findChildren<QLabel*>())
            if (!label->text().isEmpty()) labels.emplace_back(label->text(), label->textFormat());
        box.defaultButton()->click();
    });
    alerts.showWarning("Datei konnte nicht erstellt werden", "/tmp/<b>Entwurf</b>\n\nPermission denied");
    ASSERT_EQ(labels.size(), 2u);
    for (const auto& [text, format] : labels) EXPECT_EQ(format, Qt::PlainText) << text.toStdString();
}

TEST(QtFolderPicker, ChoosesSeveralFoldersOnlyFromTheStartFolderWithItsConfirmTitle) {
    CountingControl control;
    qt::QtFolderPicker picker(control);
    QTemporaryDir start;
    QDir(start.path()).mkdir("Projekte");
    QDir(start.path()).mkdir("Fotos");
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    bool dirsOnly = false;
    QString directory, confirm;
    bool severalAtOnce = true;
    int views = 0;
    whenModalOpens<QFileDialog>([&](QFileDialog& dialog) {
        mode = dialog.fileMode();
        dirsOnly = dialog.testOption(QFileDialog::ShowDirsOnly);
        directory = dialog.directory().absolutePath();
        confirm = dialog.labelText(QFileDialog::Accept);
        // The list and detail views of the folder's contents.
        for (const char* name : {"listView", "treeView"}) {
            auto* view = dialog.findChild<QAbstractItemView*>(name);
            if (!view) continue;
            ++views;
            severalAtOnce &= view->selectionMode() == QAbstractItemView::ExtendedSelection;
        }
        dialog.reject();
    });
    auto chosen = picker.chooseFolders(
        {.startFolder = start.path().toStdString(), .confirmTitle = "Zur Seitenleiste hinzufügen"});
    EXPECT_TRUE(chosen.empty());  // cancelled
    EXPECT_EQ(control.activations, 1);
    EXPECT_EQ(mode, QFileDialog::Directory);
    EXPECT_TRUE(dirsOnly);
    EXPECT_EQ(directory, QDir(start.path()).absolutePath());
    EXPECT_EQ(confirm, "Zur Seitenleiste hinzufügen");
    EXPECT_EQ(views, 2);
    EXPECT_TRUE(severalAtOnce);
}

TEST(QtFolderPicker, ReturnsTheChosenFoldersAsFileUrlsAndStartsAtHomeWithoutAStartFolder) {
    CountingControl control;
    qt::QtFolderPicker picker(control);
    QTemporaryDir start;
    QDir(start.path()).mkdir("Projekte");
    QString directory;
    whenModalOpens<QFileDialog>([&](QFileDialog& dialog) {
        directory = dialog.directory().absolutePath();
        // Confirming with nothing selected chooses the folder shown.
        dialog.setDirectory(start.filePath("Projekte"));
        QMetaObject::invokeMethod(&dialog, "accept");
    });
    auto chosen = picker.chooseFolders({.startFolder = "/gibt/es/nicht", .confirmTitle = "Wählen"});
    EXPECT_EQ(directory, QDir::homePath());
    ASSERT_EQ(chosen.size(), 1u);
    EXPECT_TRUE(chosen[0].isFileUrl());
    EXPECT_EQ(chosen[0].path(), QDir(start.filePath("Projekte")).absolutePath().toStdString());
}

}  // namespace
