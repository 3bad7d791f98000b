#include "platform/linux/registry_sqlite.h"

#include <sqlite3.h>

#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/text.h"

namespace platform {
namespace {

using win::DWORD;
using win::LONG;

// Rights that change a key or its values: KEY_SET_VALUE, KEY_CREATE_SUB_KEY, KEY_CREATE_LINK,
// DELETE, WRITE_DAC and WRITE_OWNER.
constexpr DWORD kWriteRights =
    KEY_SET_VALUE | KEY_CREATE_SUB_KEY | 0x0020 | 0x10000 | 0x40000 | 0x80000;
constexpr DWORD kViewFlags = KEY_WOW64_64KEY | KEY_WOW64_32KEY;
// The database could not be read or written (locked past the timeout, disk full...). Windows
// has no such case; a broken handle is the nearest thing it reports.
constexpr LONG kStorageFailure = win::ERROR_INVALID_HANDLE;
// Other processes (the tools the program starts) may hold the write lock meanwhile.
constexpr int kBusyTimeoutMilliseconds = 15000;
constexpr char kRedirectNode[] = "Wow6432Node";

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS reg_keys(
    id INTEGER PRIMARY KEY,
    hive INTEGER NOT NULL,
    path TEXT NOT NULL,
    parent TEXT,
    name TEXT NOT NULL,
    protected INTEGER NOT NULL DEFAULT 0,
    UNIQUE(hive, path));
CREATE INDEX IF NOT EXISTS reg_keys_by_parent ON reg_keys(hive, parent);
CREATE TABLE IF NOT EXISTS reg_values(
    id INTEGER PRIMARY KEY,
    key_id INTEGER NOT NULL,
    folded TEXT NOT NULL,
    name TEXT NOT NULL,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    UNIQUE(key_id, folded));
)sql";

constexpr const char* kBegin = "BEGIN IMMEDIATE";
constexpr const char* kCommit = "COMMIT";
constexpr const char* kRollback = "ROLLBACK";
constexpr const char* kFindKey = "SELECT id, protected FROM reg_keys WHERE hive = ?1 AND path = ?2";
constexpr const char* kInsertKey =
    "INSERT OR IGNORE INTO reg_keys(hive, path, parent, name) VALUES(?1, ?2, ?3, ?4)";
constexpr const char* kHasSubKey = "SELECT 1 FROM reg_keys WHERE hive = ?1 AND parent = ?2 LIMIT 1";
constexpr const char* kSubKeyNames =
    "SELECT name FROM reg_keys WHERE hive = ?1 AND parent = ?2 ORDER BY id";
constexpr const char* kDeleteKey = "DELETE FROM reg_keys WHERE id = ?1";
constexpr const char* kProtectKey =
    "UPDATE reg_keys SET protected = ?3 WHERE hive = ?1 AND path = ?2";
constexpr const char* kQueryValue =
    "SELECT v.type, v.data FROM reg_values v JOIN reg_keys k ON v.key_id = k.id "
    "WHERE k.hive = ?1 AND k.path = ?2 AND v.folded = ?3";
constexpr const char* kSetValue =
    "INSERT INTO reg_values(key_id, folded, name, type, data) VALUES(?1, ?2, ?3, ?4, ?5) "
    "ON CONFLICT(key_id, folded) DO UPDATE SET type = excluded.type, data = excluded.data";
constexpr const char* kDeleteValue = "DELETE FROM reg_values WHERE key_id = ?1 AND folded = ?2";
constexpr const char* kDeleteKeyValues = "DELETE FROM reg_values WHERE key_id = ?1";
constexpr const char* kValueNames = "SELECT name FROM reg_values WHERE key_id = ?1 ORDER BY id";

// A cached statement in use: reset and unbound when the scope ends, ready for the next caller.
// Only one Statement of a given SQL text may be alive at a time.
class Statement {
public:
    explicit Statement(sqlite3_stmt* statement) : statement_(statement) {}
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() {
        if (statement_ == nullptr)
            return;
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }

    bool IsValid() const { return statement_ != nullptr; }

