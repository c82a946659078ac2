// A tree brought up to date from the change history equals a fresh scan,
// node for node, whatever happened to it, to its root, to the mounts and to
// the journal; with tidewell-historyd and with the in-process recorder.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "history_fixture.h"
#include "journal.h"
#include "temp_tree.h"

namespace tidewell {
namespace {

using test::Backend;
using test::HistorySession;
using test::must;
using test::TempDir;

namespace fs = std::filesystem;

// ---- file system operations the cases are made of ---------------------------

void writeFile(const std::string& path, std::size_t bytes, bool append = false) {
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC), 0644);
    must(fd >= 0, "open " + path);
    const std::string data(bytes, 'x');
    const bool ok = ::write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size());
    // Settled allocation: the fresh scan and the refresh see the same blocks.
    ::fsync(fd);
    ::close(fd);
    must(ok, "write " + path);
}

void makeDirs(const std::string& path) {
    fs::create_directories(path);
}

void move(const std::string& from, const std::string& to) {
    must(::rename(from.c_str(), to.c_str()) == 0, "move " + from + " to " + to);
}

void run(const std::string& command) {
    must(test::shell(command), "run " + command);
}

// ---- cases ----------------------------------------------------------------------

struct Area {
    TempDir base;
    std::string operator/(std::string_view rel) const { return base / rel; }
    std::string state() const { return base / "state"; }
};

enum class Expect { any, refresh, fullScan };

struct Step {
    std::string what;
    std::function<void(const Area&, HistorySession&)> act;
    Expect expect = Expect::any;
};

struct Case {
    std::string name;
    std::string root = "S";
    std::vector<Step> steps;
    std::function<void(const Area&)> setup = [](const Area&) {};
    std::function<void(const Area&)> cleanup = [](const Area&) {};
    std::vector<Backend> backends = {Backend::inProcess, Backend::service};
    Expect unchanged = Expect::refresh;  // the update right after the first scan
};

// The tree every case starts from, and things outside it to move in.
void standardTree(const Area& a) {
    makeDirs(a / "S/a/sub");
    makeDirs(a / "S/b");
    writeFile(a / "S/a/x", 1000);
    writeFile(a / "S/a/sub/f", 3000);
    writeFile(a / "S/b/old", 2000);
    writeFile(a / "S/b/gone", 100);
    makeDirs(a / "out/dirIn/inner");
    writeFile(a / "out/dirIn/inner/g", 4000);
    writeFile(a / "out/fileIn", 500);
}

// Runs one case with one backend; the failures, each naming case, backend and step.
std::vector<std::string> runCase(const Case& c, Backend backend) {
    std::vector<std::string> failures;
    Area area;
    standardTree(area);
    c.setup(area);
    const std::string where = c.name + " (" + test::backendName(backend) + ")";
    {
        HistorySession session(backend, area.state(), area / c.root);
        auto check = [&](const std::string& step, Expect expect) {
            const std::string why = session.tree().update();
            const std::string how = session.tree().refreshed() ? "refreshed" : "full scan: " + why;
            const std::string diff = session.tree().differenceFromFreshScan();
            if (!diff.empty())
                failures.push_back(where + ", after " + step + ": " + diff + " (" + how + ")");
            if (expect == Expect::refresh && !session.tree().refreshed())
                failures.push_back(where + ", after " + step + ": expected a refresh, got a " +
                                   how);
            if (expect == Expect::fullScan && session.tree().refreshed())
                failures.push_back(where + ", after " + step + ": expected a full scan");
        };
        try {
            check("the first scan", Expect::fullScan);
            check("no change", c.unchanged);
            for (const Step& s : c.steps) {
                s.act(area, session);
                check(s.what, s.expect);
            }
        } catch (const std::exception& e) {
            failures.push_back(where + ": " + e.what());
        }
    }
    c.cleanup(area);
    return failures;
}

std::vector<std::string> runCases(const std::vector<Case>& cases) {
    std::vector<std::string> failures;
    for (const Case& c : cases)
        for (const Backend b : c.backends)
            for (std::string& f : runCase(c, b)) failures.push_back(std::move(f));
    return failures;
}

