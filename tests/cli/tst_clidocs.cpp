#include "cli/CommandTable.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

// The options vistrel-cli accepts are those of its command table; its manual page and its bash
// completion are written by hand, so each is checked against the table both ways.
namespace {

QSet<QString> tableOptions(const CommandInfo &c) {
    QSet<QString> options{QStringLiteral("--help")};
    for (const OptionInfo &o : c.options)
        options.insert(QLatin1String(o.name));
    return options;
}

// Options named in a text: "-o", "--exclude-from", not the "-only" of "read-only".
QSet<QString> optionsIn(const QString &text) {
    static const QRegularExpression option(QStringLiteral("(?<![\\w-])(--?[a-z][a-z0-9-]*)"));
    QSet<QString> found;
    for (const QRegularExpressionMatch &m : option.globalMatch(text))
        found.insert(m.captured(1));
    return found;
}

QString readText(const char *path) {
    QFile file(QString::fromUtf8(path));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", path);
    return QString::fromUtf8(file.readAll());
}

// The manual page's text as it reads, font changes left out, and its sections: for each
// ".SS" under "COMMANDS", what it says, by the command it starts with.
struct ManPage {
    QHash<QString, QString> commands;
    QHash<QString, QString> sections;
};

ManPage readManPage() {
    ManPage page;
    QString section, command;
    for (QString line : readText(VISTREL_CLI_MANPAGE).split(u'\n')) {
        line.replace(QStringLiteral("\\-"), QStringLiteral("-"));
        line.remove(QRegularExpression(QStringLiteral("\\\\f[BIRP]")));
        if (line.startsWith(u".SH ")) {
            section = line.mid(4).remove(u'"');
            command.clear();
            continue;
        }
        if (line.startsWith(u".SS ") && section == u"COMMANDS") {
            command = line.mid(4).section(u' ', 0, 0);
            continue;
        }
        page.sections[section] += line + u'\n';
        if (!command.isEmpty())
            page.commands[command] += line + u'\n';
    }
    return page;
}

// Runs the completion as bash would for the words given, in `folder`, and returns its
// candidates.
QStringList complete(const QStringList &words, const QString &folder = QString()) {
    QString array;
    for (const QString &w : words)
        array += u'\'' + w + QStringLiteral("' ");
    const QString script = QStringLiteral("source '%1' || exit 3\n"
                                          "COMP_WORDS=(%2); COMP_CWORD=%3\n"
                                          "_vistrel_cli\n"
                                          "printf '%s\\n' \"${COMPREPLY[@]}\"\n")
                               .arg(QLatin1String(VISTREL_CLI_COMPLETION), array)
                               .arg(words.size() - 1);
    QProcess bash;
    if (!folder.isEmpty())
        bash.setWorkingDirectory(folder);
    bash.start(QStringLiteral("bash"), {QStringLiteral("-c"), script});
    if (!bash.waitForFinished() || bash.exitCode() != 0)
        qWarning("bash: %s", bash.readAllStandardError().constData());
    QStringList out = QString::fromUtf8(bash.readAllStandardOutput()).split(u'\n');
    out.removeAll(QString());
    out.sort();
    return out;
}

QStringList w(std::initializer_list<const char *> texts) {
    QStringList list;
    for (const char *t : texts)
        list << QString::fromUtf8(t);
    return list;
}

QSet<QString> asSet(const QStringList &list) {
    return QSet<QString>(list.begin(), list.end());
}

} // namespace

