// The Diagnostics menu (see DiagnosticsCommands.h).
#include "app/commands/DiagnosticsCommands.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QSaveFile>
#include <QThread>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "app/mainwindow/MainView.h"
#include "app/mainwindow/MainWindowController.h"
#include "model/Log.h"
#include "model/PropertyList.h"
#include "readers/image/oEXIV2.h"
#include "readers/mediainfo/oMediaInfo.h"
#include "taglink/Taglink.h"

namespace perspix {

namespace {

const QString kSectionRule = QStringLiteral("----------------------");
const QString kFormatsRule = QStringLiteral("============================");

std::optional<QString> fromStd(const std::optional<std::string>& text)
{
    if (!text)
        return std::nullopt;
    return QString::fromStdString(*text);
}

// Makes the text off the main thread, then hands it to the window (if still open).
void produce(MainWindowController* window, std::function<std::optional<QString>(QString)> make,
             std::function<void(MainWindowController*, const QString&)> use)
{
    const FilelistItemPtr item = window->myView()->currentFile();
    if (!item)
        return;
    const QString path = item->filename();
    QPointer<MainWindowController> guard(window);
    QThread* thread = QThread::create([path, make, use, guard] {
        const QString text = make(path).value_or(DiagnosticsCommands::kNoOutput);
        QMetaObject::invokeMethod(
            qApp,
            [guard, text, use] {
                if (guard)
                    use(guard, text);
            },
            Qt::QueuedConnection);
    });
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

void toClipboard(MainWindowController*, const QString& text)
{
    QApplication::clipboard()->setText(text);
}

void toCustomTab(MainWindowController* window, const QString& text)
{
    QPlainTextEdit* custom = window->myView()->customView();
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(12);
    custom->setFont(font);
    custom->setPlainText(text);
    window->setCurrentTab(MainWindowController::CustomTab);
}

QString hexBytes(const QByteArray& bytes)
{
    QString text;
    text.reserve(bytes.size() * 2);
    for (const char byte : bytes)
        text += QString::asprintf("%02X", static_cast<unsigned char>(byte));
    return text;
}

} // namespace

QString DiagnosticsCommands::libParametersCSV()
{
    oMediaInfo mi;
    const QString csv = mi.OptionGet(QStringLiteral("Info_Parameters_CSV"));
    static const QRegularExpression lineBreak(QStringLiteral("[\r\n]"));
    QStringList lines;
    for (const QString& line : csv.split(lineBreak, Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(QLatin1Char(';'));
        // A section starts with its stream kind alone on a line.
        if (fields.size() == 1 && !lines.isEmpty())
            lines.append(kSectionRule);
        for (const QString& field : fields)
            if (!field.trimmed().isEmpty())
                lines.append(field.trimmed());
    }
    return lines.join(QLatin1Char('\n'));
}

std::optional<QByteArray> DiagnosticsCommands::libParametersPlist()
{
    QVariantMap sections;
    const ParameterDictionary dictionary = oMediaInfo::dictionaryOfParameters();
    for (auto it = dictionary.constBegin(); it != dictionary.constEnd(); ++it)
        sections.insert(it.key(), QVariant(it.value()));
    QString error;
    const std::optional<QByteArray> bytes = PropertyList::toXml(sections, &error);
    if (!bytes)
        logLine(QStringLiteral("Failed to serialize MediaInfo parameters: %1").arg(error));
    return bytes;
}

std::optional<QString> DiagnosticsCommands::prettyXmp(const QString& xmp)
{
    if (xmp.trimmed().isEmpty())
        return std::nullopt;
    QXmlStreamReader reader(xmp);
    QString out;
    QXmlStreamWriter writer(&out);
    writer.setAutoFormatting(true);
    writer.setAutoFormattingIndent(2);
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.tokenType() == QXmlStreamReader::StartDocument ||
            reader.tokenType() == QXmlStreamReader::EndDocument ||
            (reader.isCharacters() && reader.isWhitespace()))
            continue;
        writer.writeCurrentToken(reader);
    }
    // A packet the reader gives up on is shown as it stands.
    if (reader.hasError())
        return xmp;
    return out.trimmed();
}

std::optional<QString> DiagnosticsCommands::mp4Metadata(const QString& path)
{
    const std::optional<std::string> json =
        taglink::Taglink::exiftoolBinaryOutputForFile(path.toStdString());
    const QJsonDocument document =
        json ? QJsonDocument::fromJson(QByteArray::fromStdString(*json)) : QJsonDocument();
    const QJsonObject tags = document.isArray() && !document.array().isEmpty()
                                 ? document.array().first().toObject()
                                 : QJsonObject();
    // Keys are "family0:family1:family2:copy:Tag"; QuickTime metadata items live in the
    // family-1 groups named after their metadata format.
    QMap<QString, QStringList> formats;
    QStringList order;
    for (auto it = tags.constBegin(); it != tags.constEnd(); ++it) {
        const QStringList parts = it.key().split(QLatin1Char(':'));
        if (parts.size() != 5 || parts[0] != QStringLiteral("QuickTime"))
            continue;
        const QString format = parts[1];
        if (format == QStringLiteral("QuickTime") || format.startsWith(QStringLiteral("Track")))
            continue; // the movie's structure, not its metadata items
        QString tag = parts[4];
        QString locale;
        const qsizetype dash = tag.indexOf(QLatin1Char('-'));
        if (dash > 0) {
            locale = tag.mid(dash + 1);
            tag = tag.left(dash);
        }
        QString dataType;
        QString text;
        qint64 length = 0;
        const QJsonValue value = it.value();
        if (value.isString() && value.toString().startsWith(QStringLiteral("base64:"))) {
            const QByteArray bytes = QByteArray::fromBase64(value.toString().mid(7).toLatin1());
            dataType = QStringLiteral("data");
            text = hexBytes(bytes);
            length = bytes.size();
        } else if (value.isDouble()) {
            dataType = QStringLiteral("number");
            text = QString::number(value.toDouble(), 'g', 15);
            length = text.size();
        } else {
            dataType = QStringLiteral("string");
            text = value.isArray()
                       ? QString::fromUtf8(
                             QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact))
                       : value.toVariant().toString();
            length = text.size();
        }
        if (!formats.contains(format))
            order.append(format);
        formats[format].append(
            QStringLiteral("identifier=%1, dataType=%2, locale=%3, length=%4, str=%5")
                .arg(format + QLatin1Char('/') + tag, dataType, locale)
                .arg(length)
                .arg(text));
    }
    if (order.isEmpty()) {
        logLine(QStringLiteral("Failed to create AVAsset or is not readable - %1").arg(path));
        return std::nullopt;
    }
    QStringList blocks;
    blocks.append(QStringLiteral("Metadata Formats:\n") + order.join(QLatin1Char('\n')));
    for (const QString& format : order)
        blocks.append(kFormatsRule + QLatin1Char('\n') + format + QLatin1Char('\n') +
                      formats.value(format).join(QLatin1Char('\n')));
    return blocks.join(QLatin1Char('\n'));
}

