#pragma once

// A real nginx on loopback serving files from a temporary folder: started
// in the foreground as a child process on a free port, stopped when the
// fixture goes away. Everything it writes stays in its temporary folder.
// Besides plain http it serves https on one more port per certificate of
// the tests' authority (test_support.h), all with the same files.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"

namespace testing_support {

class NginxServer {
 public:
  static std::string binary() {
    for (const char* candidate : {"/usr/sbin/nginx", "/usr/bin/nginx", "/usr/local/sbin/nginx"}) {
      if (::access(candidate, X_OK) == 0)
        return candidate;
    }
    return {};
  }

  explicit NginxServer(const std::filesystem::path& folder) : folder_(folder) {
    std::filesystem::create_directories(folder_ / "www");
    std::filesystem::create_directories(folder_ / "temp");
  }
  ~NginxServer() { stop(); }
  NginxServer(const NginxServer&) = delete;
  NginxServer& operator=(const NginxServer&) = delete;

  // The https sites, by the certificate each shows.
  enum Site { kTrusted, kOtherHost, kExpired, kStranger, kSiteCount };

  // `locations` is extra configuration inside each server block, where
  // "@PORT@" and "@SECURE_PORT@" stand for the plain and the trusted port.
  bool start(const std::string& locations = {}) {
    // A port found free may be taken before nginx binds it; try a few.
    for (int attempt = 0; attempt < 5 && pid_ < 0; ++attempt) {
      port_ = freePort();
      for (int& port : securePorts_)
        port = freePort();
      writeConfig(locations);
      launch();
      if (!waitUntilListening()) {
        stop();
      }
    }
    return pid_ > 0;
  }

  void stop() {
    if (pid_ <= 0)
      return;
    ::kill(pid_, SIGTERM);
    for (int i = 0; i < 500; ++i) {
      if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

  std::filesystem::path www() const { return folder_ / "www"; }
  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  // By the name the certificates are made for.
  std::string secureUrl(const std::string& path, Site site = kTrusted) const {
    return "https://localhost:" + std::to_string(securePort(site)) + path;
  }
  int port() const { return port_; }
  int securePort(Site site = kTrusted) const { return securePorts_[site]; }

 private:
  static int freePort() {
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    socklen_t length = sizeof(address);
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);
    return ntohs(address.sin_port);
  }

  static std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at; (at = text.find(from)) != std::string::npos;)
      text.replace(at, from.size(), to);
    return text;
  }

  void writeConfig(std::string locations) const {
    locations = replaced(locations, "@PORT@", std::to_string(port_));
    locations = replaced(locations, "@SECURE_PORT@", std::to_string(securePorts_[kTrusted]));
    const std::string dir = folder_.string();
    static constexpr const char* kCertificates[kSiteCount] = {"localhost.pem", "otherhost.pem",
                                                              "expired.pem", "stranger.pem"};
    std::string servers;
    for (int site = 0; site < kSiteCount; ++site) {
      servers += "  server {\n";
      if (site == kTrusted)
        servers += "    listen 127.0.0.1:" + std::to_string(port_) + ";\n";
      servers += "    listen 127.0.0.1:" + std::to_string(securePorts_[site]) + " ssl;\n" +
                 "    ssl_certificate " + testAuthority(kCertificates[site]) + ";\n" +
                 "    ssl_certificate_key " + testAuthority("server.key") + ";\n" + "    root " +
                 dir + "/www;\n" + locations + "  }\n";
    }
    std::ofstream(folder_ / "nginx.conf")
        << "daemon off;\nmaster_process off;\nworker_processes 1;\n"
        << "error_log " << dir << "/error.log warn;\npid " << dir << "/nginx.pid;\n"
        << "events { worker_connections 64; }\n"
        << "http {\n  access_log off;\n  sendfile on;\n  default_type application/octet-stream;\n"
        << "  client_body_temp_path " << dir << "/temp/body;\n"
        << "  proxy_temp_path " << dir << "/temp/proxy;\n"
        << "  fastcgi_temp_path " << dir << "/temp/fastcgi;\n"
        << "  uwsgi_temp_path " << dir << "/temp/uwsgi;\n"
        << "  scgi_temp_path " << dir << "/temp/scgi;\n"
        << servers << "}\n";
  }

  void launch() {
    const std::string nginx = binary();
    const std::string config = (folder_ / "nginx.conf").string();
    const std::string prefix = folder_.string() + "/";
    const std::string errorLog = (folder_ / "error.log").string();
    pid_ = ::fork();
    if (pid_ == 0) {
      ::execl(nginx.c_str(), nginx.c_str(), "-e", errorLog.c_str(), "-c", config.c_str(), "-p",
              prefix.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
  }

  bool waitUntilListening() {
    for (int i = 0; i < 500; ++i) {
      if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;  // it exited: the port was taken or the config refused
        return false;
      }
      const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      address.sin_port = htons(static_cast<std::uint16_t>(port_));
      const bool up = ::connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
      ::close(probe);
      if (up)
        return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  std::filesystem::path folder_;
  pid_t pid_ = -1;
  int port_ = 0;
  int securePorts_[kSiteCount] = {};
};

}  // namespace testing_support
