// perspix-cli: the headless front end. Analyses the given files and folders and prints
// what it finds.
#include <QCoreApplication>
#include <QDirIterator>
#include <QFileInfo>
#include <QTextStream>

#include "model/CoreSetup.h"
#include "model/Keys.h"
#include "model/PerspixData.h"

using namespace perspix;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Perspix"));
    setupCore();
    QTextStream out(stdout);
    QStringList files;
    for (const QString& arg : app.arguments().mid(1)) {
        if (QFileInfo(arg).isDir()) {
            QDirIterator it(arg, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext())
                files.append(it.next());
        } else {
            files.append(arg);
        }
    }
    files.sort();
    int failed = 0;
    for (const QString& file : files) {
        const auto data = PerspixData::dataAboutFile(file, {});
        out << file << '\n';
        if (!data) {
            out << "  (could not be analysed)\n";
            ++failed;
            continue;
        }
        if (const GeneralRecord* g = data->generalInfo()) {
            for (auto it = g->values.cbegin(); it != g->values.cend(); ++it)
                if (it.value().typeId() == QMetaType::QString)
                    out << "  " << it.key() << ": " << it.value().toString() << '\n';
        }
    }
    out.flush();
    return failed == files.size() && !files.isEmpty() ? 1 : 0;
}