std::optional<QString> DiagnosticsCommands::imageioProperties(const QString& path)
{
    QImageReader reader(path);
    if (!reader.canRead()) {
        logLine(QStringLiteral("failed to load source: %1").arg(int(reader.error())));
        return std::nullopt;
    }
    QStringList lines;
    const auto add = [&lines](const QString& key, const QString& value) {
        lines.append(QStringLiteral("    %1 = %2;").arg(key, value));
    };
    add(QStringLiteral("Format"), QString::fromLatin1(reader.format()));
    if (!reader.subType().isEmpty())
        add(QStringLiteral("SubType"), QString::fromLatin1(reader.subType()));
    const QSize size = reader.size();
    add(QStringLiteral("PixelWidth"), QString::number(size.width()));
    add(QStringLiteral("PixelHeight"), QString::number(size.height()));
    add(QStringLiteral("ImageCount"), QString::number(reader.imageCount()));
    add(QStringLiteral("SupportsAnimation"),
        reader.supportsAnimation() ? QStringLiteral("1") : QStringLiteral("0"));
    add(QStringLiteral("Transformation"), QString::number(int(reader.transformation())));
    add(QStringLiteral("ImageFormat"), QString::number(int(reader.imageFormat())));
    for (const QString& key : reader.textKeys())
        add(key, reader.text(key).replace(QLatin1Char('\n'), QStringLiteral("\\n")));
    return QStringLiteral("%1 %2").arg(path, QStringLiteral("{\n%1\n}").arg(lines.join('\n')));
}

