// SQLite result store (see ResultStore.h).
#include "batch/ResultStore.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QThread>
#include <cerrno>
#include <sqlite3.h>
#include <sys/stat.h>
#include <thread>

#include "batch/ResultCoding.h"
#include "model/Log.h"
#include "model/Settings.h"

#ifndef PERSPIX_STORE_APP_VERSION
#define PERSPIX_STORE_APP_VERSION "0"
#endif

namespace perspix {

namespace {

// A writer of another process holds the database for one batch at a time; waiting longer
// than this means it is stuck, and an analysis should not wait for it.
constexpr int kBusyMs = 2000;
// At opening, a lock held this long is taken for one that is never released.
constexpr int kOpenBusyMs = 5000;
constexpr qsizetype kBatch = 64;
constexpr qint64 kBatchMs = 1000;
constexpr int kPruneSlice = 500;
constexpr qint64 kEvictEvery = 2000;
constexpr qsizetype kCoversKept = 64;
constexpr qsizetype kParallelDecode = 64;
// Times of use are kept to the hour: a result read again within the hour is not written.
constexpr qint64 kUseGranularitySeconds = 3600;
constexpr const char* kDropOrphanUsage =
    "DELETE FROM usage WHERE NOT EXISTS (SELECT 1 FROM results r"
    " WHERE r.path = usage.path AND r.options = usage.options)";

QString sqliteMessage(int code)
{
    return QString::fromUtf8(sqlite3_errstr(code));
}

// Statements prepared for one call and finalised on every path.
class Statement
{
public:
    Statement(sqlite3* db, const char* sql)
    {
        m_code = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr);
        m_prepared = m_code == SQLITE_OK;
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    // Prepared: usable, whatever its last step gave.
    bool ok() const { return m_prepared; }
    // The result of the preparation or of the last step.
    int code() const { return m_code; }
    sqlite3_stmt* get() const { return m_stmt; }
    void bind(int i, const QByteArray& bytes)
    {
        sqlite3_bind_blob(m_stmt, i, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
    }
    void bind(int i, const QString& text)
    {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(m_stmt, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
    void bind(int i, qint64 value) { sqlite3_bind_int64(m_stmt, i, value); }
    int step()
    {
        m_code = sqlite3_step(m_stmt);
        return m_code;
    }
    QByteArray blob(int column) const
    {
        const void* data = sqlite3_column_blob(m_stmt, column);
        return QByteArray(static_cast<const char*>(data), sqlite3_column_bytes(m_stmt, column));
    }
    QString text(int column) const
    {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column)),
                                 sqlite3_column_bytes(m_stmt, column));
    }
    qint64 integer(int column) const { return sqlite3_column_int64(m_stmt, column); }

private:
    sqlite3_stmt* m_stmt = nullptr;
    int m_code = SQLITE_OK;
    bool m_prepared = false;
};

bool isCorrupt(int code)
{
    const int primary = code & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

bool isBusy(int code)
{
    const int primary = code & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

QByteArray pathKey(const QString& path)
{
    return QFile::encodeName(QDir::isAbsolutePath(path) ? path
                                                        : QFileInfo(path).absoluteFilePath());
}

std::weak_ptr<ResultStore>& sharedStore()
{
    static std::weak_ptr<ResultStore> store;
    return store;
}
std::mutex g_sharedLock;

} // namespace

QString ResultStore::defaultFolder()
{
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty() || !QDir::isAbsolutePath(cache))
        cache = QDir::homePath() + QStringLiteral("/.cache");
    return QDir(cache).filePath(QStringLiteral("perspix"));
}

std::shared_ptr<ResultStore> ResultStore::forSettings(const Settings& settings)
{
    if (!settings.boolValue(prefs::kUseResultStore))
        return nullptr;
    std::lock_guard guard(g_sharedLock);
    std::shared_ptr<ResultStore> store = sharedStore().lock();
    if (!store) {
        const qint64 limitMb = settings.intValue(prefs::kResultStoreSizeLimitMB);
        store = std::make_shared<ResultStore>(defaultFolder(), limitMb > 0 ? limitMb * 1024 * 1024
                                                                           : kDefaultSizeLimit);
        sharedStore() = store;
    }
    return store->isOn() ? store : nullptr;
}

std::optional<ResultStore::FileFacts> ResultStore::factsOf(const QString& path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    FileFacts facts;
    facts.size = st.st_size;
    facts.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    facts.ctimeNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    facts.inode = st.st_ino;
    facts.device = st.st_dev;
    return facts;
}

// The program that made a result: its version, and the size and time of its executable,
// so that a rebuilt or upgraded program never reads the results of the one before.
QString programIdentity()
{
    static const QString identity = [] {
        struct stat st;
        QString text = QStringLiteral(PERSPIX_STORE_APP_VERSION);
        if (::stat("/proc/self/exe", &st) == 0)
            text += QStringLiteral("/%1/%2")
                        .arg(st.st_size)
                        .arg(qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec);
        return text;
    }();
    return identity;
}

QString ResultStore::optionsKey(const QVariantMap& options)
{
    // QVariantMap is ordered by key: the same options always give the same text.
    QString key = QStringLiteral("store=%1;program=%2").arg(kStoreVersion).arg(programIdentity());
    for (auto it = options.cbegin(); it != options.cend(); ++it)
        key += QLatin1Char(';') + it.key() + QLatin1Char('=') + it.value().toString();
    return key;
}

ResultStore::ResultStore(const QString& folder, qint64 sizeLimit)
    : m_folder(folder), m_databasePath(QDir(folder).filePath(databaseName())),
      m_sizeLimit(sizeLimit)
{
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir()) {
        turnOff(QStringLiteral("cannot make the folder %1").arg(folder));
        return;
    }
    struct stat st;
    if (::lstat(QFile::encodeName(m_databasePath).constData(), &st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            turnOff(QStringLiteral("%1 is a symbolic link").arg(m_databasePath));
            return;
        }
        if (!S_ISREG(st.st_mode)) {
            turnOff(QStringLiteral("%1 is not a file").arg(m_databasePath));
            return;
        }
    }
    m_on = openDatabase();
    m_lastWrite = QDateTime::currentMSecsSinceEpoch();
}

ResultStore::~ResultStore()
{
    std::lock_guard guard(m_lock);
    if (m_on) {
        writePending(true);
        if (m_on)
            pruneSome();
        // Adding up the sizes reads every entry: a run that wrote nothing left the store
        // no larger than it found it.
        if (m_on && m_writtenSinceEviction > 0)
            evictIfNeeded();
    }
    finalizeFind();
    if (m_db)
        sqlite3_close_v2(m_db);
}

bool ResultStore::isOn() const
{
    std::lock_guard guard(m_lock);
    return m_on;
}

bool ResultStore::openDatabase()
{
    QElapsedTimer waited;
    waited.start();
    for (int attempt = 0; attempt < 2; ++attempt) {
        int code = sqlite3_open_v2(QFile::encodeName(m_databasePath).constData(), &m_db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                                   nullptr);
        QString reason;
        if (code == SQLITE_OK) {
            sqlite3_extended_result_codes(m_db, 1);
            sqlite3_busy_timeout(m_db, kOpenBusyMs);
            if (prepareSchema(&reason, &code)) {
                sqlite3_busy_timeout(m_db, kBusyMs);
                return true;
            }
        } else {
            reason = sqliteMessage(code);
        }
        if (m_db) {
            sqlite3_close_v2(m_db);
            m_db = nullptr;
        }
        // Another program setting up the same store (a new file changing its journal mode,
        // say) can answer "locked" at once, without the busy wait: that is no fault of the
        // file, so it is opened again until it has been locked for long.
        if (isBusy(code) && waited.elapsed() < kOpenBusyMs) {
            QThread::msleep(20);
            --attempt;
            continue;
        }
        if (attempt == 0 && (isCorrupt(code) || isBusy(code) || code == -1)) {
            moveAside(reason);
            continue;
        }
        turnOff(QStringLiteral("cannot use %1: %2").arg(m_databasePath, reason));
        return false;
    }
    return false;
}

bool ResultStore::prepareSchema(QString* reason, int* code)
{
    const auto failed = [&](int c) {
        *code = c;
        *reason = QString::fromUtf8(sqlite3_errmsg(m_db));
        return false;
    };
    int c = SQLITE_OK;
    if (!exec("PRAGMA journal_mode=WAL", &c) || !exec("PRAGMA synchronous=NORMAL", &c))
        return failed(c);
    qint64 version = 0;
    {
        Statement s(m_db, "PRAGMA user_version");
        if (!s.ok() || s.step() != SQLITE_ROW)
            return failed(sqlite3_extended_errcode(m_db));
        version = s.integer(0);
    }
    if (version > kStoreVersion) {
        *code = -1;
        *reason = QStringLiteral("made by a newer version of Perspix");
        return false;
    }
    // A database cut short says it has more pages than the file holds (unless its last
    // pages are still in the write-ahead log).
    {
        Statement count(m_db, "PRAGMA page_count");
        Statement size(m_db, "PRAGMA page_size");
        if (!count.ok() || count.step() != SQLITE_ROW || !size.ok() || size.step() != SQLITE_ROW)
            return failed(sqlite3_extended_errcode(m_db));
        const QFileInfo wal(m_databasePath + QStringLiteral("-wal"));
        if ((!wal.exists() || wal.size() == 0) &&
            QFileInfo(m_databasePath).size() < count.integer(0) * size.integer(0)) {
            *code = SQLITE_CORRUPT;
            *reason = QStringLiteral("the file is shorter than its pages");
            return false;
        }
    }
    if (version < kStoreVersion) {
        if (!exec("BEGIN IMMEDIATE", &c))
            return failed(c);
        // An older store is made anew: its results are of an older program anyway.
        const QByteArray schema =
            QByteArrayLiteral(
                "DROP TABLE IF EXISTS results;"
                "CREATE TABLE results(path BLOB NOT NULL, options TEXT NOT NULL,"
                " size INTEGER, mtime INTEGER, ctime INTEGER, inode INTEGER, device INTEGER,"
                " value BLOB NOT NULL, cover TEXT NOT NULL, bytes INTEGER NOT NULL,"
                // Apart from the value: a summary is read without the pages of the result.
                " summary TEXT,"
                " PRIMARY KEY(path, options));"
                // Apart from the results: a new time of use rewrites a small row only.
                "DROP TABLE IF EXISTS usage;"
                "CREATE TABLE usage(path BLOB NOT NULL, options TEXT NOT NULL,"
                " used INTEGER NOT NULL, PRIMARY KEY(path, options));"
                "CREATE INDEX usage_used ON usage(used);"
                "CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value);"
                "PRAGMA user_version=") +
            QByteArray::number(kStoreVersion);
        if (!exec(schema.constData(), &c)) {
            exec("ROLLBACK");
            return failed(c);
        }
        if (!exec("COMMIT", &c))
            return failed(c);
    }
    // Reads the schema: a file of random bytes or a broken first page fails here.
    Statement probe(m_db, "SELECT count(*) FROM meta");
    if (!probe.ok() || probe.step() != SQLITE_ROW)
        return failed(sqlite3_extended_errcode(m_db));
    return true;
}

bool ResultStore::exec(const char* sql, int* code)
{
    const int c = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
    if (code)
        *code = c == SQLITE_OK ? c : sqlite3_extended_errcode(m_db);
    return c == SQLITE_OK;
}

void ResultStore::moveAside(const QString& reason)
{
    const QString aside =
        m_databasePath + QStringLiteral(".broken-") +
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddHHmmss"));
    QFile::remove(aside);
    if (!QFile::rename(m_databasePath, aside))
        QFile::remove(m_databasePath);
    QFile::remove(m_databasePath + QStringLiteral("-wal"));
    QFile::remove(m_databasePath + QStringLiteral("-shm"));
    logLine(
        QStringLiteral("Result store %1 could not be used (%2); moved aside to %3 and made anew")
            .arg(m_databasePath, reason, aside));
}

void ResultStore::turnOff(const QString& reason)
{
    logLine(QStringLiteral("Result store off for this run: %1").arg(reason));
    m_on = false;
    m_pending.clear();
    m_used.clear();
}

void ResultStore::fault(int code, const QString& what)
{
    if (!m_on)
        return;
    if (isBusy(code))
        return; // another process holds the database: try again with the next batch
    const QString reason = QStringLiteral("%1: %2").arg(what, sqliteMessage(code));
    if (isCorrupt(code)) {
        finalizeFind();
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        m_on = false;
        m_pending.clear();
        m_used.clear();
        moveAside(reason); // the next run makes a new one
        return;
    }
    turnOff(reason);
}

QString ResultStore::coverPath(const QString& name) const
{
    return QDir(m_folder).filePath(QStringLiteral("covers/") + name);
}

void ResultStore::finalizeFind()
{
    sqlite3_finalize(m_find);
    m_find = nullptr;
    sqlite3_finalize(m_findSummary);
    m_findSummary = nullptr;
}

QString ResultStore::optionsKeyOf(const QVariantMap& options)
{
    // Every file of a run has the same options: their text is made once.
    if (m_lastOptionsKey.isEmpty() || options != m_lastOptions) {
        m_lastOptions = options;
        m_lastOptionsKey = optionsKey(options);
    }
    return m_lastOptionsKey;
}

bool ResultStore::prepareFind()
{
    // One statement for every look-up of the run.
    if (!m_find &&
        sqlite3_prepare_v3(m_db,
                           "SELECT r.size, r.mtime, r.ctime, r.inode, r.device, r.value,"
                           " r.cover, u.used FROM results r LEFT JOIN usage u"
                           " USING(path, options) WHERE r.path = ?1 AND r.options = ?2",
                           -1, SQLITE_PREPARE_PERSISTENT, &m_find, nullptr) != SQLITE_OK) {
        finalizeFind();
        fault(sqlite3_extended_errcode(m_db), QStringLiteral("reading"));
        return false;
    }
    return true;
}

bool ResultStore::readRow(const QByteArray& key, const QByteArray& optionUtf8,
                          const FileFacts& facts, Found& found)
{
    sqlite3_stmt* s = m_find;
    sqlite3_bind_blob(s, 1, key.constData(), int(key.size()), SQLITE_STATIC);
    sqlite3_bind_text(s, 2, optionUtf8.constData(), int(optionUtf8.size()), SQLITE_STATIC);
    const int code = sqlite3_step(s);
    if (code != SQLITE_ROW) {
        sqlite3_reset(s);
        if (code != SQLITE_DONE)
            fault(sqlite3_extended_errcode(m_db), QStringLiteral("reading"));
        return false;
    }
    const FileFacts stored{sqlite3_column_int64(s, 0), sqlite3_column_int64(s, 1),
                           sqlite3_column_int64(s, 2), quint64(sqlite3_column_int64(s, 3)),
                           quint64(sqlite3_column_int64(s, 4))};
    const bool same = stored == facts;
    if (same) {
        found.value = QByteArray(static_cast<const char*>(sqlite3_column_blob(s, 5)),
                                 sqlite3_column_bytes(s, 5));
        found.cover = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 6)),
                                        sqlite3_column_bytes(s, 6));
        if (QDateTime::currentSecsSinceEpoch() - sqlite3_column_int64(s, 7) >
            kUseGranularitySeconds)
            m_used.emplace_back(key, m_lastOptionsKey);
    }
    // A statement left unreset would hold its read transaction open.
    sqlite3_reset(s);
    return same;
}

