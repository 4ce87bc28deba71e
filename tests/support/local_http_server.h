#pragma once
// HTTP peers on 127.0.0.1 for tests: a server that records what it receives, and a port that
// refuses connections.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "toolbox/platform.h"

namespace zi::test {

struct TReceived {
  std::string method;
  std::string path;
  std::string target;
  std::string body;
  httplib::Headers headers;
  int remotePort = 0;

  std::string Header(const std::string& name) const {
    auto found = headers.find(name);
    return found == headers.end() ? "" : found->second;
  }
};

// A server on 127.0.0.1 that records every request. "/status/N" answers N without a body; paths
// given to Redirect answer 302 to their target; anything else answers 200 with a body.
class TLocalServer {
 public:
  explicit TLocalServer(std::unique_ptr<httplib::Server> server = std::make_unique<httplib::Server>())
      : server_(std::move(server)) {
    auto handler = [this](const httplib::Request& request, httplib::Response& response) {
      Answer(request, response);
    };
    server_->Get(".*", handler);
    server_->Post(".*", handler);
    server_->set_tcp_nodelay(true);
    port_ = server_->bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    while (!server_->is_running()) platform::SleepMs(1);
  }
  ~TLocalServer() {
    server_->stop();
    thread_.join();
  }
  TLocalServer(const TLocalServer&) = delete;
  TLocalServer& operator=(const TLocalServer&) = delete;

  int Port() const { return port_; }
  std::string HostAndPort() const { return "127.0.0.1:" + std::to_string(port_); }
  void Redirect(const std::string& from, const std::string& to) {
    std::lock_guard lock(mutex_);
    redirects_[from] = to;
  }
  std::vector<TReceived> Received() const {
    std::lock_guard lock(mutex_);
    return received_;
  }

 private:
  void Answer(const httplib::Request& request, httplib::Response& response) {
    std::lock_guard lock(mutex_);
    received_.push_back({request.method, request.path, request.target, request.body, request.headers,
                         request.remote_port});
    if (auto to = redirects_.find(request.path); to != redirects_.end()) {
      response.set_redirect(to->second);
    } else if (request.path.starts_with("/status/")) {
      response.status = std::stoi(request.path.substr(8));
    } else {
      response.set_content("answer body", "text/plain");
    }
  }

  std::unique_ptr<httplib::Server> server_;
  int port_ = 0;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::map<std::string, std::string> redirects_;
  std::vector<TReceived> received_;
};

// A port on 127.0.0.1 that is bound but never listens, so that connecting to it is refused.
class TClosedPort {
 public:
  TClosedPort() : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&address), length), 0);
    EXPECT_EQ(::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length), 0);
    port_ = ntohs(address.sin_port);
  }
  ~TClosedPort() { ::close(fd_); }
  TClosedPort(const TClosedPort&) = delete;
  TClosedPort& operator=(const TClosedPort&) = delete;

  std::string HostAndPort() const { return "127.0.0.1:" + std::to_string(port_); }

 protected:
  int Fd() const { return fd_; }

 private:
  int fd_;
  int port_ = 0;
};

// A port on 127.0.0.1 whose connections the system accepts and nobody ever answers.
class TSilentPort : public TClosedPort {
 public:
  TSilentPort() { EXPECT_EQ(::listen(Fd(), 64), 0); }
};

}  // namespace zi::test