    Statement& Bind(int index, std::int64_t value) {
        if (statement_ != nullptr)
            sqlite3_bind_int64(statement_, index, value);
        return *this;
    }
    Statement& Bind(int index, std::string_view text) {
        // A null pointer would bind SQL NULL; an empty text must stay a text.
        if (statement_ != nullptr) {
            sqlite3_bind_text(statement_, index, text.empty() ? "" : text.data(),
                              static_cast<int>(text.size()), SQLITE_TRANSIENT);
        }
        return *this;
    }
    // An empty blob is bound as a zero-length blob, never as NULL.
    Statement& BindBlob(int index, const void* data, DWORD size) {
        if (statement_ == nullptr)
            return *this;
        if (size == 0) {
            sqlite3_bind_zeroblob(statement_, index, 0);
        } else {
            sqlite3_bind_blob(statement_, index, data, static_cast<int>(size), SQLITE_TRANSIENT);
        }
        return *this;
    }

    enum class Step { Row, Done, Failed };
    Step Next() {
        if (statement_ == nullptr)
            return Step::Failed;
        const int result = sqlite3_step(statement_);
        if (result == SQLITE_ROW)
            return Step::Row;
        return result == SQLITE_DONE ? Step::Done : Step::Failed;
    }
    // Runs a statement that returns no rows.
    bool Run() { return Next() == Step::Done; }

    std::int64_t Integer(int column) const { return sqlite3_column_int64(statement_, column); }
    std::string Text(int column) const {
        const auto* text = sqlite3_column_text(statement_, column);
        if (text == nullptr)
            return {};
        return std::string(reinterpret_cast<const char*>(text),
                           static_cast<size_t>(sqlite3_column_bytes(statement_, column)));
    }
    const std::uint8_t* Blob(int column) const {
        return static_cast<const std::uint8_t*>(sqlite3_column_blob(statement_, column));
    }
    DWORD BlobSize(int column) const {
        return static_cast<DWORD>(sqlite3_column_bytes(statement_, column));
    }

private:
    sqlite3_stmt* statement_;
};

// One connection with its prepared statements, kept for the connection's life.
class Database {
public:
    Database() = default;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    ~Database() {
        for (auto& [sql, statement] : statements_)
            sqlite3_finalize(statement);
        if (connection_ != nullptr)
            sqlite3_close(connection_);
    }

    bool Open(const std::filesystem::path& file) {
        const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
        if (sqlite3_open_v2(file.c_str(), &connection_, flags, nullptr) != SQLITE_OK)
            return false;
        sqlite3_busy_timeout(connection_, kBusyTimeoutMilliseconds);
        return IsWalMode() && Execute("PRAGMA synchronous=NORMAL");
    }

    bool Execute(const char* sql) {
        return sqlite3_exec(connection_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    }

    // `sql` must be a constant: the cache is keyed by its address.
    Statement Prepare(const char* sql) {
        auto found = statements_.find(sql);
        if (found != statements_.end())
            return Statement(found->second);
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v3(connection_, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement,
                               nullptr) != SQLITE_OK) {
            sqlite3_finalize(statement);
            return Statement(nullptr);
        }
        statements_.emplace(sql, statement);
        return Statement(statement);
    }

    int Changes() const { return sqlite3_changes(connection_); }

private:
    bool IsWalMode() {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(connection_, "PRAGMA journal_mode=WAL", -1, &statement, nullptr) !=
            SQLITE_OK) {
            sqlite3_finalize(statement);
            return false;
        }
        const bool isWal =
            sqlite3_step(statement) == SQLITE_ROW &&
            EqualsIgnoreCase(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)),
                             "wal");
        sqlite3_finalize(statement);
        return isWal;
    }

    sqlite3* connection_ = nullptr;
    std::unordered_map<const char*, sqlite3_stmt*> statements_;
};

// BEGIN IMMEDIATE takes the write lock up front (waiting for other processes up to the busy
// timeout), so the reads a write depends on cannot be overtaken by another writer.
class WriteTransaction {
public:
    explicit WriteTransaction(Database& database)
        : database_(database), active_(database.Prepare(kBegin).Run()) {}
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;
    ~WriteTransaction() {
        if (active_)
            database_.Prepare(kRollback).Run();
    }

