#include "tests/history/PostgresServer.h"

#include <libpq-fe.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <algorithm>
#include <vector>

extern char** environ;

namespace {

PostgresServer* g_server = nullptr;

// The newest installed server's programs, unless FERIX_PG_BIN names the folder.
std::filesystem::path serverPrograms() {
    if (const char* given = std::getenv("FERIX_PG_BIN"); given != nullptr && *given != '\0') {
        return given;
    }
    std::vector<std::filesystem::path> found;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", ec)) {
        if (std::filesystem::exists(entry.path() / "bin" / "pg_ctl")) {
            found.push_back(entry.path() / "bin");
        }
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return std::stoi("0" + a.parent_path().filename().string()) <
               std::stoi("0" + b.parent_path().filename().string());
    });
    return found.empty() ? std::filesystem::path() : found.back();
}

const ::testing::Environment* const g_registered =
    ::testing::AddGlobalTestEnvironment(new PostgresServer);

}  // namespace

PostgresServer& PostgresServer::instance() {
    (void)g_registered;
    return *g_server;
}

void PostgresServer::SetUp() {
    g_server = this;
    started_ = start();
    if (!started_ && problem_.empty()) {
        problem_ = "the server did not start";
    }
}

bool PostgresServer::start() {
    bin_ = serverPrograms();
    if (bin_.empty() || !std::filesystem::exists(bin_ / "initdb")) {
        problem_ =
            "initdb and pg_ctl are not installed (apt-get install postgresql, or set "
            "FERIX_PG_BIN)";
        return false;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "ferix-pg-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        problem_ = "cannot make a folder for the server";
        return false;
    }
    dir_ = pattern;
    asPostgres_ = ::geteuid() == 0;
    if (asPostgres_) {
        const passwd* user = ::getpwnam("postgres");
        if (user == nullptr || ::chown(dir_.c_str(), user->pw_uid, user->pw_gid) != 0) {
            problem_ = "running as root, and there is no user \"postgres\" to run the server";
            return false;
        }
    }
    const std::filesystem::path data = dir_ / "data";
    if (runProgram({(bin_ / "initdb").string(), "-D", data.string(), "-U", "ferix", "-A", "trust",
                    "-E", "UTF8", "--locale=C", "--no-sync"},
                   dir_ / "initdb.log") != 0) {
        problem_ = "initdb failed: see " + (dir_ / "initdb.log").string();
        return false;
    }
    options_ = "-c listen_addresses='' -k " + dir_.string() +
               " -c fsync=off -c synchronous_commit=off -c full_page_writes=off";
    if (!restart()) {
        problem_ = "the server did not start: see " + (dir_ / "server.log").string();
        return false;
    }
    problem_.clear();
    return true;
}

bool PostgresServer::stop() {
    return runProgram({(bin_ / "pg_ctl").string(), "-D", (dir_ / "data").string(), "-m", "fast",
                       "-w", "stop"},
                      dir_ / "pg_ctl.log") == 0;
}

bool PostgresServer::restart() {
    return runProgram({(bin_ / "pg_ctl").string(), "-D", (dir_ / "data").string(), "-o", options_,
                       "-l", (dir_ / "server.log").string(), "-w", "start"},
                      dir_ / "pg_ctl.log") == 0;
}

void PostgresServer::TearDown() {
    if (!dir_.empty()) {
        if (std::filesystem::exists(dir_ / "data" / "postmaster.pid")) {
            runProgram({(bin_ / "pg_ctl").string(), "-D", (dir_ / "data").string(), "-m",
                        "immediate", "-w", "stop"},
                       dir_ / "pg_ctl.log");
        }
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
}

int PostgresServer::runProgram(const std::vector<std::string>& arguments,
                               const std::filesystem::path& log) {
    std::vector<std::string> line;
    if (asPostgres_) {
        line = {"/usr/bin/setpriv", "--reuid",        "postgres", "--regid",
                "postgres",         "--clear-groups", "--"};
    }
    line.insert(line.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : line) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    // The server's own folder as its working one: the user "postgres" may not enter ours.
    posix_spawn_file_actions_addchdir_np(&actions, dir_.c_str());
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        return -1;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string PostgresServer::freshDatabase() {
    const std::string name = "history" + std::to_string(++databases_);
    const std::string admin = "postgresql:///postgres?host=" + dir_.string() + "&user=ferix";
    const std::string problem = run(admin, "CREATE DATABASE " + name);
    EXPECT_EQ(problem, "");
    return "postgresql:///" + name + "?host=" + dir_.string() + "&user=ferix";
}

std::string PostgresServer::run(const std::string& uri, const std::string& sql) {
    PGconn* conn = PQconnectdb(uri.c_str());
    std::string problem;
    if (PQstatus(conn) != CONNECTION_OK) {
        problem = PQerrorMessage(conn);
    } else {
        // One statement at a time: CREATE DATABASE may not share a transaction.
        std::size_t from = 0;
        while (problem.empty() && from < sql.size()) {
            std::size_t end = sql.find(';', from);
            end = end == std::string::npos ? sql.size() : end;
            const std::string one = sql.substr(from, end - from);
            from = end + 1;
            if (one.find_first_not_of(" \n") == std::string::npos) {
                continue;
            }
            PGresult* result = PQexec(conn, one.c_str());
            const ExecStatusType status = PQresultStatus(result);
            if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
                problem = PQresultErrorMessage(result);
            }
            PQclear(result);
        }
    }
    PQfinish(conn);
    return problem;
}