void report(const test::ChildRun& run) {
    if (run.skipped) GTEST_SKIP() << *run.skipped;
    for (const std::string& f : run.failures) ADD_FAILURE() << f;
}

Step step(std::string what, std::function<void(const Area&)> act, Expect expect = Expect::any) {
    return {std::move(what), [act = std::move(act)](const Area& a, HistorySession&) { act(a); },
            expect};
}

std::vector<Case> everydayAndRootCases() {
    std::vector<Case> cases;
    cases.push_back({"files made, grown and deleted",
                     "S",
                     {step(
                         "the changes",
                         [](const Area& a) {
                             writeFile(a / "S/a/new", 5000);
                             writeFile(a / "S/b/old", 10000, true);
                             fs::remove(a / "S/b/gone");
                         },
                         Expect::refresh)}});
    cases.push_back({"renames inside the tree",
                     "S",
                     {step(
                         "the renames",
                         [](const Area& a) {
                             move(a / "S/a/x", a / "S/b/y");
                             move(a / "S/a/sub", a / "S/b/sub2");
                         },
                         Expect::refresh)}});
    cases.push_back({"moves into the tree",
                     "S",
                     {step(
                         "the moves",
                         [](const Area& a) {
                             move(a / "out/dirIn", a / "S/a/dirIn");
                             move(a / "out/fileIn", a / "S/fileIn");
                         },
                         Expect::refresh)}});
    cases.push_back(
        {"moves out of the tree",
         "S",
         {step(
              "the moves",
              [](const Area& a) {
                  move(a / "S/a/sub", a / "out/away");
                  move(a / "S/b/old", a / "out/oldAway");
              },
              Expect::refresh),
          step(
              "a change in what moved out",
              [](const Area& a) { writeFile(a / "out/away/later", 100); }, Expect::refresh)}});
    cases.push_back({"mkdir -p and rm -rf",
                     "S",
                     {step(
                          "mkdir -p",
                          [](const Area& a) {
                              makeDirs(a / "S/deep/1/2/3");
                              writeFile(a / "S/deep/1/2/3/f", 7000);
                          },
                          Expect::refresh),
                      step(
                          "rm -rf",
                          [](const Area& a) {
                              fs::remove_all(a / "S/deep/1");
                              fs::remove_all(a / "S/a");
                          },
                          Expect::refresh)}});
    cases.push_back(
        {"hard links",
         "S",
         {step(
              "the links",
              [](const Area& a) {
                  must(::link((a / "S/b/old").c_str(), (a / "S/a/hard").c_str()) == 0, "link");
                  must(::link((a / "S/a/x").c_str(), (a / "out/hardOut").c_str()) == 0, "link");
              },
              Expect::refresh),
          step("a write through one of two names in the tree",
               [](const Area& a) { writeFile(a / "S/a/hard", 20000, true); }),
          step(
              "one name removed", [](const Area& a) { fs::remove(a / "S/b/old"); },
              Expect::refresh)}});
    cases.push_back({"a folder replaced by a file and back",
                     "S",
                     {step(
                          "folder to file",
                          [](const Area& a) {
                              fs::remove_all(a / "S/a/sub");
                              writeFile(a / "S/a/sub", 700);
                          },
                          Expect::refresh),
                      step(
                          "file to folder",
                          [](const Area& a) {
                              fs::remove(a / "S/a/sub");
                              makeDirs(a / "S/a/sub");
                              writeFile(a / "S/a/sub/q", 900);
                          },
                          Expect::refresh)}});
    // The reported case: rm -rf S; mkdir S; then a new file in it.
    cases.push_back({"the root removed and made again",
                     "S",
                     {step("rm -rf and mkdir",
                           [](const Area& a) {
                               fs::remove_all(a / "S");
                               makeDirs(a / "S");
                           }),
                      step(
                          "a new file", [](const Area& a) { writeFile(a / "S/more", 3000000); },
                          Expect::refresh)}});
    cases.push_back({"the root moved away and back",
                     "S",
                     {step("away and back",
                           [](const Area& a) {
                               move(a / "S", a / "S2");
                               writeFile(a / "S2/a/away", 100);
                               move(a / "S2", a / "S");
                           }),
                      step(
                          "a change after", [](const Area& a) { writeFile(a / "S/a/after", 2000); },
                          Expect::refresh)}});
    Case ancestor{"an ancestor moved and the path made again",
                  "P/S",
                  {step("the move",
                        [](const Area& a) {
                            move(a / "P", a / "P2");
                            makeDirs(a / "P/S/a");
                            writeFile(a / "P/S/a/new", 100);
                        }),
                   step(
                       "a change after", [](const Area& a) { writeFile(a / "P/S/more", 5000); },
                       Expect::refresh)}};
    ancestor.setup = [](const Area& a) {
        makeDirs(a / "P/S/a");
        writeFile(a / "P/S/a/f", 3000);
    };
    cases.push_back(ancestor);
    Case file{"a single file that grows",
              "file",
              {step(
                   "it grows", [](const Area& a) { writeFile(a / "file", 50000, true); },
                   Expect::fullScan),
               step(
                   "it grows again", [](const Area& a) { writeFile(a / "file", 90000, true); },
                   Expect::fullScan)}};
    file.setup = [](const Area& a) { writeFile(a / "file", 1000); };
    file.unchanged = Expect::fullScan;  // a file is never refreshed from the history
    cases.push_back(file);
    Case deep{"a folder too deep to watch",
              "S",
              {step("the deep folder", [](const Area& a) { test::makeDeepChain(a / "S/long"); }),
               step("a change beside it", [](const Area& a) { writeFile(a / "S/a/z", 100); })}};
    deep.cleanup = [](const Area& a) {
        const int fd = ::open((a / "S").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        test::removeTree(fd, "long");
        ::close(fd);
    };
    cases.push_back(deep);
    return cases;
}

std::vector<Case> journalCases() {
    std::vector<Case> cases;
    cases.push_back({"the history folder removed",
                     "S",
                     {Step{"the removal",
                           [](const Area& a, HistorySession& s) {
                               if (s.service() != nullptr) s.service()->stop();
                               fs::remove_all(s.journalDir());
                               if (s.service() != nullptr) {
                                   test::journalDirectoryIn(a.state());
                                   s.service()->start();
                               }
                               writeFile(a / "S/a/new", 100);
                           }},
                      step(
                          "a change after", [](const Area& a) { writeFile(a / "S/a/again", 100); },
                          Expect::refresh)}});
    cases.push_back({"only the segments removed while the service is stopped",
                     "S",
                     {Step{"the removal",
                           [](const Area& a, HistorySession& s) {
                               s.service()->stop();
                               for (const journal::Segment& seg :
                                    journal::listSegments(s.journalDir()))
                                   fs::remove(seg.path);
                               writeFile(a / "S/a/meanwhile", 100);
                               s.service()->start();
                           }},
                      step(
                          "a change after", [](const Area& a) { writeFile(a / "S/a/z", 100); },
                          Expect::refresh)},
                     [](const Area&) {},
                     [](const Area&) {},
                     {Backend::service}});
    cases.push_back({"a damaged record in the segment being written",
                     "S",
                     {Step{"the damage",
                           [](const Area& a, HistorySession& s) {
                               writeFile(a / "S/a/before", 100);
                               test::damageNewestSegment(s.journalDir());
                               writeFile(a / "S/a/after", 100);
                           }},
                      step(
                          "a change after", [](const Area& a) { writeFile(a / "S/b/more", 100); },
                          Expect::refresh)}});
    return cases;
}

TEST(HistoryDifferential, RefreshedTreesEqualFreshScans) {
    for (const std::string& f : runCases(everydayAndRootCases())) ADD_FAILURE() << f;
    for (const std::string& f : runCases(journalCases())) ADD_FAILURE() << f;
}

// Mounts need root; each runs in a child with mounts of its own.
TEST(HistoryDifferential, MountsInAPrivateNamespace) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting needs root";
    report(test::inChild({true, std::nullopt}, [] {
        std::vector<Case> cases;
        cases.push_back(
            {"a file system mounted over a folder inside",
             "S",
             {step("the mount",
                   [](const Area& a) {
                       run("mount -t tmpfs -o size=4m tmpfs " + (a / "S/a"));
                       writeFile(a / "S/a/onTmpfs", 3000);
                   }),
              step("the unmount", [](const Area& a) { run("umount " + (a / "S/a")); }),
              step(
                  "a change after", [](const Area& a) { writeFile(a / "S/b/new", 100); },
                  Expect::refresh)}});
        Case removable{"a removable file system remounted at the root",
                       "M",
                       {step("the remount",
                             [](const Area& a) {
                                 run("umount " + (a / "M"));
                                 makeDirs(a / "N");
                                 run("mount -o loop " + (a / "image") + " " + (a / "N"));
                                 writeFile(a / "N/elsewhere", 9000);
                                 run("umount " + (a / "N"));
                                 run("mount -o loop " + (a / "image") + " " + (a / "M"));
                             }),
                        step(
                            "a change after", [](const Area& a) { writeFile(a / "M/after", 100); },
                            Expect::refresh)}};
        removable.setup = [](const Area& a) {
            run("truncate -s 16M " + (a / "image") + " && mkfs.ext4 -q -F " + (a / "image"));
            makeDirs(a / "M");
            run("mount -o loop " + (a / "image") + " " + (a / "M"));
            writeFile(a / "M/first", 5000);
        };
        removable.cleanup = [](const Area& a) {
            test::shell("umount " + (a / "M") + " 2>/dev/null");
        };
        cases.push_back(removable);
        Case full{"the disk holding the history is full",
                  "S",
                  {step("the disk fills",
                        [](const Area& a) {
                            const int fd = ::open((a / "state/filler").c_str(),
                                                  O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
                            const std::string chunk(65536, 'f');
                            while (::write(fd, chunk.data(), chunk.size()) > 0) {
                            }
                            ::close(fd);
                            writeFile(a / "S/a/during", 100);
                        }),
                   step("space again",
                        [](const Area& a) {
                            fs::remove(a / "state/filler");
                            writeFile(a / "S/a/after", 100);
                        }),
                   step(
                       "a change after", [](const Area& a) { writeFile(a / "S/a/later", 100); },
                       Expect::refresh)}};
        full.setup = [](const Area& a) {
            makeDirs(a.state());
            run("mount -t tmpfs -o size=1m tmpfs " + a.state());
        };
        full.cleanup = [](const Area& a) { test::shell("umount " + a.state()); };
        cases.push_back(full);
        return runCases(cases);
    }));
}

// Permissions mean nothing to root: these run as nobody, in a child.
TEST(HistoryDifferential, PermissionChangesAsAnotherUser) {
    report(
        test::inChild({false, ::geteuid() == 0 ? std::optional<uid_t>(65534) : std::nullopt}, [] {
            std::vector<Case> cases;
            Case readable{
                "a folder made readable",
                "S",
                {step("chmod 755",
                      [](const Area& a) {
                          must(::chmod((a / "S/locked").c_str(), 0755) == 0, "chmod");
                      }),
                 step(
                     "a change inside it",
                     [](const Area& a) { writeFile(a / "S/locked/new", 100); }, Expect::refresh)}};
            // The first scan met a folder it could not watch.
            readable.unchanged = Expect::any;
            readable.setup = [](const Area& a) {
                makeDirs(a / "S/locked/inner");
                writeFile(a / "S/locked/f", 2000);
                writeFile(a / "S/locked/inner/g", 100);
                must(::chmod((a / "S/locked").c_str(), 0) == 0, "chmod");
            };
            cases.push_back(readable);
            cases.push_back(
                {"a folder made unreadable and readable again",
                 "S",
                 {step("chmod 000",
                       [](const Area& a) { must(::chmod((a / "S/b").c_str(), 0) == 0, "chmod"); }),
                  step("chmod 755",
                       [](const Area& a) {
                           must(::chmod((a / "S/b").c_str(), 0755) == 0, "chmod");
                       }),
                  step(
                      "a change after", [](const Area& a) { writeFile(a / "S/a/x2", 100); },
                      Expect::refresh)}});
            return runCases(cases);
        }));
}

// ---- random operations ---------------------------------------------------------

std::uint64_t envNumber(const char* name, std::uint64_t fallback) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0' ? std::strtoull(v, nullptr, 10) : fallback;
}