PerspixDataPtr ResultStore::decodeFound(const QString& path, const Found& found, Part part)
{
    if (part == Part::General || part == Part::ExportRecord) {
        PerspixDataPtr data = part == Part::General ? ResultCoding::decodeGeneral(found.value)
                                                    : ResultCoding::decodeForExport(found.value);
        return data && data->filename == path ? data : nullptr;
    }
    std::optional<QVariant> coverValue;
    if (!found.cover.isEmpty() && part == Part::Whole) {
        {
            std::lock_guard guard(m_lock);
            if (const auto it = m_covers.constFind(found.cover); it != m_covers.constEnd())
                coverValue = *it;
        }
        if (!coverValue) {
            QFile file(coverPath(found.cover));
            if (!file.open(QIODevice::ReadOnly))
                return nullptr;
            coverValue = ResultCoding::decodeCover(file.readAll());
            if (!coverValue)
                return nullptr;
            std::lock_guard guard(m_lock);
            if (m_covers.size() >= kCoversKept)
                m_covers.clear();
            m_covers.insert(found.cover, *coverValue);
        }
    }
    PerspixDataPtr data = ResultCoding::decode(found.value, coverValue);
    if (!data || data->filename != path)
        return nullptr;
    return data;
}

PerspixDataPtr ResultStore::find(const QString& path, const QVariantMap& options,
                                 const FileFacts& facts)
{
    const QByteArray key = pathKey(path);
    Found found;
    {
        std::lock_guard guard(m_lock);
        if (!m_on || !prepareFind())
            return nullptr;
        const QByteArray optionUtf8 = optionsKeyOf(options).toUtf8();
        if (!readRow(key, optionUtf8, facts, found))
            return nullptr;
    }
    return decodeFound(path, found, Part::Whole);
}

