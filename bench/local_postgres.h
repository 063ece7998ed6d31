// A PostgreSQL server of its own for a benchmark: initdb and pg_ctl from
// /usr/local/bin into a folder of the benchmark's, reached through a Unix
// socket there; stopped when it goes out of scope.
#pragma once

#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace tollamer::bench {

class LocalPostgres {
 public:
  explicit LocalPostgres(const std::filesystem::path& dir) : dir_(dir / "pg") {}
  ~LocalPostgres() { Stop(); }

  // The connection string, or empty with `why` set.
  std::string Start(std::string& why) {
    const std::string bin = "/usr/local/bin/";
    if (!std::filesystem::exists(bin + "initdb") || !std::filesystem::exists(bin + "pg_ctl")) {
      why = "no initdb/pg_ctl in /usr/local/bin";
      return "";
    }
    std::filesystem::create_directories(dir_);
    // The server refuses to run as root: as the postgres user then.
    if (geteuid() == 0) {
      const passwd* user = getpwnam("postgres");
      if (!user) {
        why = "running as root and there is no postgres user";
        return "";
      }
      as_ = "runuser -u postgres -- ";
      if (chown(dir_.c_str(), user->pw_uid, user->pw_gid) != 0) {
        why = "cannot give " + dir_.string() + " to the postgres user";
        return "";
      }
    }
    const int port = FreePort();
    const std::string data = (dir_ / "data").string();
    if (std::system((as_ + bin + "initdb -D '" + data + "' -A trust -U bench -E UTF8 --no-sync > '" +
                     (dir_ / "initdb.log").string() + "' 2>&1")
                        .c_str()) != 0) {
      why = "initdb failed (see " + (dir_ / "initdb.log").string() + ")";
      return "";
    }
    started_ = std::system((as_ + bin + "pg_ctl -D '" + data + "' -w -l '" +
                            (dir_ / "server.log").string() + "' -o \"-k '" + dir_.string() +
                            "' -p " + std::to_string(port) +
                            " -c listen_addresses=''\" start > /dev/null 2>&1")
                               .c_str()) == 0;
    if (!started_) {
      why = "the server did not start (see " + (dir_ / "server.log").string() + ")";
      return "";
    }
    return "host=" + dir_.string() + " port=" + std::to_string(port) + " user=bench dbname=postgres";
  }

  // A folder the server may write files into (COPY ... TO 'file').
  const std::filesystem::path& Folder() const { return dir_; }

 private:
  static int FreePort() {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 54329;
    if (s >= 0 && bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
      port = ntohs(a.sin_port);
    if (s >= 0) close(s);
    return port;
  }
  void Stop() {
    if (started_)
      std::system((as_ + "/usr/local/bin/pg_ctl -D '" + (dir_ / "data").string() +
                   "' -m immediate stop > /dev/null 2>&1")
                      .c_str());
    started_ = false;
  }

  std::filesystem::path dir_;
  std::string as_;
  bool started_ = false;
};

}  // namespace tollamer::bench
