#pragma once

#include "app/CommandHost.h"
#include "app/CompareCommands.h"
#include "app/FileCommands.h"
#include "app/MainWindow.h"
#include "app/PrintCommands.h"
#include "app/Prompts.h"
#include "support/TestLists.h"

#include <QApplication>
#include <QDialog>
#include <QList>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <cmath>
#include <memory>

// Answers the program's questions for a test and keeps what was asked.
class TestPrompts : public Prompts {
public:
    struct Asked {
        QString title;
        QString text;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
    };
    QList<Asked> asked;
    // Answers in order; when none is left the first offered button answers.
    QList<QMessageBox::StandardButton> answers;
    QStringList files;
    // The filter entry each save dialog closes with; when none is left, the one it opened with.
    QList<int> saveFilters;
    struct FileAsked {
        QString title;
        QString folder;
        QString proposed;
        QString filter; // open: the filter; save: the filters joined by ";;"
        int selected = 0;
    };
    QList<FileAsked> fileAsked;

    QMessageBox::StandardButton message(QWidget *, const QString &title, const QString &text,
                                        QMessageBox::Icon icon,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton) override {
        asked.append({title, text, icon, buttons});
        if (!answers.isEmpty())
            return answers.takeFirst();
        for (int bit = 0; bit < 32; ++bit) {
            const auto button = static_cast<QMessageBox::StandardButton>(1u << bit);
            if (buttons.testFlag(button))
                return button;
        }
        return QMessageBox::NoButton;
    }
    QString openFile(QWidget *, const QString &title, const QString &folder,
                     const QString &filter) override {
        fileAsked.append({title, folder, QString(), filter, 0});
        return files.isEmpty() ? QString() : files.takeFirst();
    }
    SaveChoice saveFile(QWidget *, const QString &title, const QString &folder,
                        const QString &proposed, const QStringList &filters,
                        int selected) override {
        fileAsked.append({title, folder, proposed, filters.join(QStringLiteral(";;")), selected});
        if (files.isEmpty())
            return {};
        const int filter = saveFilters.isEmpty() ? selected : saveFilters.takeFirst();
        return {files.takeFirst(), filter};
    }
};

// Closes every modal dialog that opens while it lives, as a user pressing Esc would.
class DialogCloser {
public:
    DialogCloser() {
        QObject::connect(&m_timer, &QTimer::timeout, [] {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                dialog->reject();
        });
        m_timer.start(20);
    }

private:
    QTimer m_timer;
};

// A settings store in a temporary folder, never the user's.
class TestStore {
public:
    TestStore() {
        QStandardPaths::setTestModeEnabled(true);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
        reopen();
    }
    QSettings &settings() { return *m_settings; }
    // A fresh store object over the same file, as the next run of the program would see it.
    QSettings &reopen() {
        if (m_settings)
            m_settings->sync();
        m_settings = std::make_unique<QSettings>(m_dir.filePath(QStringLiteral("Vistrel.ini")),
                                                 QSettings::IniFormat);
        return *m_settings;
    }
    QString value(const QString &key) {
        reopen();
        return m_settings->value(QStringLiteral("Settings/") + key).toString();
    }
    bool contains(const QString &key) {
        reopen();
        return m_settings->contains(QStringLiteral("Settings/") + key);
    }
    void set(const QString &key, const QString &value) {
        m_settings->setValue(QStringLiteral("Settings/") + key, value);
        m_settings->sync();
    }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QSettings> m_settings;
};
