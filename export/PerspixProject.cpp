// Project files: writing and reading the list of documents (see PerspixProject.h).
#include "export/PerspixProject.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include "model/Log.h"
#include "model/NativePath.h"
#include "model/PropertyList.h"

namespace perspix {

namespace {

const QString kDocuments = QStringLiteral("documents");
const QString kFile = QStringLiteral("file");
// The path's bytes, beside "file", when they are not UTF-8 text: "file" then holds the name as
// shown (U+FFFD for each stray byte), which older readers take as a missing file.
const QString kFileBytes = QStringLiteral("fileBytes");
// Security-scoped bookmark of a document: written by platforms that have them.
const QString kBookmark = QStringLiteral("ssb");

QString nameWithoutExtension(const QUrl& url)
{
    const QString name = url.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : name;
}

} // namespace

PerspixProjectPtr PerspixProject::projectWithUrl(const QUrl& url)
{
    if (url.isEmpty())
        return nullptr;
    auto project = std::make_shared<PerspixProject>();
    project->setProjectUrl(url);
    project->setProjectName(nameWithoutExtension(url));
    project->setDocuments(project->documentsByReadingProjectFile());
    return project;
}

PerspixProjectPtr PerspixProject::projectWithFilelist(const std::optional<QStringList>& filenames)
{
    if (!filenames)
        return nullptr;
    QList<QUrl> documents;
    documents.reserve(filenames->size());
    for (const QString& filename : *filenames)
        documents.append(NativePath::url(filename));
    auto project = std::make_shared<PerspixProject>();
    project->setDocuments(documents);
    return project;
}

QUrl PerspixProject::projectUrl() const
{
    std::lock_guard guard(m_lock);
    return m_projectUrl;
}

void PerspixProject::setProjectUrl(const QUrl& url)
{
    std::lock_guard guard(m_lock);
    m_projectUrl = url;
}

QString PerspixProject::projectName() const
{
    std::lock_guard guard(m_lock);
    return m_projectName;
}

void PerspixProject::setProjectName(const QString& name)
{
    std::lock_guard guard(m_lock);
    m_projectName = name;
}

std::optional<QList<QUrl>> PerspixProject::documents() const
{
    std::lock_guard guard(m_lock);
    return m_documents;
}

void PerspixProject::setDocuments(const std::optional<QList<QUrl>>& documents)
{
    std::lock_guard guard(m_lock);
    m_documents = documents;
}

bool PerspixProject::saveToUrl(const QUrl& url, bool /*hideExtension*/, QString* error)
{
    const QString path = url.toLocalFile();
    // A file made here for the project stays (empty) when nothing can be written into it.
    if (!QFileInfo::exists(path)) {
        QFile created(path);
        created.open(QIODevice::WriteOnly);
    }
    const std::optional<QByteArray> bytes = dataOfProjectToSaveInFile(url);
    if (!bytes)
        return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(*bytes) != bytes->size() || !file.flush()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    setProjectUrl(url);
    setProjectName(nameWithoutExtension(url));
    return true;
}

std::optional<QByteArray> PerspixProject::dataOfProjectToSaveInFile(const QUrl&) const
{
    const std::optional<QList<QUrl>> docs = documents();
    if (!docs || docs->isEmpty())
        return std::nullopt;
    QVariantList entries;
    entries.reserve(docs->size());
    for (const QUrl& document : *docs) {
        // Linux has no security-scoped bookmarks: an entry is its path alone.
        PlistDict entry;
        const QString path = NativePath::ofUrl(document);
        entry.insert(kFile, NativePath::shown(path));
        if (!NativePath::isText(path))
            entry.insert(kFileBytes, NativePath::encoded(path));
        entries.append(QVariant::fromValue(entry));
    }
    PlistDict root;
    root.insert(kDocuments, entries);
    QString error;
    const std::optional<QByteArray> bytes = PropertyList::toXml(QVariant::fromValue(root), &error);
    if (!bytes)
        logLine(QStringLiteral("Error while project serialization: %1").arg(error));
    return bytes;
}

std::optional<QList<QUrl>> PerspixProject::documentsByReadingProjectFile() const
{
    const QUrl url = projectUrl();
    const QString path = url.toLocalFile();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        logLine(QStringLiteral("Failed to read project file: %1").arg(file.errorString()));
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        logLine(QStringLiteral("Failed to read project file: %1").arg(file.errorString()));
        return std::nullopt;
    }

    QString error;
    const std::optional<QVariant> root = PropertyList::decode(bytes, &error);
    if (!root) {
        logLine(QStringLiteral("Failed to unserialize project file: %1").arg(error));
        return std::nullopt;
    }
    if (root->typeId() != QMetaType::QVariantMap) {
        logLine(QStringLiteral("Incorrect project contents: root is not a dict"));
        return std::nullopt;
    }
    const QVariant documents = root->toMap().value(kDocuments);
    if (documents.typeId() != QMetaType::QVariantList) {
        logLine(QStringLiteral("Incorrect project contents: no documents section"));
        return std::nullopt;
    }

    // A relative path in a hand-written project is taken from the project's own folder.
    const QDir projectFolder = QFileInfo(path).absoluteDir();
    QList<QUrl> result;
    QSet<QUrl> seen;
    for (const QVariant& value : documents.toList()) {
        if (value.typeId() != QMetaType::QVariantMap)
            continue;
        const QVariantMap entry = value.toMap();
        if (entry.contains(kBookmark)) {
            // Bookmarks are never resolved here; the path beside one is not used instead.
            logLine(QStringLiteral("Failed to resolve bookmark data, skip: %1")
                        .arg(QStringLiteral("security-scoped bookmarks are not available "
                                            "on this system")));
            continue;
        }
        const QVariant file = entry.value(kFile);
        const QVariant bytes = entry.value(kFileBytes);
        QString name;
        if (bytes.typeId() == QMetaType::QByteArray && !bytes.toByteArray().isEmpty())
            name = NativePath::decoded(bytes.toByteArray());
        else if (file.typeId() == QMetaType::QString)
            name = file.toString();
        if (name.isEmpty())
            continue; // neither a bookmark nor a path: nothing to open
        const QUrl document = NativePath::url(
            name.startsWith(QLatin1Char('/')) ? name : projectFolder.absoluteFilePath(name));
        if (seen.contains(document)) {
            logLine(QStringLiteral("Ignore duplicate document: %1")
                        .arg(NativePath::shown(NativePath::ofUrl(document))));
            continue;
        }
        seen.insert(document);
        result.append(document);
    }
    return result;
}

} // namespace perspix