class TestCliDocs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void commands_data() {
        QTest::addColumn<QString>("command");
        for (const CommandInfo &c : commandTable())
            QTest::newRow(c.name) << QString::fromLatin1(c.name);
    }

    void manPageNamesEveryOptionAndNoOther_data() { commands_data(); }
    void manPageNamesEveryOptionAndNoOther() {
        QFETCH(QString, command);
        const CommandInfo &c = *findCommand(command);
        const ManPage page = readManPage();
        QVERIFY2(page.commands.contains(command), "no section of its own");
        QSet<QString> expected = tableOptions(c);
        expected.remove(QStringLiteral("--help")); // told once, under OPTIONS
        QCOMPARE(optionsIn(page.commands.value(command)), expected);
        QVERIFY(page.sections.value(QStringLiteral("SYNOPSIS"))
                    .contains(QStringLiteral("vistrel-cli ") + command));
    }

    void manPageNamesTheProgramsOwnOptions() {
        const QSet<QString> options =
            optionsIn(readManPage().sections.value(QStringLiteral("OPTIONS")));
        QCOMPARE(options, (QSet<QString>{QStringLiteral("--help"), QStringLiteral("-h"),
                                         QStringLiteral("--version")}));
    }

    void manPageHasTheSectionsAUserLooksFor() {
        const ManPage page = readManPage();
        for (const char *name : {"NAME", "SYNOPSIS", "DESCRIPTION", "COMMANDS", "OPTIONS", "FILES",
                                 "EXIT STATUS", "EXAMPLES", "SEE ALSO"})
            QVERIFY2(page.sections.contains(QLatin1String(name)), name);
    }

    void completionOffersEveryOptionAndNoOther_data() { commands_data(); }
    void completionOffersEveryOptionAndNoOther() {
        QFETCH(QString, command);
        const QStringList offered =
            complete({QStringLiteral("vistrel-cli"), command, QStringLiteral("-")});
        QCOMPARE(asSet(offered), tableOptions(*findCommand(command)));
        QCOMPARE(offered.size(), asSet(offered).size());
    }

    void completionOffersTheCommands() {
        QStringList expected{QStringLiteral("--help"), QStringLiteral("-h"),
                             QStringLiteral("--version")};
        for (const CommandInfo &c : commandTable())
            expected << QLatin1String(c.name);
        expected.sort();
        QCOMPARE(complete({QStringLiteral("vistrel-cli"), QString()}), expected);
        QCOMPARE(complete({QStringLiteral("vistrel-cli"), QStringLiteral("co")}),
                 QStringList{QStringLiteral("compare")});
    }

    void completionOfValues_data() {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QStringList>("expected");
        const QStringList snapshots = w({"-n.dir", "a.dir", "B.DIR", "sp ace.dir", "sub dir"});
        QTest::newRow("list: snapshot files and folders")
            << w({"vistrel-cli", "list", ""}) << snapshots;
        QTest::newRow("compare: the second file")
            << w({"vistrel-cli", "compare", "a.dir", "--tsv", ""}) << snapshots;
        QTest::newRow("with --with-folder, after the file: folders")
            << w({"vistrel-cli", "compare", "a.dir", "--with-folder", ""}) << w({"sub dir"});
        QTest::newRow("snapshot: folders") << w({"vistrel-cli", "snapshot", ""}) << w({"sub dir"});
        QTest::newRow("snapshot -o: snapshot files")
            << w({"vistrel-cli", "snapshot", "sub dir", "-o", ""}) << snapshots;
        QTest::newRow("export -o: CSV files")
            << w({"vistrel-cli", "export", "a.dir", "-o", ""}) << w({"d.csv", "sub dir"});
        QTest::newRow("import: any file") << w({"vistrel-cli", "import", "c"}) << w({"c.txt"});
        QTest::newRow("--ignore: the last attribute of the list")
            << w({"vistrel-cli", "compare", "a.dir", "b.dir", "--ignore", "read-only,h"})
            << w({"read-only,hidden"});
        QTest::newRow("--threads: nothing to offer")
            << w({"vistrel-cli", "snapshot", "sub dir", "--threads", ""}) << QStringList();
        QTest::newRow("after --: files, also one that starts with -")
            << w({"vistrel-cli", "list", "--", "-"}) << w({"-n.dir"});
        QTest::newRow("after --: no option values")
            << w({"vistrel-cli", "export", "--", "-o", ""}) << snapshots;
        QTest::newRow("compare, after --: the second file")
            << w({"vistrel-cli", "compare", "--with-folder", "--", "-n.dir", ""}) << w({"sub dir"});
        QTest::newRow("--exclude: nothing to offer")
            << w({"vistrel-cli", "compare", "a.dir", "--exclude", ""}) << QStringList();
    }

    void completionOfValues() {
        QFETCH(QStringList, words);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub dir")));
        for (const char *name : {"-n.dir", "a.dir", "B.DIR", "sp ace.dir", "c.txt", "d.csv"}) {
            QFile f(dir.filePath(QLatin1String(name)));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        expected.sort();
        QCOMPARE(complete(words, dir.path()), expected);
    }

    void helpNamesEveryOption_data() { commands_data(); }
    void helpNamesEveryOption() {
        QFETCH(QString, command);
        const CommandInfo &c = *findCommand(command);
        QString forms;
        for (const char *form : c.forms)
            forms += QLatin1String(form) + u'\n';
        QSet<QString> expected = tableOptions(c);
        expected.remove(QStringLiteral("--help"));
        QCOMPARE(optionsIn(forms), expected);
        QCOMPARE(optionsIn(commandHelp(c)), tableOptions(c));
        QVERIFY(programUsage().contains(commandUsage(c, false).mid(7)));
    }
};

QTEST_GUILESS_MAIN(TestCliDocs)
#include "tst_clidocs.moc"