    bool IsActive() const { return active_; }
    bool Commit() {
        if (!active_ || !database_.Prepare(kCommit).Run())
            return false;
        active_ = false;
        return true;
    }

private:
    Database& database_;
    bool active_;
};

std::vector<std::string> SplitPath(std::string_view path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > start)
            parts.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::string JoinPath(const std::vector<std::string>& parts, size_t count) {
    std::string path;
    for (size_t i = 0; i < count; ++i) {
        if (i > 0)
            path += '\\';
        path += parts[i];
    }
    return path;
}

void RedirectClassIdAt(std::vector<std::string>& parts, size_t index) {
    if (parts.size() > index && EqualsIgnoreCase(parts[index], "CLSID")) {
        parts.insert(parts.begin() + static_cast<std::ptrdiff_t>(index), kRedirectNode);
    }
}

// The 32-bit view on 64-bit Windows: HKLM\SOFTWARE\X is HKLM\SOFTWARE\Wow6432Node\X, and the
// class registrations (HKCR\CLSID, which is HKLM\SOFTWARE\Classes\CLSID) live under
// Classes\Wow6432Node\CLSID. The rest of HKLM\SOFTWARE\Classes is shared by both views. A path
// that already names Wow6432Node is left alone, so applying the view twice changes nothing.
void ApplyWow64View(Hive hive, std::vector<std::string>& parts) {
    if (hive == Hive::ClassesRoot) {
        RedirectClassIdAt(parts, 0);
        return;
    }
    if (hive != Hive::LocalMachine || parts.empty() || !EqualsIgnoreCase(parts[0], "SOFTWARE")) {
        return;
    }
    if (parts.size() > 1 && EqualsIgnoreCase(parts[1], "Classes")) {
        RedirectClassIdAt(parts, 2);
    } else if (parts.size() < 2 || !EqualsIgnoreCase(parts[1], kRedirectNode)) {
        parts.insert(parts.begin() + 1, kRedirectNode);
    }
}

// Where a key lives in the database: HKEY_CLASSES_ROOT is HKLM\SOFTWARE\Classes.
struct Location {
    Hive hive;
    std::vector<std::string> parts;  // spelled as the caller wrote them

    std::string Folded(size_t count) const { return AsciiLower(JoinPath(parts, count)); }
    std::string Path() const { return Folded(parts.size()); }
    std::string ParentPath() const { return Folded(parts.empty() ? 0 : parts.size() - 1); }
};

Location LocationOf(Hive hive, std::vector<std::string> parts) {
    if (hive == Hive::ClassesRoot) {
        parts.insert(parts.begin(), {"SOFTWARE", "Classes"});
        hive = Hive::LocalMachine;
    }
    return Location{hive, std::move(parts)};
}

Location LocationOf(const RegKey& key) {
    return LocationOf(key.hive, SplitPath(key.path));
}

// Keys that exist on every system and cannot be deleted.
bool IsSystemKey(const Location& location) {
    static const char* const kSystemKeys[] = {"", "software", "software\\classes",
                                              "software\\wow6432node"};
    const std::string path = location.Path();
    for (const char* systemKey : kSystemKeys) {
        if (path == systemKey)
            return true;
    }
    return false;
}

struct KeyRow {
    std::int64_t id = 0;
    bool isProtected = false;
};

class SqliteRegistry final : public Registry {
public:
    explicit SqliteRegistry(bool is64BitWindows) : is64BitWindows_(is64BitWindows) {}

    bool Open(const std::filesystem::path& file) { return database_.Open(file) && CreateSchema(); }

    LONG OpenKey(const RegKey& parent, std::string_view subKey, DWORD access,
                 RegKey& out) override {
        if ((access & kViewFlags) == kViewFlags)
            return win::ERROR_INVALID_PARAMETER;
        std::lock_guard lock(mutex_);
        const RegKey key = Resolve(parent, subKey, access);
        KeyRow row;
        if (const LONG status = FindKey(LocationOf(key), row); status != win::ERROR_SUCCESS) {
            return status;
        }
        if ((access & kWriteRights) != 0 && row.isProtected)
            return win::ERROR_ACCESS_DENIED;
        out = key;
        return win::ERROR_SUCCESS;
    }

