#pragma once

#include "app/db.h"

#include <QByteArray>
#include <atomic>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <thread>

namespace kalinda::test {

// A TCP proxy on 127.0.0.1 between the kiosk and the private server, for placing network
// faults exactly: it forwards both ways, can hold every byte (a pulled cable: nothing arrives,
// nothing is refused), and can cut a connection at the statement whose packet holds a marker.
class TcpProxy {
public:
    // Listens on `address` (a loopback one) and `port`, a free one when 0; forwards to
    // `targetAddress` (a Galera node has a loopback address of its own).
    explicit TcpProxy(int targetPort, const char* address = "127.0.0.1", int port = 0,
                      const char* targetAddress = "127.0.0.1");
    ~TcpProxy();
    TcpProxy(const TcpProxy&) = delete;
    TcpProxy& operator=(const TcpProxy&) = delete;

    int port() const { return port_; }

    // While held, bytes stay where they are in both directions; new connections wait too.
    void hold(bool held);

    enum class Cut {
        BeforeSending,         // the server never sees the marked statement; both sides are closed
        AfterSending,          // the server gets it, the client never hears back
        AfterSendingThenHold,  // as AfterSending, and from then on the link is down (hold)
        BeforeSendingThenHold, // as BeforeSending, and from then on the link is down (hold)
    };
    // Arms a cut for the next client packet that contains `marker`.
    void cutAt(const QByteArray& marker, Cut cut);
    // How many cuts were made.
    int cuts() const { return cuts_; }

private:
    void run();

    int listenFd_ = -1;
    int port_ = 0;
    int targetPort_ = 0;
    in_addr target_{};
    int wakeFds_[2] = {-1, -1};
    std::atomic<bool> held_{false};
    std::atomic<bool> stop_{false};
    std::atomic<int> cuts_{0};
    std::mutex mutex_;
    QByteArray marker_;
    Cut cut_ = Cut::BeforeSending;
    std::thread thread_;
};

// The kiosk's parameters for the private server, through `proxy`.
ConnectParams kioskParamsThrough(const TcpProxy& proxy);

} // namespace kalinda::test