std::vector<PerspixDataPtr> ResultStore::findAll(const QStringList& paths,
                                                 const QVariantMap& options, Part part)
{
    std::vector<PerspixDataPtr> results(paths.size());
    std::vector<std::optional<Found>> rows(paths.size());
    {
        std::lock_guard guard(m_lock);
        if (!m_on || !prepareFind())
            return results;
        const QByteArray optionUtf8 = optionsKeyOf(options).toUtf8();
        // One read transaction for the batch: each look-up would otherwise take and drop
        // the database's shared lock itself.
        const bool inTransaction = exec("BEGIN");
        for (qsizetype i = 0; i < paths.size() && m_on; ++i) {
            const std::optional<FileFacts> facts = factsOf(paths[i]);
            if (!facts)
                continue;
            Found found;
            if (readRow(pathKey(paths[i]), optionUtf8, *facts, found))
                rows[i] = std::move(found);
        }
        if (inTransaction && m_db)
            exec("COMMIT");
    }
    // Decoding costs more than reading: a large batch is decoded on two threads.
    const auto decodeRange = [&](qsizetype from, qsizetype to) {
        for (qsizetype i = from; i < to; ++i)
            if (rows[i])
                results[i] = decodeFound(paths[i], *rows[i], part);
    };
    const qsizetype half = paths.size() / 2;
    if (paths.size() >= kParallelDecode && QThread::idealThreadCount() > 1) {
        std::thread other(decodeRange, half, paths.size());
        decodeRange(0, half);
        other.join();
    } else {
        decodeRange(0, paths.size());
    }
    return results;
}