QMenu* DiagnosticsCommands::buildMenu(MainWindowController* window)
{
    auto* menu = new QMenu(QObject::tr("&Diagnostics"), window);
    menu->setObjectName(QStringLiteral("diagnosticsMenu"));
    const auto copyOf = [window, menu](const QString& title,
                                       std::function<std::optional<QString>(QString)> make) {
        QAction* action = menu->addAction(title);
        QObject::connect(action, &QAction::triggered, window,
                         [window, make] { produce(window, make, toClipboard); });
        return action;
    };
    copyOf(QObject::tr("Copy MediaInfo Parameters"), [](const QString&) -> std::optional<QString> {
        return libParametersCSV();
    })->setObjectName(QStringLiteral("copyLibParametersCSV"));
    QAction* plist = menu->addAction(QObject::tr("Save MediaInfo Parameters…"));
    plist->setObjectName(QStringLiteral("copyLibParametersCSV2"));
    QObject::connect(plist, &QAction::triggered, window, [window] {
        auto* dialog = new QFileDialog(window, QObject::tr("Save MediaInfo Parameters"));
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setWindowModality(Qt::WindowModal);
        dialog->selectFile(QStringLiteral("MediaInfoParameters.plist"));
        QObject::connect(dialog, &QFileDialog::fileSelected, window, [](const QString& path) {
            const std::optional<QByteArray> bytes = libParametersPlist();
            QSaveFile file(path);
            if (!bytes || !file.open(QIODevice::WriteOnly) || file.write(*bytes) != bytes->size() ||
                !file.commit())
                logLine(QStringLiteral("Failed to write %1").arg(path));
        });
        dialog->open();
    });
    menu->addSeparator();
    copyOf(QObject::tr("Copy MediaInfo Output"), &oMediaInfo::InformCompleteOnFile)
        ->setObjectName(QStringLiteral("copyMediaInfoOutput"));
    copyOf(QObject::tr("Copy MediaInfo Trace"), &oMediaInfo::InformTraceOnFile)
        ->setObjectName(QStringLiteral("copyMediaInfoTraceOutput"));
    menu->addSeparator();
    copyOf(QObject::tr("Copy Exiv2 Output"), &oEXIV2::outputOnFile)
        ->setObjectName(QStringLiteral("copyExiv2Output"));
    copyOf(QObject::tr("Copy Exiv2 Structure"), &oEXIV2::structureOfFile)
        ->setObjectName(QStringLiteral("copyExiv2Structure"));
    const auto xmpOf = [](const QString& path) -> std::optional<QString> {
        const std::optional<QString> xmp = oEXIV2::rawXmpOfFile(path);
        return xmp ? prettyXmp(*xmp) : std::nullopt;
    };
    copyOf(QObject::tr("Copy Raw XMP"), xmpOf)->setObjectName(QStringLiteral("copyExiv2Xmp"));
    menu->addSeparator();
    const auto exiftoolOf = [](const QString& path) {
        return fromStd(taglink::Taglink::exiftoolOutputForFile(path.toStdString()));
    };
    copyOf(QObject::tr("Copy ExifTool Output"), exiftoolOf)
        ->setObjectName(QStringLiteral("copyExiftoolOutput"));
    QAction* custom = menu->addAction(QObject::tr("Show ExifTool Output in the Custom Tab"));
    custom->setObjectName(QStringLiteral("customWithExiftool"));
    QObject::connect(custom, &QAction::triggered, window,
                     [window, exiftoolOf] { produce(window, exiftoolOf, toCustomTab); });
    QAction* customXmp = menu->addAction(QObject::tr("Show Raw XMP in the Custom Tab"));
    customXmp->setObjectName(QStringLiteral("customWithRawXmp"));
    QObject::connect(customXmp, &QAction::triggered, window,
                     [window, xmpOf] { produce(window, xmpOf, toCustomTab); });
    menu->addSeparator();
    copyOf(QObject::tr("Copy Movie Metadata Items"), &mp4Metadata)
        ->setObjectName(QStringLiteral("mp4Metadata"));
    copyOf(QObject::tr("Copy Image Reader Properties"), &imageioProperties)
        ->setObjectName(QStringLiteral("copyImageio"));
    return menu;
}

} // namespace perspix
