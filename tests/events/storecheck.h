#pragma once
// The store as the event tests look at it from outside: through plain SQLite, so the checks do
// not lean on the layer under test.
#include <sqlite3.h>

#include <cstdlib>
#include <string>
#include <vector>

// The first column of every row `sql` gives on the database at `db`.
inline std::vector<std::string> Column(const std::string& db, const std::string& sql) {
    std::vector<std::string> out;
    sqlite3* h = nullptr;
    if (sqlite3_open(db.c_str(), &h) == SQLITE_OK) {
        sqlite3_busy_timeout(h, 5000);
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(h, sql.c_str(), -1, &st, nullptr) == SQLITE_OK)
            while (sqlite3_step(st) == SQLITE_ROW)
                out.push_back(sqlite3_column_text(st, 0) ? reinterpret_cast<const char*>(sqlite3_column_text(st, 0))
                                                         : "");
        sqlite3_finalize(st);
    }
    sqlite3_close(h);
    return out;
}

inline int RowCount(const std::string& db) {
    auto c = Column(db, "select count(*) from EventUpFailed");
    return c.empty() ? -1 : std::atoi(c[0].c_str());
}