std::vector<std::optional<QString>> ResultStore::findSummaries(const QStringList& paths,
                                                               const QVariantMap& options)
{
    std::vector<std::optional<QString>> summaries(paths.size());
    std::lock_guard guard(m_lock);
    if (!m_on)
        return summaries;
    if (!m_findSummary &&
        sqlite3_prepare_v3(m_db,
                           "SELECT r.size, r.mtime, r.ctime, r.inode, r.device, r.summary,"
                           " u.used FROM results r LEFT JOIN usage u"
                           " USING(path, options) WHERE r.path = ?1 AND r.options = ?2",
                           -1, SQLITE_PREPARE_PERSISTENT, &m_findSummary, nullptr) != SQLITE_OK) {
        finalizeFind();
        fault(sqlite3_extended_errcode(m_db), QStringLiteral("reading"));
        return summaries;
    }
    const QByteArray optionUtf8 = optionsKeyOf(options).toUtf8();
    const bool inTransaction = exec("BEGIN");
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    for (qsizetype i = 0; i < paths.size() && m_on; ++i) {
        const std::optional<FileFacts> facts = factsOf(paths[i]);
        if (!facts)
            continue;
        const QByteArray key = pathKey(paths[i]);
        sqlite3_stmt* s = m_findSummary;
        sqlite3_bind_blob(s, 1, key.constData(), int(key.size()), SQLITE_STATIC);
        sqlite3_bind_text(s, 2, optionUtf8.constData(), int(optionUtf8.size()), SQLITE_STATIC);
        const int code = sqlite3_step(s);
        if (code == SQLITE_ROW) {
            const FileFacts stored{sqlite3_column_int64(s, 0), sqlite3_column_int64(s, 1),
                                   sqlite3_column_int64(s, 2), quint64(sqlite3_column_int64(s, 3)),
                                   quint64(sqlite3_column_int64(s, 4))};
            if (stored == *facts && sqlite3_column_type(s, 5) != SQLITE_NULL) {
                summaries[i] =
                    QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 5)),
                                      sqlite3_column_bytes(s, 5));
                if (now - sqlite3_column_int64(s, 6) > kUseGranularitySeconds)
                    m_used.emplace_back(key, m_lastOptionsKey);
            }
        } else if (code != SQLITE_DONE) {
            sqlite3_reset(s);
            fault(sqlite3_extended_errcode(m_db), QStringLiteral("reading"));
            break;
        }
        sqlite3_reset(s);
    }
    if (inTransaction && m_db)
        exec("COMMIT");
    return summaries;
}

