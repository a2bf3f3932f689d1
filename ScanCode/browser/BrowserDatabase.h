#pragma once

#include "platform/PlistValue.h"

#include <optional>
#include <set>
#include <string>
#include <vector>

struct sqlite3;

namespace tessaly {

// A row: column name in lower case to value (none for NULL, integer, real, text
// or bytes).
using SqlRow = PlistValue::Dict;
using SqlValues = std::vector<PlistValue>;

// One browser database (SQLite). Statements are fixed texts with "?" in the
// places of values, and every value is bound as a parameter, so no quote in a
// domain, address or title can change what a statement does. The file is never
// created: a missing database does not open.
class BrowserDatabase {
public:
    explicit BrowserDatabase(std::string path);
    ~BrowserDatabase();
    BrowserDatabase(const BrowserDatabase&) = delete;
    BrowserDatabase& operator=(const BrowserDatabase&) = delete;

    const std::string& path() const { return path_; }

    // Opens read-write (a browser database may be in write-ahead-log mode, which
    // readers need to write beside it). Waits up to a short time for a lock
    // another program holds. False, with the error kept, when it cannot.
    bool open();
    void close();
    bool isOpen() const { return db_ != nullptr; }

    // Runs a query; none when it fails (the error is kept).
    std::optional<std::vector<SqlRow>> query(const std::string& sql, const SqlValues& values = {});
    // Runs a statement that changes rows; false when it fails, which is logged
    // as "Err %d: %@" and kept.
    bool update(const std::string& sql, const SqlValues& values = {});
    // Rows changed by the last update.
    int changes() const;

    // A write transaction, taken at once (so that a browser holding the file
    // makes it fail before anything changes); commit() or rollback() ends it.
    bool begin();
    bool commit();
    void rollback();

    // Opens another database of the same profile on this connection under a
    // name ("favicons"), so that one transaction changes both; its tables are
    // then known as "name.table". Only a file that is there is attached (false
    // otherwise, or when it cannot be).
    bool attach(const std::string& name, const std::string& path);

    // Rebuilds every database of the connection without its free pages, so
    // that deleted rows leave nothing behind, and empties a write-ahead log
    // into its database. Outside a transaction only; false when it could not.
    bool compact();

    // The schema as found when the database was opened (or attached).
    bool hasTable(const std::string& table) const;
    bool hasColumn(const std::string& table, const std::string& column) const;

    // The last failure: SQLite's code and message (0 and empty when none).
    int lastErrorCode() const { return errorCode_; }
    const std::string& lastErrorMessage() const { return errorMessage_; }
    // The last failure in plain words ("the database is in use by another
    // program", "the file is not a database", ...).
    std::string lastErrorReason() const;

private:
    void keepError(int code);
    bool readSchema(const std::string& schema = "main");

    std::string path_;
    sqlite3* db_ = nullptr;
    int errorCode_ = 0;
    std::string errorMessage_;
    std::set<std::string> tables_;                          // lower case
    std::set<std::pair<std::string, std::string>> columns_; // table, column (lower case)
    std::vector<std::string> attached_;
};

} // namespace tessaly

#include <cstddef>
#include <functional>
#include <stop_token>

namespace tessaly {

// How a clean treats the databases it changes.
struct ChangeOptions {
    // Other databases of the profile (name, file) changed in the same
    // transaction; those that are not there are left out.
    std::vector<std::pair<std::string, std::string>> attached;
    // Compact them after the change (the browser is not running).
    bool compact = false;
};

// Carries out one change per item on a database in a single write transaction,
// so that a database another program holds is left exactly as it was. change()
// runs an item's statements (false when one failed). Deleted content is
// overwritten on the disk, and the databases are compacted afterwards when
// asked. Returns, per item, none when its change was made, else why not (an
// item a stop came before is "the clean was stopped before it was handled").
std::vector<std::optional<std::string>>
changeInOneTransaction(const std::string& path, std::size_t count,
                       const std::function<bool(BrowserDatabase&, std::size_t)>& change,
                       std::stop_token stop, const ChangeOptions& options = {});

} // namespace tessaly