    LONG CreateKey(const RegKey& parent, std::string_view subKey, DWORD access, RegKey& out,
                   bool* created) override {
        if ((access & kViewFlags) == kViewFlags)
            return win::ERROR_INVALID_PARAMETER;
        std::lock_guard lock(mutex_);
        const RegKey key = Resolve(parent, subKey, access);
        const Location location = LocationOf(key);
        WriteTransaction transaction(database_);
        if (!transaction.IsActive())
            return kStorageFailure;
        KeyRow row;
        const LONG status = FindKey(location, row);
        if (status == win::ERROR_SUCCESS) {
            if ((access & kWriteRights) != 0 && row.isProtected)
                return win::ERROR_ACCESS_DENIED;
            out = key;
            if (created != nullptr)
                *created = false;
            return win::ERROR_SUCCESS;
        }
        if (status != win::ERROR_FILE_NOT_FOUND)
            return status;
        if ((parent.access & KEY_CREATE_SUB_KEY) == 0)
            return win::ERROR_ACCESS_DENIED;
        if (const LONG allowed = MayCreateBelowNearestAncestor(location);
            allowed != win::ERROR_SUCCESS) {
            return allowed;
        }
        if (!InsertMissingKeys(location) || !transaction.Commit())
            return kStorageFailure;
        out = key;
        if (created != nullptr)
            *created = true;
        return win::ERROR_SUCCESS;
    }

    LONG QueryValue(const RegKey& key, std::string_view name, DWORD* type, std::uint8_t* data,
                    DWORD* size) override {
        if ((key.access & KEY_QUERY_VALUE) == 0)
            return win::ERROR_ACCESS_DENIED;
        if (data != nullptr && size == nullptr)
            return win::ERROR_INVALID_PARAMETER;
        std::lock_guard lock(mutex_);
        const Location location = LocationOf(key);
        Statement query = database_.Prepare(kQueryValue);
        query.Bind(1, static_cast<int>(location.hive))
            .Bind(2, location.Path())
            .Bind(3, AsciiLower(name));
        const Statement::Step step = query.Next();
        if (step == Statement::Step::Done)
            return win::ERROR_FILE_NOT_FOUND;
        if (step == Statement::Step::Failed)
            return kStorageFailure;
        if (type != nullptr)
            *type = static_cast<DWORD>(query.Integer(0));
        const DWORD needed = query.BlobSize(1);
        if (data != nullptr) {
            if (*size < needed) {
                *size = needed;
                return win::ERROR_MORE_DATA;
            }
            if (needed > 0)
                std::memcpy(data, query.Blob(1), needed);
        }
        if (size != nullptr)
            *size = needed;
        return win::ERROR_SUCCESS;
    }

    LONG SetValue(const RegKey& key, std::string_view name, DWORD type, const void* data,
                  DWORD size) override {
        if ((key.access & KEY_SET_VALUE) == 0)
            return win::ERROR_ACCESS_DENIED;
        if (data == nullptr && size != 0)
            return win::ERROR_INVALID_PARAMETER;
        return ChangeKey(LocationOf(key), [&](const KeyRow& row) {
            Statement upsert = database_.Prepare(kSetValue);
            upsert.Bind(1, row.id).Bind(2, AsciiLower(name)).Bind(3, name).Bind(4, type);
            upsert.BindBlob(5, data, size);
            return upsert.Run() ? win::ERROR_SUCCESS : kStorageFailure;
        });
    }

    LONG DeleteValue(const RegKey& key, std::string_view name) override {
        if ((key.access & KEY_SET_VALUE) == 0)
            return win::ERROR_ACCESS_DENIED;
        return ChangeKey(LocationOf(key), [&](const KeyRow& row) {
            if (!database_.Prepare(kDeleteValue).Bind(1, row.id).Bind(2, AsciiLower(name)).Run())
                return kStorageFailure;
            return database_.Changes() == 0 ? win::ERROR_FILE_NOT_FOUND : win::ERROR_SUCCESS;
        });
    }