void ResultStore::put(const QString& path, const QVariantMap& options, const FileFacts& before,
                      const PerspixData& data)
{
    if (!isOn())
        return;
    Pending pending;
    pending.path = pathKey(path);
    pending.options = optionsKey(options);
    pending.facts = before;
    const std::optional<FileFacts> after = factsOf(path);
    const std::optional<ResultCoding::Coded> coded =
        after && *after == before ? ResultCoding::encode(data) : std::nullopt;
    if (coded) {
        pending.value = coded->value;
        pending.cover = coded->cover;
        pending.summary = data.stringForExportGeneral();
    } else {
        pending.drop = true; // changed while it was read, or a value of no known form
    }
    std::lock_guard guard(m_lock);
    if (!m_on)
        return;
    m_pending.push_back(std::move(pending));
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (qsizetype(m_pending.size()) >= kBatch || now - m_lastWrite >= kBatchMs)
        writePending(false);
}

void ResultStore::flush()
{
    std::lock_guard guard(m_lock);
    if (m_on)
        writePending(true);
}

qint64 ResultStore::entryCount()
{
    std::lock_guard guard(m_lock);
    if (!m_on)
        return -1;
    Statement s(m_db, "SELECT count(*) FROM results");
    return s.ok() && s.step() == SQLITE_ROW ? s.integer(0) : -1;
}