class RandomChanges {
  public:
    RandomChanges(const Area& area, std::uint64_t seed) : area_(area), rng_(seed) {}

    // One random operation inside, into or out of the tree; what it did.
    std::string apply() {
        const std::vector<std::string> dirs = listed(area_ / "S", true);
        const std::vector<std::string> files = listed(area_ / "S", false);
        const std::vector<std::string> outside = listed(area_ / "out", true, false);
        const std::string dir = pick(dirs);
        const std::string name = "n" + std::to_string(counter_++);
        switch (below(14)) {
            case 0:
                write(dir + "/" + name, below(20000));
                return "create " + rel(dir + "/" + name);
            case 1: {
                if (files.empty()) return "nothing";
                const std::string f = pick(files);
                write(f, below(30000), true);
                return "append " + rel(f);
            }
            case 2: {
                if (files.empty()) return "nothing";
                const std::string f = pick(files);
                noteOtherNames(f);
                fs::resize_file(f, below(100));
                return "truncate " + rel(f);
            }
            case 3: {
                if (files.empty()) return "nothing";
                const std::string f = pick(files);
                fs::remove(f);
                return "delete " + rel(f);
            }
            case 4:
                makeDirs(dir + "/" + name);
                return "mkdir " + rel(dir + "/" + name);
            case 5: {
                std::string p = dir + "/" + name;
                for (std::size_t i = below(3); i > 0; --i) p += "/" + name + std::to_string(i);
                makeDirs(p);
                write(p + "/f", below(5000));
                return "mkdir -p " + rel(p);
            }
            case 6: {
                if (dirs.size() < 2) return "nothing";
                const std::string d = pickBelowRoot(dirs);
                fs::remove_all(d);
                return "rm -rf " + rel(d);
            }
            case 7: {
                if (files.empty()) return "nothing";
                const std::string f = pick(files);
                move(f, dir + "/" + name);
                return "rename " + rel(f) + " to " + rel(dir + "/" + name);
            }
            case 8: {
                if (dirs.size() < 2) return "nothing";
                const std::string from = pickBelowRoot(dirs);
                if (isAtOrBelow(dir, from)) return "nothing";
                move(from, dir + "/" + name);
                return "rename " + rel(from) + " to " + rel(dir + "/" + name);
            }
            case 9: {
                if (dirs.size() < 2) return "nothing";
                const std::string from = pickBelowRoot(dirs);
                move(from, area_ / ("out/" + name));
                return "move " + rel(from) + " out";
            }
            case 10: {
                if (outside.empty()) return "nothing";
                move(pick(outside), dir + "/" + name);
                return "move in to " + rel(dir + "/" + name);
            }
            case 11: {
                if (files.empty()) return "nothing";
                const std::string f = pick(files);
                if (wasWritten(f)) severalNames_ = true;
                must(::link(f.c_str(), (dir + "/" + name).c_str()) == 0, "link");
                return "link " + rel(f) + " as " + rel(dir + "/" + name);
            }
            case 12:
                fs::create_symlink("../somewhere", dir + "/" + name);
                return "symlink";
            default: {
                if (files.empty()) return "nothing";
                const std::string f = pick(files);
                fs::remove(f);
                makeDirs(f);
                write(f + "/inside", below(3000));
                return "file to folder " + rel(f);
            }
        }
    }

