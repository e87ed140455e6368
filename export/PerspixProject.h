// A saved file list: reads and writes the project file (an XML property list with the
// extension "perspixproj" listing each file's path) and gives back the files' URLs.
// Opening the files themselves is the file list's business.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <memory>
#include <mutex>
#include <optional>

namespace perspix {

class PerspixProject;
using PerspixProjectPtr = std::shared_ptr<PerspixProject>;

class PerspixProject
{
public:
    static inline const QString kExtension = QStringLiteral("perspixproj");

    // Opens a project file; nothing for an empty URL. A file that cannot be read gives a
    // project without documents (the reason is logged).
    static PerspixProjectPtr projectWithUrl(const QUrl& url);
    // A project of a file list: the full paths of its items, in list order.
    static PerspixProjectPtr projectWithFilelist(const std::optional<QStringList>& filenames);

    PerspixProject() = default;

    QUrl projectUrl() const;
    void setProjectUrl(const QUrl& url);
    QString projectName() const;
    void setProjectName(const QString& name);
    std::optional<QList<QUrl>> documents() const;
    void setDocuments(const std::optional<QList<QUrl>>& documents);

    // Writes the project to the URL and makes it the project's location. False, with the
    // writer's reason in error when there is one, when there are no documents or the file
    // cannot be written. Linux keeps no extension-hidden flag: hideExtension changes
    // nothing.
    bool saveToUrl(const QUrl& url, bool hideExtension, QString* error = nullptr);

    // The bytes of the project file; nothing without documents or when serialising fails.
    std::optional<QByteArray> dataOfProjectToSaveInFile(const QUrl& url) const;
    // The documents listed in the file at projectUrl; nothing when it cannot be read.
    std::optional<QList<QUrl>> documentsByReadingProjectFile() const;

private:
    mutable std::mutex m_lock;
    QUrl m_projectUrl;
    QString m_projectName;
    std::optional<QList<QUrl>> m_documents;
};

} // namespace perspix