void ResultStore::writePending(bool finalFlush)
{
    m_lastWrite = QDateTime::currentMSecsSinceEpoch();
    if (m_pending.empty() && m_used.empty())
        return;
    int code = SQLITE_OK;
    // One transaction per batch; a busy database is tried again with the next batch, and
    // at the end a few more times.
    for (int attempt = 0;; ++attempt) {
        if (exec("BEGIN IMMEDIATE", &code))
            break;
        if (!isBusy(code) || !finalFlush || attempt >= 3) {
            fault(code, QStringLiteral("writing"));
            return;
        }
    }
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const auto abort = [&](int c) {
        exec("ROLLBACK");
        fault(c, QStringLiteral("writing"));
    };
    Statement oldCover(m_db, "SELECT cover FROM results WHERE path = ?1 AND options = ?2");
    Statement drop(m_db, "DELETE FROM results WHERE path = ?1 AND options = ?2");
    Statement insert(m_db, "INSERT OR REPLACE INTO results(path, options, size, mtime, ctime,"
                           " inode, device, value, cover, bytes, summary)"
                           " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)");
    Statement touch(m_db, "INSERT OR REPLACE INTO usage(path, options, used) VALUES(?1, ?2, ?3)");
    if (!oldCover.ok() || !drop.ok() || !insert.ok() || !touch.ok())
        return abort(sqlite3_extended_errcode(m_db));
    QStringList replacedCovers;
    for (const Pending& p : m_pending) {
        sqlite3_reset(oldCover.get());
        oldCover.bind(1, p.path);
        oldCover.bind(2, p.options);
        if (oldCover.step() == SQLITE_ROW && !oldCover.text(0).isEmpty())
            replacedCovers.append(oldCover.text(0));
        if (p.drop) {
            sqlite3_reset(drop.get());
            drop.bind(1, p.path);
            drop.bind(2, p.options);
            if (drop.step() != SQLITE_DONE)
                return abort(sqlite3_extended_errcode(m_db));
            continue;
        }
        QString coverName;
        if (!p.cover.isEmpty()) {
            // Named by content: hard links and copies of one file share their cover.
            coverName = QString::fromLatin1(
                QCryptographicHash::hash(p.cover, QCryptographicHash::Sha1).toHex());
            const QString file = coverPath(coverName);
            if (!QFileInfo::exists(file)) {
                QDir().mkpath(QFileInfo(file).path());
                QSaveFile save(file);
                if (!save.open(QIODevice::WriteOnly) || save.write(p.cover) != p.cover.size() ||
                    !save.commit()) {
                    exec("ROLLBACK");
                    turnOff(QStringLiteral("cannot write %1: %2").arg(file, save.errorString()));
                    return;
                }
            }
        }
        sqlite3_reset(insert.get());
        insert.bind(1, p.path);
        insert.bind(2, p.options);
        insert.bind(3, p.facts.size);
        insert.bind(4, p.facts.mtimeNs);
        insert.bind(5, p.facts.ctimeNs);
        insert.bind(6, qint64(p.facts.inode));
        insert.bind(7, qint64(p.facts.device));
        insert.bind(8, p.value);
        insert.bind(9, coverName);
        insert.bind(10, qint64(p.value.size() + p.cover.size()));
        if (p.summary)
            insert.bind(11, *p.summary);
        else
            sqlite3_bind_null(insert.get(), 11);
        if (insert.step() != SQLITE_DONE)
            return abort(sqlite3_extended_errcode(m_db));
        sqlite3_reset(touch.get());
        touch.bind(1, p.path);
        touch.bind(2, p.options);
        touch.bind(3, now);
        if (touch.step() != SQLITE_DONE)
            return abort(sqlite3_extended_errcode(m_db));
        replacedCovers.removeAll(coverName);
    }
    for (const auto& [path, options] : m_used) {
        sqlite3_reset(touch.get());
        touch.bind(1, path);
        touch.bind(2, options);
        touch.bind(3, now);
        if (touch.step() != SQLITE_DONE)
            return abort(sqlite3_extended_errcode(m_db));
    }
    for (const Statement* statement : {&oldCover, &drop, &insert, &touch})
        sqlite3_reset(statement->get());
    if (!exec("COMMIT", &code)) {
        abort(code);
        return;
    }
    m_writtenSinceEviction += qint64(m_pending.size());
    m_pending.clear();
    m_used.clear();
    for (const QString& cover : replacedCovers)
        removeCoverIfUnused(cover);
    if (m_writtenSinceEviction >= kEvictEvery)
        evictIfNeeded();
}