    // Whether a file with other names was written to since the last call:
    // the history then answers with a gap.
    bool wroteThroughOneOfSeveralNames() {
        written_.clear();
        return std::exchange(severalNames_, false);
    }

  private:
    std::string rel(const std::string& p) const {
        const std::string top = area_ / "S";
        return p.size() > top.size() ? "." + p.substr(top.size()) : ".";
    }
    // Written files, by inode: a file given another name after it was
    // written counts too, since the recorder looks at it only afterwards.
    void write(const std::string& file, std::size_t bytes, bool append = false) {
        noteOtherNames(file);
        writeFile(file, bytes, append);
        noteOtherNames(file);
    }
    void noteOtherNames(const std::string& file) {
        struct stat st {};
        if (::lstat(file.c_str(), &st) != 0) return;
        if (st.st_nlink > 1) severalNames_ = true;
        written_.emplace(st.st_dev, st.st_ino);
    }
    bool wasWritten(const std::string& file) const {
        struct stat st {};
        return ::lstat(file.c_str(), &st) == 0 && written_.contains({st.st_dev, st.st_ino});
    }
    static bool isAtOrBelow(const std::string& p, const std::string& d) {
        return p == d || (p.size() > d.size() && p.starts_with(d) && p[d.size()] == '/');
    }
    std::size_t below(std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_);
    }
    std::string pick(const std::vector<std::string>& from) { return from[below(from.size())]; }
    std::string pickBelowRoot(const std::vector<std::string>& dirs) {
        return dirs[1 + below(dirs.size() - 1)];
    }
    // Folders (the top first) or files below `top`, sorted so a seed always
    // means the same operations.
    std::vector<std::string> listed(const std::string& top, bool folders, bool withTop = true) {
        std::vector<std::string> out;
        if (folders && withTop) out.push_back(top);
        std::vector<std::string> found;
        for (auto it = fs::recursive_directory_iterator(top);
             it != fs::recursive_directory_iterator(); ++it) {
            const bool isDir = it->is_directory() && !it->is_symlink();
            if (isDir == folders && (folders || it->is_regular_file()))
                found.push_back(it->path().string());
        }
        std::sort(found.begin(), found.end());
        out.insert(out.end(), found.begin(), found.end());
        return out;
    }

    const Area& area_;
    std::mt19937_64 rng_;
    std::uint64_t counter_ = 0;
    bool severalNames_ = false;
    std::set<std::pair<dev_t, ino_t>> written_;
};

