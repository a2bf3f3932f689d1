#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessaly::test {

// A temporary folder removed with everything in it when the object goes away.
class TempTree {
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::string& root() const { return root_; }
    std::string path(const std::string& relative) const;

    // Creates the folder (and parents) and returns its full path.
    std::string dir(const std::string& relative) const;
    // Creates a file (and parent folders) with the given text and returns its full path.
    std::string file(const std::string& relative, const std::string& contents = {}) const;
    // Creates a file of exactly `size` bytes filled with `fill`.
    std::string sizedFile(const std::string& relative, std::uint64_t size, char fill = 'x') const;
    // Creates `folders` folders named 0, 1, ... under `relative`, each holding
    // `filesEach` one-byte files (slow to remove), and returns their full paths.
    std::vector<std::string> foldersOfFiles(const std::string& relative, int folders,
                                            int filesEach) const;
    // Creates a symbolic link at `relative` pointing to `target`.
    std::string symlink(const std::string& relative, const std::string& target) const;

    bool exists(const std::string& relative) const;

private:
    std::string root_;
};

// Reads a whole file as text ("" when missing).
std::string readText(const std::string& path);

// Removes a tree without following links (test clean-up only). Throws, removing
// nothing, for a path that does not lie inside a TempTree sandbox, so that a fault
// in the home lookup can never make a test remove a real home folder.
void removeTree(const std::string& path);
bool insideTestSandbox(const std::string& path);

} // namespace tessaly::test

namespace tessaly::test {

// Sets an environment variable for the life of the object, then restores it.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::string old_;
    bool had_ = false;
};

// Makes a file impossible for the running user to remove, whoever that is: the
// immutable attribute for root (on file systems that keep it), a read-only
// parent folder for anyone else. Undone when the object goes away; ok() is false
// when neither can be done here.
class Unremovable {
public:
    explicit Unremovable(std::string path);
    ~Unremovable();
    Unremovable(const Unremovable&) = delete;
    Unremovable& operator=(const Unremovable&) = delete;
    bool ok() const { return ok_; }

private:
    std::string path_;
    bool ok_ = false;
    bool immutable_ = false;
};

// A temporary home folder and system root ("home" and "root" in one tree), set as
// TESSALY_HOME and TESSALY_ROOT for the object's life.
struct FixtureRoots {
    TempTree t;
    std::string home = t.dir("home");
    std::string root = t.dir("root");
    ScopedEnv homeEnv{"TESSALY_HOME", home};
    ScopedEnv rootEnv{"TESSALY_ROOT", root};
};

} // namespace tessaly::test