void ResultStore::removeCoverIfUnused(const QString& name)
{
    Statement s(m_db, "SELECT 1 FROM results WHERE cover = ?1 LIMIT 1");
    if (!s.ok())
        return;
    s.bind(1, name);
    if (s.step() == SQLITE_DONE)
        QFile::remove(coverPath(name));
}

// Least recently used entries go until the store is a tenth below its limit.
void ResultStore::evictIfNeeded()
{
    m_writtenSinceEviction = 0;
    qint64 total = 0;
    {
        Statement s(m_db, "SELECT total(bytes) FROM results");
        if (!s.ok() || s.step() != SQLITE_ROW)
            return;
        total = s.integer(0);
    }
    if (total <= m_sizeLimit)
        return;
    const qint64 goal = m_sizeLimit - m_sizeLimit / 10;
    int code = SQLITE_OK;
    if (!exec("BEGIN IMMEDIATE", &code))
        return fault(code, QStringLiteral("evicting"));
    QStringList covers;
    QList<qint64> rows;
    {
        Statement s(m_db, "SELECT r.rowid, r.bytes, r.cover FROM results r"
                          " LEFT JOIN usage u USING(path, options) ORDER BY u.used, r.rowid");
        while (total > goal && s.ok() && s.step() == SQLITE_ROW) {
            rows.append(s.integer(0));
            total -= s.integer(1);
            if (!s.text(2).isEmpty())
                covers.append(s.text(2));
        }
    }
    {
        Statement drop(m_db, "DELETE FROM results WHERE rowid = ?1");
        for (qint64 rowid : rows) {
            sqlite3_reset(drop.get());
            drop.bind(1, rowid);
            if (!drop.ok() || drop.step() != SQLITE_DONE)
                break;
        }
    }
    exec(kDropOrphanUsage);
    if (!exec("COMMIT", &code)) {
        exec("ROLLBACK");
        return fault(code, QStringLiteral("evicting"));
    }
    covers.removeDuplicates();
    for (const QString& cover : covers)
        removeCoverIfUnused(cover);
}

