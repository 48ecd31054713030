#include "tcp_proxy.h"

#include "mariadb_server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace kalinda::test {
namespace {

int connectTo(in_addr target, int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr = target;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void closeFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

struct Link {
    int client = -1;
    int server = -1;
};

} // namespace

TcpProxy::TcpProxy(int targetPort, const char* address, int port, const char* targetAddress)
    : targetPort_(targetPort) {
    if (::inet_pton(AF_INET, targetAddress, &target_) != 1)
        throw std::runtime_error("proxy: no target address");
    listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    socklen_t len = sizeof addr;
    if (::inet_pton(AF_INET, address, &addr.sin_addr) != 1 ||
        ::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listenFd_, 16) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0 ||
        ::pipe(wakeFds_) != 0)
        throw std::runtime_error("proxy: cannot listen");
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { run(); });
}

TcpProxy::~TcpProxy() {
    stop_ = true;
    hold(false);
    thread_.join();
    ::close(listenFd_);
    ::close(wakeFds_[0]);
    ::close(wakeFds_[1]);
}

void TcpProxy::hold(bool held) {
    held_ = held;
    const char wake = 'w';
    [[maybe_unused]] const auto n = ::write(wakeFds_[1], &wake, 1);
}

void TcpProxy::cutAt(const QByteArray& marker, Cut cut) {
    std::lock_guard lock(mutex_);
    marker_ = marker;
    cut_ = cut;
}

ConnectParams kioskParamsThrough(const TcpProxy& proxy) {
    ConnectParams p = MariaDbServer::instance().kioskParams();
    p.port = proxy.port();
    return p;
}

void TcpProxy::run() {
    std::vector<Link> links;
    // The server side of links whose client was cut after sending: kept open and drained, so
    // the server finishes the statement and never notices the client is gone.
    std::vector<int> orphans;
    char buffer[65536];
    while (!stop_) {
        const bool held = held_;
        std::vector<pollfd> fds;
        fds.push_back({wakeFds_[0], POLLIN, 0});
        fds.push_back({listenFd_, static_cast<short>(held ? 0 : POLLIN), 0});
        for (const Link& l : links) {
            fds.push_back({l.client, static_cast<short>(held ? 0 : POLLIN), 0});
            fds.push_back({l.server, static_cast<short>(held ? 0 : POLLIN), 0});
        }
        for (const int o : orphans)
            fds.push_back({o, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), 200) <= 0)
            continue;
        if (fds[0].revents & POLLIN) [[maybe_unused]]
            const auto n = ::read(wakeFds_[0], buffer, sizeof buffer);
        const std::size_t polled = links.size();
        if (fds[1].revents & POLLIN) {
            Link l;
            l.client = ::accept(listenFd_, nullptr, nullptr);
            l.server = connectTo(target_, targetPort_);
            if (l.client >= 0 && l.server >= 0)
                links.push_back(l);
            else {
                closeFd(l.client);
                closeFd(l.server);
            }
        }
        std::size_t at = 2;
        for (std::size_t k = 0; k < polled; ++k) {
            Link& l = links[k];
            const pollfd fromClient = fds[at++];
            const pollfd fromServer = fds[at++];
            if (l.client < 0)
                continue;
            if (fromServer.revents & (POLLIN | POLLHUP | POLLERR)) {
                const ssize_t n = ::recv(l.server, buffer, sizeof buffer, MSG_DONTWAIT);
                if (n < 0 && errno == EAGAIN)
                    continue;
                if (n <= 0 || ::send(l.client, buffer, static_cast<size_t>(n), MSG_NOSIGNAL) < 0) {
                    closeFd(l.client);
                    closeFd(l.server);
                    continue;
                }
            }
            if (fromClient.revents & (POLLIN | POLLHUP | POLLERR)) {
                const ssize_t n = ::recv(l.client, buffer, sizeof buffer, MSG_DONTWAIT);
                if (n < 0 && errno == EAGAIN)
                    continue;
                if (n <= 0) {
                    closeFd(l.client);
                    closeFd(l.server);
                    continue;
                }
                const QByteArray data(buffer, static_cast<qsizetype>(n));
                std::unique_lock lock(mutex_);
                const bool cut = !marker_.isEmpty() && data.contains(marker_);
                const Cut how = cut_;
                if (cut)
                    marker_.clear();
                lock.unlock();
                if (cut) {
                    ++cuts_;
                    if (how == Cut::AfterSending || how == Cut::AfterSendingThenHold) {
                        ::send(l.server, data.constData(), data.size(), MSG_NOSIGNAL);
                        orphans.push_back(l.server);
                        l.server = -1;
                    } else {
                        closeFd(l.server);
                    }
                    closeFd(l.client);
                    if (how == Cut::AfterSendingThenHold || how == Cut::BeforeSendingThenHold)
                        held_ = true;
                    continue;
                }
                if (::send(l.server, data.constData(), data.size(), MSG_NOSIGNAL) < 0) {
                    closeFd(l.client);
                    closeFd(l.server);
                }
            }
        }
        for (std::size_t i = 0; i < orphans.size(); ++i) {
            if (fds[at + i].revents & (POLLIN | POLLHUP | POLLERR)) {
                const ssize_t n = ::recv(orphans[i], buffer, sizeof buffer, MSG_DONTWAIT);
                if (n == 0 || (n < 0 && errno != EAGAIN))
                    closeFd(orphans[i]);
            }
        }
        std::erase_if(links, [](const Link& l) { return l.client < 0; });
        std::erase(orphans, -1);
    }
    for (Link& l : links) {
        closeFd(l.client);
        closeFd(l.server);
    }
    for (int& o : orphans)
        closeFd(o);
}

} // namespace kalinda::test
