// quillon-convert: batch conversion between format files and scale data files.
#include "commands.h"
#include "quillonversion.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <memory>
#include <QDir>
#include <QTextStream>
#include <cstdio>

namespace quillon::convert {

QList<Subcommand>& Subcommands()
{
    static QList<Subcommand> list;
    return list;
}

thread_local QString* t_captured = nullptr;

void CaptureFailures(QString* line) { t_captured = line; }

int Fail(const QString& file, const QString& what)
{
    QString line = QDir::toNativeSeparators(file) + QStringLiteral(": ") + what;
    line.replace(u'\n', u' ');
    if (t_captured)
        *t_captured = line;
    else
        std::fprintf(stderr, "%s\n", qPrintable(line));
    return kBadInput;
}

int Usage(const QString& why)
{
    QTextStream err(stderr);
    if (!why.isEmpty())
        err << "quillon-convert: " << why << "\n";
    err << "usage:\n";
    for (const Subcommand& s : Subcommands()) {
        err << "  quillon-convert [--program-dir DIR] " << s.name << " " << s.synopsis << "\n";
        if (s.batchArity > 0)
            err << "  quillon-convert [--program-dir DIR] " << s.name << " " << s.batchSynopsis << "\n";
    }
    return kUsage;
}

namespace {

// On standard output with status 0, so that help2man and the shell completion can read it.
int Help()
{
    QTextStream out(stdout);
    const char* lead = "Usage:";
    for (const Subcommand& s : Subcommands()) {
        out << lead << " quillon-convert [--program-dir DIR] " << s.name << " " << s.synopsis << "\n";
        lead = "  or: ";
    }
    out << "Converts label format files (*.QLF) to and from the data files of retail scales,\n"
           "and sends labels to scales or receives them without the program's windows.\n"
           "\nOptions:\n"
           "  --program-dir DIR  load settings, catalogues and databases from the program\n"
           "                     folder DIR (default: $QUILLON_PROGRAM_DIR, else the\n"
           "                     folder of quillon-convert)\n"
           "  --help             print this help and exit\n"
           "  --version          print the version and exit\n"
           "\nsend and receive print one line per scale (--json: one object per scale and\n"
           "data type) and exit 0 when every scale succeeded, 3 when some failed.\n";
    return kOk;
}

} // namespace

} // namespace quillon::convert

int main(int argc, char** argv)
{
    using namespace quillon;
    using namespace quillon::convert;
    // Only render draws text, which needs the GUI library (but no display); the
    // other commands stay windowless, so a desktop session is never required.
    bool rendering = false;
    for (int i = 1; i < argc; ++i)
        rendering = rendering || qstrcmp(argv[i], "render") == 0;
    std::unique_ptr<QCoreApplication> application;
    if (rendering) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
            && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        application = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication& app = *application;
    QStringList args = app.arguments().mid(1);
    if (args.contains(QLatin1String("--version"))) {
        std::printf("quillon-convert %s\n", QUILLON_VERSION);
        return kOk;
    }
    if (args.contains(QLatin1String("--help")))
        return Help();

    QString programDir;
    QString command;
    QHash<QString, QString> options;
    QStringList positional;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--preview") || a == QLatin1String("--json") || a == QLatin1String("--all")) {
            options.insert(a, QStringLiteral("1"));   // the options without a value
        } else if (a == QLatin1String("--to")) {
            // Every address up to the next option; given again, it adds more.
            QStringList to = options.value(a).split(u'\n', Qt::SkipEmptyParts);
            const qsizetype before = to.size();
            while (i + 1 < args.size() && !args[i + 1].startsWith(QLatin1String("--")))
                to << args[++i];
            if (to.size() == before)
                return Usage(QStringLiteral("--to needs one or more addresses"));
            options.insert(a, to.join(u'\n'));
        } else if (a.startsWith(QLatin1String("--"))) {
            if (i + 1 >= args.size())
                return Usage(QStringLiteral("%1 needs a value").arg(a));
            if (a == QLatin1String("--program-dir"))
                programDir = args[++i];
            else
                options.insert(a, args[++i]);
        } else if (command.isEmpty()) {
            command = a;
        } else {
            positional.append(a);
        }
    }
    const Subcommand* sub = nullptr;
    for (const Subcommand& s : Subcommands())
        if (s.name == command)
            sub = &s;
    if (!sub)
        return Usage(command.isEmpty() ? QString() : QStringLiteral("unknown command %1").arg(command));
    if (options.contains(QStringLiteral("--out-dir"))) {
        if (sub->batchArity == 0)
            return Usage(QStringLiteral("%1 does not take --out-dir").arg(command));
        if (positional.isEmpty() || positional.size() % sub->batchArity)
            return Usage(sub->batchArity == 1
                             ? QStringLiteral("%1 --out-dir takes one or more files").arg(command)
                             : QStringLiteral("%1 --out-dir takes files in groups of %2").arg(command).arg(sub->batchArity));
    } else if (positional.size() != sub->positional) {
        return Usage(QStringLiteral("%1 takes %2 file arguments").arg(command).arg(sub->positional));
    }
    for (auto it = options.cbegin(); it != options.cend(); ++it)
        if (!sub->options.contains(it.key()) && !(sub->batchArity > 0 && it.key() == QLatin1String("--out-dir")))
            return Usage(QStringLiteral("%1 does not take %2").arg(command, it.key()));

    if (programDir.isEmpty())
        programDir = ProgramDirectory(QCoreApplication::applicationDirPath());
    AppContext ctx;
    SetApp(&ctx);
    // The loading steps have already reported what failed.
    if (!ctx.LoadAll(QDir(programDir).absolutePath()))
        return kBadInput;
    Invocation inv{ctx, positional, options};
    const int status = sub->run(inv);
    SetApp(nullptr);
    return status;
}
