// The result store: analysis results kept in SQLite across runs, keyed by the file's path,
// its size, times, inode and device and the options that change a result, so that a file
// analysed before and unchanged since is not analysed again. The only file that speaks to
// SQLite. A fault of the store never fails an analysis: the store turns itself off for the
// run, with one log line, and the analyses go on.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVariantMap>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "model/PerspixData.h"

struct sqlite3;
struct sqlite3_stmt;

namespace perspix {

class Settings;

class ResultStore
{
public:
    // What is read of a file before its analysis, and again after it.
    struct FileFacts
    {
        qint64 size = 0;
        qint64 mtimeNs = 0;
        qint64 ctimeNs = 0; // moves when extended attributes change
        quint64 inode = 0;
        quint64 device = 0;
        bool operator==(const FileFacts&) const = default;
    };

    static constexpr int kStoreVersion = 3;
    static constexpr qint64 kDefaultSizeLimit = qint64(1) << 30;

    // Opens (or creates) the store in a folder; one log line and a store that is off when
    // it cannot be used.
    explicit ResultStore(const QString& folder, qint64 sizeLimit = kDefaultSizeLimit);
    ~ResultStore(); // writes what is pending, evicts beyond the size limit
    ResultStore(const ResultStore&) = delete;
    ResultStore& operator=(const ResultStore&) = delete;

    // $XDG_CACHE_HOME/perspix, or ~/.cache/perspix.
    static QString defaultFolder();
    static QString databaseName() { return QStringLiteral("results.sqlite"); }
    // The store of this process when the settings ask for one ("useResultStore"), shared
    // by every user in the process; null when off.
    static std::shared_ptr<ResultStore> forSettings(const Settings& settings);

    static std::optional<FileFacts> factsOf(const QString& path);

    bool isOn() const;
    QString databasePath() const { return m_databasePath; }

    // How much of a stored result a look-up decodes.
    enum class Part {
        Whole,
        WithoutCover, // for the exports, which write no picture
        ExportRecord, // what computeExportInfoWithoutFilePrivate reads, no more
        General,      // the general record without its cover: the summary, not the tree
    };

    // The stored result of the file under these facts and options, or null.
    PerspixDataPtr find(const QString& path, const QVariantMap& options, const FileFacts& facts);
    // The stored results of several files, looked up in one read transaction under the
    // facts each file has now: one entry per path, null where none matches.
    std::vector<PerspixDataPtr> findAll(const QStringList& paths, const QVariantMap& options,
                                        Part part);
    // The stored summaries (PerspixData::stringForExportGeneral) of several files, read as
    // findAll reads results but without reading the results: nothing where none matches.
    std::vector<std::optional<QString>> findSummaries(const QStringList& paths,
                                                      const QVariantMap& options);
    // Keeps a fresh result under the facts read before its analysis. The facts are read
    // again: a file that changed meanwhile is not kept, and its old entry is dropped.
    void put(const QString& path, const QVariantMap& options, const FileFacts& before,
             const PerspixData& data);
    // Writes the pending results now (one transaction).
    void flush();
    // Entries kept (-1 when off).
    qint64 entryCount();

private:
    struct Pending
    {
        QByteArray path;
        QString options;
        FileFacts facts;
        QByteArray value;
        QByteArray cover; // coded cover, kept in a file of the store's folder
        std::optional<QString> summary;
        bool drop = false; // remove the entry instead
    };

    // A stored entry that matches the file: its coded value and the name of its cover.
    struct Found
    {
        QByteArray value;
        QString cover;
    };

    bool openDatabase();
    // Under the lock.
    bool prepareFind();
    bool readRow(const QByteArray& key, const QByteArray& optionUtf8, const FileFacts& facts,
                 Found& found);
    PerspixDataPtr decodeFound(const QString& path, const Found& found, Part part);
    bool prepareSchema(QString* reason, int* code);
    void moveAside(const QString& reason);
    void turnOff(const QString& reason);
    // Reacts to an SQLite result code of a statement: corrupt databases are moved aside,
    // a full disk or a read-only store turns the store off.
    void fault(int code, const QString& what);
    bool exec(const char* sql, int* code = nullptr);
    void writePending(bool finalFlush);
    void evictIfNeeded();
    void pruneSome();
    QString coverPath(const QString& name) const;
    void removeCoverIfUnused(const QString& name);
    static QString optionsKey(const QVariantMap& options);
    QString optionsKeyOf(const QVariantMap& options); // under the lock
    void finalizeFind();

    mutable std::mutex m_lock;
    QString m_folder;
    QString m_databasePath;
    qint64 m_sizeLimit;
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_find = nullptr;        // the look-up, prepared once
    sqlite3_stmt* m_findSummary = nullptr; // the look-up of a summary alone
    QVariantMap m_lastOptions;
    QString m_lastOptionsKey;
    bool m_on = false;
    std::vector<Pending> m_pending;
    std::vector<std::pair<QByteArray, QString>> m_used; // hits whose use time moves
    qint64 m_lastWrite = 0;
    qint64 m_writtenSinceEviction = 0;
    // Covers decoded lately, by name: hard links and copies share one, and decoding a
    // picture costs more than the rest of a result.
    QHash<QString, QVariant> m_covers;
};

} // namespace perspix
