#include "ScanCode/browser/BrowserDatabase.h"

#include "platform/FileAttributes.h"
#include "platform/Log.h"
#include "platform/TextCase.h"

#include <sqlite3.h>

namespace tessaly {

namespace {

// How long a statement waits for a lock another program holds.
constexpr int kBusyMilliseconds = 250;

// Finalises a statement when it goes away.
struct Statement {
    sqlite3_stmt* s = nullptr;
    ~Statement() { sqlite3_finalize(s); }
};

PlistValue columnValue(sqlite3_stmt* s, int i) {
    switch (sqlite3_column_type(s, i)) {
    case SQLITE_INTEGER:
        return PlistValue(static_cast<long long>(sqlite3_column_int64(s, i)));
    case SQLITE_FLOAT:
        return PlistValue(sqlite3_column_double(s, i));
    case SQLITE_TEXT: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
        return PlistValue(
            std::string(text ? text : "", static_cast<std::size_t>(sqlite3_column_bytes(s, i))));
    }
    case SQLITE_BLOB: {
        const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(s, i));
        const int n = sqlite3_column_bytes(s, i);
        return PlistValue(Data(bytes, bytes + n));
    }
    default:
        return PlistValue();
    }
}

int bindValue(sqlite3_stmt* s, int i, const PlistValue& v) {
    if (v.isInteger() || v.isBool())
        return sqlite3_bind_int64(s, i, v.toInteger());
    if (v.isReal())
        return sqlite3_bind_double(s, i, v.toReal());
    if (const auto* text = v.string())
        return sqlite3_bind_text(s, i, text->data(), static_cast<int>(text->size()),
                                 SQLITE_TRANSIENT);
    if (const auto* bytes = v.data())
        return sqlite3_bind_blob(s, i, bytes->data(), static_cast<int>(bytes->size()),
                                 SQLITE_TRANSIENT);
    return sqlite3_bind_null(s, i);
}

} // namespace

BrowserDatabase::BrowserDatabase(std::string path) : path_(std::move(path)) {}

BrowserDatabase::~BrowserDatabase() {
    close();
}

bool BrowserDatabase::open() {
    close();
    errorCode_ = 0;
    errorMessage_.clear();
    int rc =
        sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        keepError(rc);
        close();
        return false;
    }
    sqlite3_busy_timeout(db_, kBusyMilliseconds);
    sqlite3_extended_result_codes(db_, 0);
    if (!readSchema()) {
        close();
        return false;
    }
    // Rows that hang on a deleted visit go with it, as the browsers declare.
    update("PRAGMA foreign_keys = ON");
    // What is deleted is overwritten, in this database and in every one attached.
    update("PRAGMA secure_delete = ON");
    return true;
}

void BrowserDatabase::close() {
    if (db_) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
    tables_.clear();
    columns_.clear();
    attached_.clear();
}

void BrowserDatabase::keepError(int code) {
    errorCode_ = code;
    errorMessage_ = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(code);
}

std::optional<std::vector<SqlRow>> BrowserDatabase::query(const std::string& sql,
                                                          const SqlValues& values) {
    if (!db_) {
        errorCode_ = SQLITE_MISUSE;
        errorMessage_ = "the database is not open";
        return std::nullopt;
    }
    Statement st;
    int rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &st.s, nullptr);
    if (rc != SQLITE_OK) {
        keepError(rc);
        return std::nullopt;
    }
    for (std::size_t i = 0; i < values.size(); ++i)
        if ((rc = bindValue(st.s, static_cast<int>(i + 1), values[i])) != SQLITE_OK) {
            keepError(rc);
            return std::nullopt;
        }
    std::vector<std::string> names;
    for (int i = 0; i < sqlite3_column_count(st.s); ++i)
        names.push_back(text::asciiLowercase(sqlite3_column_name(st.s, i)));
    std::vector<SqlRow> rows;
    while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) {
        SqlRow row;
        for (std::size_t i = 0; i < names.size(); ++i)
            row[names[i]] = columnValue(st.s, static_cast<int>(i));
        rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) {
        keepError(rc);
        return std::nullopt;
    }
    errorCode_ = 0;
    errorMessage_.clear();
    return rows;
}

bool BrowserDatabase::update(const std::string& sql, const SqlValues& values) {
    if (query(sql, values))
        return true;
    log::err(errorCode_, errorMessage_);
    return false;
}

int BrowserDatabase::changes() const {
    return db_ ? sqlite3_changes(db_) : 0;
}

bool BrowserDatabase::begin() {
    return update("BEGIN IMMEDIATE");
}