// A short fixed-seed round runs here; longer ones with, for example,
// TIDEWELL_FUZZ_ROUNDS=50 TIDEWELL_FUZZ_OPS=2000 TIDEWELL_FUZZ_SEED=1.
TEST(HistoryDifferential, RandomOperationsRefreshToAFreshScan) {
    const std::uint64_t firstSeed = envNumber("TIDEWELL_FUZZ_SEED", 20240611);
    const std::uint64_t rounds = envNumber("TIDEWELL_FUZZ_ROUNDS", 1);
    const std::uint64_t operations = envNumber("TIDEWELL_FUZZ_OPS", 300);
    for (std::uint64_t round = 0; round < rounds; ++round) {
        const std::uint64_t seed = firstSeed + round;
        for (const Backend backend : {Backend::inProcess, Backend::service}) {
            SCOPED_TRACE("seed " + std::to_string(seed) + ", " + test::backendName(backend));
            Area area;
            standardTree(area);
            HistorySession session(backend, area.state(), area / "S");
            RandomChanges changes(area, seed);
            std::mt19937_64 batches(seed ^ 0x9e3779b97f4a7c15ULL);
            session.tree().update();
            std::size_t done = 0, updates = 0, refreshes = 0;
            while (done < operations) {
                std::string log;
                const std::size_t n = 1 + batches() % 8;
                for (std::size_t i = 0; i < n && done < operations; ++i, ++done)
                    log += changes.apply() + "; ";
                const std::string why = session.tree().update();
                ++updates;
                if (session.tree().refreshed()) ++refreshes;
                const std::string diff = session.tree().differenceFromFreshScan();
                ASSERT_TRUE(diff.empty())
                    << "after operation " << done << " (" << log << "): " << diff
                    << (session.tree().refreshed()
                            ? " (refreshed: " + session.tree().lastChanges() + ")"
                            : " (full scan: " + why + ")");
                // Every other change here is one the history can tell: no reason for
                // a full scan.
                if (!changes.wroteThroughOneOfSeveralNames()) {
                    EXPECT_TRUE(session.tree().refreshed()) << "after " << log << ": " << why;
                }
            }
            std::printf("seed %llu, %s: %zu operations, %zu updates, %zu refreshed\n",
                        static_cast<unsigned long long>(seed), test::backendName(backend), done,
                        updates, refreshes);
        }
    }
}

}  // namespace
}  // namespace tidewell
