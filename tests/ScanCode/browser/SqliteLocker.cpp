// sqlite_locker DATABASE: holds a write lock on the database (an open exclusive
// transaction that has changed a row) as a running browser would, says "locked"
// on standard output, and ends when its standard input closes; the change is
// rolled back.
#include <cstdio>
#include <sqlite3.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
        sqlite3_exec(db, "BEGIN EXCLUSIVE; DELETE FROM meta;", nullptr, nullptr, nullptr) !=
            SQLITE_OK) {
        std::printf("failed\n");
        return 1;
    }
    std::printf("locked\n");
    std::fflush(stdout);
    char c;
    while (::read(0, &c, 1) > 0) {
    }
    sqlite3_close(db);
    return 0;
}