bool BrowserDatabase::commit() {
    if (update("COMMIT"))
        return true;
    rollback();
    return false;
}

void BrowserDatabase::rollback() {
    if (db_ && !sqlite3_get_autocommit(db_)) {
        const int code = errorCode_;
        const std::string message = errorMessage_;
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        errorCode_ = code;
        errorMessage_ = message;
    }
}

bool BrowserDatabase::readSchema(const std::string& schema) {
    // The schema's name is one of ours ("main" or an attached name), never input.
    auto rows = query("SELECT m.name AS t, p.name AS c FROM \"" + schema +
                          "\".sqlite_master AS m JOIN pragma_table_info(m.name, ?) AS p "
                          "WHERE m.type = 'table'",
                      {schema});
    if (!rows)
        return false;
    const std::string prefix = schema == "main" ? "" : schema + ".";
    for (const SqlRow& row : *rows) {
        std::string table = prefix + text::asciiLowercase(row.at("t").toString());
        columns_.insert({table, text::asciiLowercase(row.at("c").toString())});
        tables_.insert(std::move(table));
    }
    return true;
}

bool BrowserDatabase::attach(const std::string& name, const std::string& path) {
    if (!db_ || path.empty() || !fileattr::entryInfo(path).isRegular)
        return false;
    if (!update("ATTACH DATABASE ? AS \"" + name + "\"", {path}))
        return false;
    attached_.push_back(name);
    if (readSchema(name))
        return true;
    update("DETACH DATABASE \"" + name + "\"");
    attached_.pop_back();
    return false;
}

bool BrowserDatabase::compact() {
    if (!db_)
        return false;
    bool ok = true;
    std::vector<std::string> schemas{"main"};
    schemas.insert(schemas.end(), attached_.begin(), attached_.end());
    for (const std::string& schema : schemas) {
        ok = update("VACUUM \"" + schema + "\"") && ok;
        // A database in write-ahead-log mode keeps the old pages in its log
        // until they are copied back; this empties it.
        ok = query("PRAGMA \"" + schema + "\".wal_checkpoint(TRUNCATE)").has_value() && ok;
    }
    return ok;
}

bool BrowserDatabase::hasTable(const std::string& table) const {
    return tables_.count(text::asciiLowercase(table)) > 0;
}

bool BrowserDatabase::hasColumn(const std::string& table, const std::string& column) const {
    return columns_.count({text::asciiLowercase(table), text::asciiLowercase(column)}) > 0;
}

std::string BrowserDatabase::lastErrorReason() const {
    switch (errorCode_) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return "the database is in use by another program (is the browser running?)";
    case SQLITE_NOTADB:
        return "the file is not a database";
    case SQLITE_CORRUPT:
        return "the database is damaged";
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return "permission denied";
    case SQLITE_CANTOPEN:
        return "the database could not be opened";
    default:
        return errorMessage_.empty() ? "the database could not be read" : errorMessage_;
    }
}

} // namespace tessaly

#include "ScanCode/RecordRemoval.h"

namespace tessaly {

std::vector<std::optional<std::string>>
changeInOneTransaction(const std::string& path, std::size_t count,
                       const std::function<bool(BrowserDatabase&, std::size_t)>& change,
                       std::stop_token stop, const ChangeOptions& options) {
    std::vector<std::optional<std::string>> out(count, std::string(kStoppedBeforeHandled));
    if (count == 0 || stop.stop_requested())
        return out;
    if (path.empty()) {
        std::fill(out.begin(), out.end(), std::string("the database is gone"));
        return out;
    }
    BrowserDatabase db(path);
    if (db.open())
        for (const auto& [name, file] : options.attached)
            db.attach(name, file);
    if (!db.isOpen() || !db.begin()) {
        if (db.lastErrorCode() != 0 && !db.isOpen())
            log::err(db.lastErrorCode(), db.lastErrorMessage());
        std::fill(out.begin(), out.end(), db.lastErrorReason());
        return out;
    }
    std::vector<std::size_t> done;
    for (std::size_t i = 0; i < count && !stop.stop_requested(); ++i) {
        if (change(db, i)) {
            out[i] = std::nullopt;
            done.push_back(i);
        } else {
            out[i] = db.lastErrorReason();
        }
    }
    if (!db.commit()) {
        for (std::size_t i : done)
            out[i] = db.lastErrorReason();
        return out;
    }
    if (options.compact && !done.empty() && !db.compact())
        log::line("the database could not be compacted: " + db.lastErrorMessage());
    return out;
}

} // namespace tessaly