    LONG DeleteKey(const RegKey& parent, std::string_view subKey) override {
        const Location location = LocationOf(Resolve(parent, subKey, 0));
        return ChangeKey(location, [&](const KeyRow& row) {
            if (row.isProtected || IsSystemKey(location))
                return win::ERROR_ACCESS_DENIED;
            Statement children = database_.Prepare(kHasSubKey);
            children.Bind(1, static_cast<int>(location.hive)).Bind(2, location.Path());
            const Statement::Step step = children.Next();
            if (step == Statement::Step::Failed)
                return kStorageFailure;
            if (step == Statement::Step::Row)
                return win::ERROR_ACCESS_DENIED;
            if (!database_.Prepare(kDeleteKeyValues).Bind(1, row.id).Run() ||
                !database_.Prepare(kDeleteKey).Bind(1, row.id).Run()) {
                return kStorageFailure;
            }
            return win::ERROR_SUCCESS;
        });
    }

    LONG EnumValueNames(const RegKey& key, std::vector<std::string>& names) override {
        if ((key.access & KEY_QUERY_VALUE) == 0)
            return win::ERROR_ACCESS_DENIED;
        std::lock_guard lock(mutex_);
        KeyRow row;
        if (const LONG status = FindKey(LocationOf(key), row); status != win::ERROR_SUCCESS) {
            return status;
        }
        Statement query = database_.Prepare(kValueNames);
        query.Bind(1, row.id);
        return CollectNames(query, names);
    }

    LONG EnumSubKeyNames(const RegKey& key, std::vector<std::string>& names) override {
        if ((key.access & KEY_ENUMERATE_SUB_KEYS) == 0)
            return win::ERROR_ACCESS_DENIED;
        std::lock_guard lock(mutex_);
        const Location location = LocationOf(key);
        KeyRow row;
        if (const LONG status = FindKey(location, row); status != win::ERROR_SUCCESS) {
            return status;
        }
        Statement query = database_.Prepare(kSubKeyNames);
        query.Bind(1, static_cast<int>(location.hive)).Bind(2, location.Path());
        return CollectNames(query, names);
    }

    LONG SetWriteProtected(const RegKey& parent, std::string_view subKey,
                           bool isProtected) override {
        std::lock_guard lock(mutex_);
        const Location location = LocationOf(Resolve(parent, subKey, 0));
        WriteTransaction transaction(database_);
        if (!transaction.IsActive())
            return kStorageFailure;
        Statement update = database_.Prepare(kProtectKey);
        update.Bind(1, static_cast<int>(location.hive))
            .Bind(2, location.Path())
            .Bind(3, isProtected ? 1 : 0);
        if (!update.Run())
            return kStorageFailure;
        if (database_.Changes() == 0)
            return win::ERROR_FILE_NOT_FOUND;
        return transaction.Commit() ? win::ERROR_SUCCESS : kStorageFailure;
    }

private:
    bool CreateSchema() {
        WriteTransaction transaction(database_);
        if (!transaction.IsActive() || !database_.Execute(kSchema))
            return false;
        // The hive roots, and the keys HKEY_CLASSES_ROOT is made of, always exist.
        for (const Hive hive : {Hive::LocalMachine, Hive::CurrentUser, Hive::Users}) {
            if (!InsertMissingKeys(Location{hive, {}}))
                return false;
        }
        return InsertMissingKeys(LocationOf(Hive::ClassesRoot, {})) && transaction.Commit();
    }

    // The key named by `subKey` below `parent`, seen through the view that `access` asks for
    // (or, when it names none, the view the parent was opened with).
    RegKey Resolve(const RegKey& parent, std::string_view subKey, DWORD access) const {
        const DWORD view =
            (access & kViewFlags) != 0 ? access & kViewFlags : parent.access & kViewFlags;
        std::vector<std::string> parts = SplitPath(parent.path);
        for (std::string& part : SplitPath(subKey))
            parts.push_back(std::move(part));
        if (is64BitWindows_ && (view & KEY_WOW64_64KEY) == 0)
            ApplyWow64View(parent.hive, parts);
        return RegKey{parent.hive, JoinPath(parts, parts.size()), access | view};
    }