// Entries of files that are gone are dropped, a slice per run, so that each run costs
// little and the whole store is gone through in time.
void ResultStore::pruneSome()
{
    qint64 from = 0;
    {
        Statement s(m_db, "SELECT value FROM meta WHERE key = 'pruneFrom'");
        if (s.ok() && s.step() == SQLITE_ROW)
            from = s.integer(0);
    }
    QList<qint64> gone;
    QStringList covers;
    qint64 last = 0;
    int seen = 0;
    {
        Statement s(m_db, "SELECT rowid, path, cover FROM results WHERE rowid > ?1"
                          " ORDER BY rowid LIMIT ?2");
        if (!s.ok())
            return;
        s.bind(1, from);
        s.bind(2, qint64(kPruneSlice));
        while (s.step() == SQLITE_ROW) {
            ++seen;
            last = s.integer(0);
            struct stat st;
            const QByteArray path = s.blob(1);
            if (::lstat(path.constData(), &st) != 0 && errno == ENOENT) {
                gone.append(last);
                covers.append(s.text(2));
            }
        }
    }
    int code = SQLITE_OK;
    if (!exec("BEGIN IMMEDIATE", &code))
        return fault(code, QStringLiteral("pruning"));
    {
        Statement drop(m_db, "DELETE FROM results WHERE rowid = ?1");
        for (qint64 rowid : gone) {
            sqlite3_reset(drop.get());
            drop.bind(1, rowid);
            drop.step();
        }
        Statement cursor(m_db, "INSERT OR REPLACE INTO meta(key, value) VALUES('pruneFrom', ?1)");
        cursor.bind(1, seen < kPruneSlice ? qint64(0) : last);
        cursor.step();
    }
    if (!gone.isEmpty())
        exec(kDropOrphanUsage);
    if (!exec("COMMIT", &code)) {
        exec("ROLLBACK");
        return fault(code, QStringLiteral("pruning"));
    }
    covers.removeAll(QString());
    covers.removeDuplicates();
    for (const QString& cover : covers)
        removeCoverIfUnused(cover);
}

} // namespace perspix