    // Runs `change` on the row of the key at `location` in one write transaction, committed
    // when the change succeeds; a missing key or a failed change leaves the registry as it was.
    template <typename Change>
    LONG ChangeKey(const Location& location, Change change) {
        std::lock_guard lock(mutex_);
        WriteTransaction transaction(database_);
        if (!transaction.IsActive())
            return kStorageFailure;
        KeyRow row;
        if (const LONG status = FindKey(location, row); status != win::ERROR_SUCCESS)
            return status;
        if (const LONG status = change(row); status != win::ERROR_SUCCESS)
            return status;
        return transaction.Commit() ? win::ERROR_SUCCESS : kStorageFailure;
    }

    LONG FindKey(const Location& location, KeyRow& row) {
        return FindKeyByPath(location.hive, location.Path(), row);
    }

    LONG FindKeyByPath(Hive hive, const std::string& foldedPath, KeyRow& row) {
        Statement query = database_.Prepare(kFindKey);
        query.Bind(1, static_cast<int>(hive)).Bind(2, foldedPath);
        const Statement::Step step = query.Next();
        if (step == Statement::Step::Failed)
            return kStorageFailure;
        if (step == Statement::Step::Done)
            return win::ERROR_FILE_NOT_FOUND;
        row.id = query.Integer(0);
        row.isProtected = query.Integer(1) != 0;
        return win::ERROR_SUCCESS;
    }

    // A new key inherits the protection of the nearest key that already exists above it.
    LONG MayCreateBelowNearestAncestor(const Location& location) {
        for (size_t count = location.parts.size(); count-- > 0;) {
            KeyRow row;
            const LONG status = FindKeyByPath(location.hive, location.Folded(count), row);
            if (status == win::ERROR_FILE_NOT_FOUND)
                continue;
            if (status != win::ERROR_SUCCESS)
                return status;
            return row.isProtected ? win::ERROR_ACCESS_DENIED : win::ERROR_SUCCESS;
        }
        return win::ERROR_SUCCESS;
    }

    // Inserts the key and every missing key above it; existing keys keep their spelling.
    bool InsertMissingKeys(const Location& location) {
        if (!InsertKey(location.hive, "", nullptr, ""))
            return false;
        for (size_t count = 1; count <= location.parts.size(); ++count) {
            const std::string parent = location.Folded(count - 1);
            if (!InsertKey(location.hive, location.Folded(count), &parent,
                           location.parts[count - 1])) {
                return false;
            }
        }
        return true;
    }

    // A hive root has no parent (SQL NULL), so it is nobody's subkey.
    bool InsertKey(Hive hive, std::string_view foldedPath, const std::string* foldedParent,
                   std::string_view name) {
        Statement insert = database_.Prepare(kInsertKey);
        insert.Bind(1, static_cast<int>(hive)).Bind(2, foldedPath).Bind(4, name);
        if (foldedParent != nullptr)
            insert.Bind(3, *foldedParent);
        return insert.Run();
    }

    static LONG CollectNames(Statement& query, std::vector<std::string>& names) {
        names.clear();
        Statement::Step step;
        while ((step = query.Next()) == Statement::Step::Row)
            names.push_back(query.Text(0));
        return step == Statement::Step::Done ? win::ERROR_SUCCESS : kStorageFailure;
    }

    const bool is64BitWindows_;
    std::mutex mutex_;
    Database database_;
};

}  // namespace

std::unique_ptr<Registry> MakeSqliteRegistry(const std::filesystem::path& databaseFile,
                                             bool is64BitWindows) {
    auto registry = std::make_unique<SqliteRegistry>(is64BitWindows);
    if (!registry->Open(databaseFile))
        return nullptr;
    return registry;
}

}  // namespace platform
